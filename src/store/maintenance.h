#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace store {

// ---------------------------------------------------------------- backups

// File-dialog filter of backup files.
inline const QString kBackupFilter = QStringLiteral("Korvo进销存备份文件 (*.qdb)|*.qdb");

// The file a write to path ends up changing: links followed to their end
// (also to a target that does not exist yet), the folder's links and ".."
// resolved, so that two paths to one file give the same text.
QString ResolvedOutputPath(const QString &path);

// True when path, by whatever links or ".." lead there, names a file that no
// export, picture or printout may replace: an account set, the template, a
// log of one of them, or a file in the automatic-backup folder.
bool IsProtectedOutputPath(const QString &path);

// What the user is told when an output file is refused by
// IsProtectedOutputPath.
inline const QString kProtectedOutputMessage
        = QStringLiteral("不能写入套账文件、套账模板或自动备份，请另选文件名！");

// True when the last four characters of the name, lower-cased, are ".qdb".
bool IsBackupFileName(const QString &path);

// Writes a consistent copy of the account set (bare file name) to
// targetPath. The copy is taken with no connection of ours writing, written
// under a work name beside the target and then renamed over it, so an
// existing target is only ever replaced by a complete copy and a failed
// backup leaves the old one in place. Refuses a target that is an
// account-set file, the template or one of their logs. False with a Chinese
// reason in *error.
bool BackupAccountSet(const QString &fileName, const QString &targetPath, QString *error = nullptr);

// Imports a backup as a further account set: copies it under a work name
// into the program folder, checks that it opens with the password and holds
// the tables of an account set, then renames it to NextAccountSetPath() and
// appends its entry (name, company, dates read from the copy). The set in
// use stays current. Returns the new position, or -1 with the message for
// the user in *error ("文件类型错误！" for a file that is not an account set);
// a refused file leaves nothing behind in the program folder.
int ImportAccountSet(const QString &backupPath, QString *error = nullptr);

// ---------------------------------------------------------------- tidying

// Deletes every sale of the current set whose customer or product no longer
// exists (a sale without a customer goes whatever its product), in one
// statement: all of them or none. Purchases are not examined. Returns the
// number of sales deleted, or -1 with the reason in *error.
int DeleteOrphanSales(QString *error = nullptr);

// The number of sales DeleteOrphanSales would delete now, or -1 with the
// reason in *error.
int CountOrphanSales(QString *error = nullptr);

// ---------------------------------------------------------------- clearing

// The boxes of the clear-data dialog, by index.
enum ClearBox {
    ClearSales = 0,
    ClearPurchases = 1,
    ClearProducts = 2,
    ClearCustomers = 3,
    ClearVendors = 4,
    ClearStaff = 5,
    ClearAccounts = 6,
};
inline constexpr int kClearBoxCount = 7;

// Caption of each box, by index.
const QStringList &clearBoxCaptions();
// The boxes a ticked box requires: the records that point to what it clears
// (products and staff: sales and purchases; customers: sales; vendors:
// purchases; fund accounts: sales and purchases).
QVector<int> boxesRequiredBy(int box);
// True when a ticked box requires box, so that box may not be unticked.
bool clearBoxRequired(const QVector<bool> &ticked, int box);
// Ticks every box a ticked box requires (rules only ever tick).
void applyClearRules(QVector<bool> &ticked);
// The statements of the ticked boxes in box order; staff are cleared except
// the member named user; sales (purchases) take the receipts (payments) and
// their lines with them.
QStringList clearStatements(const QVector<bool> &ticked, const QString &user);

struct ClearResult
{
    bool cleared = false;   // the statements ran and were committed
    bool compacted = false; // the set was compacted afterwards
    QString error;          // the message for the user when one failed
};

// Clears the ticked kinds of records of the current set in one transaction
// (all of them or none, also after a crash), then compacts the set. Staff
// are cleared except the logged-in member (CurrentUser); with nobody logged
// in staff are not cleared and nothing is done. step is called after each
// box (seven times) once the transaction is committed.
ClearResult ClearData(const QVector<bool> &ticked, const std::function<void()> &step = {});

// ---------------------------------------------------------------- automatic backups

// How many automatic backups are kept per account set.
inline constexpr int kAutoBackupsKept = 10;
// Parameter key that switches automatic backups of a set off ("否").
inline const QString kKeyAutoBackup = QStringLiteral("自动备份");

// The folder beside the account sets that holds the automatic backups.
QString AutoBackupFolder();
// Name of the automatic backup of fileName taken at `at`, e.g.
// DATA00001-20261206-143000.qdb.
QString autoBackupName(const QString &fileName, const QDateTime &at);
// Full paths of the automatic backups of fileName, oldest first.
QStringList AutoBackupsOf(const QString &fileName);

// Whether the set (bare file name; empty: the current one) is backed up
// automatically when it is closed; on unless switched off.
bool AutoBackupEnabled(const QString &fileName = QString());
// Switches automatic backups of the current set on or off.
void SetAutoBackupEnabled(bool enabled);

enum class AutoBackupOutcome {
    Written,   // a copy was written (*written holds its path)
    Unchanged, // nothing changed since the last automatic backup
    Disabled,  // switched off for this set
    Failed,    // no copy; *error says why
};

// Called when a set is closed (program exit, another set opened): when its
// business data may have changed since its last automatic backup in this
// run, writes a consistent copy to AutoBackupFolder() named by autoBackupName
// and keeps only the newest kAutoBackupsKept copies of the set.
AutoBackupOutcome AutoBackupOnClose(const QString &fileName, QString *written = nullptr,
                                    QString *error = nullptr,
                                    const QDateTime &at = QDateTime::currentDateTime());

} // namespace store
