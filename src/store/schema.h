#pragma once

#include <QString>

namespace store {

// Writes a new empty account-set database (all base tables, provinces and
// the starting staff rows) to path, encrypted with the database password.
// Fails when the file exists.
bool BuildTemplate(const QString &path, QString *error = nullptr);

// Adds the indexes of the current schema that an account set made by an
// older version lacks (bare file name in the program folder). Indexes change
// no result, only speed. False when the file is not an account set or the
// indexes could not be made.
bool EnsureIndexes(const QString &fileName);

// Builds DATA_NULL.DAT in the program folder when it is missing.
bool EnsureTemplate(QString *error = nullptr);

} // namespace store
