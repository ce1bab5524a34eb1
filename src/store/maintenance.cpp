#include "maintenance.h"

#include "access.h"
#include "accountsets.h"
#include "changes.h"
#include "engine.h"
#include "params.h"
#include "programfolder.h"
#include "rowinserter.h"
#include "schema.h"
#include "serverlinks.h"
#include "session.h"
#include "workfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>
#include <cstdio>

namespace store {

namespace {

// The tables every account set holds; a file without them is not one.
const QStringList kAccountSetTables = {
        QStringLiteral("Sale"),  QStringLiteral("Pur"),    QStringLiteral("Pro"),
        QStringLiteral("Cus"),   QStringLiteral("Vendor"), QStringLiteral("Acc"),
        QStringLiteral("Staff"), QStringLiteral("参数"),
};

const QString kWrongFileType = QStringLiteral("文件类型错误！");

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// A folder as the file system knows it: links and ".." resolved; a folder
// that does not exist (yet) keeps its cleaned absolute name.
QString canonicalFolder(const QString &folder)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString resolved = QFileInfo(absolute).canonicalFilePath();
    return resolved.isEmpty() ? absolute : resolved;
}

// Removes a database file with whatever log and shared-memory files an
// interrupted connection left beside it.
void removeDatabaseFiles(const QString &path)
{
    Registry::close(path);
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(path + QStringLiteral("-journal"));
}

// The program's own database files as the file system knows them: every
// account set and the template, with their logs, each link followed.
QStringList programDatabaseFiles()
{
    QStringList files;
    QStringList names = ListAccountSetFiles();
    names << QLatin1String(kTemplateFileName);
    for (const QString &name : std::as_const(names)) {
        const QString path = ResolvedOutputPath(programFilePath(name));
        files << path;
        for (const QString &log :
             {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
            files << path + log;
    }
    return files;
}

// True when path names one of the program's own database files: an account
// set, the template, or a log of one of them, by whatever way leads there.
bool isProgramDatabaseFile(const QString &path)
{
    const QString resolved = ResolvedOutputPath(path);
    if (programDatabaseFiles().contains(resolved))
        return true;
    const QFileInfo info(resolved);
    if (info.path() != canonicalFolder(programFolder()))
        return false;
    QString name = info.fileName();
    for (const QString &log :
         {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (name.endsWith(log, Qt::CaseInsensitive))
            name.chop(log.size());
    }
    return name.endsWith(QLatin1String(".qdt"), Qt::CaseInsensitive)
           || name.compare(QLatin1String(kTemplateFileName), Qt::CaseInsensitive) == 0;
}

// Why the program folder cannot take a new set of about bytes, or empty.
QString importFolderProblem(qint64 bytes)
{
    const QString folder = programFolder();
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("程序文件夹不允许写入，无法导入套账：%1")
                .arg(QDir::toNativeSeparators(folder));
    const QStorageInfo storage(folder);
    // Some room is left for the log and the engine's pages beyond the file.
    const qint64 needed = bytes + 64 * 1024;
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < needed)
        return QStringLiteral("磁盘空间不足，无法导入套账（需要 %1 KB，可用 %2 KB）：%3")
                .arg((needed + 1023) / 1024)
                .arg(storage.bytesAvailable() / 1024)
                .arg(QDir::toNativeSeparators(folder));
    return QString();
}

// Base of a set's file name for its automatic backups: DATA00001.qdt gives
// DATA00001.
QString backupBase(const QString &fileName)
{
    QString base = QFileInfo(fileName).fileName();
    if (base.endsWith(QLatin1String(".qdt"), Qt::CaseInsensitive))
        base.chop(4);
    return base;
}

struct AutoBackupFile
{
    QString path;
    QString stamp; // yyyyMMdd-HHmmss
    int serial;    // 1, or n for a second copy in the same second (-n)
};

QVector<AutoBackupFile> autoBackupFiles(const QString &fileName)
{
    const QRegularExpression pattern(
            QStringLiteral("^%1-(\\d{8}-\\d{6})(?:-(\\d+))?\\.qdb$")
                    .arg(QRegularExpression::escape(backupBase(fileName))));
    QVector<AutoBackupFile> files;
    const QDir folder(AutoBackupFolder());
    const QStringList names = folder.entryList(QDir::Files);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        files.append({folder.filePath(name), match.captured(1),
                      match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()});
    }
    std::sort(files.begin(), files.end(), [](const AutoBackupFile &a, const AutoBackupFile &b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.serial < b.serial;
    });
    return files;
}

// Keeps the newest copies of the set and removes work files that an
// interrupted backup of it left behind.
void pruneAutoBackups(const QString &fileName)
{
    const QVector<AutoBackupFile> files = autoBackupFiles(fileName);
    for (int i = 0; i + kAutoBackupsKept < files.size(); ++i)
        QFile::remove(files.at(i).path);
    const QDir folder(AutoBackupFolder());
    const QString workPrefix = QLatin1Char('.') + backupBase(fileName) + QLatin1Char('-');
    const QStringList hidden = folder.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : hidden) {
        if (name.startsWith(workPrefix) && name.endsWith(QLatin1String(".tmp")))
            QFile::remove(folder.filePath(name));
    }
}

} // namespace

// ---------------------------------------------------------------- backups

QString ResolvedOutputPath(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    // A chain of links is followed to its end, also to a target that does
    // not exist yet; a loop stops after a bounded number of steps.
    for (int step = 0; step < 40; ++step) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            break;
        current = info.symLinkTarget();
    }
    const QFileInfo info(current);
    return canonicalFolder(info.absolutePath()) + QLatin1Char('/') + info.fileName();
}

bool IsProtectedOutputPath(const QString &path)
{
    if (isProgramDatabaseFile(path))
        return true;
    return QFileInfo(ResolvedOutputPath(path)).path() == canonicalFolder(AutoBackupFolder());
}

bool IsBackupFileName(const QString &path)
{
    return path.right(4).toLower() == QLatin1String(".qdb");
}

bool BackupAccountSet(const QString &fileName, const QString &targetPath, QString *error)
{
    if (fileName.isEmpty() || !QFileInfo::exists(programFilePath(fileName))) {
        setError(error, QStringLiteral("找不到套账文件：") + fileName);
        return false;
    }
    if (isProgramDatabaseFile(targetPath)) {
        setError(error, QStringLiteral("备份文件不能保存为套账文件本身，请另选文件名！"));
        return false;
    }
    RemoveLeftoverWorkFiles(programFolder());
    RemoveLeftoverWorkFiles(QFileInfo(targetPath).absolutePath(), QFileInfo(targetPath).fileName());
    const QFileInfo target(targetPath);
    if (target.exists() && !target.isFile()) {
        setError(error, QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(targetPath));
        return false;
    }
    const QString work = workFileBeside(targetPath, QStringLiteral("backup"));
    QString copyError;
    if (!CopyAccountSetFile(fileName, work, &copyError)) {
        QFile::remove(work);
        setError(error, QStringLiteral("无法写入备份文件（%1）").arg(copyError));
        return false;
    }
    // A copy of a damaged set must not pass for a good backup, nor replace
    // one. It is still kept, under a name that says what it is: it may help
    // whoever repairs the set.
    // A server set's copy was checked as it was written.
    const bool sound = isServerLink(fileName) || IsSoundAccountSetFile(work);
    forgetDataChanges(work);
    if (!sound) {
        const QString damaged
                = targetPath + QStringLiteral(".damaged-")
                  + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const bool kept = !QFileInfo::exists(damaged) && QFile::rename(work, damaged);
        if (!kept)
            QFile::remove(work);
        setError(error, QStringLiteral("套账文件已损坏（完整性检查未通过），没有写入备份文件%1")
                                        .arg(QDir::toNativeSeparators(targetPath))
                                + (kept ? QStringLiteral("；损坏的副本另存为%1，可供修复时使用。")
                                                   .arg(QDir::toNativeSeparators(damaged))
                                        : QStringLiteral("。")));
        return false;
    }
    if (!replaceFileWith(work, targetPath)) {
        QFile::remove(work);
        setError(error, QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(targetPath));
        return false;
    }
    return true;
}

int ImportAccountSet(const QString &backupPath, QString *error)
{
    const QFileInfo source(backupPath);
    if (!IsBackupFileName(backupPath) || source.isDir()) {
        setError(error, kWrongFileType);
        return -1;
    }
    if (!source.exists()) {
        setError(error, QStringLiteral("找不到文件：") + QDir::toNativeSeparators(backupPath));
        return -1;
    }
    if (NextAccountSetPath().isEmpty()) {
        setError(error, QStringLiteral("套账数量已达上限（%1个），无法导入套账！")
                                .arg(kMaxAccountSetNumber));
        return -1;
    }
    RemoveLeftoverWorkFiles(programFolder());

    // The backup is rewritten into a work copy with a key salt of its own
    // (no two sets share a key); a file that does not open with the
    // password gives no copy. The copy is checked and becomes a set only
    // once it passed.
    const QString folderProblem = importFolderProblem(source.size());
    if (!folderProblem.isEmpty()) {
        setError(error, folderProblem);
        return -1;
    }
    const QString work
            = workFileBeside(programFilePath(QStringLiteral("import")), QStringLiteral("new"));
    // The file itself rather than a link to it: the engine looks for a
    // set's log beside the name it is given.
    if (!CopyAccountSetWithOwnSalt(source.canonicalFilePath(), work)) {
        removeDatabaseFiles(work);
        // A copy that stopped because the folder filled up is not the
        // backup's fault.
        const QString problem = importFolderProblem(source.size());
        setError(error, problem.isEmpty() ? kWrongFileType : problem);
        return -1;
    }
    AccountSet entry;
    {
        const DatabasePtr db = Registry::open(work);
        bool isAccountSet = false;
        if (db) {
            const QStringList tables = db->tableNames();
            isAccountSet = std::all_of(kAccountSetTables.cbegin(), kAccountSetTables.cend(),
                                       [&](const QString &t) { return tables.contains(t); });
            // A damaged page anywhere makes the set unusable later; find it
            // now, while nothing depends on the file yet.
            RecordSet check;
            isAccountSet = isAccountSet && check.open(db, QStringLiteral("PRAGMA quick_check"))
                           && check.recordCount() == 1
                           && check.value(0).toString() == QLatin1String("ok");
        }
        if (!isAccountSet) {
            removeDatabaseFiles(work);
            setError(error, kWrongFileType);
            return -1;
        }
        entry = ReadAccountSetInfo(QFileInfo(work).fileName());
    }
    Registry::close(work);
    forgetDataChanges(work);

    const QString path = NextAccountSetPath();
    // QFile::rename never replaces an existing file: a set that took the
    // number in the meantime keeps it.
    giveNewFileMode(work);
    if (path.isEmpty() || !QFile::rename(work, path)) {
        removeDatabaseFiles(work);
        setError(error, path.isEmpty() ? QStringLiteral("套账数量已达上限（%1个），无法导入套账！")
                                                 .arg(kMaxAccountSetNumber)
                                       : QStringLiteral("无法生成新套账文件！"));
        return -1;
    }
    entry.FileName = QFileInfo(path).fileName();
    AccountSets.append(entry);
    return AccountSets.size() - 1;
}

// ---------------------------------------------------------------- tidying

namespace {

// A sale is kept only when both its customer and its product exist; NOT
// EXISTS (unlike NOT IN) also takes a sale whose key is empty.
const QString kOrphanSale = QStringLiteral("NOT EXISTS (SELECT 1 FROM Cus WHERE Cus.ID = Sale.CID) "
                                           "OR NOT EXISTS (SELECT 1 FROM Pro WHERE Pro.ID = "
                                           "Sale.PID)");

// The engine gives no text for some failures (a set another program holds);
// the user is still told what went wrong.
QString orReason(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("套账正被其他程序使用或无法读写") : text;
}

// The number of orphan sales, read on conn; -1 with the reason.
int countOrphans(const Connection &conn, QString *error)
{
    RecordSet count;
    QString sqlError;
    if (!count.open(conn, QStringLiteral("SELECT Count(*) FROM Sale WHERE ") + kOrphanSale,
                    &sqlError)
        || count.eof()) {
        setError(error, QStringLiteral("无法读取销售数据：") + orReason(sqlError));
        return -1;
    }
    return int(count.value(0).toLongLong());
}

Connection openCurrentSet(QString *error)
{
    QString openError;
    const Connection conn
            = CurrentAccountFile.isEmpty()
                      ? Connection()
                      : Registry::open(programFilePath(CurrentAccountFile), &openError);
    if (!conn)
        setError(error, QStringLiteral("无法打开套账：") + orReason(openError));
    return conn;
}

} // namespace

int CountOrphanSales(QString *error)
{
    const Connection conn = openCurrentSet(error);
    return conn ? countOrphans(conn, error) : -1;
}

int DeleteOrphanSales(QString *error)
{
    const Connection conn = openCurrentSet(error);
    if (!conn)
        return -1;
    // Counted and deleted in one transaction, so the number told is the
    // number deleted.
    WriteTransaction transaction(conn);
    if (!transaction.isActive()) {
        setError(error, orReason(QString()));
        return -1;
    }
    const int orphans = countOrphans(conn, error);
    if (orphans <= 0)
        return orphans;
    QString sqlError;
    if (!conn->execNative(QStringLiteral("DELETE FROM Sale WHERE ") + kOrphanSale, &sqlError)
        || !transaction.commit(&sqlError)) {
        setError(error, orReason(sqlError));
        return -1;
    }
    return orphans;
}

// ---------------------------------------------------------------- clearing

const QStringList &clearBoxCaptions()
{
    static const QStringList captions = {
            QStringLiteral("清空销售数据"),   QStringLiteral("清空采购数据"),
            QStringLiteral("清空产品数据"),   QStringLiteral("清空客户数据"),
            QStringLiteral("清空供应商数据"), QStringLiteral("清空员工记录"),
            QStringLiteral("清空账号记录"),
    };
    return captions;
}

QVector<int> boxesRequiredBy(int box)
{
    switch (box) {
    case ClearProducts:
    case ClearStaff:
    case ClearAccounts: // sales and purchases both name a fund account
        return {ClearSales, ClearPurchases};
    case ClearCustomers:
        return {ClearSales};
    case ClearVendors:
        return {ClearPurchases};
    default:
        return {};
    }
}

bool clearBoxRequired(const QVector<bool> &ticked, int box)
{
    for (int i = 0; i < ticked.size(); ++i) {
        if (ticked.at(i) && boxesRequiredBy(i).contains(box))
            return true;
    }
    return false;
}

void applyClearRules(QVector<bool> &ticked)
{
    ticked.resize(kClearBoxCount);
    for (int i = 0; i < kClearBoxCount; ++i) {
        if (!ticked.at(i))
            continue;
        for (const int required : boxesRequiredBy(i))
            ticked[required] = true;
    }
}

QStringList clearStatements(const QVector<bool> &ticked, const QString &user)
{
    static const QStringList tables = {
            QStringLiteral("Sale"), QStringLiteral("Pur"),    QStringLiteral("Pro"),
            QStringLiteral("Cus"),  QStringLiteral("Vendor"), QStringLiteral("Staff"),
            QStringLiteral("Acc"),
    };
    QStringList statements;
    for (int i = 0; i < kClearBoxCount && i < ticked.size(); ++i) {
        if (!ticked.at(i))
            continue;
        QString sql = QStringLiteral("DELETE * FROM ") + tables.at(i);
        if (i == ClearStaff)
            sql += QStringLiteral(" WHERE Name<>") + sqlText(user);
        // Receipts and payments only ever settle sales and purchases: they
        // go with them.
        if (i == ClearSales)
            statements << QStringLiteral("DELETE * FROM RcvLine")
                       << QStringLiteral("DELETE * FROM Rcv");
        if (i == ClearPurchases)
            statements << QStringLiteral("DELETE * FROM PmtLine")
                       << QStringLiteral("DELETE * FROM Pmt");
        statements << sql;
    }
    return statements;
}

ClearResult ClearData(const QVector<bool> &requested, const std::function<void()> &step)
{
    ClearResult result;
    QVector<bool> ticked = requested;
    applyClearRules(ticked);
    if (ticked.at(ClearStaff) && CurrentUser.isEmpty()) {
        // Without a logged-in member every staff row would go, and nobody
        // could log in again.
        result.error = QStringLiteral("没有登录的操作员，不能清空员工记录！");
        return result;
    }

    Connection conn;
    if (!OpenConn(conn)) {
        result.error = QStringLiteral("无法打开套账，数据未清空！");
        return result;
    }
    {
        WriteTransaction transaction(conn);
        if (!transaction.isActive()) {
            result.error = QStringLiteral("清空数据失败（数据库正忙），数据未清空！");
            return result;
        }
        for (const QString &sql : clearStatements(ticked, CurrentUser)) {
            QString sqlError;
            if (!conn->exec(sql, &sqlError)) {
                result.error = QStringLiteral("清空数据失败（%1），数据未清空！").arg(sqlError);
                return result;
            }
        }
        QString commitError;
        if (!transaction.commit(&commitError)) {
            result.error = QStringLiteral("清空数据失败（%1），数据未清空！").arg(commitError);
            return result;
        }
    }
    result.cleared = true;
    if (step) {
        for (int i = 0; i < kClearBoxCount; ++i)
            step();
    }

    conn.reset();
    QString compactError;
    result.compacted = CompactAccount(CurrentAccountFile, &compactError);
    if (!result.compacted)
        result.error = QStringLiteral("数据库压缩失败（%1）！").arg(compactError);
    return result;
}

// ---------------------------------------------------------------- automatic backups

QString AutoBackupFolder()
{
    return QDir(programFolder()).filePath(QStringLiteral("备份"));
}

QString autoBackupName(const QString &fileName, const QDateTime &at)
{
    return backupBase(fileName) + QLatin1Char('-') + at.toString(QStringLiteral("yyyyMMdd-HHmmss"))
           + QStringLiteral(".qdb");
}

QStringList AutoBackupsOf(const QString &fileName)
{
    QStringList paths;
    for (const AutoBackupFile &file : autoBackupFiles(fileName))
        paths << file.path;
    return paths;
}

bool AutoBackupEnabled(const QString &fileName)
{
    const QString file = fileName.isEmpty() ? CurrentAccountFile : fileName;
    if (file.isEmpty())
        return false;
    return LookupValue(QStringLiteral("参数"), kKeyAutoBackup, QStringLiteral("Var"),
                       QStringLiteral("Con"), file)
                   .toString()
           != QStringLiteral("否");
}

void SetAutoBackupEnabled(bool enabled)
{
    SetVar(kKeyAutoBackup, enabled ? QStringLiteral("是") : QStringLiteral("否"));
}

AutoBackupOutcome AutoBackupOnClose(const QString &fileName, QString *written, QString *error,
                                    const QDateTime &at)
{
    const QString path = programFilePath(fileName);
    if (fileName.isEmpty() || !dataChanged(path))
        return AutoBackupOutcome::Unchanged;
    if (!AutoBackupEnabled(fileName))
        return AutoBackupOutcome::Disabled;

    const QDir folder(AutoBackupFolder());
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        setError(error, QStringLiteral("无法建立备份文件夹 %1")
                                .arg(QDir::toNativeSeparators(folder.path())));
        return AutoBackupOutcome::Failed;
    }
    // Two closings in the same second get -2, -3, … after the time.
    QString target = folder.filePath(autoBackupName(fileName, at));
    for (int serial = 2; QFileInfo::exists(target); ++serial) {
        QString name = autoBackupName(fileName, at);
        name.insert(name.size() - 4, QStringLiteral("-%1").arg(serial));
        target = folder.filePath(name);
    }
    QString copyError;
    if (!CopyAccountSetFile(fileName, target, &copyError)) {
        setError(error, copyError);
        return AutoBackupOutcome::Failed;
    }
    forgetDataChanges(path);
    pruneAutoBackups(fileName);
    if (written)
        *written = target;
    return AutoBackupOutcome::Written;
}

} // namespace store
