#include "enginedetail.h"

#include "jetdialect.h"

#include <QFile>

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

bool compactInto(const DatabasePtr &source, const QString &targetPath, QString *error)
{
    if (!source) {
        setError(error, QStringLiteral("数据库未打开"));
        return false;
    }
    // The source's connection may not create files, so the target is made
    // first and then attached.
    sqlite3 *created = createKeyed(targetPath, error);
    if (!created)
        return false;
    sqlite3_close(created);
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
    QString exportError;
    const bool exported = runNative(db, QStringLiteral("SELECT sqlcipher_export('korvo_compact')"),
                                    &exportError);
    runNative(db, QStringLiteral("DETACH DATABASE korvo_compact"), nullptr);
    if (!exported) {
        setError(error, exportError);
        QFile::remove(targetPath);
        return false;
    }

    // The copy must open with the password and hold every table.
    QString openError;
    sqlite3 *check = openKeyed(targetPath, false, &openError);
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

} // namespace store
