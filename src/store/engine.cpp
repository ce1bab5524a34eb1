#include "enginedetail.h"

#include "changes.h"
#include "jetdialect.h"
#include "pgconnection.h"
#include "rowinserter.h"
#include "schema.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

namespace store {

using namespace detail;

// ---------------------------------------------------------------------------
// Database

namespace {

// The number the first row's text starts with, or -1 without a row.
qint64 firstNumber(sqlite3 *db, const QString &sql, const QStringList &params = {})
{
    QStringList values;
    if (!queryStrings(db, sql, params, values, nullptr) || values.isEmpty())
        return -1;
    return values.first().section(QLatin1Char(' '), 0, 0).toLongLong();
}

// The query planner chooses between an index and one pass over a table by
// what it knows of the table. Without statistics it takes any date range for
// a small part of the sales and reads a year of a ten-year book row by row
// through the date index, twenty times slower than through the index that
// holds every column the sums need. The statistics are gathered again when
// the sales or purchases have grown or shrunk by a quarter since the last
// time (about a second and a half for a million sales, once). Below 10,000
// rows every plan is quick and none are gathered.
void refreshStatistics(sqlite3 *db)
{
    for (const QString &table : {QStringLiteral("Sale"), QStringLiteral("Pur")}) {
        const qint64 rows = firstNumber(db, QStringLiteral("SELECT count(*) FROM ") + table);
        if (rows < 10000)
            continue;
        // Each index's statistics start with the row count of its table.
        const qint64 known = firstNumber(
                db, QStringLiteral("SELECT stat FROM sqlite_stat1 WHERE tbl=? AND idx IS NOT NULL"),
                {table});
        if (known <= 0 || rows > known + known / 4 || rows < known - known / 4) {
            sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr);
            return;
        }
    }
}

} // namespace

Database::Database(sqlite3 *db, const QString &path)
    : m_db(db)
    , m_path(path)
{
    noteConnectionOpened(m_path);
}

Database::Database(std::unique_ptr<PgConnection> server, const QString &connInfo)
    : m_path(connInfo)
    , m_server(std::move(server))
{}

Database::~Database()
{
    if (m_server)
        return;
    // Only a set written to in this session can have grown.
    if (m_logging && !m_readOnly && sqlite3_get_autocommit(m_db))
        refreshStatistics(m_db);
    release();
    sqlite3_close_v2(m_db);
    noteConnectionClosed(m_path);
    // A read-only look leaves nothing behind: the log files SQLite made to
    // read a file left in log mode hold nothing of ours.
    removeCreatedFiles(m_createdSidecars);
}

void Database::beginWriting()
{
    if (m_server)
        return;
    // Switching needs a moment without an open transaction; inside one the
    // switch waits for the next write.
    if (m_mayLog && !m_logging && sqlite3_get_autocommit(m_db))
        holdWithLog();
}

void Database::holdWithLog()
{
    // With a rollback journal every commit waits for the disk twice (tens of
    // milliseconds here), so settings writes and row-by-row statements crawl.
    // While the program holds the file, a write-ahead log with normal syncing
    // commits without waiting and still leaves a consistent file after a
    // crash or power loss (at worst the last commits are lost).
    m_logging = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr,
                             nullptr, nullptr)
                == SQLITE_OK;
}

void Database::release()
{
    if (!m_logging || m_readOnly)
        return;
    // Fold the log back and go back to a rollback journal, so the file is
    // complete by itself: a copy of it alone (mailed, backed up by hand, put
    // on a CD) is the whole set, and a stale log can never be replayed onto
    // another file that later takes this name. An open transaction is
    // rolled back first (as closing would).
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (sqlite3_exec(m_db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) == SQLITE_OK)
        m_logging = false;
}

bool Database::whileWholeAndStill(const std::function<void()> &work)
{
    if (m_server)
        return false;
    release();
    if (m_logging)
        return false;
    // A read lock: other programs may read, but none can commit until it
    // ends. No write of ours switches the log on meanwhile (one thread).
    if (sqlite3_exec(m_db, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    work();
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    return true;
}

bool Database::settlePending(const QString &sql, QString *error)
{
    const bool rollingBack
            = sql.trimmed().startsWith(QLatin1String("ROLLBACK"), Qt::CaseInsensitive);
    for (RowInserter *inserter : m_inserters) {
        if (rollingBack)
            inserter->discard();
        else if (!inserter->flush(error))
            return false;
    }
    return true;
}

namespace {

// The table of an "INSERT INTO T (… ID …)" that gives the record numbers
// itself, empty for any other statement.
QString tableGivenIds(const QString &sql)
{
    static const QRegularExpression insert(
            QStringLiteral("^\\s*INSERT\\s+INTO\\s+(\\w+)\\s*\\(([^)]*)\\)"),
            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression id(QStringLiteral("(^|[\\s,\\[\"])ID($|[\\s,\\]\"])"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = insert.match(sql);
    if (!match.hasMatch() || !match.captured(2).contains(id))
        return QString();
    const QString table = schemaSpelling(match.captured(1));
    return schemaColumns(table).contains(QLatin1String("ID")) ? table : QString();
}

// True when a semicolon outside quoted names and texts is followed by more
// than blanks and semicolons, that is when the text holds a second statement.
bool holdsSecondStatement(const QString &sql)
{
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar(); // a doubled quote closes and opens again
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            return !onlyBlanksAndSemicolons(sql.mid(i).toUtf8());
        }
    }
    return false;
}

} // namespace

QString detail::identityCatchUpSql(const QString &table)
{
    const QString name = table.toLower();
    return QStringLiteral(
                   "SELECT setval(pg_get_serial_sequence('%1', 'id'), m) FROM (SELECT "
                   "max(id) AS m FROM %1) AS given WHERE m > coalesce("
                   "pg_sequence_last_value(pg_get_serial_sequence('%1', 'id')::regclass), 0)")
            .arg(name);
}

bool Database::exec(const QString &jetSql, QString *error)
{
    if (m_server) {
        const QString sql = translateJet(jetSql, SqlTarget::Postgres).sql;
        // One statement only, as on a file set: text spliced into a
        // statement must never start another one.
        if (holdsSecondStatement(sql)) {
            setError(error, QStringLiteral("语句结尾之后还有多余的字符"));
            return false;
        }
        noteDataChangeOf(m_path, sql);
        if (!settlePending(sql, error) || !m_server->exec(sql, error))
            return false;
        // Numbers given by the statement are numbers the table's numbering
        // must not hand out again, as on a file set, where new records go on
        // from the highest number.
        const QString table = tableGivenIds(jetSql);
        return table.isEmpty() || m_server->exec(identityCatchUpSql(table), error);
    }
    beginWriting();
    const TranslatedSql translated = translateJet(jetSql);
    switch (translated.kind) {
    case TranslatedSql::Kind::SelectInto:
        return selectInto(m_db, translated.table, translated.sql, error);
    case TranslatedSql::Kind::AlterToLong:
        return alterToLong(m_db, translated.table, translated.column, error);
    case TranslatedSql::Kind::Plain:
        break;
    }
    return runSingle(m_db, translated.sql, error);
}

bool Database::execNative(const QString &sql, QString *error)
{
    if (m_server) {
        noteDataChangeOf(m_path, sql);
        return settlePending(sql, error) && m_server->exec(sql, error);
    }
    beginWriting();
    return runNative(m_db, sql, error);
}

QStringList Database::tableNames() const
{
    QStringList names;
    if (m_server) {
        PgRows rows;
        // The set's tables and this connection's own scratch tables (T_…),
        // which other users never see.
        m_server->query(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON "
                                       "n.oid = c.relnamespace WHERE c.relkind = 'r' AND "
                                       "(n.nspname = 'public' OR n.oid = pg_my_temp_schema()) "
                                       "ORDER BY c.oid"),
                        rows);
        for (const QVector<QVariant> &row : std::as_const(rows.rows))
            names << schemaSpelling(row.at(0).toString());
        return names;
    }
    queryStrings(
            m_db,
            QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE "
                           "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"),
            {}, names, nullptr);
    return names;
}

qint64 Database::lastInsertId() const
{
    if (m_server) {
        PgRows rows;
        if (!m_server->query(QStringLiteral("SELECT lastval()"), rows) || rows.rows.isEmpty())
            return 0;
        return rows.rows.first().value(0).toLongLong();
    }
    return sqlite3_last_insert_rowid(m_db);
}

int Database::lockRows(const QString &table, const QString &where, bool exclusive, QString *error)
{
    const QString jetSql
            = QStringLiteral("SELECT ID FROM ") + table + QStringLiteral(" WHERE ") + where;
    if (m_server) {
        const QString sql
                = translateJet(jetSql, SqlTarget::Postgres).sql
                  + (exclusive ? QStringLiteral(" FOR UPDATE") : QStringLiteral(" FOR SHARE"));
        PgRows rows;
        if (!settlePending(sql, error) || !m_server->query(sql, rows, error))
            return -1;
        return int(rows.rows.size());
    }
    QStringList ids;
    if (!queryStrings(m_db, translateJet(jetSql).sql, {}, ids, error))
        return -1;
    return int(ids.size());
}

// ---------------------------------------------------------------------------
// Transaction

Transaction::Transaction(const DatabasePtr &db)
    : m_db(db)
{
    if (!m_db)
        return;
    // A savepoint outside any transaction starts one; inside it nests.
    // Names are unique so that nested ones release their own savepoint.
    static quint64 counter = 0;
    m_name = QStringLiteral("korvo_tx_%1").arg(++counter);
    if (m_db->isServer()) {
        // The server takes savepoints only inside a transaction block.
        m_active = m_db->execNative(m_db->m_serverTransactions == 0
                                            ? QStringLiteral("BEGIN")
                                            : QStringLiteral("SAVEPOINT ") + m_name);
        m_db->m_serverTransactions += m_active ? 1 : 0;
        m_outermost = m_active && m_db->m_serverTransactions == 1;
        return;
    }
    m_active = m_db->execNative(QStringLiteral("SAVEPOINT ") + m_name);
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::commit(QString *error)
{
    if (!m_active) {
        setError(error, QStringLiteral("事务未开始"));
        return false;
    }
    const QString release
            = m_outermost ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ") + m_name;
    if (!m_db->execNative(release, error)) {
        rollback();
        return false;
    }
    m_active = false;
    if (m_db->isServer())
        --m_db->m_serverTransactions;
    return true;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_db->isServer())
        --m_db->m_serverTransactions;
    if (m_outermost) {
        m_db->execNative(QStringLiteral("ROLLBACK"));
        return;
    }
    m_db->execNative(QStringLiteral("ROLLBACK TO ") + m_name);
    m_db->execNative(QStringLiteral("RELEASE ") + m_name);
}

// ---------------------------------------------------------------------------
// Compaction

namespace {

// Makes the file's content durable on disk.
bool syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Writes every table of the connection's main database into a new encrypted
// file (its own random salt, the same password) and checks that it opens.
// Never leaves a partial target behind.
bool exportInto(sqlite3 *db, const QString &targetPath, QString *error)
{
    // The source's connection may not create files, so the target is made
    // first and then attached.
    sqlite3 *created = createKeyed(targetPath, error);
    if (!created)
        return false;
    sqlite3_close(created);
    {
        Statement attach;
        if (!attach.prepare(db, QStringLiteral("ATTACH DATABASE ? AS korvo_compact KEY ?"),
                            error)) {
            QFile::remove(targetPath);
            return false;
        }
        const QByteArray file = targetPath.toUtf8();
        sqlite3_bind_text(attach.get(), 1, file.constData(), file.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(attach.get(), 2, kDatabasePassword, -1, SQLITE_STATIC);
        if (sqlite3_step(attach.get()) != SQLITE_DONE) {
            setError(error, lastError(db));
            QFile::remove(targetPath);
            return false;
        }
    }
    // The target is a work file that nobody uses before the checks below:
    // no syncing while it is written, one sync of the whole file at the end
    // (each sync costs tens of milliseconds here).
    runNative(db,
              QStringLiteral("PRAGMA korvo_compact.synchronous=OFF; "
                             "PRAGMA korvo_compact.journal_mode=MEMORY"),
              nullptr);
    QString exportError;
    const bool exported = runNative(db, QStringLiteral("SELECT sqlcipher_export('korvo_compact')"),
                                    &exportError);
    runNative(db, QStringLiteral("DETACH DATABASE korvo_compact"), nullptr);
    if (exported && !syncFile(targetPath)) {
        QFile::remove(targetPath);
        setError(error, QStringLiteral("无法写入文件：%1").arg(targetPath));
        return false;
    }
    if (!exported) {
        setError(error, exportError);
        QFile::remove(targetPath);
        return false;
    }

    // The copy must open with the password and hold every table.
    QString openError;
    sqlite3 *check = openKeyed(targetPath, OpenMode::ReadWrite, &openError);
    if (!check) {
        setError(error, openError);
        QFile::remove(targetPath);
        return false;
    }
    QStringList tables;
    const bool listed = queryStrings(check,
                                     QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                    "type='table'"),
                                     {}, tables, &openError);
    sqlite3_close(check);
    QStringList sourceTables;
    queryStrings(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'"), {},
                 sourceTables, nullptr);
    if (!listed || tables != sourceTables) {
        setError(error, listed ? QStringLiteral("压缩后的数据库不完整") : openError);
        QFile::remove(targetPath);
        return false;
    }
    return true;
}

} // namespace

bool compactInto(const DatabasePtr &source, const QString &targetPath, QString *error)
{
    if (!source) {
        setError(error, QStringLiteral("数据库未打开"));
        return false;
    }
    return exportInto(source->handle(), targetPath, error);
}

bool copyWhileInUse(const DatabasePtr &source, const QString &targetPath, QString *error)
{
    if (!source) {
        setError(error, QStringLiteral("数据库未打开"));
        return false;
    }
    sqlite3 *target = createKeyed(targetPath, error);
    if (!target)
        return false;
    const auto fail = [&](const QString &reason) {
        setError(error, reason);
        sqlite3_close(target);
        removeCreatedFiles(sidecarPaths(targetPath));
        QFile::remove(targetPath);
        return false;
    };
    // A work file nobody else uses: no journal on disk, one sync at the end.
    runNative(target, QStringLiteral("PRAGMA journal_mode=MEMORY"), nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source->handle(), "main");
    if (!backup)
        return fail(lastError(target));
    // One step copies every page inside a single read transaction of the
    // source, so the copy is one moment of the database even while other
    // connections commit. A writer in the middle of a commit holds the file
    // briefly; wait for it a few seconds.
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 50; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(100);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        return fail(rc == SQLITE_BUSY || rc == SQLITE_LOCKED
                            ? QStringLiteral("数据库正被其他程序写入")
                            : QString::fromUtf8(sqlite3_errstr(rc)));
    // The copied first page still says the source was on a log; the copy
    // goes back to a rollback journal, so it is complete by itself.
    QString modeError;
    QStringList tables;
    if (!runNative(target, QStringLiteral("PRAGMA journal_mode=DELETE"), &modeError)
        || !queryStrings(target, QStringLiteral("SELECT count(*) FROM sqlite_master"), {}, tables,
                         &modeError))
        return fail(modeError);
    sqlite3_close(target);
    removeCreatedFiles(sidecarPaths(targetPath));
    if (!syncFile(targetPath)) {
        QFile::remove(targetPath);
        setError(error, QStringLiteral("无法写入文件：%1").arg(targetPath));
        return false;
    }
    return true;
}

bool copyWithNewSalt(const QString &sourcePath, const QString &targetPath, QString *error)
{
    QStringList created;
    for (const QString &sidecar : sidecarPaths(sourcePath)) {
        if (!QFileInfo::exists(sidecar))
            created << sidecar;
    }
    // A connection of its own, opened for writing so that it can attach the
    // new file; the source itself is only read (a file without write
    // permission falls back to reading only).
    const QFileInfo info(sourcePath);
    if (!info.isFile() || info.size() == 0) {
        setError(error, QStringLiteral("不是有效的数据库文件：%1").arg(sourcePath));
        return false;
    }
    sqlite3 *db = openKeyed(sourcePath, OpenMode::ReadWrite, error);
    if (!db) {
        removeCreatedFiles(created);
        return false;
    }
    const bool ok = exportInto(db, targetPath, error);
    sqlite3_close(db);
    removeCreatedFiles(created);
    return ok;
}

} // namespace store
