#include "enginedetail.h"

namespace store::detail {

QString quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString serverName(const QString &name)
{
    return QLatin1Char('"') + name.toLower() + QLatin1Char('"');
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
    // Nothing binds values here: a parameter left in the text would run as
    // NULL (a DELETE ... WHERE ID=:id deleting nothing, an UPDATE writing
    // NULL), so the statement fails instead.
    if (stmt.get() && sqlite3_bind_parameter_count(stmt.get()) > 0) {
        setError(error, kUnboundParameterError);
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

} // namespace store::detail
