#pragma once

#include "merge.h"

#include "store/session.h"

#include <QVector>
#include <QWidget>

class QLabel;
class QPushButton;

namespace grid {
class Grid;
}

namespace records {

// Columns of the two grids: hidden ID, 序号, the "√" column 选择, 名称.
inline constexpr int kMergeTickColumn = 2;
inline constexpr int kMergeNameColumn = 3;

// The merge window "产品合并替换" and its variants for customers, vendors,
// fund accounts and staff: grid 0 lists the records to merge away (any
// number marked), grid 1 the record to keep (one marked).
class MergeWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MergeWindow(const MergeTarget &target, QWidget *parent = nullptr);

    // Adapts the window's caption and the three labels to the target.
    void ReplaceDisp();
    // Fills a grid with the whole target table in name order.
    void LoadNameMSF(grid::Grid &grid);
    // Merges the records marked in grid 0 into the one marked in grid 1 and
    // reloads the main window's visible list. Tells the user and returns
    // false when the marks do not make a merge (the window stays open then)
    // or when another account set was opened or another login made since
    // the grids were filled.
    bool ReplaceName();

    const MergeTarget &target() const { return m_target; }
    // Grid 0 (merge away) and grid 1 (keep).
    grid::Grid *grid(int index) const { return MSF.at(index); }
    // Labels 0 and 1 above the grids, 2 the note.
    QLabel *label(int index) const { return Label.at(index); }
    // Buttons: 0 "确    定", 1 "取    消".
    QPushButton *button(int index) const { return Com.at(index); }

private:
    void gridClicked(int index, Qt::MouseButton button, int x, int y);
    void confirm();

    MergeTarget m_target;
    QVector<grid::Grid *> MSF;
    QVector<QLabel *> Label;
    QVector<QPushButton *> Com;
    store::SessionStamp m_session; // set and login the grids were filled under
};

// Opens the merge window of tools-menu item menuIndex (0 产品 … 4 销售员) as
// the one instance, closing one that is still open. nullptr for an index
// outside the menu.
MergeWindow *ShowMergeWindow(int menuIndex, QWidget *parent = nullptr);

} // namespace records
