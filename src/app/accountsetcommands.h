#pragma once

class QWidget;

namespace app {

// Menu 套账操作 → 选择套账: shows the chooser, waits until it is closed and
// opens the chosen set unless it is the one in use.
void ChooseAccountSet(QWidget *parent = nullptr);

} // namespace app
