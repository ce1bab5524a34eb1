#pragma once

#include <QStringList>

namespace cli {

// Whether the command draws or loads grids, so that it needs the widget
// library (on the off-screen platform) rather than a plain core application.
bool needsWidgets(const QStringList &args);

// Runs one invocation of the tool (arguments without the program name) in
// the program folder of the executable or of --folder, and returns its exit
// code. Messages go to standard error, results to standard output.
int run(const QStringList &args);

} // namespace cli
