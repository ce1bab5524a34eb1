#include "enginedetail.h"

#include "jetdialect.h"

#include <QFile>

#include <unistd.h>

namespace store {

using namespace detail;

// ---------------------------------------------------------------------------
// Database

Database::Database(sqlite3 *db, const QString &path)
    : m_db(db)
    , m_path(path)
{}

Database::~Database()
{
    sqlite3_close_v2(m_db);
}

bool Database::exec(const QString &jetSql, QString *error)
{
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
    return runNative(m_db, sql, error);
}

QStringList Database::tableNames() const
{
    QStringList names;
    queryStrings(
            m_db,
            QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE "
                           "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"),
            {}, names, nullptr);
    return names;
}

qint64 Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

// ---------------------------------------------------------------------------
// Compaction

namespace {

// Waits until the file's contents are on the disk, so that a file renamed
// into place afterwards is whole even after a power loss.
bool flushToDisk(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
}

} // namespace

bool compactInto(const DatabasePtr &source, const QString &targetPath, QString *error)
{
    if (!source) {
        setError(error, QStringLiteral("数据库未打开"));
        return false;
    }
    // The source's connection may not create files, so the target is made
    // first and then attached: an empty file is an empty database, which the
    // export encrypts page by page as it writes it.
    {
        QFile target(targetPath);
        if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            setError(error, QStringLiteral("无法创建数据库文件：%1").arg(targetPath));
            return false;
        }
    }
    sqlite3 *db = source->handle();
    {
        Statement attach;
        if (!attach.prepare(db, QStringLiteral("ATTACH DATABASE ? AS korvo_compact KEY ?"), error))
            return false;
        const QByteArray file = targetPath.toUtf8();
        sqlite3_bind_text(attach.get(), 1, file.constData(), file.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(attach.get(), 2, kDatabasePassword, -1, SQLITE_STATIC);
        if (sqlite3_step(attach.get()) != SQLITE_DONE) {
            setError(error, lastError(db));
            QFile::remove(targetPath);
            return false;
        }
    }
    // The copy is a work file, thrown away on any failure: it needs no
    // journal, and one transaction with one flush to disk at the end instead
    // of a wait for the disk after every table.
    QString exportError;
    const bool exported
            = runNative(db,
                        QStringLiteral("PRAGMA korvo_compact.journal_mode=OFF;"
                                       "PRAGMA korvo_compact.synchronous=OFF"),
                        &exportError)
              && runNative(db, QStringLiteral("BEGIN"), &exportError)
              && runNative(db, QStringLiteral("SELECT sqlcipher_export('korvo_compact')"),
                           &exportError)
              && runNative(db, QStringLiteral("COMMIT"), &exportError);
    if (!exported && !sqlite3_get_autocommit(db))
        runNative(db, QStringLiteral("ROLLBACK"), nullptr);
    runNative(db, QStringLiteral("DETACH DATABASE korvo_compact"), nullptr);
    if (exported && !flushToDisk(targetPath)) {
        setError(error, QStringLiteral("无法写入数据库文件：%1").arg(targetPath));
        QFile::remove(targetPath);
        return false;
    }
    if (!exported) {
        setError(error, exportError);
        QFile::remove(targetPath);
        return false;
    }
    return true;
}

} // namespace store
