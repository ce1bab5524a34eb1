#pragma once

#include <QString>
#include <QStringList>

namespace store {

// Writes a new empty account-set database (all base tables, provinces and
// the starting staff rows) to path, encrypted with the database password.
// Fails when the file exists.
bool BuildTemplate(const QString &path, QString *error = nullptr);

// Brings an account set made by an older version up to the current schema
// (bare file name in the program folder): the tables and columns added since
// (each step once, in one transaction with the parameter row 结构_… that
// records it) and the indexes. Nothing else in the set changes. A read-only
// set gets empty temporary tables in place of the missing ones. False when
// the file is not an account set or a step could not be made.
bool EnsureSchema(const QString &fileName);
// The statements that make an empty PostgreSQL database an account set as
// the template is one: the tables with the server's types (identity IDs,
// double precision, timestamp(0), names in pinyin order through ICU), the
// indexes, the starting rows and every schema step recorded. To be run in
// one transaction.
QString PostgresSchemaSql();
// The statements that make the tables and indexes of an account set on an
// empty database, of the server when server is true, without any row: for
// copying a whole set from one engine to the other. Without lookupIndexes
// the indexes of the sales, purchases and settings are left out; a file set
// made so gets them the first time it is opened (EnsureSchema).
QString EmptySchemaSql(bool server, bool lookupIndexes = true);
// A table or column name as the schema spells it (Sale, PID), for a name
// given in any letter case; other names come back as given.
QString schemaSpelling(const QString &name);
// The columns of a table of the schema, as spelled there; empty for a table
// it does not have.
QStringList schemaColumns(const QString &table);
// Parameter keys of the schema steps, in the order they run.
QStringList SchemaStepKeys();

// Builds DATA_NULL.DAT in the program folder when it is missing, or
// rebuilds it when it is not sound (IsSoundAccountSetFile).
bool EnsureTemplate(QString *error = nullptr);
// Builds DATA_NULL.DAT afresh, replacing what is there in one rename.
bool RebuildTemplate(QString *error = nullptr);

// Names of the base tables every account set holds.
QStringList BaseTableNames();
// True when the file opens with the database password, holds every base
// table and passes SQLite's quick check. Lets the file go afterwards.
bool IsSoundAccountSetFile(const QString &path);

} // namespace store
