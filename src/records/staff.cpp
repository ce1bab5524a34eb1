#include "staff.h"

#include "masterrecords.h"
#include "rights.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/formatting.h"
#include "store/params.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/progress.h"

#include <algorithm>

namespace records {

namespace {

QString staffById(int id)
{
    return QStringLiteral("SELECT * FROM Staff WHERE ID=") + QString::number(id);
}

QString fieldText(const store::RecordSet &rs, const QString &field)
{
    const QVariant value = rs.value(field);
    return value.isNull() ? QString() : value.toString();
}

} // namespace

const QStringList &staffBoxFields()
{
    static const QStringList fields
            = {QStringLiteral("Name"),   QStringLiteral("PSD"),   QStringLiteral("Phone"),
               QStringLiteral("MPhone"), QStringLiteral("Email"), QStringLiteral("Memo")};
    return fields;
}

bool loadStaff(int id, StaffInfo &info)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, staffById(id));
    const bool found = rs.isOpen() && !rs.eof();
    if (found) {
        info.id = rs.value(QStringLiteral("ID")).toInt();
        info.boxes.clear();
        for (const QString &field : staffBoxFields())
            info.boxes << fieldText(rs, field);
        info.rights = fieldText(rs, QStringLiteral("Right"));
    }
    store::CloseQuery(conn, rs);
    return found;
}

int saveStaff(int id, const StaffInfo &info)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, staffById(id));
    if (!rs.isOpen()) {
        store::CloseQuery(conn, rs);
        return 0;
    }
    const bool adding = rs.eof();
    if (adding)
        rs.addNew();
    const QStringList &fields = staffBoxFields();
    for (int i = 0; i < fields.size(); ++i) {
        // The password is never shown, so an empty box means "unchanged".
        if (i == kPasswordBox && !adding && info.boxes.value(i).isEmpty())
            continue;
        rs.setValue(fields.at(i), info.boxes.value(i));
    }
    rs.setValue(QStringLiteral("Right"), info.rights);
    return storeRowAndClose(conn, rs);
}

int catchAllStaffId()
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs,
                     QStringLiteral("SELECT * FROM Staff WHERE Name=")
                             + store::sqlText(kCatchAllStaffName));
    int id = 0;
    if (rs.isOpen()) {
        if (rs.eof()) {
            rs.addNew();
            rs.setValue(QStringLiteral("Name"), kCatchAllStaffName);
            // No password, so nobody can log in as the catch-all salesman.
            rs.setValue(QStringLiteral("PSD"), QVariant());
            rs.setValue(QStringLiteral("Right"), QString());
            if (rs.update())
                id = rs.value(QStringLiteral("ID")).toInt();
        } else {
            id = rs.value(QStringLiteral("ID")).toInt();
        }
    }
    store::CloseQuery(conn, rs);
    return id;
}

void reassignStaffRecords(int staffId, int catchAllId)
{
    const QString set = QString::number(catchAllId);
    const QString where = QStringLiteral(" WHERE SID=") + QString::number(staffId);
    store::ExecSQL(QStringLiteral("UPDATE Sale SET SID=") + set + where);
    store::ExecSQL(QStringLiteral("UPDATE Pur SET SID=") + set + where);
}

void LoadStaffList(grid::Grid &grid)
{
    grid::SetupGridColumns(
            grid,
            {QStringLiteral("ID"), QString(), QStringLiteral("Name"), QStringLiteral("Phone"),
             QStringLiteral("MPhone"), QStringLiteral("Email"), QStringLiteral("Right"),
             QStringLiteral("Memo")},
            {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("姓名"),
             QStringLiteral("电话"), QStringLiteral("手机"), QStringLiteral("电子邮箱"),
             QStringLiteral("权限"), QStringLiteral("备注")});
    grid.setTag(QStringLiteral("Staff"));
    // LoadGrid fits the columns from the title row when it is done.
    grid::LoadGrid(grid, QString(), QString(), true);
    grid.setReportTitle(QStringLiteral("操作员列表"));
}

void DeleteSelectedStaff(grid::Grid &grid)
{
    if (grid.dataRows() == 0)
        return;
    int top = grid.row();
    int bottom = grid.rowSel();
    store::SwapIfGreater(top, bottom);
    top = std::max(top, grid.fixedRows());
    bottom = std::min(bottom, grid.rows() - 1);
    if (top > bottom)
        return;
    if (!store::prompts().question(QStringLiteral("您确定要删除选中的员工信息？")))
        return;

    // Without a catch-all row the sales and purchases of deleted staff would
    // point at nobody, so nothing is deleted then.
    const int catchAll = catchAllStaffId();
    if (catchAll == 0)
        return;

    ui::ProgressStart(QStringLiteral("正在删除员工信息..."), bottom - top + 1);
    bool keptHigher = false;
    // From the last row up, so the rows still to do keep their numbers.
    for (int r = bottom; r >= top; --r) {
        const int id = int(store::leadingNumber(grid.cellText(r, grid::kIdColumn)));
        // A member holding a right the user does not is out of the user's
        // reach, as in the staff dialog.
        StaffInfo member;
        const bool higher
                = loadStaff(id, member) && !RightsCover(store::CurrentRights, member.rights);
        keptHigher = keptHigher || higher;
        const bool kept = id <= 0 || id == store::CurrentUserID || higher
                          || grid.cellText(r, 2) == kCatchAllStaffName;
        if (!kept) {
            // The member's row is taken first, so that on a server nobody
            // saves a record for the member between the moving and the delete.
            store::Connection conn;
            if (store::OpenConn(conn)) {
                store::Transaction transaction(conn);
                if (conn->lockRows(QStringLiteral("Staff"),
                                   QStringLiteral("ID=") + QString::number(id), true)
                    >= 0) {
                    reassignStaffRecords(id, catchAll);
                    grid::DeleteGridRows(grid, r, r, false);
                }
                transaction.commit();
            }
        }
        ui::ProgressStep(1);
    }
    ui::ProgressClose();
    if (keptHigher)
        store::prompts().message(QStringLiteral("权限高于您的员工没有删除！"));
}

bool containsQuote(const QString &text)
{
    return text.contains(QLatin1Char('\'')) || text.contains(QLatin1Char('"'));
}

LoginOutcome checkLogin(const QString &name, const QString &password, StaffLogin &out)
{
    if (containsQuote(name) || containsQuote(password))
        return LoginOutcome::QuoteRefused;

    // The Name column may sort in pinyin order with a collation that folds
    // letter case; a login must match exactly, so compare byte for byte and
    // check again on this side.
    store::Connection conn;
    store::RecordSet rs;
    // Bound, never spliced: the typed password must not appear in any text
    // that could be shown.
    store::OpenBoundQuery(conn, rs,
                          QStringLiteral("SELECT * FROM Staff WHERE Name=? COLLATE BINARY AND "
                                         "PSD=? COLLATE BINARY"),
                          {name, password});
    if (!rs.isOpen()) {
        store::CloseQuery(conn, rs);
        return LoginOutcome::Unreadable;
    }
    LoginOutcome outcome = LoginOutcome::Wrong;
    for (; rs.isOpen() && !rs.eof(); rs.moveNext()) {
        if (fieldText(rs, QStringLiteral("Name")) != name
            || fieldText(rs, QStringLiteral("PSD")) != password)
            continue;
        out.id = rs.value(QStringLiteral("ID")).toInt();
        out.name = fieldText(rs, QStringLiteral("Name"));
        out.rights = fieldText(rs, QStringLiteral("Right"));
        outcome = LoginOutcome::LoggedIn;
        break;
    }
    store::CloseQuery(conn, rs);
    return outcome;
}

QString loginRefusalMessage(LoginOutcome outcome)
{
    switch (outcome) {
    case LoginOutcome::QuoteRefused:
        return QStringLiteral("用户名和密码不能有单/双引号！");
    case LoginOutcome::Wrong:
        return QStringLiteral("用户名或密码错误！");
    case LoginOutcome::Unreadable:
        return kUnreadableSetMessage;
    case LoginOutcome::LoggedIn:
        break;
    }
    return QString();
}

void applyLogin(const StaffLogin &login)
{
    store::CurrentUserID = login.id;
    store::CurrentUser = login.name;
    store::CurrentRights = login.rights;
}

QString currentAccountSetName()
{
    const int index = store::CurrentAccountIndex;
    if (index >= 0 && index < store::AccountSets.size()
        && store::AccountSets.at(index).FileName == store::CurrentAccountFile)
        return store::AccountSets.at(index).Name;
    return store::GetVar(store::kKeyName);
}

PasswordChange changePassword(int userId, const QString &current, const QString &next,
                              const QString &again)
{
    if (next != again)
        return PasswordChange::Mismatch;
    if (current.isEmpty() || next.isEmpty())
        return PasswordChange::Empty;

    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, staffById(userId));
    PasswordChange outcome = PasswordChange::Failed;
    if (rs.isOpen() && !rs.eof()) {
        if (fieldText(rs, QStringLiteral("PSD")) != current) {
            outcome = PasswordChange::WrongCurrent;
        } else {
            rs.setValue(QStringLiteral("PSD"), next);
            if (rs.update())
                outcome = PasswordChange::Changed;
        }
    }
    store::CloseQuery(conn, rs);
    return outcome;
}

} // namespace records
