#include "measure.h"

#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/session.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <time.h>

namespace bench {

double median(std::vector<double> times)
{
    if (times.empty())
        return 0;
    std::sort(times.begin(), times.end());
    const size_t mid = times.size() / 2;
    return times.size() % 2 ? times[mid] : (times[mid - 1] + times[mid]) / 2;
}

double medianMs(int runs, const std::function<double()> &work)
{
    work();
    std::vector<double> times;
    for (int i = 0; i < std::max(1, runs); ++i)
        times.push_back(work());
    return median(times);
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

WallAndCpu medianWallAndCpuMs(int runs, const std::function<void()> &prepare,
                              const std::function<void()> &work)
{
    const auto cpuNow = [] {
        timespec now;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    };
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i <= std::max(1, runs); ++i) {
        if (prepare)
            prepare();
        const double cpuBefore = cpuNow();
        const double wall = timeMs(work);
        const double cpu = cpuNow() - cpuBefore;
        if (i > 0) { // the first run warms up
            walls.push_back(wall);
            cpus.push_back(cpu);
        }
    }
    const auto middle = [](std::vector<double> &values) {
        std::sort(values.begin(), values.end());
        const size_t mid = values.size() / 2;
        return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
    };
    return {middle(walls), middle(cpus)};
}

double threadCpuTimeMs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

namespace {
int reportedSales = 0;
} // namespace

void setReportedSize(int sales)
{
    reportedSales = sales;
}

void report(const QString &name, double value, const QString &unit)
{
    std::printf("%s@%d_sales: %.3f %s\n", qPrintable(name), reportedSales, value, qPrintable(unit));
    std::fflush(stdout);
}

double peakMemoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).simplified().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeakMemory()
{
    // Writing 5 to clear_refs sets the peak back to the memory in use now.
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

bool freshCopyOfBigSet(const Context &context, const QString &workFile)
{
    store::Registry::close(store::programFilePath(workFile));
    store::Registry::close(store::programFilePath(context.accountFile));
    QFile::remove(store::programFilePath(workFile));
    if (!QFile::copy(store::programFilePath(context.accountFile),
                     store::programFilePath(workFile))) {
        std::fprintf(stderr, "cannot copy the account set\n");
        return false;
    }
    store::CurrentAccountFile = workFile;
    store::Connection conn;
    return store::OpenConn(conn);
}

} // namespace bench
