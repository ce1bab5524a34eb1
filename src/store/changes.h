#pragma once

#include <QString>

struct sqlite3;

namespace store {

// Which account-set files may hold changed business data since the program
// last made a copy of them. A statement counts when it is prepared to add,
// change or delete rows, or to create, alter or drop a table, in a file's
// own tables other than the settings table 参数 and the scratch tables whose
// names begin with "T_": reading a list, opening an analysis or saving the
// window settings does not make a set "changed". A statement is counted
// when it is prepared, whether or not it then touches a row, so the answer
// errs towards "changed".

// Called by the engine for every connection it opens on path.
void watchDataChanges(sqlite3 *db, const QString &path);

// On a server set, where no authorizer sees the statements: the engine
// says which table a statement or a record set of the set at path (its
// link) writes, and a table that counts marks the set changed.
void noteDataChange(const QString &path, const QString &table);
void noteDataChangeOf(const QString &path, const QString &sql);

// True when a counting statement was prepared on the file (full path) since
// the program started or since forgetDataChanges(path).
bool dataChanged(const QString &path);
// Marks the file as unchanged (after a copy of it was taken).
void forgetDataChanges(const QString &path);

} // namespace store
