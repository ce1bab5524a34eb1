#pragma once

#include "store/prompts.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace bench {

// What every group of figures gets: the account set built for the run and
// how many times each figure is measured.
struct Context
{
    QString folder;      // program folder of the run (temporary)
    QString accountFile; // bare name of the big account set, made current
    int runs = 5;
    bool keep = false; // --keep: leave the analyses' scratch tables in the set
};

// The middle value of times (the mean of the two middle ones for an even
// count), 0 for none.
double median(std::vector<double> times);
// Runs work once to warm up, then `runs` times, and returns the median of
// the times in milliseconds. work returns its own elapsed milliseconds when
// it has set-up that must not count; otherwise use timeMs().
double medianMs(int runs, const std::function<double()> &work);
// Elapsed milliseconds of one call of work.
double timeMs(const std::function<void()> &work);

// Medians over the runs (after one warm-up run) of the wall time and of the
// CPU time of this thread, in milliseconds; prepare runs untimed before each
// run. The CPU time is what a machine busy with other work cannot inflate.
struct WallAndCpu
{
    double wall = 0;
    double cpu = 0;
};
WallAndCpu medianWallAndCpuMs(int runs, const std::function<void()> &prepare,
                              const std::function<void()> &work);
using Times = WallAndCpu;
// The same, for callers that always have a prepare step.
inline Times measureTimes(int runs, const std::function<void()> &prepare,
                          const std::function<void()> &work)
{
    return medianWallAndCpuMs(runs, prepare, work);
}
// CPU time of the calling thread so far, in milliseconds.
double threadCpuTimeMs();

// Replaces workFile (a bare set file name in the program folder) with a
// fresh copy of the big account set, makes it current and opens its
// connection, so that the key derivation is not part of the work measured.
// False (and a line on standard error) when the copy fails.
bool freshCopyOfBigSet(const Context &context, const QString &workFile);

// Prompts for unattended runs: every question is answered Yes, dialogs are
// cancelled, and messages are kept (off the console) for the figures that
// check them.
class AnsweringPrompts : public store::Prompts
{
public:
    void message(const QString &text) override { messages << text; }
    bool question(const QString &) override { return true; }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    bool chooseFont(store::FontChoice &) override { return false; }

    QStringList messages;
};

// Prints one figure as "name@N_sales: value unit", N being the number of
// sales of the generated book set by setReportedSize, so that runs at
// several sizes can be laid side by side.
void report(const QString &name, double value, const QString &unit);
void setReportedSize(int sales);

// The process's peak resident memory in MB since the last resetPeakMemory()
// (or since it started); -1 where /proc does not tell.
double peakMemoryMb();
void resetPeakMemory();

// Groups of figures, each a plain function; main() lists them in order.
void storeFigures(const Context &context);
void gridFigures(const Context &context);        // bench_grid.cpp
void mastersFigures(const Context &context);     // bench_masters.cpp
void salesFigures(const Context &context);       // bench_sales.cpp
void mergeFigures(const Context &context);       // bench_merge.cpp
void printFigures(const Context &context);       // bench_print.cpp
void notesFigures(const Context &context);       // bench_notes.cpp
void transferFigures(const Context &context);    // bench_transfer.cpp
void analysisFigures(const Context &context);    // bench_analysis.cpp
void receiptFigures(const Context &context);     // bench_receipts.cpp
void maintenanceFigures(const Context &context); // bench_maintenance.cpp
void setsFigures(const Context &context);        // bench_sets.cpp
void cliFigures(const Context &context);         // bench_cli.cpp
void findFigures(const Context &context);        // bench_find.cpp
void serverFigures(const Context &context);      // bench_server.cpp

} // namespace bench
