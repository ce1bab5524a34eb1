#pragma once

#include "masterdialog.h"

#include <QString>

namespace grid {
class Grid;
}

namespace records {

// The rights tree: 57 rows (所有权限, then per area its row and its seven
// actions) in a grid with the columns hidden ID / 序号 / 设定 / 权限内容.
// Column of the "√" marks and of the labels.
inline constexpr int kRightMarkColumn = 2;
inline constexpr int kRightLabelColumn = 3;

// Builds the tree for rights string rights, marks settled.
void BuildRightsTree(grid::Grid &grid, const QString &rights);
// Settles the area and top rows from the action rows: an area is marked
// when all seven actions are, the top row when all 49 are, and any marked
// action marks its area's 查看 row.
void TestRightRuler(grid::Grid &grid);
// The rights string the tree shows: 所有权限 when the top row is marked,
// else the marked tokens in catalogue order joined by ";".
QString GetRightStr(const grid::Grid &grid);
// A click on the tree at (x, y), twips from the grid's corner: toggles the
// marks of the clicked or selected rows, carries a top or area row's new
// mark down to its rows, then settles the tree.
void ClickRightsTree(grid::Grid &grid, int x, int y);

// Said when the user tries to change a member who holds rights the user
// does not, or to grant rights the user does not hold.
inline const QString kHigherMemberRefusal = QStringLiteral("您不能修改权限高于自己的员工！");
inline const QString kOwnRightsOnly = QStringLiteral("您只能授予或取消自己拥有的权限！");

// The staff dialog "员工设置": one member's boxes and rights tree. The
// password box is masked and left empty: a stored password is never shown,
// and saving with the box empty keeps it.
class StaffDialog : public MasterDialog
{
    Q_OBJECT

public:
    explicit StaffDialog(QWidget *parent = nullptr);

    // Fills the boxes and the tree from member id; a new member (no row)
    // gets an empty tree.
    void LoadStaffInfo(int id);
    // Stores the boxes and the tree under id (a new row when there is none)
    // and reloads the staff list when it is showing. False when nothing
    // could be stored; after saying so when the member holds a right the
    // logged-in user does not, when the tree grants one, or when another
    // account set has
    // been opened or another login made since the dialog was loaded: its
    // member, password and rights belong to the set it came from, and only
    // the user who opened it was allowed to change them.
    bool SaveStaffInfo(int id);

    // Boxes 0 to 5 (员工姓名, 登录密码, 电话, 手机, 电子邮箱, 备注信息), the
    // read-only "员工编码：" box; buttons 0 "确      定", 1 "取      消".
    grid::Grid *rightsGrid() const { return m_tree; }

protected:
    // Saving under the shown number reloads the list itself.
    bool saveShown() override;

private:
    void treeClicked(Qt::MouseButton button, int x, int y);
    // True when the logged-in user holds every right of stored member id
    // (always for a new member); storedRights receives the member's rights.
    bool mayEdit(int id, QString *storedRights = nullptr) const;

    grid::Grid *m_tree = nullptr;
};

// Opens the staff dialog for member id (0 for a new one) as the one
// instance, replacing an instance that is still open.
StaffDialog *ShowStaffDialog(int id, QWidget *parent = nullptr);

} // namespace records
