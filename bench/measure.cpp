#include "measure.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <time.h>

namespace bench {

double medianMs(int runs, const std::function<double()> &work)
{
    work();
    std::vector<double> times;
    for (int i = 0; i < std::max(1, runs); ++i)
        times.push_back(work());
    std::sort(times.begin(), times.end());
    const size_t mid = times.size() / 2;
    return times.size() % 2 ? times[mid] : (times[mid - 1] + times[mid]) / 2;
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

double threadCpuTimeMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

Times measureTimes(int runs, const std::function<void()> &prepare,
                   const std::function<void()> &work)
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i <= std::max(1, runs); ++i) {
        prepare();
        const double cpuStart = threadCpuTimeMs();
        const double wall = timeMs(work);
        const double cpu = threadCpuTimeMs() - cpuStart;
        if (i == 0)
            continue; // warm-up
        walls.push_back(wall);
        cpus.push_back(cpu);
    }
    auto median = [](std::vector<double> &v) {
        std::sort(v.begin(), v.end());
        const size_t mid = v.size() / 2;
        return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
    };
    return {median(walls), median(cpus)};
}

void report(const QString &name, double value, const QString &unit)
{
    std::printf("%s: %.3f %s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
}

} // namespace bench
