#include "access.h"

#include "formatting.h"
#include "programfolder.h"
#include "prompts.h"
#include "serverlinks.h"
#include "session.h"
#include "workfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <iterator>
#include <memory>

namespace store {

namespace {

// How long DropTable waits for a dropped table to disappear from the schema.
constexpr int kDropWaitMs = 3000;

QString resolvedFile(const QString &file)
{
    return file.isEmpty() ? CurrentAccountFile : file;
}

// Failures are reported to the user only for the account set in use; reads
// of other files (the account-set list, backups being checked) fail quietly.
bool isCurrentFile(const QString &resolved)
{
    return resolved == CurrentAccountFile;
}

DatabasePtr openFile(const QString &resolved, QString *error = nullptr)
{
    if (resolved.isEmpty()) {
        if (error)
            *error = QStringLiteral("没有打开的套账");
        return DatabasePtr();
    }
    return Registry::open(programFilePath(resolved), error);
}

// The plain text form of a look-up key: texts quoted and escaped, numbers as
// they stand, dates as date literals.
QString keyLiteral(const QVariant &value)
{
    if (isIntegerType(value.typeId()))
        return value.toString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 17);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDate:
        return QLatin1Char('#') + value.toDate().toString(QStringLiteral("yyyy-MM-dd"))
               + QLatin1Char('#');
    case QMetaType::QDateTime:
        return QLatin1Char('#') + value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
               + QLatin1Char('#');
    case QMetaType::UnknownType:
        return QStringLiteral("NULL");
    default:
        return sqlText(value.toString());
    }
}

// First row's value of resultField, or the empty text when there is no row
// (or the field is missing or NULL).
QVariant firstValue(const QString &sql, const QString &resultField, const QString &file)
{
    Connection conn;
    RecordSet rs;
    OpenQuery(conn, rs, sql, file);
    QVariant result;
    if (rs.isOpen() && !rs.eof())
        result = rs.value(resultField);
    CloseQuery(conn, rs);
    if (!result.isValid() || result.isNull())
        return QString();
    return result;
}

// SQLite's own bookkeeping tables (the autoincrement counters) are not ours
// to drop or compare.
bool isInternalTable(const QString &name)
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

// Row counts of every table, to check a compacted copy against its source.
bool tableCounts(const DatabasePtr &db, QList<QPair<QString, qlonglong>> *counts)
{
    counts->clear();
    const QStringList names = db->tableNames();
    for (const QString &name : names) {
        if (isInternalTable(name))
            continue;
        RecordSet rs;
        QString quoted = name;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        if (!rs.open(db, QStringLiteral("SELECT Count(*) FROM \"%1\"").arg(quoted)) || rs.eof())
            return false;
        counts->append(qMakePair(name, rs.value(0).toLongLong()));
    }
    return true;
}

// A log or journal beside the file after our connection is closed means a
// connection somewhere still has it open: a copy would miss its latest
// commits, and the log would be replayed onto a replaced file.
bool stillInUse(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path + QStringLiteral("-wal"))
        && !QFileInfo::exists(path + QStringLiteral("-journal")))
        return false;
    if (error)
        *error = QStringLiteral("数据库正在使用中");
    return true;
}

bool replaceFile(const QString &from, const QString &to, QString *error)
{
    if (replaceFileWith(from, to))
        return true;
    if (error)
        *error = QStringLiteral("无法替换文件 %1").arg(to);
    return false;
}

// The current set's file whose failure to open has been reported. A set
// that does not open fails every statement; the user hears it once, not
// once per statement, until the file opens again or another set is used.
QString &reportedUnopenedFile()
{
    static QString file;
    return file;
}

int &failedOperations()
{
    static int count = 0;
    return count;
}

// Opens the file's connection; for the current set, a failure is reported
// once.
DatabasePtr openReporting(const QString &resolved)
{
    DatabasePtr db = openFile(resolved);
    if (db) {
        if (reportedUnopenedFile() == resolved)
            reportedUnopenedFile().clear();
        return db;
    }
    if (isCurrentFile(resolved))
        ++failedOperations();
    if (isCurrentFile(resolved) && reportedUnopenedFile() != resolved) {
        reportedUnopenedFile() = resolved;
        prompts().message(QStringLiteral("无法建立数据库连接(数据库：") + resolved
                          + QStringLiteral(")！"));
    }
    return db;
}

void openQuery(Connection &conn, RecordSet &rs, const QString &sql, const QVariantList &values,
               const QString &file)
{
    CloseQuery(conn, rs);
    const QString resolved = resolvedFile(file);
    conn = openReporting(resolved);
    if (!conn)
        return;
    if (!rs.open(conn, sql, values)) {
        rs.close();
        // The statement's text only: bound values (a password) never show.
        if (isCurrentFile(resolved)) {
            ++failedOperations();
            prompts().message(QStringLiteral("数据库打开错误(") + sql + QStringLiteral(")！"));
        }
    }
}

} // namespace

int FailedOperations()
{
    return failedOperations();
}

bool OpenConn(Connection &conn, const QString &file)
{
    conn.reset();
    conn = openReporting(resolvedFile(file));
    return bool(conn);
}

void OpenQuery(Connection &conn, RecordSet &rs, const QString &sql, const QString &file)
{
    openQuery(conn, rs, sql, QVariantList(), file);
}

void OpenBoundQuery(Connection &conn, RecordSet &rs, const QString &sql, const QVariantList &values,
                    const QString &file)
{
    openQuery(conn, rs, sql, values, file);
}

void OpenQuery(RecordSet &rs, const QString &sql, const QString &file)
{
    Connection conn;
    OpenQuery(conn, rs, sql, file);
}

void CloseQuery(Connection &conn, RecordSet &rs)
{
    rs.close();
    conn.reset();
}

bool ExecSQL(const QString &sql, Connection *conn, const QString &file)
{
    if (conn && *conn) {
        const bool done = (*conn)->exec(sql);
        if (!done && !CurrentAccountFile.isEmpty()
            && (*conn)->path()
                       == QDir::cleanPath(
                               QFileInfo(programFilePath(CurrentAccountFile)).absoluteFilePath()))
            ++failedOperations();
        return done;
    }
    Connection own;
    if (!OpenConn(own, file))
        return false;
    const bool done = own->exec(sql);
    if (!done && isCurrentFile(resolvedFile(file)))
        ++failedOperations();
    return done;
}

bool TableExists(const QString &table, const QString &file)
{
    Connection conn;
    if (!OpenConn(conn, file))
        return false;
    // The server keeps the names of scratch tables in lower case.
    return conn->tableNames().contains(table,
                                       conn->isServer() ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

bool DropTable(const QString &table, const QString &file)
{
    if (!TableExists(table, file))
        return true;
    {
        Connection conn;
        if (!OpenConn(conn, file))
            return false;
        // The server keeps unquoted names in lower case.
        QString quoted = conn->isServer() ? table.toLower() : table;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        conn->execNative(QStringLiteral("DROP TABLE \"%1\"").arg(quoted));
    }
    // A following SELECT ... INTO of the same name must not find the table
    // still there; give up after a few seconds instead of hanging.
    QElapsedTimer timer;
    timer.start();
    while (TableExists(table, file)) {
        if (timer.elapsed() > kDropWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

void DropTablesByPrefix(const QString &prefix, const QString &file)
{
    // An empty prefix would match every table, base tables included.
    if (prefix.isEmpty())
        return;
    QStringList names;
    {
        Connection conn;
        if (!OpenConn(conn, file))
            return;
        const QStringList all = conn->tableNames();
        const Qt::CaseSensitivity cs = conn->isServer() ? Qt::CaseInsensitive : Qt::CaseSensitive;
        for (const QString &name : all) {
            if (name.startsWith(prefix, cs) && !isInternalTable(name))
                names << name;
        }
    }
    for (const QString &name : std::as_const(names))
        DropTable(name, file);
}

int CountGroups(const QString &table, const QString &fields, const QString &where)
{
    QString sql = QStringLiteral("SELECT ") + fields + QStringLiteral(" FROM ") + table;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    sql += QStringLiteral(" GROUP BY ") + fields;
    RecordSet rs;
    OpenQuery(rs, sql);
    return rs.recordCount();
}

QVariant LookupValue(const QString &table, const QVariant &keyValue, const QString &keyField,
                     const QString &resultField, const QString &file)
{
    const QString sql = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ")
                        + keyField + QLatin1Char('=') + keyLiteral(keyValue);
    return firstValue(sql, resultField, file);
}

QVariant LookupWhere(const QString &table, const QString &where, const QString &resultField,
                     const QString &file)
{
    const QString sql
            = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + where;
    return firstValue(sql, resultField, file);
}

bool CompactAccount(const QString &file, QString *error)
{
    QString ignored;
    QString &err = error ? *error : ignored;
    err.clear();
    const QString resolved = resolvedFile(file);
    const QString path = programFilePath(resolved);
    if (resolved.isEmpty() || !QFileInfo::exists(path)) {
        err = QStringLiteral("没有找到要压缩的数据库文件！");
        return false;
    }
    // A server set is compacted by the server itself, while others work on.
    if (isServerLink(resolved)) {
        const DatabasePtr db = Registry::open(path, &err);
        return db && db->execNative(QStringLiteral("VACUUM (ANALYZE)"), &err);
    }
    RemoveLeftoverWorkFiles(programFolder());

    // The file alone must be the whole set. A log a killed run left beside
    // it is dealt with by opening the file (replayed when it belongs to the
    // set, kept aside otherwise) and letting it go again.
    Registry::close(path);
    if (QFileInfo::exists(path + QStringLiteral("-wal")) && Registry::open(path))
        Registry::close(path);
    if (stillInUse(path, &err))
        return false;
    // Safety copy in a folder of its own in the system's temporary folder:
    // only we can enter it (mode 0700), nobody can guess or block its name,
    // and it goes with everything in it on every way out of here. The copy
    // holds every staff member's password; it must not lie about.
    QTemporaryDir safetyFolder(QDir::temp().filePath(QStringLiteral("korvo-compact-XXXXXX")));
    const QString safety = safetyFolder.filePath(QStringLiteral("backup.mdb"));
    if (!safetyFolder.isValid() || !QFile::copy(path, safety)
        || !QFile::setPermissions(safety, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        err = QStringLiteral("无法在临时文件夹建立安全副本 %1")
                      .arg(QDir::toNativeSeparators(QDir::tempPath()));
        return false;
    }

    // The compacted copy is written beside the original, so that the final
    // rename stays on one file system and is atomic.
    const QString work = workFileBeside(path, QStringLiteral("compact"));
    QList<QPair<QString, qlonglong>> before;
    {
        const DatabasePtr source = Registry::open(path, &err);
        if (!source)
            return false;
        if (!tableCounts(source, &before)) {
            err = QStringLiteral("无法读取数据库 %1").arg(resolved);
            return false;
        }
        if (!compactInto(source, work, &err)) {
            Registry::close(path);
            return false;
        }
    }
    Registry::close(path);

    // The copy must open with the password and hold the same tables and rows
    // before it may take the original's place.
    bool same = false;
    {
        QString openError;
        const DatabasePtr copy = Registry::open(work, &openError);
        QList<QPair<QString, qlonglong>> after;
        same = copy && tableCounts(copy, &after) && after == before;
        if (!copy)
            err = openError;
    }
    Registry::close(work);
    if (!same) {
        if (err.isEmpty())
            err = QStringLiteral("压缩后的数据库与原数据库不一致");
        QFile::remove(work);
        return false;
    }

    Registry::close(path);
    if (stillInUse(path, &err)) {
        QFile::remove(work);
        return false;
    }
    // No log is left beside the file now; an index file of one is stale and
    // must not meet the compacted file.
    QFile::remove(path + QStringLiteral("-shm"));
    if (!replaceFile(work, path, &err)) {
        QFile::remove(work);
        return false;
    }
    return true;
}

QString escapeSql(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return escaped;
}

QString sqlText(const QString &text)
{
    return QLatin1Char('\'') + escapeSql(text) + QLatin1Char('\'');
}

} // namespace store
