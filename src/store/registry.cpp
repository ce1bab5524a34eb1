#include "enginedetail.h"

#include "changes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <map>

namespace store {

using namespace detail;

namespace {

std::map<QString, DatabasePtr> &openConnections()
{
    static std::map<QString, DatabasePtr> connections;
    return connections;
}

// The same file named in different ways ("a/./x.qdt", "a/x.qdt") is one
// entry; the key does not depend on the file existing, so close() finds the
// entry even after the file is gone.
QString registryKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

namespace detail {

sqlite3 *openKeyed(const QString &path, bool create, QString *error)
{
    sqlite3 *db = nullptr;
    // Each connection is used by one thread at a time: no per-call locking.
    const int flags
            = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        setError(error, QStringLiteral("无法打开数据库文件：%1（%2）").arg(path, lastError(db)));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_key(db, kDatabasePassword, int(std::strlen(kDatabasePassword)));
    sqlite3_busy_timeout(db, 5000);
    registerCollations(db);
    watchDataChanges(db, path);
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        setError(error, QStringLiteral("数据库文件无法打开，不是数据库或密码错误：%1（%2）")
                                .arg(path, lastError(db)));
        sqlite3_close(db);
        return nullptr;
    }
    // Large lists read many pages; keep them decrypted in memory.
    sqlite3_exec(db, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
    // With a rollback journal every commit waits for the disk twice (tens of
    // milliseconds here), so settings writes and row-by-row statements crawl.
    // A write-ahead log with normal syncing commits without waiting and still
    // leaves a consistent file after a crash or power loss (at worst the last
    // commits are lost). The log is folded back into the file when the last
    // connection closes, so a closed file is one self-contained file.
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr,
                 nullptr);
    return db;
}

// Makes a new encrypted database file and writes its first page at once, so
// the file is a complete encrypted database even before any table exists.
sqlite3 *createKeyed(const QString &path, QString *error)
{
    if (QFileInfo::exists(path)) {
        setError(error, QStringLiteral("文件已存在：%1").arg(path));
        return nullptr;
    }
    sqlite3 *db = openKeyed(path, true, error);
    if (!db) {
        QFile::remove(path);
        return nullptr;
    }
    QString writeError;
    if (!runNative(db, QStringLiteral("PRAGMA user_version=1"), &writeError)) {
        setError(error, QStringLiteral("无法创建数据库文件：%1（%2）").arg(path, writeError));
        sqlite3_close(db);
        QFile::remove(path);
        return nullptr;
    }
    return db;
}

} // namespace detail

DatabasePtr Registry::open(const QString &path, QString *error)
{
    const QString key = registryKey(path);
    auto &connections = openConnections();
    const auto found = connections.find(key);
    if (found != connections.end())
        return found->second;

    const QFileInfo info(key);
    if (!info.exists() || !info.isFile()) {
        setError(error, QStringLiteral("数据库文件不存在：%1").arg(path));
        return nullptr;
    }
    // An encrypted database is never empty; SQLite would take an empty file
    // for a new database and write into it.
    if (info.size() == 0) {
        setError(error, QStringLiteral("不是有效的数据库文件：%1").arg(path));
        return nullptr;
    }
    sqlite3 *db = openKeyed(key, false, error);
    if (!db)
        return nullptr;
    DatabasePtr database(new Database(db, key));
    connections[key] = database;
    return database;
}

void Registry::close(const QString &path)
{
    openConnections().erase(registryKey(path));
}

void Registry::closeAll()
{
    openConnections().clear();
}

DatabasePtr Registry::create(const QString &path, QString *error)
{
    sqlite3 *db = createKeyed(path, error);
    if (!db)
        return nullptr;
    const QString key = registryKey(path);
    DatabasePtr database(new Database(db, key));
    openConnections()[key] = database;
    return database;
}

} // namespace store
