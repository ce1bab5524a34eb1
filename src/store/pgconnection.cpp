#include "pgconnection.h"

#include "enginedetail.h"
#include "formatting.h"
#include "prompts.h"

#include <QDateTime>
#include <QHash>

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace store {

namespace {

const QString kConnectionLost
        = QStringLiteral("与数据库服务器的连接已断开，下次操作时将重新连接。");

// Type ids of the server's built-in types (pg_type.oid); they never change.
ColumnType columnTypeOf(Oid type)
{
    switch (type) {
    case 16: // bool
        return ColumnType::Bool;
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return ColumnType::Integer;
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric (sums of whole numbers come back so)
        return ColumnType::Double;
    case 1082: // date
    case 1114: // timestamp
    case 1184: // timestamptz
        return ColumnType::Date;
    default:
        return ColumnType::Text;
    }
}

// Appends value in the text form COPY reads: backslash, tab and line breaks
// escaped, \N for NULL. Numbers are written without a QString for each:
// an import or an upload sends hundreds of thousands of fields.
void appendCopyField(QByteArray &out, const QVariant &value)
{
    // An invalid date is no date, as a file set stores it.
    if (!value.isValid() || value.isNull()
        || (value.typeId() == QMetaType::QDateTime && !value.toDateTime().isValid())) {
        out += "\\N";
        return;
    }
    char number[32];
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::Float) {
        // The shortest text that reads back as the same double.
        const auto written = std::to_chars(number, number + sizeof number, value.toDouble());
        out.append(number, written.ptr - number);
        return;
    }
    if (isIntegerType(type)) {
        const auto written = std::to_chars(number, number + sizeof number, value.toLongLong());
        out.append(number, written.ptr - number);
        return;
    }
    const QByteArray utf8 = type == QMetaType::QDateTime
                                    ? detail::storedDateText(value.toDateTime()).toLatin1()
                                    : value.toString().toUtf8();
    if (std::none_of(utf8.cbegin(), utf8.cend(),
                     [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; })) {
        out += utf8;
        return;
    }
    for (char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

// Splits one line of COPY's text output into its fields and undoes the
// escapes in place (the text only gets shorter). The server writes only the
// one-letter escapes and \\ there, never octal or hex ones.
void splitCopyLine(char *line, int length, std::vector<CopyField> &fields)
{
    fields.clear();
    if (length > 0 && line[length - 1] == '\n')
        --length;
    char *out = line;
    for (int i = 0;; ++i) {
        if (length - i >= 2 && line[i] == '\\' && line[i + 1] == 'N'
            && (i + 2 == length || line[i + 2] == '\t')) {
            fields.push_back({nullptr, 0});
            i += 2;
        } else {
            char *start = out;
            for (; i < length && line[i] != '\t'; ++i) {
                char c = line[i];
                if (c == '\\' && i + 1 < length) {
                    switch (c = line[++i]) {
                    case 'b':
                        c = '\b';
                        break;
                    case 'f':
                        c = '\f';
                        break;
                    case 'n':
                        c = '\n';
                        break;
                    case 'r':
                        c = '\r';
                        break;
                    case 't':
                        c = '\t';
                        break;
                    case 'v':
                        c = '\v';
                        break;
                    default: // a backslash before any other character is that character
                        break;
                    }
                }
                *out++ = c;
            }
            fields.push_back({start, int(out - start)});
        }
        if (i >= length)
            return;
    }
}

// What every connection is set to once opened: texts in UTF-8, dates and
// times written as 'YYYY-MM-DD HH:MM:SS' (the form a file set stores and
// the readers here take), whatever the server's own default is.
void setUpSession(pg_conn *conn)
{
    PQsetClientEncoding(conn, "UTF8");
    // Dates as the readers take them. A shop's books fit in the server's
    // memory, where reading a row through an index costs hardly more than
    // reading the next one in the table: without this the server scans and
    // sorts whole tables where an index gives the rows in order.
    PQclear(PQexec(conn, "SET DateStyle TO ISO, YMD; SET random_page_cost TO 1.1"));
}

bool isLocalHost(const QString &host)
{
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'))
           || host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1")
           || host == QLatin1String("::1");
}

QString serverMessage(pg_conn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

} // namespace

QVariant serverValue(const char *text, ColumnType type)
{
    // A text the fast reader does not take whole goes the slow way.
    const char *end = text + std::strlen(text);
    const int size = int(end - text);
    if (type == ColumnType::Integer) {
        qlonglong number = 0;
        if (detail::readWholeNumber(text, size, number))
            return number;
    } else if (type == ColumnType::Double) {
        double number = 0;
        if (detail::readWholeNumber(text, size, number))
            return number;
    } else if (type == ColumnType::Bool) {
        return text[0] == 't' && text[1] == 0;
    } else if (type == ColumnType::Date) {
        // The server writes timestamps as 'YYYY-MM-DD HH:MM:SS'.
        int p[7];
        if (detail::parseStoredDate(text, size, p)) {
            const QDate date(p[0], p[1], p[2]);
            const QTime time(p[3], p[4], p[5]);
            if (date.isValid() && time.isValid())
                return QDateTime(date, time);
        }
    }
    const QString value = QString::fromUtf8(text, end - text);
    switch (type) {
    case ColumnType::Integer:
        return value.toLongLong();
    case ColumnType::Double:
        return value.toDouble();
    case ColumnType::Date: {
        QDateTime at = QDateTime::fromString(value.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!at.isValid())
            at = QDateTime(QDate::fromString(value.left(10), QStringLiteral("yyyy-MM-dd")),
                           QTime());
        return at;
    }
    default:
        return value;
    }
}

PgConnection::PgConnection(pg_conn *conn, const QString &connInfo)
    : m_conn(conn)
    , m_connInfo(connInfo)
{}

PgConnection::~PgConnection()
{
    PQfinish(m_conn);
}

QString PgConnection::withDefaultTls(const QString &connInfo)
{
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(connInfo.toUtf8().constData(), &parseError);
    if (!options) {
        PQfreemem(parseError);
        return QString();
    }
    QString hosts;
    bool sslGiven = false;
    bool timeoutGiven = false;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        const QByteArray keyword(o->keyword);
        if (keyword == "host" && o->val)
            hosts = QString::fromUtf8(o->val);
        else if (keyword == "sslmode" && o->val && *o->val)
            sslGiven = true;
        else if (keyword == "connect_timeout" && o->val && *o->val)
            timeoutGiven = true;
    }
    PQconninfoFree(options);
    // With no host in the string libpq may still take one from PGHOST.
    if (hosts.isEmpty())
        hosts = qEnvironmentVariable("PGHOST");
    bool remote = false;
    for (const QString &host : hosts.split(QLatin1Char(',')))
        remote = remote || !isLocalHost(host.trimmed());
    QString info = connInfo;
    // A server that does not answer must not hold the window for minutes.
    if (!timeoutGiven && !qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT"))
        info += QStringLiteral(" connect_timeout=10");
    if (!remote || sslGiven || qEnvironmentVariableIsSet("PGSSLMODE"))
        return info;
    return info + QStringLiteral(" sslmode=require");
}

bool PgConnection::namesPassword(const QString &connInfo)
{
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(connInfo.toUtf8().constData(), &parseError);
    PQfreemem(parseError);
    bool found = false;
    for (PQconninfoOption *o = options; o && o->keyword; ++o)
        found = found || (QByteArray(o->keyword) == "password" && o->val && *o->val);
    PQconninfoFree(options);
    return found;
}

namespace {

// Passwords typed this run, by server, database and user: asked once per
// run, kept in memory only, never written anywhere.
QHash<QString, QByteArray> &typedPasswords()
{
    static QHash<QString, QByteArray> passwords;
    return passwords;
}

QString whoAndWhere(pg_conn *conn)
{
    return QStringLiteral("%1@%2:%3/%4")
            .arg(QString::fromUtf8(PQuser(conn)), QString::fromUtf8(PQhost(conn)),
                 QString::fromUtf8(PQport(conn)), QString::fromUtf8(PQdb(conn)));
}

pg_conn *connectWith(const QString &info, const QByteArray &password)
{
    // The connection string stays as the user wrote it; the password goes
    // beside it.
    const QByteArray expanded = info.toUtf8();
    const char *keywords[] = {"dbname", password.isEmpty() ? nullptr : "password", nullptr};
    const char *values[] = {expanded.constData(), password.constData(), nullptr};
    return PQconnectdbParams(keywords, values, 1);
}

} // namespace

std::unique_ptr<PgConnection> PgConnection::open(const QString &connInfo, QString *error)
{
    const QString info = withDefaultTls(connInfo);
    if (info.isEmpty()) {
        if (error)
            *error = QStringLiteral("数据库服务器的连接参数有误：%1").arg(connInfo);
        return nullptr;
    }
    pg_conn *conn = connectWith(info, QByteArray());
    if (PQstatus(conn) != CONNECTION_OK && PQconnectionNeedsPassword(conn)) {
        const QString who = whoAndWhere(conn);
        QByteArray password = typedPasswords().value(who);
        if (password.isEmpty())
            password
                    = prompts()
                              .password(QStringLiteral("请输入数据库服务器的密码（%1）：").arg(who))
                              .toUtf8();
        if (password.isEmpty()) {
            PQfinish(conn);
            if (error)
                *error = QStringLiteral("无法连接数据库服务器：没有输入密码。");
            return nullptr;
        }
        PQfinish(conn);
        conn = connectWith(info, password);
        if (PQstatus(conn) == CONNECTION_OK)
            typedPasswords().insert(who, password);
        else
            typedPasswords().remove(who);
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        if (error)
            *error = QStringLiteral("无法连接数据库服务器：%1").arg(serverMessage(conn));
        PQfinish(conn);
        return nullptr;
    }
    setUpSession(conn);
    // Warnings of the server (NOTICE) are not for the user.
    PQsetNoticeProcessor(
            conn, [](void *, const char *) {}, nullptr);
    return std::unique_ptr<PgConnection>(new PgConnection(conn, info));
}

namespace {

// True when a libpq connection string asks the server for TLS it must give.
bool requiresTls(const QString &info)
{
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(info.toUtf8().constData(), &parseError);
    PQfreemem(parseError);
    QByteArray mode;
    for (PQconninfoOption *o = options; o && o->keyword; ++o)
        if (QByteArray(o->keyword) == "sslmode" && o->val)
            mode = o->val;
    PQconninfoFree(options);
    if (mode.isEmpty())
        mode = qgetenv("PGSSLMODE");
    return mode == "require" || mode == "verify-ca" || mode == "verify-full";
}

bool answers(const QString &info)
{
    const QByteArray expanded = info.toUtf8();
    const char *keywords[] = {"dbname", nullptr};
    const char *values[] = {expanded.constData(), nullptr};
    return PQpingParams(keywords, values, 1) != PQPING_NO_RESPONSE;
}

} // namespace

PgProbe PgConnection::probe(const QString &connInfo, const QString &password, QString *detail)
{
    const QString info = withDefaultTls(connInfo);
    if (info.isEmpty()) {
        if (detail)
            *detail = QStringLiteral("数据库服务器的连接参数有误：%1").arg(connInfo);
        return PgProbe::Refused;
    }
    // A server that refuses TLS looks to libpq like no server at all; asked
    // again without TLS it answers.
    if (!answers(info)) {
        if (requiresTls(info) && answers(info + QStringLiteral(" sslmode=disable")))
            return PgProbe::TlsNotOffered;
        return PgProbe::Unreachable;
    }
    const QByteArray typed = password.toUtf8();
    pg_conn *conn = connectWith(info, typed);
    const QString message = serverMessage(conn);
    if (detail)
        *detail = message;
    PgProbe result = PgProbe::Connected;
    if (PQstatus(conn) == CONNECTION_OK) {
        if (!typed.isEmpty())
            typedPasswords().insert(whoAndWhere(conn), typed);
    } else if (PQconnectionNeedsPassword(conn) && typed.isEmpty()) {
        result = PgProbe::NeedsPassword;
    } else if (message.contains(QLatin1String("does not exist"))
               && message.contains(QLatin1String("database"))) {
        result = PgProbe::NoDatabase;
    } else if (PQconnectionUsedPassword(conn)) {
        // The password is checked before the database is looked for.
        result = PgProbe::WrongPassword;
    } else if (message.contains(QLatin1String("SSL"))) {
        result = PgProbe::TlsNotOffered;
    } else {
        result = PgProbe::Refused;
    }
    PQfinish(conn);
    return result;
}

bool PgConnection::ensureConnected(QString *error)
{
    if (PQstatus(m_conn) == CONNECTION_OK)
        return true;
    // Rows of a COPY whose answer never came went with the old connection:
    // the statement that finds this fails, however well the new one opens.
    const bool rowsLost = m_copyUnanswered || !m_openCopy.isEmpty();
    m_copyUnanswered = false;
    m_openCopy.clear();
    PQreset(m_conn);
    if (PQstatus(m_conn) == CONNECTION_OK) {
        setUpSession(m_conn);
        m_lostReported = false;
        if (rowsLost && error)
            *error = kConnectionLost;
        return !rowsLost;
    }
    return failed(error, QString());
}

bool PgConnection::failed(QString *error, const QString &what)
{
    if (PQstatus(m_conn) != CONNECTION_OK) {
        // Said once; until the server is back every statement fails quietly.
        if (error)
            *error = m_lostReported ? QString() : kConnectionLost;
        m_lostReported = true;
        return false;
    }
    if (error)
        *error = what.isEmpty() ? serverMessage(m_conn) : what;
    return false;
}

namespace {

bool controlsTransaction(const QString &sql)
{
    const QString word = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return word == QLatin1String("BEGIN") || word == QLatin1String("COMMIT")
           || word == QLatin1String("ROLLBACK") || word == QLatin1String("SAVEPOINT")
           || word == QLatin1String("RELEASE") || word == QLatin1String("END");
}

} // namespace

bool PgConnection::guardStatement(const QString &sql)
{
    // On the server one failed statement spoils its whole transaction, and
    // a COMMIT then quietly rolls everything back. Inside a transaction each
    // statement gets a savepoint of its own, so that a failure undoes only
    // that statement, as on a file set.
    return PQtransactionStatus(m_conn) == PQTRANS_INTRANS && !controlsTransaction(sql);
}

void PgConnection::undoGuarded()
{
    PQclear(PQexec(m_conn, "ROLLBACK TO SAVEPOINT korvo_statement; RELEASE korvo_statement"));
}

PGresult *PgConnection::runGuarded(const QByteArray &sql, const std::vector<const char *> &values)
{
    // The savepoint, the statement and the release go to the server in one
    // pipeline, so a statement in a transaction costs one round trip, not
    // three. After a failure the server skips the release; the savepoint is
    // then rolled back to.
    const int count = int(values.size());
    if (PQenterPipelineMode(m_conn) != 1
        || PQsendQueryParams(m_conn, "SAVEPOINT korvo_statement", 0, nullptr, nullptr, nullptr,
                             nullptr, 0)
                   != 1
        || PQsendQueryParams(m_conn, sql.constData(), count, nullptr, values.data(), nullptr,
                             nullptr, 0)
                   != 1
        || PQsendQueryParams(m_conn, "RELEASE korvo_statement", 0, nullptr, nullptr, nullptr,
                             nullptr, 0)
                   != 1
        || PQpipelineSync(m_conn) != 1) {
        PQexitPipelineMode(m_conn);
        PQclear(PQexec(m_conn, "SAVEPOINT korvo_statement"));
        PGresult *result = PQexecParams(m_conn, sql.constData(), count, nullptr, values.data(),
                                        nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            PQclear(PQexec(m_conn, "RELEASE korvo_statement"));
        else
            undoGuarded();
        return result;
    }
    // Each command's results end with a null; the sync point ends the pipeline.
    PGresult *statement = nullptr;
    int ended = 0;
    while (ended <= 3) {
        PGresult *result = PQgetResult(m_conn);
        if (!result) {
            if (++ended == 3 && PQstatus(m_conn) != CONNECTION_OK)
                break;
            continue;
        }
        if (PQresultStatus(result) == PGRES_PIPELINE_SYNC) {
            PQclear(result);
            break;
        }
        if (ended == 1 && !statement)
            statement = result;
        else
            PQclear(result);
    }
    PQexitPipelineMode(m_conn);
    const ExecStatusType status = statement ? PQresultStatus(statement) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        undoGuarded();
    return statement;
}

bool PgConnection::exec(const QString &sql, QString *error)
{
    if (!ensureConnected(error))
        return false;
    const QString word = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    // Refused rows of a COPY fail the next statement, but never a rollback.
    if (!settleCopy(error) && word != QLatin1String("ROLLBACK"))
        return false;
    if ((word == QLatin1String("COMMIT") || word == QLatin1String("END"))
        && PQtransactionStatus(m_conn) == PQTRANS_INERROR) {
        PQclear(PQexec(m_conn, "ROLLBACK"));
        return failed(error,
                      QStringLiteral("事务中有语句失败，整个事务已撤销，没有写入任何内容。"));
    }
    // Several statements may come in one text, so the savepoint and its
    // release are sent around them in the same text: one round trip.
    const bool guarded = guardStatement(sql);
    const QByteArray text
            = guarded ? "SAVEPOINT korvo_statement;" + sql.toUtf8() + "\n;RELEASE korvo_statement"
                      : sql.toUtf8();
    PGresult *result = PQexec(m_conn, text.constData());
    const ExecStatusType status = PQresultStatus(result);
    const QString message = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    // A COMMIT the server turned into a rollback is no success.
    const bool rolledBack = word == QLatin1String("COMMIT")
                            && QByteArray(PQcmdStatus(result)) == QByteArrayLiteral("ROLLBACK");
    PQclear(result);
    const bool ok = (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) && !rolledBack;
    if (guarded && !ok)
        undoGuarded();
    if (ok)
        return true;
    return failed(error, rolledBack ? QStringLiteral(
                                 "事务中有语句失败，整个事务已撤销，没有写入任何内容。")
                                    : message);
}

bool PgConnection::query(const QString &sql, PgRows &rows, QString *error)
{
    return query(sql, {}, rows, error);
}

bool PgConnection::query(const QString &sql, const QVector<std::optional<QByteArray>> &params,
                         PgRows &rows, QString *error, int keepRows)
{
    // A list holds many rows of the same few days: each date text is read
    // into a date once per result.
    QHash<QByteArray, QVariant> dates;
    const auto read = [&rows, &dates, keepRows](const std::vector<CopyField> &fields) {
        if (rows.rows.isEmpty())
            rows.rows.reserve(keepRows < 0 ? rows.given : std::min(rows.given, keepRows));
        QVector<QVariant> row(int(fields.size()));
        for (int c = 0; c < row.size(); ++c) {
            const char *text = fields[size_t(c)].data;
            if (!text)
                continue;
            if (rows.types.at(c) != ColumnType::Date) {
                row[c] = serverValue(text, rows.types.at(c));
                continue;
            }
            const QByteArray key = QByteArray::fromRawData(text, fields[size_t(c)].size);
            auto found = dates.constFind(key);
            if (found == dates.constEnd())
                found = dates.insert(QByteArray(key), serverValue(text, ColumnType::Date));
            row[c] = found.value();
        }
        rows.rows << row;
    };
    return query(sql, params, rows, read, error, keepRows);
}

bool PgConnection::query(const QString &sql, const QVector<std::optional<QByteArray>> &params,
                         PgRows &rows,
                         const std::function<void(const std::vector<CopyField> &)> &read,
                         QString *error, int keepRows)
{
    rows = PgRows();
    if (!ensureConnected(error) || !settleCopy(error))
        return false;
    std::vector<const char *> values;
    values.reserve(size_t(params.size()));
    for (const std::optional<QByteArray> &param : params)
        values.push_back(param ? param->constData() : nullptr);
    const QByteArray text = sql.toUtf8();
    PGresult *result = guardStatement(sql)
                               ? runGuarded(text, values)
                               : PQexecParams(m_conn, text.constData(), int(params.size()), nullptr,
                                              values.data(), nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        const QString message = result ? QString::fromUtf8(PQresultErrorMessage(result)).trimmed()
                                       : QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        const bool noRows = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
        return noRows || failed(error, message);
    }
    const int columns = PQnfields(result);
    const int count = PQntuples(result);
    for (int c = 0; c < columns; ++c) {
        rows.names << QString::fromUtf8(PQfname(result, c));
        rows.types << columnTypeOf(PQftype(result, c));
    }
    rows.given = count;
    const int kept = keepRows < 0 ? count : std::min(count, keepRows);
    std::vector<CopyField> fields(size_t(columns), CopyField{nullptr, 0});
    for (int r = 0; r < kept; ++r) {
        for (int c = 0; c < columns; ++c)
            fields[size_t(c)] = PQgetisnull(result, r, c) ? CopyField{nullptr, 0}
                                                          : CopyField{PQgetvalue(result, r, c),
                                                                      PQgetlength(result, r, c)};
        read(fields);
    }
    PQclear(result);
    return true;
}

bool PgConnection::copyRows(const QString &table, const QStringList &columns,
                            const QVector<QVector<QVariant>> &rows, QString *error, bool wait)
{
    const QString sql
            = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(QLatin1Char(',')));
    if (m_openCopy != sql) {
        if (!ensureConnected(error) || !settleCopy(error))
            return false;
        PGresult *start = PQexec(m_conn, sql.toUtf8().constData());
        if (PQresultStatus(start) != PGRES_COPY_IN) {
            const QString message = QString::fromUtf8(PQresultErrorMessage(start)).trimmed();
            PQclear(start);
            return failed(error, message);
        }
        PQclear(start);
        m_openCopy = sql;
    }
    QByteArray buffer;
    bool sent = true;
    for (const QVector<QVariant> &row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                buffer += '\t';
            appendCopyField(buffer, row.at(c));
        }
        buffer += '\n';
        if (buffer.size() > (1 << 20)) {
            sent = sent && PQputCopyData(m_conn, buffer.constData(), int(buffer.size())) == 1;
            buffer.clear();
        }
    }
    if (!buffer.isEmpty())
        sent = sent && PQputCopyData(m_conn, buffer.constData(), int(buffer.size())) == 1;
    // Sent on now, not when libpq's buffer next fills, so the server has
    // every row while the next ones are made.
    sent = sent && PQflush(m_conn) == 0;
    if (!sent) {
        PQputCopyEnd(m_conn, "copy aborted");
        m_openCopy.clear();
        m_copyUnanswered = true;
        return settleCopy(error) && failed(error, QString());
    }
    return !wait || settleCopy(error);
}

bool PgConnection::settleCopy(QString *error)
{
    if (!m_openCopy.isEmpty()) {
        m_openCopy.clear();
        m_copyUnanswered = true;
        if (PQputCopyEnd(m_conn, nullptr) != 1) {
            m_copyUnanswered = false;
            while (PGresult *result = PQgetResult(m_conn))
                PQclear(result);
            return failed(error, QString());
        }
    }
    if (!m_copyUnanswered)
        return true;
    m_copyUnanswered = false;
    bool ok = true;
    QString message;
    while (PGresult *result = PQgetResult(m_conn)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            ok = false;
            message = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
        }
        PQclear(result);
    }
    return ok || failed(error, message);
}

bool PgConnection::copyOut(const QString &select,
                           const std::function<bool(const std::vector<CopyField> &)> &take,
                           QString *error)
{
    if (!ensureConnected(error) || !settleCopy(error))
        return false;
    const QByteArray sql = QStringLiteral("COPY (%1) TO STDOUT").arg(select).toUtf8();
    PGresult *start = PQexec(m_conn, sql.constData());
    if (PQresultStatus(start) != PGRES_COPY_OUT) {
        const QString message = QString::fromUtf8(PQresultErrorMessage(start)).trimmed();
        PQclear(start);
        return failed(error, message);
    }
    PQclear(start);
    std::vector<CopyField> fields;
    bool taking = true;
    char *line = nullptr;
    int length = 0;
    // Once take has said no, the rest of the rows are only read off the
    // connection, which must be clear for the next statement.
    while ((length = PQgetCopyData(m_conn, &line, 0)) >= 0) {
        if (taking) {
            splitCopyLine(line, length, fields);
            taking = take(fields);
        }
        PQfreemem(line);
    }
    // The COPY's own answer follows its rows.
    const bool readAll = length == -1;
    m_copyUnanswered = true;
    if (!settleCopy(error))
        return false;
    return readAll ? taking : failed(error, QString());
}

int PgConnection::backendPid() const
{
    return PQbackendPID(m_conn);
}

} // namespace store
