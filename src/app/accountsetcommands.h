#pragma once

class QWidget;

namespace app {

// Start-up: lists the account sets of the program folder and opens the one
// used last (logged out); with no set at all, says so and shows the
// new-account-set window instead.
void LoadAccountSets(QWidget *parent = nullptr);

// Menu 套账操作 → 选择套账: shows the chooser, waits until it is closed and
// opens the chosen set unless it is the one in use.
void ChooseAccountSet(QWidget *parent = nullptr);

} // namespace app
