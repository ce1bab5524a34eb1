#pragma once

#include <QStringList>

#include <thread>

namespace cli {

// Whether the command draws or loads grids, so that it needs the widget
// library (on the off-screen platform) rather than a plain core application.
bool needsWidgets(const QStringList &args);

// Starts opening the set the command will use (the file --set names, or
// else the first sets of the folder) on a worker thread and returns it at
// once: deriving a set's key takes tens of milliseconds, which then pass
// while the application starts. Nothing may touch a set until the thread
// has been joined. The thread is empty when the arguments name no command.
std::thread startOpeningSet(const QStringList &args);

// Runs one invocation of the tool (arguments without the program name) in
// the program folder of the executable or of --folder, and returns its exit
// code. Messages go to standard error, results to standard output.
int run(const QStringList &args);

} // namespace cli
