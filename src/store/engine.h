#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

namespace store {

// The password every account set, the template and every compacted copy are
// encrypted with.
inline constexpr char kDatabasePassword[] = "20460311";

// Why a record set on a server refused to store a row another user changed
// or deleted after it was read; the caller shows it as it stands.
inline constexpr char kChangedByOtherUser[] = "记录已被其他用户修改，请刷新后重试！";
inline constexpr char kDeletedByOtherUser[] = "记录已被其他用户删除，请刷新后重试！";

// Name of the collation every connection registers for text columns: Chinese
// texts sort by pinyin, as users of a Chinese program expect from a list
// "ordered by name". Schemas declare text columns `TEXT COLLATE PINYIN`.
// Texts that differ only in ways the collation ignores still compare unequal,
// so equality tests and grouping stay exact.
inline constexpr char kTextCollation[] = "PINYIN";

// Declared column types of the engine. A column declared DATETIME reads back
// as a date; a column without a declared type (an expression such as Sum(Pay))
// takes the type of its stored value.
enum class ColumnType { Null, Integer, Double, Date, Text, Bool };

class Database;
class PgConnection;
class RowInserter;

// An open, keyed connection to one encrypted database file. Connections are
// owned by the registry; holders keep a shared pointer, so a connection stays
// valid while a statement runs on it even if the registry lets it go.
class Database
{
public:
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Full path of the file (for a server set: its connection string).
    QString path() const { return m_path; }
    // True for an account set on a PostgreSQL server: statements are
    // translated for the server and sent there; the file-only calls
    // (handle(), compaction, copies) do not apply.
    bool isServer() const { return bool(m_server); }
    // Raw handle, for the engine and the benchmark only.
    sqlite3 *handle() const { return m_db; }
    // The server connection of a server set (null for a file set), for the
    // engine only.
    PgConnection *serverConnection() const { return m_server.get(); }

    // Runs one statement (after Jet dialect translation). Returns false and
    // fills *error on failure. Never throws. A second statement after the
    // first is refused, and so is one that still holds a parameter (:x, @x,
    // $x, ?), which would otherwise run with NULL. SELECT ... INTO creates its table with the
    // declared types of the source columns; an expression column takes the type of the values it
    // gives (text, whole or real numbers; dates when every text is a stored date; a double when it
    // gives no value at all).
    bool exec(const QString &jetSql, QString *error = nullptr);
    // Runs untranslated SQLite statements (several separated by ';').
    bool execNative(const QString &sql, QString *error = nullptr);
    // Names of all tables in creation order, as the schema listing shows them
    // (SQLite's own sqlite_ tables left out).
    QStringList tableNames() const;
    // rowid of the last insert on this connection.
    qint64 lastInsertId() const;
    // Takes the rows of table that the Jet condition where selects for the
    // open transaction and returns how many there are (-1 on failure). On a
    // server, another user's delete of a shared row, and any write or lock
    // of an exclusive one, waits until this transaction ends; then a record
    // never points to a master another user deleted at the same moment. A
    // file set's write transaction keeps every other writer out already, so
    // there the rows are only counted.
    int lockRows(const QString &table, const QString &where, bool exclusive,
                 QString *error = nullptr);
    // True when the file was opened for looking only (no write permission,
    // or a folder that cannot take a journal): every write fails.
    bool isReadOnly() const { return m_readOnly; }
    // Runs work while the file alone is the whole database and no other
    // connection can commit to it: the log is folded back into the file and
    // a read transaction is held until work returns. The connection stays
    // open. Work does not run when the log cannot be folded back or the file
    // cannot be read (another program is writing it); returns whether it ran.
    bool whileWholeAndStill(const std::function<void()> &work);

private:
    friend class Registry;
    friend class RecordSet;
    friend class Transaction;
    friend class RowInserter;
    // On a server: sends (or before a rollback drops) the rows inserters
    // still collect, so every statement sees them. False when they could not
    // be written.
    bool settlePending(const QString &sql, QString *error);
    Database(sqlite3 *db, const QString &path);
    Database(std::unique_ptr<PgConnection> server, const QString &connInfo);
    // Called before every write: the first write of a file the registry
    // holds switches it to a write-ahead log.
    void beginWriting();
    // Switches the connection to a write-ahead log while the program holds it.
    void holdWithLog();
    // Folds the write-ahead log back into the file and returns it to a
    // rollback journal, so that the file alone is the whole database. Done
    // when the last holder lets the connection go.
    void release();
    sqlite3 *m_db = nullptr;
    QString m_path;
    bool m_readOnly = false;
    bool m_mayLog = false;         // held by the registry: log once written to
    bool m_logging = false;        // on a write-ahead log now
    QStringList m_createdSidecars; // log files a read-only open made
    std::unique_ptr<PgConnection> m_server;
    int m_serverTransactions = 0; // open transactions on the server, nested ones counted
    std::vector<RowInserter *> m_inserters;
};

using DatabasePtr = std::shared_ptr<Database>;

// One keyed connection per file, opened once and reused. Opening a SQLCipher
// file costs a key derivation (tens of milliseconds), so no operation may
// open a file per statement.
class Registry
{
public:
    // Returns the open connection of the file, opening it with the database
    // password when needed. An empty pointer and *error when the file is
    // missing, is not a database, or does not open with the password. A file
    // the program may not write opens read-only (Database::isReadOnly) and
    // leaves no journal or log files behind.
    static DatabasePtr open(const QString &path, QString *error = nullptr);
    // Opens the files not open yet, deriving their keys side by side on
    // worker threads, so that open() finds them open. A file that does not
    // open is left to open(), which says why. Like every registry call, it
    // must not run while another thread uses the registry. Returns the
    // paths that were tried and did not open.
    static QStringList openAhead(const QStringList &paths);
    // Lets the file go (before it is copied, replaced, compacted or deleted,
    // when another set becomes current, at exit). Holders of the pointer keep
    // a working handle until they let it go; the registry opens a fresh one
    // next time. When the last holder lets go, the log is folded back and
    // the file returns to a rollback journal, so the file alone is complete
    // (a log still beside the file means someone still holds it).
    static void close(const QString &path);
    // Lets every file go.
    static void closeAll();
    // Lets every file but the one at path go.
    static void closeAllBut(const QString &path);
    // True while the registry holds a connection to the file.
    static bool isOpen(const QString &path);
    // Creates a new, empty encrypted database file (fails when it exists).
    static DatabasePtr create(const QString &path, QString *error = nullptr);
    // A connection to a database on a PostgreSQL server (a libpq connection
    // string). Not kept by the registry: the holder owns it.
    static DatabasePtr openServer(const QString &connInfo, QString *error = nullptr);
};

// One unit of work on a connection: everything written between its start
// and commit() reaches the file together or not at all. A failure, an early
// return or a crash (the program killed half way) before commit() leaves
// none of it. A transaction started while another is open on the same
// connection is a part of that one (a savepoint): its commit keeps its work
// for the outer commit, its rollback undoes only its own work.
//
//     store::Transaction transaction(conn);
//     ... statements on conn (or on the current set, same connection) ...
//     if (!transaction.commit()) ... // nothing was written
//
// Used by every user action that writes many rows (deleting masters with
// their records, merging, clearing), so that after a crash all of it or
// none of it is in the file.
class Transaction
{
public:
    explicit Transaction(const DatabasePtr &db);
    ~Transaction(); // rolls back unless committed
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // False when the transaction could not be started (no connection);
    // commit() then fails too.
    bool isActive() const { return m_active; }
    // Makes the work permanent (or, nested, part of the outer transaction).
    // False, with everything rolled back, when that fails.
    bool commit(QString *error = nullptr);
    // Undoes the work now; the transaction is over.
    void rollback();

private:
    DatabasePtr m_db;
    QString m_name;
    bool m_active = false;
    bool m_outermost = false; // on a server: began the transaction block
};

// The result of a query, read completely on open: the record count is exact,
// moves are free, values keep their type. Dates are QDateTime (local time),
// integers qlonglong, doubles double, texts QString, NULL an invalid QVariant.
// A record set opened on one table (SELECT ... FROM T [WHERE] [ORDER BY])
// can add and update rows; they are written back by rowid, which the record
// set reads alongside without showing it as a field. When two result columns
// share a name (Sale.* next to Pro.Name AS PID), the table's own column is
// named "Sale.PID" and the renamed one keeps "PID", as Jet names them.
class RecordSet
{
public:
    RecordSet();
    ~RecordSet();
    RecordSet(RecordSet &&) noexcept;
    RecordSet &operator=(RecordSet &&) noexcept;

    // Runs the (Jet dialect) query on the connection. On failure the record
    // set stays closed and *error is filled. A query that still holds a
    // parameter (:x, @x, $x, ?) fails rather than read it as NULL.
    bool open(const DatabasePtr &db, const QString &jetSql, QString *error = nullptr);
    // The same with values bound to the query's parameters (?, in order):
    // values never become part of the statement's text. Fails when the
    // number of values differs from the number of parameters.
    bool open(const DatabasePtr &db, const QString &jetSql, const QVariantList &values,
              QString *error = nullptr);
    void close();
    bool isOpen() const;

    int recordCount() const;
    // Keeps at most this many rows of every later open(); the rows beyond
    // are counted (totalCount) but not read. A negative limit keeps all.
    void setRowLimit(int rows);
    int totalCount() const; // rows the query gave, kept or not
    // Opens every later query for reading only: its rows cannot be added to
    // or updated, and the key and row version that writing back needs are
    // not read beside them (on a server that lets an index alone answer).
    void setReadOnly(bool readOnly);
    bool eof() const;
    bool bof() const;
    int position() const; // 0-based row index, recordCount() at end-of-file, -1 before the first
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    void move(int row);

    int fieldCount() const;
    QString fieldName(int column) const;
    int fieldIndex(const QString &name) const; // case-insensitive, -1 when missing
    ColumnType fieldType(int column) const;

    // Value of the current row; an invalid QVariant at end-of-file or for an
    // unknown field.
    QVariant value(int column) const;
    QVariant value(const QString &name) const;
    QVariant valueAt(int row, int column) const;
    // On a server, the version the current row had when it was read; empty
    // on a file set, where nobody else writes.
    QString rowVersion() const;

    // Editing: addNew() starts a new row, setValue() writes fields of the
    // current (or new) row, update() stores it. After update() of a new row
    // the row's ID field holds the assigned number and it is the current row.
    // Values are bound, never spliced into SQL; a QDateTime (or a date text
    // in a date column) is stored as 'YYYY-MM-DD HH:MM:SS'. Moving off a
    // changed row stores it. update() fails on a query over several tables.
    void addNew();
    void setValue(const QString &name, const QVariant &value);
    bool update(QString *error = nullptr);

private:
    bool openOnServer(const DatabasePtr &db, const QString &jetSql, const QVariantList &values,
                      QString *error);
    bool updateOnServer(int editKind, const QMap<int, QVariant> &pending, QString *error);
    struct Data;
    std::unique_ptr<Data> d;
};

// Copies every table (schema and rows) of an open database into a new
// encrypted file with the same password. Fails when the target exists.
bool compactInto(const DatabasePtr &source, const QString &targetPath, QString *error = nullptr);

// Writes a consistent copy of the open database to targetPath, a new file
// with the same password and a key salt of its own, page by page within one
// read transaction: other connections, of this process or another, may go on
// reading and writing meanwhile. The copy is complete by itself (no log
// beside it). Fails when the target exists or a writer holds the file past a
// few seconds; never leaves a partial target behind.
bool copyWhileInUse(const DatabasePtr &source, const QString &targetPath, QString *error = nullptr);

// Writes a copy of the encrypted database file sourcePath to targetPath with
// a key salt of its own: every table and row, the same password, a new
// random salt (so no two sets share a key). The source is only read; the
// registry's connection to it should be let go first so that the file holds
// all its commits. Fails when the target exists or the source does not open
// with the password; never leaves a partial target behind.
bool copyWithNewSalt(const QString &sourcePath, const QString &targetPath,
                     QString *error = nullptr);

// Registers the collation used for text ordering (Chinese names in pinyin
// order). Called by the engine on every connection it opens.
void registerCollations(sqlite3 *db);

} // namespace store
