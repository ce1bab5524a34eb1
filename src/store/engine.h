#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

struct sqlite3;

namespace store {

// The password every account set, the template and every compacted copy are
// encrypted with.
inline constexpr char kDatabasePassword[] = "20460311";

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

// An open, keyed connection to one encrypted database file. Connections are
// owned by the registry; holders keep a shared pointer, so a connection stays
// valid while a statement runs on it even if the registry lets it go.
class Database
{
public:
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Full path of the file.
    QString path() const { return m_path; }
    // Raw handle, for the engine and the benchmark only.
    sqlite3 *handle() const { return m_db; }

    // Runs one statement (after Jet dialect translation). Returns false and
    // fills *error on failure. Never throws. A second statement after the
    // first is refused. SELECT ... INTO creates its table with the declared
    // types of the source columns; an expression column takes the type of
    // the values it gives (text, whole or real numbers; dates when every
    // text is a stored date; a double when it gives no value at all).
    bool exec(const QString &jetSql, QString *error = nullptr);
    // Runs untranslated SQLite statements (several separated by ';').
    bool execNative(const QString &sql, QString *error = nullptr);
    // Names of all tables in creation order, as the schema listing shows them
    // (SQLite's own sqlite_ tables left out).
    QStringList tableNames() const;
    // rowid of the last insert on this connection.
    qint64 lastInsertId() const;

private:
    friend class Registry;
    friend class RecordSet;
    Database(sqlite3 *db, const QString &path);
    sqlite3 *m_db = nullptr;
    QString m_path;
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
    // missing, is not a database, or does not open with the password.
    static DatabasePtr open(const QString &path, QString *error = nullptr);
    // Closes the connection of the file (before it is copied, replaced,
    // compacted or deleted). Holders of the pointer keep a working handle
    // until they let it go; the registry opens a fresh one next time.
    static void close(const QString &path);
    // Closes every connection.
    static void closeAll();
    // Creates a new, empty encrypted database file (fails when it exists).
    static DatabasePtr create(const QString &path, QString *error = nullptr);
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
    // set stays closed and *error is filled.
    bool open(const DatabasePtr &db, const QString &jetSql, QString *error = nullptr);
    void close();
    bool isOpen() const;

    int recordCount() const;
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
    struct Data;
    std::unique_ptr<Data> d;
};

// Copies every table (schema and rows) of an open database into a new
// encrypted file with the same password, flushed to disk. Fails when the
// target exists; removes it on failure. The caller checks the copy (opens
// it, compares it with the source) before relying on it.
bool compactInto(const DatabasePtr &source, const QString &targetPath, QString *error = nullptr);

// Registers the collation used for text ordering (Chinese names in pinyin
// order). Called by the engine on every connection it opens.
void registerCollations(sqlite3 *db);

} // namespace store
