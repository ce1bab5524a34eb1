#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLockFile;
class QWidget;

namespace ui {
class ShellHost;
}

namespace app {

// The main window's title as designed; the account set and the user are
// appended to it.
inline const QString kDesignTitle = QStringLiteral("Korvo进销存3.00");
inline const QString kVersionText = QStringLiteral("3.00");

// Title of the main window for the account set setName and the logged-in
// user (empty: logged out): the title up to its first " >> " (all of it
// when there is none), then " >> " and the set's name, then "=>" and the user
// when someone is logged in. Cutting at the first " >> " rather than the
// last keeps the title from growing when a set's name itself holds " >> ".
QString MainCaption(const QString &title, const QString &setName, const QString &user);

// Name of the lock file in the program folder that marks a running copy.
inline const QString kInstanceLockName = QStringLiteral("korvo.lock");

// Takes the running-copy lock of the program folder. Null when another
// running copy of the program holds it; a lock left behind by a copy that
// has ended is taken over. The lock is held while the result lives.
std::unique_ptr<QLockFile> acquireInstanceLock(const QString &folder);

// Builds the account-set list of the program folder and opens the set used
// last through host.SelectAccountSet, showing the progress window while the
// sets are read. With no account set at all it tells the user and calls
// openNewSetDialog instead. Returns whether a set was opened.
bool LoadAccountSets(ui::ShellHost &host, const std::function<void()> &openNewSetDialog);

// Opens the new-account-set window for a run that has no account set yet.
// When the window goes without a set having been opened (parent, the main
// window, still hidden), quit is called:
// the main window is still hidden then, and a window it owns does not end
// the program when it closes, so the program would live on unseen, holding
// the running-copy lock and keeping every later start from opening.
QWidget *ShowFirstAccountSetDialog(QWidget *parent, const std::function<void()> &quit);

// Settings of the application object for the whole run: Chinese locale,
// translations and font (ui::UseChineseDesktop), and no automatic end when
// the last window closes. The program ends only when the main window closes
// or when the first start goes without an account set: a message box
// closed while no main window shows yet (over the new-account-set window,
// say) must not end the program.
void prepareApplication();

// The whole run of the program after the application object exists: ends
// at once (0) when another copy runs in the same program folder, otherwise
// shows the main window and runs the event loop until exit.
int run();

} // namespace app
