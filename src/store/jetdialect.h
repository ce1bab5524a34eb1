#pragma once

#include <QString>

namespace store {

// The database engine a statement is written for.
enum class SqlTarget { Sqlite, Postgres };

// What a Jet statement becomes for the engine.
struct TranslatedSql
{
    enum class Kind {
        Plain,       // run `sql` as it stands
        SelectInto,  // create `table` from the declared types of `sql` (a SELECT), then fill it
        AlterToLong, // rebuild column `column` of `table` as an integer column, values rounded
    };
    Kind kind = Kind::Plain;
    QString sql;
    QString table;
    QString column;
};

// Rewrites the Jet constructs SQLite lacks: #date# literals, DELETE * FROM,
// SELECT TOP n, SELECT ... INTO T, ALTER TABLE T ALTER COLUMN c LONG,
// WHERE FALSE / WHERE false. Text between quotes is never touched. Pure.
//
// For PostgreSQL the result's `sql` is always the whole statement to run:
// date literals become TIMESTAMP '...', SELECT ... INTO T becomes
// CREATE TEMP TABLE T AS SELECT ... (scratch tables belong to the
// connection, so two users never see each other's rows), the LONG column
// change an ALTER COLUMN ... TYPE bigint with the values rounded,
// [bracketed] names quoted identifiers in lower case (as the unquoted names
// of the schema are stored), "double-quoted" texts string literals (Jet reads
// them so), LIKE becomes ILIKE (SQLite's LIKE ignores the case of ASCII
// letters), COLLATE BINARY becomes COLLATE "C" and the parameters ? are
// numbered $1, $2, …. TRUE and FALSE stay.
TranslatedSql translateJet(const QString &jetSql, SqlTarget target = SqlTarget::Sqlite);

// Text of a date literal as stored: 'YYYY-MM-DD HH:MM:SS'. Returns an empty
// string when the text between the # signs is not a date.
QString jetDateToSqlite(const QString &literalBody);

// A plain query on one table, ready for editing through a record set.
struct RowidQuery
{
    QString table; // empty when the query is not a plain one-table query
    QString sql;   // the query with the table's rowid as its first result column
};

// For SELECT ... FROM T [WHERE ...] [ORDER BY ...] [LIMIT ...] (an already
// translated statement without grouping, DISTINCT, joins, derived tables or
// compound parts) returns the table and the statement selecting rowid first,
// so changed rows can be written back. Otherwise an empty table name.
RowidQuery withHiddenRowid(const QString &sqliteSql);

// A statement counting the rows of a query that gave more rows than a list
// shows. The query's final ORDER BY is left out: it never changes how many
// rows there are, and sorting a million rows only to count them costs more
// than the count. Its first table is read NOT INDEXED: so many rows match
// that one pass over the table is faster than finding each row through an
// index (a list of a year from ten, a third of a million sales, counts in
// half the time; of all ten years, in a third). A count that cannot take
// this form (an ORDER BY with a LIMIT or OFFSET after it decides which rows
// there are; a comment may hide a keyword) counts the query as it stands,
// as does fast = false (for when the fast form fails).
QString countingSql(const QString &sqliteSql, bool fast = true);

} // namespace store
