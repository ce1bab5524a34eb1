#include "staffdialog.h"

#include "masterrecords.h"
#include "rights.h"
#include "staff.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "store/formatting.h"
#include "store/prompts.h"
#include "store/session.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace records {

namespace {

const QString kTick = QStringLiteral("√");
// Shading of the tree rows, in the stored colour form (blue, green, red).
constexpr qint64 kTopRowShade = 0xFF33FF;
constexpr qint64 kRowShade = 0xDDDDDD;
// Record tab of the staff list.
constexpr int kStaffTab = 7;

// True when the tree holds exactly the catalogue's rows.
bool isRightsTree(const grid::Grid &grid)
{
    return grid.dataRows() == rightsTreeRows().size() && grid.cols() > kRightLabelColumn;
}

QVector<bool> treeMarks(const grid::Grid &grid)
{
    QVector<bool> marks;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        marks.append(!grid.cellText(r, kRightMarkColumn).isEmpty());
    return marks;
}

void setTreeMarks(grid::Grid &grid, const QVector<bool> &marks)
{
    grid::GridBatch batch(grid);
    for (int i = 0; i < marks.size(); ++i)
        grid.setTextMatrix(grid.fixedRows() + i, kRightMarkColumn, marks.at(i) ? kTick : QString());
}

// Action rows are indented; the top and area rows start at the left.
bool isIndented(const grid::Grid &grid, int row)
{
    return grid.cellText(row, kRightLabelColumn).startsWith(QLatin1Char(' '));
}

} // namespace

void BuildRightsTree(grid::Grid &grid, const QString &rights)
{
    const QStringList columns = {QStringLiteral("ID"), QStringLiteral("序号"),
                                 QStringLiteral("设定"), QStringLiteral("权限内容")};
    {
        grid::GridBatch batch(grid);
        grid::SetupGridColumns(grid, columns, columns);
        const auto &rows = rightsTreeRows();
        const QVector<bool> marks = rightMarksFor(rights);
        const int first = grid.fixedRows();
        grid.setRows(first + rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const int r = first + i;
            grid.setTextMatrix(r, grid::kNumberColumn, QString::number(i + 1));
            grid.setTextMatrix(r, kRightLabelColumn, rows.at(i).label);
            const qint64 shade
                    = rows.at(i).kind == RightsTreeRow::Kind::Top ? kTopRowShade : kRowShade;
            for (int c = 0; c < grid.cols(); ++c)
                grid::PaintGridCell(grid, r, c, shade);
            if (rows.at(i).kind == RightsTreeRow::Kind::Action && marks.at(i))
                grid.setTextMatrix(r, kRightMarkColumn, kTick);
        }
        grid::FitGridColumns(grid, grid::kTitleRow);
        grid.setColAlignment(kRightMarkColumn, grid::kAlignCenterCenter);
    }
    TestRightRuler(grid);
}

void TestRightRuler(grid::Grid &grid)
{
    if (!isRightsTree(grid))
        return;
    QVector<bool> marks = treeMarks(grid);
    settleRightMarks(marks);
    setTreeMarks(grid, marks);
}

QString GetRightStr(const grid::Grid &grid)
{
    if (!isRightsTree(grid))
        return QString();
    return rightsStringFor(treeMarks(grid));
}

void ClickRightsTree(grid::Grid &grid, int x, int y)
{
    if (!isRightsTree(grid))
        return;
    const QVector<bool> before = treeMarks(grid);
    grid::ToggleTickColumn(grid, kRightMarkColumn, x, y, true);
    // A click that marked nothing (beside the mark column, on one row) must
    // not carry the unchanged mark of an area row down over its actions.
    if (treeMarks(grid) == before)
        return;

    const int current = grid.row();
    if (current >= grid.fixedRows() && !isIndented(grid, current)) {
        const QString mark = grid.cellText(current, kRightMarkColumn);
        const bool top = current == grid.fixedRows();
        grid::GridBatch batch(grid);
        for (int r = current + 1; r < grid.rows(); ++r) {
            if (!top && !isIndented(grid, r))
                break;
            grid.setTextMatrix(r, kRightMarkColumn, mark);
        }
    }
    TestRightRuler(grid);
}

StaffDialog::StaffDialog(QWidget *parent)
    : MasterDialog(QStringLiteral("员工设置"), -1, Boxes::Plain, parent)
{
    // The boxes in a column of their own, so that Tab walks them before it
    // reaches the rights tree beside them.
    auto *layout = new QGridLayout(this);
    auto *fields = new QGridLayout;
    addIdBox(fields, QStringLiteral("员工编码："), 0, 0);

    const QStringList labels = {QStringLiteral("员工姓名："), QStringLiteral("登录密码："),
                                QStringLiteral("电   话："),  QStringLiteral("手   机："),
                                QStringLiteral("电子邮箱："), QStringLiteral("备注信息：")};
    for (int i = 0; i < labels.size(); ++i)
        addBox(fields, labels.at(i), i + 1, 0);
    fields->setRowStretch(labels.size() + 1, 1);
    layout->addLayout(fields, 0, 0, 2, 1);
    // Passwords are typed unseen and a stored one is never shown.
    TXT[kPasswordBox]->setEchoMode(QLineEdit::Password);
    TXT[kPasswordBox]->setPlaceholderText(QStringLiteral("不修改请留空"));

    m_tree = new grid::Grid(this);
    m_tree->setMinimumSize(320, 360);
    layout->addWidget(new QLabel(QStringLiteral("员工权限："), this), 0, 1);
    layout->addWidget(m_tree, 1, 1);
    connect(m_tree, &grid::Grid::mouseUp, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
                treeClicked(button, x, y);
            });

    layout->addLayout(newButtonRow(QStringLiteral("确      定"), QStringLiteral("取      消")), 2,
                      0, 1, 2);
}

void StaffDialog::LoadStaffInfo(int id)
{
    m_session.renew();
    StaffInfo info;
    QString rights;
    if (loadStaff(id, info)) {
        info.boxes[kPasswordBox].clear();
        setBoxTexts(info.boxes);
        m_idBox->setText(QString::number(info.id));
        rights = info.rights;
    }
    BuildRightsTree(*m_tree, rights);
}

bool StaffDialog::mayEdit(int id, QString *storedRights) const
{
    StaffInfo stored;
    if (!loadStaff(id, stored))
        return true; // a new member
    if (storedRights)
        *storedRights = stored.rights;
    return RightsCover(store::CurrentRights, stored.rights);
}

bool StaffDialog::SaveStaffInfo(int id)
{
    // The dialog is modeless: the user may have opened another account set
    // meanwhile, or logged out. Storing then would overwrite that set's
    // member of the same number with this one's name, password and rights,
    // or let anyone at the desk change rights.
    if (!m_session.checkBeforeSaving())
        return false;
    // Staff rights open every other right: a user may change only members
    // whose rights are all their own, and grant only rights they hold.
    QString storedRights;
    if (!mayEdit(id, &storedRights)) {
        store::prompts().message(kHigherMemberRefusal);
        return false;
    }
    StaffInfo info;
    info.boxes = boxTexts();
    info.rights = GetRightStr(*m_tree);
    if (id != 0 && id == store::CurrentUserID)
        info.rights = storedRights; // one's own rights stay as they are
    if (!RightsCover(store::CurrentRights, info.rights)) {
        store::prompts().message(kOwnRightsOnly);
        return false;
    }
    const int stored = saveStaff(id, info);
    if (stored == 0)
        return false;
    m_idBox->setText(QString::number(stored));
    reloadListIfShowing(kStaffTab);
    return true;
}

void StaffDialog::treeClicked(Qt::MouseButton button, int x, int y)
{
    if (button != Qt::LeftButton)
        return;
    const int shown = int(store::leadingNumber(m_idBox->text()));
    if (shown != 0 && shown == store::CurrentUserID) {
        store::prompts().message(QStringLiteral("您不能修改自己的权限！"));
        return;
    }
    if (!mayEdit(shown)) {
        store::prompts().message(kHigherMemberRefusal);
        return;
    }
    ClickRightsTree(*m_tree, x, y);
    // Marks of rights the user does not hold go again, and the user is told.
    const QString wanted = GetRightStr(*m_tree);
    if (!RightsCover(store::CurrentRights, wanted)) {
        QVector<bool> marks = rightMarksFor(RightsWithin(store::CurrentRights, wanted));
        settleRightMarks(marks);
        if (!store::CurrentRights.contains(kAllRights))
            marks[0] = false; // all 49 tokens are still not 所有权限
        setTreeMarks(*m_tree, marks);
        store::prompts().message(kOwnRightsOnly);
    }
}

bool StaffDialog::saveShown()
{
    return SaveStaffInfo(int(store::leadingNumber(m_idBox->text())));
}

StaffDialog *ShowStaffDialog(int id, QWidget *parent)
{
    return showSingleWindow<StaffDialog>(parent, [id](StaffDialog &d) { d.LoadStaffInfo(id); });
}

} // namespace records
