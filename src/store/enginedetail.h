#pragma once

// What the engine's source files share with each other. Not part of the
// store's interface: only the engine's own .cpp files include this.

#include "engine.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <charconv>

#include <sqlite3.h>

namespace store::detail {

// ---------------------------------------------------------------------------
// Running statements (enginesql.cpp)

// Why a statement with a parameter nobody gives a value for is refused.
inline const QString kUnboundParameterError = QStringLiteral("语句中有未赋值的参数");

QString quoteIdentifier(const QString &name);
// A name of the schema as the server's quoted identifier (its lower case).
QString serverName(const QString &name);
QString lastError(sqlite3 *db);
void setError(QString *error, const QString &text);

// Finalizes a prepared statement when it goes out of scope.
class Statement
{
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Prepares the first statement of sql. *tail receives what follows it.
    bool prepare(sqlite3 *db, const QString &sql, QString *error, QByteArray *tail = nullptr)
    {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        const char *rest = nullptr;
        if (sqlite3_prepare_v2(db, utf8.constData(), utf8.size(), &m_stmt, &rest) != SQLITE_OK) {
            setError(error, lastError(db));
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return false;
        }
        if (tail)
            *tail = rest ? QByteArray(rest) : QByteArray();
        return true;
    }
    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

// A savepoint that rolls back in its destructor unless committed, so a
// statement the engine carries out in several steps is all or nothing.
class Savepoint
{
public:
    explicit Savepoint(sqlite3 *db)
        : m_db(db)
    {
        m_active = sqlite3_exec(m_db, "SAVEPOINT korvo_step", nullptr, nullptr, nullptr)
                   == SQLITE_OK;
    }
    ~Savepoint()
    {
        if (m_active) {
            sqlite3_exec(m_db, "ROLLBACK TO korvo_step", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE korvo_step", nullptr, nullptr, nullptr);
        }
    }
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;
    bool isActive() const { return m_active; }
    bool commit(QString *error)
    {
        if (sqlite3_exec(m_db, "RELEASE korvo_step", nullptr, nullptr, nullptr) != SQLITE_OK) {
            setError(error, lastError(m_db));
            return false;
        }
        m_active = false;
        return true;
    }

private:
    sqlite3 *m_db;
    bool m_active = false;
};

// Runs untranslated statements (several separated by ';').
bool runNative(sqlite3 *db, const QString &sql, QString *error);
// True when text holds nothing but blanks and semicolons.
bool onlyBlanksAndSemicolons(const QByteArray &text);
// Runs exactly one statement, stepping through any rows it gives. A second
// statement after the first is refused, as Jet refuses it, so text spliced
// into a statement can never start another one.
bool runSingle(sqlite3 *db, const QString &sql, QString *error);
// Runs a query with text parameters and collects its first column as text.
bool queryStrings(sqlite3 *db, const QString &sql, const QStringList &params, QStringList &out,
                  QString *error);
// The engine's column type for a declared SQL type.
ColumnType typeFromDeclaration(const char *declared);

// Reads the whole of a server's number text (size bytes at text) into
// number; false, with number unchanged, when the text is anything more or
// less. Numbers are read this way, without a QString each: a backup or a
// long list reads a million of them.
template<typename Number>
bool readWholeNumber(const char *text, int size, Number &number)
{
    Number read = 0;
    const auto result = std::from_chars(text, text + size, read);
    if (result.ec != std::errc() || result.ptr != text + size)
        return false;
    number = read;
    return true;
}

// ---------------------------------------------------------------------------
// Stored dates (storeddates.cpp)

// Parses the stored date text 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM' or
// 'YYYY-MM-DD HH:MM:SS[.fff]' (a 'T' may separate date and time) into year,
// month, day, hours, minutes, seconds and milliseconds.
bool parseStoredDate(const char *s, int length, int parts[7]);
// The stored text of a date: 'YYYY-MM-DD HH:MM:SS' in local time.
QString storedDateText(const QDateTime &value);
// A date given as a number: a Julian day number (SQLite's julianday()) when
// it is that large, else days since 1899-12-30 (the count Jet stores).
QDateTime dateFromNumber(double number);

// ---------------------------------------------------------------------------
// Keyed files (registry.cpp)

enum class OpenMode { ReadOnly, ReadWrite, Create };

// Opens the file with the database password and proves the key by reading
// the schema. The connection keeps the file's journal mode (a rollback
// journal for every file the program does not hold). Returns null and the
// reason on failure.
sqlite3 *openKeyed(const QString &path, OpenMode mode, QString *error);
// The same without noting the connection's writes (watchDataChanges keeps
// one list for every connection): safe on several threads at once, each on
// its own file.
sqlite3 *openKeyedUnwatched(const QString &path, OpenMode mode, QString *error);
// True when the program may not write the file: it has no write permission
// at all, cannot be written, or its folder cannot take a journal.
bool fileIsReadOnly(const QString &path);
// The journal and log files SQLite keeps beside a database file.
QStringList sidecarPaths(const QString &path);
// Removes the files named, quietly.
void removeCreatedFiles(const QStringList &paths);
// Makes a new encrypted database file and writes its first page at once, so
// the file is a complete encrypted database even before any table exists.
sqlite3 *createKeyed(const QString &path, QString *error);
// Every Database object notes its file (registry key) while it is open.
void noteConnectionOpened(const QString &path);
void noteConnectionClosed(const QString &path);
// True when another process has the file open on its write-ahead log. Only
// to be asked while no connection of this process is open on the file.
bool logHeldElsewhere(const QString &path);

// ---------------------------------------------------------------------------
// Table-making statements (selectinto.cpp)

// SELECT ... INTO: creates table with the declared types of the source
// columns (expression columns typed by their values), then copies the rows.
bool selectInto(sqlite3 *db, const QString &table, const QString &select, QString *error);
// ALTER TABLE ... ALTER COLUMN ... LONG: rebuilds the column as integer,
// values rounded.
bool alterToLong(sqlite3 *db, const QString &table, const QString &column, QString *error);

// On a server: moves the numbering of table past the highest record number
// it holds, when rows were given numbers beyond what it handed out, so that
// new records never take a number already used.
QString identityCatchUpSql(const QString &table);

} // namespace store::detail
