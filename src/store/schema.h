#pragma once

#include <QString>

namespace store {

// Writes a new empty account-set database (all base tables, provinces and
// the starting staff rows) to path, encrypted with the database password.
// Fails when the file exists.
bool BuildTemplate(const QString &path, QString *error = nullptr);

// Builds DATA_NULL.DAT in the program folder when it is missing.
bool EnsureTemplate(QString *error = nullptr);

} // namespace store
