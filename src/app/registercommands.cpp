#include "commands.h"

#include "accountsetinfodialog.h"
#include "mainwindow.h"
#include "newaccountsetdialog.h"

namespace app {

// Every part of the program that does the work of a main-window command
// registers it here. A command missing from this list does nothing yet.
void registerCommands()
{
    Commands &registry = commands();

    // Account sets.
    registry.setAction(QStringLiteral("mAcc1"),
                       [](MainWindow &window) { ShowNewAccountSetDialog(&window); });
    registry.setAction(QStringLiteral("mAccSet"),
                       [](MainWindow &window) { ShowAccountSetInfoDialog(&window); });
}

} // namespace app
