#pragma once

#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace records {

// The name of the staff row that takes over the sales and purchases of
// deleted staff members.
inline const QString kCatchAllStaffName = QStringLiteral("其他");

// Fields of Staff bound to the staff dialog's boxes 0 to 5, in box order.
const QStringList &staffBoxFields();

// One staff member as the staff dialog edits it.
struct StaffInfo
{
    int id = 0;        // 0 for a member not stored yet
    QStringList boxes; // texts of the boxes 0 to 5 (see staffBoxFields)
    QString rights;    // Staff.Right
};

// The box of the login password among the boxes 0 to 5.
inline constexpr int kPasswordBox = 1;

// Reads staff member id into info. False (info untouched) when there is no
// such row.
bool loadStaff(int id, StaffInfo &info);
// Stores info under id, adding a row when there is none; returns the stored
// row's ID (the new number for a new member), 0 on failure (a write the
// database refuses is reported with "记录保存失败，数据没有写入！"). An empty
// password box keeps a stored member's password.
int saveStaff(int id, const StaffInfo &info);

// ID of the catch-all row "其他", created when it is missing; 0 when the
// table cannot be read.
int catchAllStaffId();
// Points every sale and purchase of staffId at catchAllId.
void reassignStaffRecords(int staffId, int catchAllId);

// The staff list: columns, tag "Staff", whole table in table order, report
// title "操作员列表".
void LoadStaffList(grid::Grid &grid);
// Deletes the selected staff rows after asking, moving their sales and
// purchases to "其他". The logged-in user and "其他" itself are kept, and so
// are members holding a right the user does not (the user is told).
void DeleteSelectedStaff(grid::Grid &grid);

// The logged-in identity a successful login hands over.
struct StaffLogin
{
    int id = 0;
    QString name;
    QString rights;
};

// Told at a login when the account set cannot be read (rather than that the
// name or password is wrong).
inline const QString kUnreadableSetMessage
        = QStringLiteral("无法读取当前套账的数据，套账文件可能已损坏，不能登录！");

enum class LoginOutcome {
    LoggedIn,     // out is filled
    QuoteRefused, // a ' or " in the name or password; no query was made
    Wrong,        // no staff member with exactly this name and password
    Unreadable,   // the account set could not be read: nobody can be checked
};

// True when text holds a single or double quote.
bool containsQuote(const QString &text);

// Checks a name and password against Staff. Both compare exactly, letter
// case included, whatever collation the Name column carries.
LoginOutcome checkLogin(const QString &name, const QString &password, StaffLogin &out);
// What the user is told when a login is refused; empty for LoggedIn.
QString loginRefusalMessage(LoginOutcome outcome);
// Makes login the current user (CurrentUserID, CurrentUser, CurrentRights).
void applyLogin(const StaffLogin &login);

// Name of the current account set as the login window shows it.
QString currentAccountSetName();

enum class PasswordChange {
    Changed,
    Mismatch,     // the two new passwords differ
    Empty,        // the current or the new password is empty
    WrongCurrent, // the current password does not match; nothing written
    Failed,       // the staff row could not be read or written
};

// Changes the password of staff member userId from current to next, after
// the checks of the change-password window (again is the repeated new
// password). The current password compares exactly.
PasswordChange changePassword(int userId, const QString &current, const QString &next,
                              const QString &again);

} // namespace records
