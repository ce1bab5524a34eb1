#pragma once

#include "engine.h"

#include <QString>
#include <QVariant>

namespace store {

// The connection a caller holds between operations: a shared handle on the
// file's keyed connection.
using Connection = DatabasePtr;

// Every operation names an account-set file by its bare name in the program
// folder; an empty name means CurrentAccountFile. Failures on the current
// account set show the two messages of this layer; other files fail quietly.

// Opens (or reuses) the file's connection into conn. False on failure, with
// "无法建立数据库连接(数据库：<file>)！" for the current account set; a set
// that does not open is reported once, not at every later operation, until
// it opens again.
bool OpenConn(Connection &conn, const QString &file = QString());

// Runs a query into rs. On failure rs is an empty, closed record set (zero
// rows); for the current account set "数据库打开错误(<sql>)！" is shown when
// the statement fails, and the connection message (once) when the set does
// not open at all.
void OpenQuery(Connection &conn, RecordSet &rs, const QString &sql,
               const QString &file = QString());
void OpenQuery(RecordSet &rs, const QString &sql, const QString &file = QString());
// The same with values bound to the query's ? parameters, in order. Values
// never become part of the text, so none (a password, say) can show in a
// message or change the statement.
void OpenBoundQuery(Connection &conn, RecordSet &rs, const QString &sql, const QVariantList &values,
                    const QString &file = QString());

// How many operations on the current account set have failed in this run:
// a connection that did not open, a query or a statement that failed. A
// caller that must not go on with data it could not read or build compares
// the count before and after.
int FailedOperations();

// Releases the record set and the caller's hold on the connection.
void CloseQuery(Connection &conn, RecordSet &rs);

// Runs an action statement on conn, or on the file's connection when conn is
// null. Errors are swallowed (the result only tells callers that care).
bool ExecSQL(const QString &sql, Connection *conn = nullptr, const QString &file = QString());

// True when a table of exactly this name (case-sensitive) exists.
bool TableExists(const QString &table, const QString &file = QString());

// Drops the table if it exists and waits (bounded, yielding to the event
// loop) until it is gone. False when it is still there afterwards.
bool DropTable(const QString &table, const QString &file = QString());

// Drops every table whose name starts with prefix (case-sensitive).
void DropTablesByPrefix(const QString &prefix, const QString &file = QString());

// Number of distinct combinations of fields in table (optionally filtered).
int CountGroups(const QString &table, const QString &fields, const QString &where);

// Result field of the first row whose key field equals keyValue; the empty
// text when no row matches. A text key is quoted and escaped, a number is
// written plainly.
QVariant LookupValue(const QString &table, const QVariant &keyValue, const QString &keyField,
                     const QString &resultField, const QString &file = QString());

// Result field of the first row matching where; the empty text when none.
QVariant LookupWhere(const QString &table, const QString &where, const QString &resultField,
                     const QString &file = QString());

// Compacts the account-set file into a fresh encrypted copy that replaces it
// only after it has been checked to open with the password.
bool CompactAccount(const QString &file, QString *error = nullptr);

// The text with its single quotes doubled, for placing between quotes in SQL.
QString escapeSql(const QString &text);
// The text as a quoted SQL literal: '...' with inner quotes doubled.
QString sqlText(const QString &text);

} // namespace store
