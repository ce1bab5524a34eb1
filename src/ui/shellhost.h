#pragma once

#include <QString>

namespace grid {
class Grid;
}

namespace ui {

// What dialogs and lists below the main window may ask of it. The main
// window implements this; tests install a fake that records the calls.
class ShellHost
{
public:
    virtual ~ShellHost() = default;

    // Makes account set `index` current and starts a logged-out login state.
    virtual void SelectAccountSet(int index, bool relayout) = 0;
    // Rewrites the window title from the current account set and user.
    virtual void UpdateMainCaption() = 0;
    // Applies CurrentRights to every list, command and menu.
    virtual void ApplyRights() = 0;
    // Saves the window settings of the current account set.
    virtual void SaveSettings() = 0;
    // Reloads the list of the visible record tab (the tab handler).
    virtual void ReloadCurrentList() = 0;
    // Index of the visible record tab (0 sales … 7 staff).
    virtual int currentRecordTab() const = 0;
    // Empties every record grid / every analysis grid and chart picture.
    virtual void ClearRecordGrids() = 0;
    virtual void ClearAnalysisGrids() = 0;
    // Re-shows the current record tab and the current analysis tab.
    virtual void ShowCurrentRecordTab() = 0;
    virtual void ShowCurrentAnalysisTab() = 0;
};

// The installed host, or nullptr before the main window exists.
ShellHost *shellHost();
void setShellHost(ShellHost *host);

} // namespace ui
