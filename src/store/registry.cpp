#include "enginedetail.h"

#include "changes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include <unistd.h>

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

sqlite3 *openKeyed(const QString &path, OpenMode mode, QString *error)
{
    sqlite3 *db = openKeyedUnwatched(path, mode, error);
    if (db)
        watchDataChanges(db, path);
    return db;
}

sqlite3 *openKeyedUnwatched(const QString &path, OpenMode mode, QString *error)
{
    sqlite3 *db = nullptr;
    // Each connection is used by one thread at a time: no per-call locking.
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case OpenMode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case OpenMode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case OpenMode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        setError(error, QStringLiteral("无法打开数据库文件：%1（%2）").arg(path, lastError(db)));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_key(db, kDatabasePassword, int(std::strlen(kDatabasePassword)));
    sqlite3_busy_timeout(db, 5000);
    registerCollations(db);
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        setError(error, QStringLiteral("数据库文件无法打开，不是数据库或密码错误：%1（%2）")
                                .arg(path, lastError(db)));
        sqlite3_close(db);
        return nullptr;
    }
    // Large lists read many pages; keep them decrypted in memory.
    sqlite3_exec(db, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
    return db;
}

bool fileIsReadOnly(const QString &path)
{
    const QFileInfo info(path);
    // Without any write permission the user meant the file to stay as it is,
    // even when the program runs with rights that could override that.
    const QFileDevice::Permissions writeBits
            = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!(info.permissions() & writeBits))
        return true;
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return true;
    // Writing needs a journal or log beside the file.
    return ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) != 0;
}

void removeCreatedFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        QFile::remove(path);
}

QStringList sidecarPaths(const QString &path)
{
    return {path + QStringLiteral("-wal"), path + QStringLiteral("-shm"),
            path + QStringLiteral("-journal")};
}

// Makes a new encrypted database file and writes its first page at once, so
// the file is a complete encrypted database even before any table exists.
sqlite3 *createKeyed(const QString &path, QString *error)
{
    if (QFileInfo::exists(path)) {
        setError(error, QStringLiteral("文件已存在：%1").arg(path));
        return nullptr;
    }
    sqlite3 *db = openKeyed(path, OpenMode::Create, error);
    if (!db) {
        QFile::remove(path);
        return nullptr;
    }
    // A new file is a work file until its maker has checked and renamed it;
    // the maker syncs what it keeps.
    runNative(db, QStringLiteral("PRAGMA synchronous=OFF"), nullptr);
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
    if (fileIsReadOnly(key)) {
        // Looking only: no log, no journal, nothing written. Reading a file
        // left in log mode makes SQLite create the log files; they go again
        // when the connection closes.
        QStringList created;
        for (const QString &sidecar : sidecarPaths(key)) {
            if (!QFileInfo::exists(sidecar))
                created << sidecar;
        }
        sqlite3 *db = openKeyed(key, OpenMode::ReadOnly, error);
        if (!db) {
            removeCreatedFiles(created);
            return nullptr;
        }
        DatabasePtr database(new Database(db, key));
        database->m_readOnly = true;
        database->m_createdSidecars = created;
        connections[key] = database;
        return database;
    }
    sqlite3 *db = openKeyed(key, OpenMode::ReadWrite, error);
    if (!db)
        return nullptr;
    DatabasePtr database(new Database(db, key));
    // The log is switched on by the first write: a set opened only to be
    // read (listing the sets at start-up) pays no switch and no fold-back.
    database->m_mayLog = true;
    connections[key] = database;
    return database;
}

QStringList Registry::openAhead(const QStringList &paths)
{
    // The files that open() would open read-write; the others (missing,
    // empty, read-only) are left to open() and its messages.
    struct Opening
    {
        QString path;
        QString key;
        sqlite3 *db = nullptr;
    };
    std::vector<Opening> openings;
    auto &connections = openConnections();
    for (const QString &path : paths) {
        const QString key = registryKey(path);
        const QFileInfo info(key);
        if (connections.count(key) == 0 && info.isFile() && info.size() > 0 && !fileIsReadOnly(key))
            openings.push_back({path, key});
    }
    // Deriving a key is most of the cost of opening a file; each file's is
    // derived on a thread of its own.
    std::vector<std::thread> threads;
    threads.reserve(openings.size());
    for (Opening &opening : openings) {
        threads.emplace_back([&opening] {
            opening.db = openKeyedUnwatched(opening.key, OpenMode::ReadWrite, nullptr);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    QStringList failed;
    for (const Opening &opening : openings) {
        if (!opening.db) {
            failed << opening.path;
            continue;
        }
        watchDataChanges(opening.db, opening.key);
        DatabasePtr database(new Database(opening.db, opening.key));
        database->m_mayLog = true;
        connections[opening.key] = database;
    }
    return failed;
}

void Registry::close(const QString &path)
{
    // The last holder to let go closes the connection, which folds the log
    // back (Database::~Database).
    openConnections().erase(registryKey(path));
}

void Registry::closeAll()
{
    openConnections().clear();
}

void Registry::closeAllBut(const QString &path)
{
    const QString kept = registryKey(path);
    auto &connections = openConnections();
    for (auto it = connections.begin(); it != connections.end();)
        it = it->first == kept ? std::next(it) : connections.erase(it);
}

bool Registry::isOpen(const QString &path)
{
    return openConnections().count(registryKey(path)) > 0;
}

DatabasePtr Registry::create(const QString &path, QString *error)
{
    sqlite3 *db = createKeyed(path, error);
    if (!db)
        return nullptr;
    const QString key = registryKey(path);
    DatabasePtr database(new Database(db, key));
    database->holdWithLog();
    openConnections()[key] = database;
    return database;
}

} // namespace store
