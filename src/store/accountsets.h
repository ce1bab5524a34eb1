#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace store {

// One account set as the program keeps it in memory: the identity read from
// the set's parameter table and the bare name of its file.
struct AccountSet
{
    QString Company;      // 所属企业
    QString Name;         // 套账名称
    QString FileName;     // bare file name, e.g. DATA00003.qdt
    QDateTime Created;    // 生成日期 (invalid when missing or not a date)
    QDateTime LastAccess; // 最近访问; set to now whenever the set is made current
    bool Damaged = false; // the file does not open as an account set: not choosable
};

// Shown in place of the name of a set whose file does not open.
inline const QString kDamagedSetName = QStringLiteral("（文件损坏）");

// Shown after the name of a set that lives on a database server, and in
// place of it when the server cannot be reached.
inline const QString kServerSetMark = QStringLiteral("（服务器）");
inline const QString kUnreachableServerSetName = QStringLiteral("（服务器无法连接）");

// Told when a damaged set is chosen, and at start-up when no set opens.
inline const QString kDamagedSetRefusal
        = QStringLiteral("该套账文件已损坏或不是本程序的套账，无法打开！");
inline const QString kNoSetOpensMessage
        = QStringLiteral("套账文件都已损坏，无法打开任何套账,请建立新套账！");

// The name a list shows for the set: its name, or kDamagedSetName.
QString accountSetDisplayName(const AccountSet &set);

// The account-set list, built at start-up and kept in step by creation,
// deletion and import; positions match the chooser's rows.
extern QVector<AccountSet> AccountSets;

// Result of the last chooser (account sets: the chosen grid row number as
// text; printers: the printer name), or empty.
extern QString PendingAccountChoice;

// Parameter keys of an account set's identity and contact lines.
inline const QString kKeyCompany = QStringLiteral("所属企业");
inline const QString kKeyName = QStringLiteral("套账名称");
inline const QString kKeyCreated = QStringLiteral("生成日期");
inline const QString kKeyLastAccess = QStringLiteral("最近访问");
inline const QString kKeyAddress = QStringLiteral("联系地址");
inline const QString kKeyPhone = QStringLiteral("联系电话");
inline const QString kKeyFax = QStringLiteral("企业传真");
inline const QString kKeyWeb = QStringLiteral("企业网址");

// Highest account-set number (DATA30000.qdt).
inline constexpr int kMaxAccountSetNumber = 30000;

// Text forms of stored dates: 生成日期 is a date, 最近访问 a date and time.
QString dateText(const QDate &date);
QString dateTimeText(const QDateTime &dateTime);
// Reads a stored date or date-time text: the forms above first, then the
// other usual forms (ISO, "yyyy/M/d H:mm:ss", "yyyy.MM.dd HH:mm", Qt's text
// form). An invalid QDateTime when the text is empty or not a date.
QDateTime parseStoredDateTime(const QString &text);

// Bare file name of account-set number n: DATA + five digits + .qdt.
QString accountSetFileName(int number);
// The number of a set named DATA + five ASCII digits + .qdt (any letter
// case), 1 to 30000; 0 for any other name (a set may be named otherwise).
int accountSetNumber(const QString &fileName);
// Full path of the lowest-numbered free account-set file (1 to 30000); the
// empty text when every number is taken. Never names an existing file.
QString NextAccountSetPath();

// Bare names of the account-set files in the program folder: every file whose
// name ends in ".qdt" in any letter case, in name order.
QStringList ListAccountSetFiles();

// Identity of one account-set file, read without any message: a damaged or
// foreign file gives an entry with only FileName filled in and Damaged set.
AccountSet ReadAccountSetInfo(const QString &fileName);

// Position of the set to open at start-up: among the sets that open, the
// first entry whose last access is strictly later than every earlier one and
// than 2000-01-01 00:00:00; the first set that opens when none is; -1 when
// no set opens (or the list is empty).
int BestAccountSetIndex(const QVector<AccountSet> &sets);

// Rebuilds AccountSets from the program folder and sets CurrentAccountIndex
// to BestAccountSetIndex (-1 when there is no set). step(i) is called after
// entry i has been read. Returns the number of sets. Does not make the set
// current (the shell does that, it shows windows).
int BuildAccountSetList(const std::function<void(int)> &step = {});
// The same for a listing taken beforehand (ListAccountSetFiles()).
int BuildAccountSetList(const QStringList &files, const std::function<void(int)> &step = {});

// Makes entry index current in the store: CurrentAccountIndex,
// CurrentAccountFile, the entry's LastAccess := now, logged out. The set
// current before is let go (its log folded back). A set whose file the
// program may not write is opened for looking and printing only, and the
// user is told so once (readOnlyNotice). False (and nothing changed) when
// index is out of range or names a damaged set.
bool MakeAccountSetCurrent(int index);

// True when the set's file opens read-only (no write permission, or a
// folder that cannot take a journal, such as a CD).
bool AccountSetIsReadOnly(const QString &fileName);
// What the user is told once when a read-only set is opened.
QString readOnlyNotice(const AccountSet &set);

// Creates a new account set from the template under NextAccountSetPath(),
// writes its four identity keys and appends its entry to AccountSets. The
// copy is made under a work name and renamed, so no half-written set is ever
// listed and no existing file is overwritten. When there was no current set
// the new one becomes current (index and file); otherwise CurrentAccountFile
// stays on the set in use. Returns the new position, or -1 with a Chinese
// reason in *error.
int CreateAccountSet(const QString &company, const QString &name, QString *error = nullptr);

enum class DeleteOutcome {
    Deleted,    // file removed, entry dropped
    WasMissing, // file already gone: entry dropped, user told
    Refused,    // the set in use: refused with a message
    Declined,   // the user answered No
    Failed,     // the file could not be removed: entry kept, user told
    NotListed,  // no entry has this file name: nothing done
};

// Deletes the account set stored in fileName after asking
// "您确定要删除套账：" + displayName + "？". Refuses the set in use. Closes the
// file's connection before removing it, removes its log and journal files
// with it, and keeps AccountSets in step with the folder;
// CurrentAccountIndex follows its entry.
DeleteOutcome DeleteAccountSet(const QString &fileName, const QString &displayName);

// Copies an account-set file (bare name) to targetPath as one complete
// file: the program's connection folds its log back into the file and holds
// a read lock during the copy (it stays open), a log a crash left is folded
// back (when it belongs to the set), and the bytes are written under a work
// name and renamed, so the target is either absent or a whole, consistent
// database. While another program has the set open on its log, the copy is
// read within one read transaction instead. Fails when the target exists or
// another program keeps the set locked for writing. A server set is written
// as a file set made from one snapshot of it.
bool CopyAccountSetFile(const QString &fileName, const QString &targetPath,
                        QString *error = nullptr);

// Writes the account-set database at sourcePath (any folder: a backup
// being restored, a set on a CD) to targetPath as a set of its own: the same
// tables, rows and password, but a key salt of its own, so that no two sets
// share a key. The source is only read. Nothing is written when the source
// does not open with the password or the target (or a log of it) exists.
// New sets are made this way from the template.
bool CopyAccountSetWithOwnSalt(const QString &sourcePath, const QString &targetPath,
                               QString *error = nullptr);

// Gives the account-set file at path a key salt of its own in place (for a
// restored byte copy of another set): rewritten under a work name that then
// replaces the file in one rename. The file is unchanged on failure.
bool GiveAccountSetOwnSalt(const QString &path, QString *error = nullptr);

// The editable identity and contact lines of the current set.
struct AccountSetInfo
{
    QString name;
    QString company;
    QString address;
    QString phone;
    QString fax;
    QString web;
};

// Reads the info of the current set from its parameter table.
AccountSetInfo LoadAccountSetInfo();
// Stores the info into the current set's parameters and its list entry. When
// companyChanged is set, the cached print headers are deleted so that
// reports pick up the new company lines. False when the database refused a
// write: then neither the file nor the list entry has changed.
bool SaveAccountSetInfo(const AccountSetInfo &info, bool companyChanged);

// Deletes every parameter whose key starts with "表格打印信息_" (the cached
// print header lines) from the current set, and nothing else.
void ClearPrintHeaderCache();

} // namespace store
