#include "enginedetail.h"

#include "changes.h"
#include "pgconnection.h"
#include "prompts.h"
#include "serverlinks.h"
#include "workfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include <fcntl.h>
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

// How many Database objects of this process are open on each file (by
// registry key), held by the registry or by holders it has let go.
std::map<QString, int> &connectionsOfProcess()
{
    static std::map<QString, int> counts;
    return counts;
}

// Opens the copy made of a file and its log, which replays the log into the
// copy, and checks the result page by page.
bool replaysSoundly(const QString &copy)
{
    sqlite3 *db = openKeyedUnwatched(copy, OpenMode::ReadWrite, nullptr);
    if (!db)
        return false;
    QStringList result;
    const bool checked
            = queryStrings(db, QStringLiteral("PRAGMA integrity_check(10)"), {}, result, nullptr);
    sqlite3_close(db);
    return checked && result == QStringList{QStringLiteral("ok")};
}

// A log beside a file that no connection holds is normally the file's own,
// left by a run that was killed: opening the file replays it and the last
// commits are back. But a log may also belong to something else: another
// set's, or an old one of this set beside a file the user has since replaced
// by an older copy. Replaying such a log writes foreign pages into the file
// and damages it for good. So the log is first replayed into a private copy;
// when the copy does not come out whole, the log is set aside under a name
// that says so, and the file opens as it is. The user is told once (the log
// is gone from its place afterwards). False, with the reason, when the log
// can be neither checked nor moved: then the file is not opened at all.
bool setAsideForeignLog(const QString &path, QString *error)
{
    const QString log = path + QStringLiteral("-wal");
    const QFileInfo logInfo(log);
    if (!logInfo.exists() || logInfo.size() == 0)
        return true;
    // A live log is not ours to judge: another connection of this process,
    // or another program, is working on the file.
    if (connectionsOfProcess().count(path) > 0 || logHeldElsewhere(path))
        return true;

    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("check.db"));
    if (!folder.isValid() || !QFile::copy(path, copy)
        || !QFile::copy(log, copy + QStringLiteral("-wal"))) {
        setError(error, QStringLiteral("无法检查文件旁的日志文件（临时文件夹无法写入）：%1")
                                .arg(QDir::toNativeSeparators(log)));
        return false;
    }
    if (replaysSoundly(copy))
        return true;

    const QString aside
            = log + QStringLiteral(".damaged-")
              + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFileInfo::exists(aside) || !QFile::rename(log, aside)) {
        setError(error, QStringLiteral("文件旁的日志文件与文件不符，且无法移开：%1")
                                .arg(QDir::toNativeSeparators(log)));
        return false;
    }
    // The index of the log that is gone would only mislead the next opener.
    QFile::remove(path + QStringLiteral("-shm"));
    prompts().message(QStringLiteral("文件%1旁的日志文件与它不符（可能属于另一个套账，或已损坏），"
                                     "没有并入文件，已改名保存为%2。文件按其本身打开。")
                              .arg(QFileInfo(path).fileName(), QFileInfo(aside).fileName()));
    return true;
}

} // namespace

namespace detail {

void noteConnectionOpened(const QString &path)
{
    ++connectionsOfProcess()[path];
}

void noteConnectionClosed(const QString &path)
{
    auto &counts = connectionsOfProcess();
    const auto found = counts.find(path);
    if (found != counts.end() && --found->second <= 0)
        counts.erase(found);
}

bool logHeldElsewhere(const QString &path)
{
    // Every connection that has a file open on its log holds a read lock on
    // the lock bytes of the -shm file (the last of them, SQLite's "dead man
    // switch", for as long as it is open). Only other processes show here:
    // a process never sees its own locks. Callers make sure no connection of
    // this process is open on the file: closing this descriptor would drop
    // that connection's locks too.
    const int fd = ::open(QFile::encodeName(path + QStringLiteral("-shm")).constData(),
                          O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 120; // the log's eight lock bytes and the dead man switch
    lock.l_len = 9;
    const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

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
    // Large lists read many pages; keep them decrypted in memory. The cache
    // grows only as pages are read, so a small set never uses it all; with
    // less, a book of a million sales decrypts the same pages again and
    // again and its whole-book analyses take twice as long.
    sqlite3_exec(db, "PRAGMA cache_size=-131072", nullptr, nullptr, nullptr);
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
    // New database files are work files or copies of a set: for the user
    // alone until they are finished (their journals take the same mode).
    const PrivateFileMode privateMode;
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
    // A server set's link names the server; the registry keeps its
    // connection under the link's path like a file set's.
    if (isServerLink(key)) {
        const QString info = readServerLink(key, error);
        std::unique_ptr<PgConnection> server
                = info.isEmpty() ? nullptr : PgConnection::open(info, error);
        if (!server)
            return nullptr;
        DatabasePtr database(new Database(std::move(server), key));
        connections[key] = database;
        return database;
    }
    // An encrypted database is never empty; SQLite would take an empty file
    // for a new database and write into it.
    if (info.size() == 0) {
        setError(error, QStringLiteral("不是有效的数据库文件：%1").arg(path));
        return nullptr;
    }
    if (!setAsideForeignLog(key, error))
        return nullptr;
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
    // empty, read-only, or with a log beside them that open() checks first)
    // are left to open() and its messages.
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
        // A server set's link is opened by open(), which reaches the server.
        if (connections.count(key) == 0 && !isServerLink(key) && info.isFile() && info.size() > 0
            && !fileIsReadOnly(key) && !QFileInfo::exists(key + QStringLiteral("-wal")))
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

DatabasePtr Registry::openServer(const QString &connInfo, QString *error)
{
    std::unique_ptr<PgConnection> server = PgConnection::open(connInfo, error);
    if (!server)
        return nullptr;
    return DatabasePtr(new Database(std::move(server), connInfo));
}

} // namespace store
