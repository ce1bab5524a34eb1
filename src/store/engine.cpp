#include "engine.h"

#include "changes.h"
#include "formatting.h"
#include "jetdialect.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>

#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

namespace store {

namespace {

QString quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString lastError(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

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
class Transaction
{
public:
    explicit Transaction(sqlite3 *db)
        : m_db(db)
    {
        m_active = sqlite3_exec(m_db, "SAVEPOINT korvo_step", nullptr, nullptr, nullptr)
                   == SQLITE_OK;
    }
    ~Transaction()
    {
        if (m_active) {
            sqlite3_exec(m_db, "ROLLBACK TO korvo_step", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE korvo_step", nullptr, nullptr, nullptr);
        }
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
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

bool runNative(sqlite3 *db, const QString &sql, QString *error)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        setError(error, message ? QString::fromUtf8(message) : lastError(db));
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool onlyBlanksAndSemicolons(const QByteArray &text)
{
    for (char c : text) {
        if (c != ';' && c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

// Runs exactly one statement, stepping through any rows it gives. A second
// statement after the first is refused, as Jet refuses it, so text spliced
// into a statement can never start another one.
bool runSingle(sqlite3 *db, const QString &sql, QString *error)
{
    Statement stmt;
    QByteArray tail;
    if (!stmt.prepare(db, sql, error, &tail))
        return false;
    if (!onlyBlanksAndSemicolons(tail)) {
        setError(error, QStringLiteral("语句结尾之后还有多余的字符"));
        return false;
    }
    if (!stmt.get())
        return true; // blank statement
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        setError(error, lastError(db));
        return false;
    }
    return true;
}

bool queryStrings(sqlite3 *db, const QString &sql, const QStringList &params, QStringList &out,
                  QString *error)
{
    Statement stmt;
    if (!stmt.prepare(db, sql, error))
        return false;
    for (int i = 0; i < params.size(); ++i) {
        const QByteArray value = params.at(i).toUtf8();
        sqlite3_bind_text(stmt.get(), i + 1, value.constData(), value.size(), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 0)),
                                 sqlite3_column_bytes(stmt.get(), 0));
    }
    if (rc != SQLITE_DONE) {
        setError(error, lastError(db));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Column types and values

ColumnType typeFromDeclaration(const char *declared)
{
    if (!declared || !*declared)
        return ColumnType::Null;
    const QByteArray type = QByteArray(declared).toUpper();
    if (type.startsWith("BOOL") || type == "BIT" || type == "YESNO" || type == "LOGICAL")
        return ColumnType::Bool;
    if (type.contains("DATE") || type.contains("TIME"))
        return ColumnType::Date;
    if (type.contains("INT") || type.contains("LONG") || type.contains("COUNTER")
        || type.contains("AUTOINCREMENT") || type == "BYTE") {
        return ColumnType::Integer;
    }
    if (type.contains("DOUB") || type.contains("REAL") || type.contains("FLOA")
        || type.contains("CURRENCY") || type.contains("NUMERIC") || type.contains("DECIMAL")
        || type.contains("MONEY") || type.contains("SINGLE")) {
        return ColumnType::Double;
    }
    if (type.contains("CHAR") || type.contains("TEXT") || type.contains("MEMO")
        || type.contains("CLOB") || type.contains("STRING")) {
        return ColumnType::Text;
    }
    return ColumnType::Null;
}

int digitsAt(const char *s, int length, int pos, int count)
{
    if (pos + count > length)
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Parses the stored date text 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM' or
// 'YYYY-MM-DD HH:MM:SS[.fff]' (a 'T' may separate date and time). Written by
// hand because record sets parse every date cell they show.
bool parseStoredDate(const char *s, int length, int parts[7])
{
    while (length > 0 && s[length - 1] == ' ')
        --length;
    if (length < 10 || s[4] != '-' || s[7] != '-')
        return false;
    parts[0] = digitsAt(s, length, 0, 4);
    parts[1] = digitsAt(s, length, 5, 2);
    parts[2] = digitsAt(s, length, 8, 2);
    parts[3] = parts[4] = parts[5] = parts[6] = 0;
    if (parts[0] < 0 || parts[1] < 0 || parts[2] < 0)
        return false;
    if (length == 10)
        return true;
    if ((s[10] != ' ' && s[10] != 'T') || length < 16 || s[13] != ':')
        return false;
    parts[3] = digitsAt(s, length, 11, 2);
    parts[4] = digitsAt(s, length, 14, 2);
    if (parts[3] < 0 || parts[4] < 0)
        return false;
    if (length == 16)
        return true;
    if (length < 19 || s[16] != ':')
        return false;
    parts[5] = digitsAt(s, length, 17, 2);
    if (parts[5] < 0)
        return false;
    if (length == 19)
        return true;
    if (s[19] != '.' || length < 21)
        return false;
    int ms = 0, scale = 100;
    for (int i = 20; i < length; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        ms += (s[i] - '0') * scale;
        scale /= 10;
    }
    parts[6] = ms;
    return true;
}

QString storedDateText(const QDateTime &value)
{
    const QDateTime local = value.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(),
                  d.day(), t.hour(), t.minute(), t.second());
    return QString::fromLatin1(buffer);
}

// A date given as a number: a Julian day number (SQLite's julianday()) when
// it is that large, else days since 1899-12-30 (the count Jet stores).
QDateTime dateFromNumber(double number)
{
    if (!std::isfinite(number))
        return QDateTime();
    qint64 day;
    double fraction;
    if (number >= 1000000.0) {
        const double shifted = number + 0.5;
        day = qint64(std::floor(shifted));
        fraction = shifted - double(day);
    } else {
        const double whole = std::floor(number);
        day = QDate(1899, 12, 30).toJulianDay() + qint64(whole);
        fraction = number - whole;
    }
    const QDate date = QDate::fromJulianDay(day);
    const int ms = int(std::llround(fraction * 86400000.0));
    return QDateTime(date, QTime(0, 0).addMSecs(qMin(ms, 86399999)));
}

// ---------------------------------------------------------------------------
// Text collation

// Sort keys of the texts compared lately. An ORDER BY compares the same few
// names over and over; comparing two cached keys is far cheaper than running
// the collation on both texts each time.
class PinyinKeys
{
public:
    PinyinKeys()
        : m_collator(QLocale(QLocale::Chinese, QLocale::China))
    {
        m_collator.setCaseSensitivity(Qt::CaseSensitive);
    }

    QCollatorSortKey key(const char *text, int length)
    {
        const auto found = m_keys.constFind(QByteArray::fromRawData(text, length));
        if (found != m_keys.constEnd())
            return found.value();
        if (m_keys.size() >= kLimit)
            m_keys.clear();
        const QCollatorSortKey key = m_collator.sortKey(QString::fromUtf8(text, length));
        m_keys.insert(QByteArray(text, length), key);
        return key;
    }

private:
    static constexpr qsizetype kLimit = 50000;
    QCollator m_collator;
    QHash<QByteArray, QCollatorSortKey> m_keys;
};

int pinyinCompare(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    const int common = qMin(lengthA, lengthB);
    const int bytes = std::memcmp(a, b, size_t(common));
    if (bytes == 0 && lengthA == lengthB)
        return 0;
    thread_local PinyinKeys keys;
    const int order = keys.key(static_cast<const char *>(a), lengthA)
                              .compare(keys.key(static_cast<const char *>(b), lengthB));
    if (order != 0)
        return order;
    // Equal for the collation but not the same text: fall back to the bytes
    // (code point order) so that only identical texts are equal.
    return bytes != 0 ? bytes : lengthA - lengthB;
}

// ---------------------------------------------------------------------------
// Connections

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

// Opens the file with the database password and proves the key by reading
// the schema. Returns null and the reason on failure.
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

// ---------------------------------------------------------------------------
// SELECT ... INTO and ALTER COLUMN ... LONG

// The declaration of a result column of stmt for a new table: its declared
// type (with the collation of the column it comes from), or empty when it is
// an expression.
QString declarationOf(sqlite3 *db, sqlite3_stmt *stmt, int column)
{
    const char *declared = sqlite3_column_decltype(stmt, column);
    if (!declared || !*declared)
        return QString();
    QString declaration = QString::fromUtf8(declared);
    const char *table = sqlite3_column_table_name(stmt, column);
    const char *origin = sqlite3_column_origin_name(stmt, column);
    const char *database = sqlite3_column_database_name(stmt, column);
    const char *collation = nullptr;
    if (table && origin
        && sqlite3_table_column_metadata(db, database, table, origin, nullptr, &collation, nullptr,
                                         nullptr, nullptr)
                   == SQLITE_OK
        && collation && qstricmp(collation, "BINARY") != 0) {
        declaration += QStringLiteral(" COLLATE ") + QString::fromUtf8(collation);
    }
    return declaration;
}

bool selectInto(sqlite3 *db, const QString &table, const QString &select, QString *error)
{
    QStringList names;
    QStringList declarations;
    {
        Statement stmt;
        QByteArray tail;
        if (!stmt.prepare(db, select, error, &tail))
            return false;
        if (!stmt.get() || !onlyBlanksAndSemicolons(tail)) {
            setError(error, QStringLiteral("SELECT ... INTO 语句无效"));
            return false;
        }
        const int count = sqlite3_column_count(stmt.get());
        for (int i = 0; i < count; ++i) {
            names << QString::fromUtf8(sqlite3_column_name(stmt.get(), i));
            declarations << declarationOf(db, stmt.get(), i);
        }
    }

    Transaction transaction(db);
    if (!transaction.isActive()) {
        setError(error, lastError(db));
        return false;
    }
    const QString target = quoteIdentifier(table);
    auto columnList = [&](bool withTypes) {
        QStringList columns;
        for (int i = 0; i < names.size(); ++i) {
            QString column = quoteIdentifier(names.at(i));
            if (withTypes && !declarations.at(i).isEmpty())
                column += QLatin1Char(' ') + declarations.at(i);
            columns << column;
        }
        return columns.join(QStringLiteral(", "));
    };

    if (!declarations.contains(QString())) {
        if (!runSingle(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(target, columnList(true)),
                       error)
            || !runSingle(db, QStringLiteral("INSERT INTO %1 %2").arg(target, select), error)) {
            return false;
        }
        return transaction.commit(error);
    }

    // Expression columns have no declared type: stage the rows in a typeless
    // table, take each such column's type from the values it holds, then
    // create the real table and copy.
    const QString staging = QStringLiteral("temp.korvo_select_into");
    runSingle(db, QStringLiteral("DROP TABLE IF EXISTS ") + staging, nullptr);
    if (!runSingle(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(staging, columnList(true)), error)
        || !runSingle(db, QStringLiteral("INSERT INTO %1 %2").arg(staging, select), error)) {
        runSingle(db, QStringLiteral("DROP TABLE IF EXISTS ") + staging, nullptr);
        return false;
    }
    for (int i = 0; i < names.size(); ++i) {
        if (!declarations.at(i).isEmpty())
            continue;
        const QString column = quoteIdentifier(names.at(i));
        QStringList kinds;
        if (!queryStrings(db,
                          QStringLiteral("SELECT DISTINCT typeof(%1) FROM %2").arg(column, staging),
                          {}, kinds, error)) {
            runSingle(db, QStringLiteral("DROP TABLE IF EXISTS ") + staging, nullptr);
            return false;
        }
        // Text wins over numbers, a fraction over whole numbers; a column
        // without any value is a measure (sums, averages) and so a double.
        if (kinds.contains(QLatin1String("text"))) {
            // Texts that are all stored dates (Max(Dat), say) stay dates.
            QStringList others;
            if (!kinds.contains(QLatin1String("real")) && !kinds.contains(QLatin1String("integer"))
                && !kinds.contains(QLatin1String("blob"))
                && queryStrings(
                        db,
                        QStringLiteral("SELECT count(*) FROM %2 WHERE %1 IS NOT NULL AND NOT "
                                       "(%1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' "
                                       "OR %1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
                                       "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]')")
                                .arg(column, staging),
                        {}, others, nullptr)
                && others == QStringList{QStringLiteral("0")}) {
                declarations[i] = QStringLiteral("DATETIME");
            } else {
                declarations[i] = QStringLiteral("TEXT COLLATE ") + QLatin1String(kTextCollation);
            }
        } else if (kinds.contains(QLatin1String("blob")))
            declarations[i] = QStringLiteral("BLOB");
        else if (kinds.contains(QLatin1String("real")))
            declarations[i] = QStringLiteral("DOUBLE");
        else if (kinds.contains(QLatin1String("integer")))
            declarations[i] = QStringLiteral("INTEGER");
        else
            declarations[i] = QStringLiteral("DOUBLE");
    }
    const bool ok
            = runSingle(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(target, columnList(true)),
                        error)
              && runSingle(db,
                           QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(target, staging),
                           error);
    runSingle(db, QStringLiteral("DROP TABLE IF EXISTS ") + staging, nullptr);
    return ok && transaction.commit(error);
}

// Splits the column definitions of a CREATE TABLE statement (the text between
// its outer parentheses) at top-level commas.
bool splitTableDefinition(const QString &createSql, QString *head, QStringList *definitions)
{
    int open = -1;
    int depth = 0;
    QChar quote;
    int start = 0;
    for (int i = 0; i < createSql.size(); ++i) {
        const QChar c = createSql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
        } else if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
        } else if (c == QLatin1Char('(')) {
            if (depth == 0) {
                open = i;
                start = i + 1;
            }
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
            if (depth == 0) {
                *definitions << createSql.mid(start, i - start).trimmed();
                *head = createSql.left(open);
                return true;
            }
        } else if (c == QLatin1Char(',') && depth == 1) {
            *definitions << createSql.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    return false;
}

// The column name a column definition starts with, without its quotes.
QString definedName(const QString &definition)
{
    if (definition.isEmpty())
        return QString();
    const QChar first = definition.at(0);
    QChar close;
    if (first == QLatin1Char('"') || first == QLatin1Char('`') || first == QLatin1Char('\''))
        close = first;
    else if (first == QLatin1Char('['))
        close = QLatin1Char(']');
    if (!close.isNull()) {
        QString name;
        for (int i = 1; i < definition.size(); ++i) {
            if (definition.at(i) == close) {
                if (close != QLatin1Char(']') && i + 1 < definition.size()
                    && definition.at(i + 1) == close) {
                    name += close;
                    ++i;
                    continue;
                }
                break;
            }
            name += definition.at(i);
        }
        return name;
    }
    int end = 0;
    while (end < definition.size() && !definition.at(end).isSpace())
        ++end;
    return definition.left(end);
}

bool alterToLong(sqlite3 *db, const QString &table, const QString &column, QString *error)
{
    QStringList createSql;
    if (!queryStrings(db,
                      QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name=? "
                                     "COLLATE NOCASE"),
                      {table}, createSql, error)) {
        return false;
    }
    if (createSql.isEmpty()) {
        setError(error, QStringLiteral("表不存在：%1").arg(table));
        return false;
    }
    QString head;
    QStringList definitions;
    if (!splitTableDefinition(createSql.first(), &head, &definitions)) {
        setError(error, QStringLiteral("无法读取表结构：%1").arg(table));
        return false;
    }

    QStringList columns;
    QStringList sourceColumns;
    QString columnName;
    for (int i = 0; i < definitions.size(); ++i) {
        const QString name = definedName(definitions.at(i));
        const QString upper = name.toUpper();
        if (upper == QLatin1String("CONSTRAINT") || upper == QLatin1String("PRIMARY")
            || upper == QLatin1String("UNIQUE") || upper == QLatin1String("CHECK")
            || upper == QLatin1String("FOREIGN")) {
            continue; // a table constraint, not a column
        }
        columns << quoteIdentifier(name);
        if (name.compare(column, Qt::CaseInsensitive) == 0) {
            columnName = name;
            if (typeFromDeclaration(definitions.at(i).mid(name.size()).toUtf8().constData())
                == ColumnType::Integer) {
                // Already a whole-number column: only stray fractions to round.
                const QString q = quoteIdentifier(name);
                return runSingle(db,
                                 QStringLiteral("UPDATE %1 SET %2=CAST(round(%2) AS INTEGER) WHERE "
                                                "typeof(%2)='real'")
                                         .arg(quoteIdentifier(table), q),
                                 error);
            }
            definitions[i] = quoteIdentifier(name) + QStringLiteral(" INTEGER");
            sourceColumns << QStringLiteral("CASE typeof(%1) WHEN 'real' THEN CAST(round(%1) AS "
                                            "INTEGER) ELSE %1 END")
                                     .arg(quoteIdentifier(name));
        } else {
            sourceColumns << quoteIdentifier(name);
        }
    }
    if (columnName.isEmpty()) {
        setError(error, QStringLiteral("字段不存在：%1.%2").arg(table, column));
        return false;
    }

    QStringList dependents; // indexes and triggers to create again
    if (!queryStrings(
                db,
                QStringLiteral("SELECT sql FROM sqlite_master WHERE type IN ('index','trigger') "
                               "AND tbl_name=? COLLATE NOCASE AND sql IS NOT NULL"),
                {table}, dependents, error)) {
        return false;
    }

    Transaction transaction(db);
    if (!transaction.isActive()) {
        setError(error, lastError(db));
        return false;
    }
    const QString rebuilt = quoteIdentifier(QStringLiteral("korvo_rebuild_") + table);
    const QString original = quoteIdentifier(table);
    if (!runSingle(db,
                   QStringLiteral("CREATE TABLE %1 (%2)")
                           .arg(rebuilt, definitions.join(QStringLiteral(", "))),
                   error)
        || !runSingle(db,
                      QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4")
                              .arg(rebuilt, columns.join(QStringLiteral(", ")),
                                   sourceColumns.join(QStringLiteral(", ")), original),
                      error)
        || !runSingle(db, QStringLiteral("DROP TABLE ") + original, error)
        || !runSingle(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(rebuilt, original),
                      error)) {
        return false;
    }
    for (const QString &sql : std::as_const(dependents)) {
        if (!runSingle(db, sql, error))
            return false;
    }
    return transaction.commit(error);
}

} // namespace

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
// Registry

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

namespace {

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

} // namespace

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

void registerCollations(sqlite3 *db)
{
    sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, pinyinCompare, nullptr);
}

// ---------------------------------------------------------------------------
// RecordSet

namespace {

// One stored value: numbers inline, text and blobs as a slice of the record
// set's byte store. Sixteen bytes a cell keeps big lists compact.
struct Cell
{
    union
    {
        qint64 integer;
        double real;
        const char *text;
    };
    quint32 length;
    quint8 storage; // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB, SQLITE_NULL
};

struct Field
{
    QString name;
    ColumnType declared = ColumnType::Null; // Null: typed by each value
    ColumnType type = ColumnType::Null;     // what fieldType() reports
    QString originTable;
    QString originColumn;
};

// Reloading a list needs the same amount of memory again. Handing freed
// chunks back to the system and faulting fresh pages in costs about as much
// as copying the rows, so a bounded number of chunks is kept for reuse.
template<typename T>
class ChunkPool
{
public:
    std::unique_ptr<T[]> take(size_t size)
    {
        if (m_spare.empty())
            return std::unique_ptr<T[]>(new T[size]);
        std::unique_ptr<T[]> chunk = std::move(m_spare.back());
        m_spare.pop_back();
        return chunk;
    }
    void give(std::vector<std::unique_ptr<T[]>> &chunks)
    {
        for (auto &chunk : chunks) {
            if (m_spare.size() >= kKeptChunks)
                break;
            m_spare.push_back(std::move(chunk));
        }
        chunks.clear();
    }

private:
    static constexpr size_t kKeptChunks = 512; // 32 MB of 64 KB chunks
    std::vector<std::unique_ptr<T[]>> m_spare;
};

ChunkPool<Cell> &cellPool()
{
    static ChunkPool<Cell> pool;
    return pool;
}

ChunkPool<char> &bytePool()
{
    static ChunkPool<char> pool;
    return pool;
}

} // namespace

struct RecordSet::Data
{
    Data() = default;
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;
    ~Data()
    {
        cellPool().give(cellChunks);
        bytePool().give(byteChunks);
    }

    DatabasePtr db;
    bool open = false;
    std::vector<Field> fields;
    // Cells row by row, and the bytes of texts and blobs, in fixed-size
    // chunks: a growing list never moves what it already holds.
    static constexpr size_t kChunkShift = 12;
    static constexpr size_t kChunkCells = size_t(1) << kChunkShift;
    static constexpr size_t kByteChunk = 64 * 1024;
    std::vector<std::unique_ptr<Cell[]>> cellChunks;
    size_t cellCount = 0;
    std::vector<std::unique_ptr<char[]>> byteChunks; // all of kByteChunk bytes
    std::vector<std::unique_ptr<char[]>> longTexts;  // one text each
    char *byteCursor = nullptr;
    size_t bytesLeft = 0;
    std::vector<qint64> rowids; // only for an editable record set
    int rows = 0;
    int position = 0;

    QString table; // the table rows are written back to; empty when not editable

    enum class Edit { None, Adding, Changing };
    Edit edit = Edit::None;
    QMap<int, QVariant> pending;

    mutable std::unordered_map<quint64, QDateTime> dates;

    int columns() const { return int(fields.size()); }

    Cell &cellAt(size_t index) const
    {
        return cellChunks[index >> kChunkShift][index & (kChunkCells - 1)];
    }
    const Cell &cell(int row, int column) const
    {
        return cellAt(size_t(row) * size_t(columns()) + size_t(column));
    }
    Cell &newCell()
    {
        if ((cellCount >> kChunkShift) == cellChunks.size())
            cellChunks.push_back(cellPool().take(kChunkCells));
        return cellAt(cellCount++);
    }
    const char *storeBytes(const void *data, size_t length)
    {
        if (length == 0)
            return nullptr;
        char *target;
        if (length > kByteChunk / 4) {
            // A long text gets a chunk of its own.
            longTexts.emplace_back(new char[length]);
            target = longTexts.back().get();
        } else {
            if (length > bytesLeft) {
                byteChunks.push_back(bytePool().take(kByteChunk));
                byteCursor = byteChunks.back().get();
                bytesLeft = kByteChunk;
            }
            target = byteCursor;
            byteCursor += length;
            bytesLeft -= length;
        }
        std::memcpy(target, data, length);
        return target;
    }

    void appendRow(sqlite3_stmt *stmt, int firstColumn)
    {
        const int count = columns();
        for (int c = 0; c < count; ++c) {
            const int source = c + firstColumn;
            Cell &cell = newCell();
            cell.integer = 0;
            cell.length = 0;
            cell.storage = quint8(sqlite3_column_type(stmt, source));
            switch (cell.storage) {
            case SQLITE_INTEGER:
                cell.integer = sqlite3_column_int64(stmt, source);
                break;
            case SQLITE_FLOAT:
                cell.real = sqlite3_column_double(stmt, source);
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const void *data
                        = cell.storage == SQLITE_TEXT
                                  ? static_cast<const void *>(sqlite3_column_text(stmt, source))
                                  : sqlite3_column_blob(stmt, source);
                const int length = sqlite3_column_bytes(stmt, source);
                cell.text = storeBytes(data, size_t(length));
                cell.length = quint32(length);
                break;
            }
            default:
                cell.storage = SQLITE_NULL;
                break;
            }
        }
        if (firstColumn > 0)
            rowids.push_back(sqlite3_column_int64(stmt, 0));
        ++rows;
    }

    QDateTime dateFromText(const char *text, int length) const
    {
        int p[7];
        if (!parseStoredDate(text, length, p))
            return QDateTime();
        const quint64 key = ((((((quint64(p[0]) * 13 + quint64(p[1])) * 32 + quint64(p[2])) * 24
                                + quint64(p[3]))
                                       * 60
                               + quint64(p[4]))
                                      * 60
                              + quint64(p[5]))
                             * 1000)
                            + quint64(p[6]);
        const auto found = dates.find(key);
        if (found != dates.end())
            return found->second;
        const QDate date(p[0], p[1], p[2]);
        const QTime time(p[3], p[4], p[5], p[6]);
        QDateTime value;
        if (date.isValid() && time.isValid())
            value = QDateTime(date, time);
        dates.emplace(key, value);
        return value;
    }

    QVariant cellValue(int row, int column) const
    {
        const Cell &cell = this->cell(row, column);
        const ColumnType type = fields[size_t(column)].declared;
        switch (cell.storage) {
        case SQLITE_INTEGER:
            switch (type) {
            case ColumnType::Double:
                return double(cell.integer);
            case ColumnType::Bool:
                return cell.integer != 0;
            case ColumnType::Date:
                return dateFromNumber(double(cell.integer));
            default:
                return qlonglong(cell.integer);
            }
        case SQLITE_FLOAT:
            switch (type) {
            case ColumnType::Integer:
                if (cell.real == std::floor(cell.real) && std::fabs(cell.real) < 9.0e18)
                    return qlonglong(cell.real);
                return cell.real;
            case ColumnType::Bool:
                return cell.real != 0.0;
            case ColumnType::Date:
                return dateFromNumber(cell.real);
            default:
                return cell.real;
            }
        case SQLITE_TEXT: {
            const char *text = cell.text;
            const int length = int(cell.length);
            if (type == ColumnType::Date) {
                const QDateTime date = dateFromText(text, length);
                if (date.isValid())
                    return date;
            } else if (type == ColumnType::Bool) {
                const QByteArray word = QByteArray::fromRawData(text, length).trimmed().toLower();
                if (word == "true" || word == "yes" || word == "-1" || word == "1")
                    return true;
                if (word == "false" || word == "no" || word == "0")
                    return false;
            }
            return QString::fromUtf8(text, length);
        }
        case SQLITE_BLOB:
            return QByteArray(cell.text, int(cell.length));
        default:
            return QVariant();
        }
    }

    // Reads one row of the editable table back by rowid, so stored values
    // show as the database keeps them (assigned ID, converted types).
    bool readBack(qint64 rowid, int targetRow, QString *error)
    {
        QStringList columnsSql;
        for (const Field &field : fields) {
            columnsSql << (field.originColumn.isEmpty() ? QStringLiteral("NULL")
                                                        : quoteIdentifier(field.originColumn));
        }
        Statement stmt;
        if (!stmt.prepare(
                    db->handle(),
                    QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid=?")
                            .arg(columnsSql.join(QStringLiteral(", ")), quoteIdentifier(table)),
                    error)) {
            return false;
        }
        sqlite3_bind_int64(stmt.get(), 1, rowid);
        if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
            setError(error, QStringLiteral("写入的记录无法读回"));
            return false;
        }
        if (targetRow == rows) {
            appendRow(stmt.get(), 1);
            return true;
        }
        // Replace the row in place: read it as an extra row, move its cells.
        const int count = columns();
        appendRow(stmt.get(), 1);
        for (int c = 0; c < count; ++c)
            cellAt(size_t(targetRow) * size_t(count) + size_t(c))
                    = cellAt(cellCount - size_t(count) + size_t(c));
        cellCount -= size_t(count);
        rowids.pop_back();
        --rows;
        return true;
    }
};

namespace {

void bindValue(sqlite3_stmt *stmt, int index, const QVariant &value, ColumnType target)
{
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    auto bindText = [&](const QString &text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(stmt, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
    };
    if (isIntegerType(value.typeId()) || isByteType(value.typeId())) {
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int64(stmt, index, value.toBool() ? 1 : 0);
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, value.toDouble());
        return;
    case QMetaType::QDateTime:
        if (value.toDateTime().isValid())
            bindText(storedDateText(value.toDateTime()));
        else
            sqlite3_bind_null(stmt, index);
        return;
    case QMetaType::QDate:
        if (value.toDate().isValid())
            bindText(storedDateText(QDateTime(value.toDate(), QTime(0, 0))));
        else
            sqlite3_bind_null(stmt, index);
        return;
    case QMetaType::QTime:
        bindText(storedDateText(QDateTime(QDate(1899, 12, 30), value.toTime())));
        return;
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        sqlite3_bind_blob(stmt, index, data.constData(), int(data.size()), SQLITE_TRANSIENT);
        return;
    }
    default:
        break;
    }
    const QString text = value.toString();
    if (target == ColumnType::Date) {
        // A date typed as text is stored in the one date format, as Jet
        // converted it on writing.
        const QString canonical = jetDateToSqlite(text);
        if (!canonical.isEmpty()) {
            bindText(canonical);
            return;
        }
    }
    bindText(text);
}

} // namespace

RecordSet::RecordSet()
    : d(new Data)
{}

RecordSet::~RecordSet() = default;
RecordSet::RecordSet(RecordSet &&) noexcept = default;
RecordSet &RecordSet::operator=(RecordSet &&) noexcept = default;

bool RecordSet::open(const DatabasePtr &db, const QString &jetSql, QString *error)
{
    close();
    if (!d)
        d.reset(new Data);
    if (!db) {
        setError(error, QStringLiteral("数据库未打开"));
        return false;
    }
    const TranslatedSql translated = translateJet(jetSql);
    if (translated.kind != TranslatedSql::Kind::Plain) {
        // An action statement opened as a query runs and gives no rows.
        return db->exec(jetSql, error);
    }

    sqlite3 *handle = db->handle();
    Statement stmt;
    QByteArray tail;
    int firstColumn = 0;
    const RowidQuery editable = withHiddenRowid(translated.sql);
    if (!editable.table.isEmpty() && stmt.prepare(handle, editable.sql, nullptr, &tail)
        && stmt.get()) {
        firstColumn = 1;
        d->table = editable.table;
    } else if (!stmt.prepare(handle, translated.sql, error, &tail)) {
        return false;
    }
    if (!stmt.get() || !onlyBlanksAndSemicolons(tail)) {
        setError(error, QStringLiteral("查询语句无效"));
        d->table.clear();
        return false;
    }

    const int count = sqlite3_column_count(stmt.get()) - firstColumn;
    d->fields.resize(size_t(qMax(count, 0)));
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        const int source = c + firstColumn;
        field.name = QString::fromUtf8(sqlite3_column_name(stmt.get(), source));
        field.declared = typeFromDeclaration(sqlite3_column_decltype(stmt.get(), source));
        field.type = field.declared;
        const char *table = sqlite3_column_table_name(stmt.get(), source);
        const char *origin = sqlite3_column_origin_name(stmt.get(), source);
        if (table && origin) {
            field.originTable = QString::fromUtf8(table);
            field.originColumn = QString::fromUtf8(origin);
        }
    }
    // Two result columns of one name: as Jet does, the table's own column
    // takes the qualified name (Sale.AID) and the renamed one keeps AID.
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        if (field.originTable.isEmpty()
            || field.originColumn.compare(field.name, Qt::CaseInsensitive) != 0) {
            continue;
        }
        for (int other = 0; other < count; ++other) {
            if (other != c
                && d->fields[size_t(other)].name.compare(field.name, Qt::CaseInsensitive) == 0) {
                field.name = field.originTable + QLatin1Char('.') + field.name;
                break;
            }
        }
    }
    // Fields that are not columns of the editable table cannot be written.
    for (Field &field : d->fields) {
        if (field.originTable.compare(d->table, Qt::CaseInsensitive) != 0)
            field.originColumn.clear();
    }

    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        d->appendRow(stmt.get(), firstColumn);
    if (rc != SQLITE_DONE) {
        setError(error, lastError(handle));
        close();
        return false;
    }

    // A column without a declared type reports the type of its first value.
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        if (field.declared != ColumnType::Null)
            continue;
        for (int r = 0; r < d->rows; ++r) {
            const Cell &cell = d->cell(r, c);
            if (cell.storage == SQLITE_INTEGER)
                field.type = ColumnType::Integer;
            else if (cell.storage == SQLITE_FLOAT)
                field.type = ColumnType::Double;
            else if (cell.storage == SQLITE_TEXT || cell.storage == SQLITE_BLOB)
                field.type = ColumnType::Text;
            if (field.type != ColumnType::Null)
                break;
        }
    }

    d->db = db;
    d->open = true;
    d->position = 0;
    return true;
}

void RecordSet::close()
{
    if (d)
        d.reset(new Data);
}

bool RecordSet::isOpen() const
{
    return d && d->open;
}

int RecordSet::recordCount() const
{
    return d ? d->rows : 0;
}

bool RecordSet::eof() const
{
    return !d || d->position >= d->rows || d->rows == 0;
}

bool RecordSet::bof() const
{
    return !d || d->position < 0 || d->rows == 0;
}

int RecordSet::position() const
{
    return d ? d->position : 0;
}

void RecordSet::moveFirst()
{
    move(0);
}

void RecordSet::moveNext()
{
    if (d)
        move(qMin(d->position + 1, d->rows));
}

void RecordSet::movePrevious()
{
    if (d)
        move(qMax(d->position - 1, -1));
}

void RecordSet::moveLast()
{
    if (d)
        move(d->rows - 1);
}

void RecordSet::move(int row)
{
    if (!d)
        return;
    // Leaving a changed row stores it, as a keyset cursor does.
    if (d->edit != Data::Edit::None)
        update(nullptr);
    d->position = qBound(-1, row, d->rows);
    if (d->rows == 0)
        d->position = 0;
}

int RecordSet::fieldCount() const
{
    return d ? d->columns() : 0;
}

QString RecordSet::fieldName(int column) const
{
    if (!d || column < 0 || column >= d->columns())
        return QString();
    return d->fields[size_t(column)].name;
}

int RecordSet::fieldIndex(const QString &name) const
{
    if (!d)
        return -1;
    for (int c = 0; c < d->columns(); ++c) {
        if (d->fields[size_t(c)].name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

ColumnType RecordSet::fieldType(int column) const
{
    if (!d || column < 0 || column >= d->columns())
        return ColumnType::Null;
    return d->fields[size_t(column)].type;
}

QVariant RecordSet::value(int column) const
{
    if (!d || column < 0 || column >= d->columns())
        return QVariant();
    if (d->edit != Data::Edit::None) {
        const auto found = d->pending.constFind(column);
        if (found != d->pending.constEnd())
            return found.value();
        if (d->edit == Data::Edit::Adding)
            return QVariant();
    }
    return valueAt(d->position, column);
}

QVariant RecordSet::value(const QString &name) const
{
    return value(fieldIndex(name));
}

QVariant RecordSet::valueAt(int row, int column) const
{
    if (!d || row < 0 || row >= d->rows || column < 0 || column >= d->columns())
        return QVariant();
    return d->cellValue(row, column);
}

void RecordSet::addNew()
{
    if (!d || !d->open)
        return;
    if (d->edit == Data::Edit::Changing)
        update(nullptr);
    d->pending.clear();
    d->edit = Data::Edit::Adding;
}

void RecordSet::setValue(const QString &name, const QVariant &value)
{
    if (!d || !d->open)
        return;
    const int column = fieldIndex(name);
    if (column < 0)
        return;
    if (d->edit == Data::Edit::None) {
        if (d->position < 0 || d->position >= d->rows)
            return;
        d->edit = Data::Edit::Changing;
    }
    d->pending[column] = value;
}

bool RecordSet::update(QString *error)
{
    if (!d || !d->open) {
        setError(error, QStringLiteral("记录集未打开"));
        return false;
    }
    if (d->edit == Data::Edit::None)
        return true;
    const Data::Edit edit = d->edit;
    const QMap<int, QVariant> pending = d->pending;
    d->edit = Data::Edit::None;
    d->pending.clear();

    if (d->table.isEmpty()) {
        setError(error, QStringLiteral("该查询的记录不能修改"));
        return false;
    }
    QStringList columns;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
        const Field &field = d->fields[size_t(it.key())];
        if (field.originColumn.isEmpty()) {
            setError(error, QStringLiteral("字段不能修改：%1").arg(field.name));
            return false;
        }
        columns << quoteIdentifier(field.originColumn);
    }
    sqlite3 *handle = d->db->handle();
    const QString table = quoteIdentifier(d->table);
    QString sql;
    if (edit == Data::Edit::Adding) {
        if (columns.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
        } else {
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(table, columns.join(QStringLiteral(", ")),
                               marks.join(QStringLiteral(", ")));
        }
    } else {
        if (columns.isEmpty())
            return true;
        if (d->position < 0 || d->position >= d->rows) {
            setError(error, QStringLiteral("没有当前记录"));
            return false;
        }
        sql = QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?")
                      .arg(table, columns.join(QStringLiteral("=?, ")));
    }

    Statement stmt;
    if (!stmt.prepare(handle, sql, error))
        return false;
    int index = 1;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it, ++index)
        bindValue(stmt.get(), index, it.value(), d->fields[size_t(it.key())].declared);
    if (edit == Data::Edit::Changing)
        sqlite3_bind_int64(stmt.get(), index, d->rowids[size_t(d->position)]);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
        setError(error, lastError(handle));
        return false;
    }

    if (edit == Data::Edit::Adding) {
        const qint64 rowid = sqlite3_last_insert_rowid(handle);
        if (!d->readBack(rowid, d->rows, error))
            return false;
        d->rowids.back() = rowid;
        d->position = d->rows - 1;
        return true;
    }
    const qint64 rowid = d->rowids[size_t(d->position)];
    return d->readBack(rowid, d->position, error);
}

} // namespace store
