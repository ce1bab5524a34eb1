#include "measure.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

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

void report(const QString &name, double value, const QString &unit)
{
    std::printf("%s: %.3f %s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
}

} // namespace bench
