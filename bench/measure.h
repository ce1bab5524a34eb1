#pragma once

#include <QString>

#include <functional>

namespace bench {

// What every group of figures gets: the account set built for the run and
// how many times each figure is measured.
struct Context
{
    QString folder;      // program folder of the run (temporary)
    QString accountFile; // bare name of the big account set, made current
    int runs = 5;
};

// Runs work once to warm up, then `runs` times, and returns the median of
// the times in milliseconds. work returns its own elapsed milliseconds when
// it has set-up that must not count; otherwise use timeMs().
double medianMs(int runs, const std::function<double()> &work);
// Elapsed milliseconds of one call of work.
double timeMs(const std::function<void()> &work);

// Prints one figure as "name: value unit".
void report(const QString &name, double value, const QString &unit);

// Groups of figures, each a plain function; main() lists them in order.
void storeFigures(const Context &context);
void gridFigures(const Context &context); // bench_grid.cpp
void mastersFigures(const Context &context); // bench_masters.cpp
void salesFigures(const Context &context);   // bench_sales.cpp
void mergeFigures(const Context &context);   // bench_merge.cpp

} // namespace bench
