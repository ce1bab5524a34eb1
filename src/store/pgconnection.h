#pragma once

#include "engine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct pg_conn;
struct pg_result;

namespace store {

// What a first connection attempt to a server came to.
enum class PgProbe {
    Connected,
    Unreachable,   // no server answers at that host and port
    TlsNotOffered, // the server answers, but not with the TLS asked for
    NeedsPassword, // the server wants a password and none was given
    WrongPassword, // the password (or user) was refused
    NoDatabase,    // the server has no database of that name
    Refused,       // anything else; the server's own words are given
};

// The rows a statement gave, read completely: column names as the server
// labels them, their types, and the values (NULL as an invalid QVariant,
// whole numbers as qint64, real numbers as double, timestamps and dates as
// QDateTime, texts as QString, booleans as bool).
struct PgRows
{
    QStringList names;
    QVector<ColumnType> types;
    QVector<QVector<QVariant>> rows;
    int given = 0; // rows the statement gave, read or not
};

// One field of a row that COPY gave, in its text form with the escapes
// undone; data is null for NULL.
struct CopyField
{
    const char *data;
    int size;
};

// The value of a field's text as the server writes a column of type type.
QVariant serverValue(const char *text, ColumnType type);

// One connection to a database on a PostgreSQL server, through libpq. A
// connection that the server or the network dropped is said so once, in
// the statement's error, and opened again on the next statement.
class PgConnection
{
public:
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // Opens a connection from a libpq connection string or service name
    // ("host=… port=… dbname=… user=…", "service=…"). A host that is not this
    // computer is reached with TLS unless the string says otherwise; a
    // password comes from ~/.pgpass or the string, never from us. Null and
    // a Chinese *error when the server cannot be reached or refuses.
    static std::unique_ptr<PgConnection> open(const QString &connInfo, QString *error = nullptr);
    // The connection string with sslmode=require added for a host that is
    // not this computer, when it names no sslmode itself, and a connection
    // time limit of 10 seconds when it names none. Empty when the text is not
    // a connection string.
    static QString withDefaultTls(const QString &connInfo);
    // Tries connInfo (with the TLS and time limit of withDefaultTls) and the
    // password typed beside it (may be empty), and says what came of it;
    // *detail gets the server's own words on a failure. A password that
    // worked is kept in memory for this run, so later connections to the
    // same server, database and user use it without asking.
    static PgProbe probe(const QString &connInfo, const QString &password,
                         QString *detail = nullptr);
    // True when the connection string holds a password.
    static bool namesPassword(const QString &connInfo);

    // Runs statements that give no rows (several, separated by ';').
    bool exec(const QString &sql, QString *error = nullptr);
    // Runs one statement and reads all of its rows.
    bool query(const QString &sql, PgRows &rows, QString *error = nullptr);
    // The same with values for its parameters $1, $2, … sent apart from the
    // statement's text (an empty optional is NULL); the server reads each
    // text as the type its place needs.
    // With keepRows of 0 or more, only that many rows are read into values;
    // the rest are counted in PgRows::given.
    bool query(const QString &sql, const QVector<std::optional<QByteArray>> &params, PgRows &rows,
               QString *error = nullptr, int keepRows = -1);
    // The same, handing read the fields of each kept row as the server wrote
    // them (data null for NULL; they live until read returns) instead of
    // making values of them; rows gets the names, types and rows given.
    bool query(const QString &sql, const QVector<std::optional<QByteArray>> &params, PgRows &rows,
               const std::function<void(const std::vector<CopyField> &)> &read,
               QString *error = nullptr, int keepRows = -1);
    // Sends rows of tab-separated text to COPY table (columns) FROM STDIN
    // in one go: the fast way to write many rows over the network. Values
    // are escaped here; NULL is an invalid QVariant. Without wait the COPY
    // is left open and its answer read only before the next statement (or
    // by settleCopy): the server writes these rows while the caller makes
    // the next ones, and more rows for the same table and columns go on in
    // the same COPY, with no round trip between. A failure then fails that
    // next statement.
    bool copyRows(const QString &table, const QStringList &columns,
                  const QVector<QVector<QVariant>> &rows, QString *error = nullptr,
                  bool wait = true);
    // Ends a COPY left open and reads the answer to it; false with the
    // server's words when its rows were refused.
    bool settleCopy(QString *error = nullptr);

    // Runs COPY (select) TO STDOUT and hands take the fields of each row as
    // it arrives, so a whole table is read without holding it: the fast way
    // to read many rows. The fields live until take returns. A false from
    // take stops the reading (take says why); false also when the server
    // fails.
    bool copyOut(const QString &select,
                 const std::function<bool(const std::vector<CopyField> &)> &take,
                 QString *error = nullptr);

    // The server's own id of this connection (pg_backend_pid).
    int backendPid() const;

private:
    explicit PgConnection(pg_conn *conn, const QString &connInfo);
    // Opens the connection again when it was lost; false (and the message
    // said once) while the server stays away.
    bool ensureConnected(QString *error);
    bool failed(QString *error, const QString &what);
    // A savepoint around one statement inside a transaction; true when set.
    bool guardStatement(const QString &sql);
    // Runs one statement with its parameters inside its savepoint.
    pg_result *runGuarded(const QByteArray &sql, const std::vector<const char *> &values);
    // Undoes the statement that failed inside its savepoint.
    void undoGuarded();

    pg_conn *m_conn = nullptr;
    QString m_connInfo;
    bool m_lostReported = false;
    bool m_copyUnanswered = false; // a COPY was sent and its answer not read
    QString m_openCopy;            // the COPY statement still taking rows, if any
};

} // namespace store
