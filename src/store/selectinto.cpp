#include "enginedetail.h"

#include <QChar>

namespace store::detail {

namespace {

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

} // namespace

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

    Savepoint transaction(db);
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

namespace {

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

} // namespace

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

    Savepoint transaction(db);
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

} // namespace store::detail
