#pragma once

#include <QString>

namespace store {

// Value of a setting of the current account set; empty when never written.
QString GetVar(const QString &key);
// Writes a setting: updates the key's row or adds one (one row per key).
// False when the database refused the write (the setting keeps its old
// value); callers that show the value elsewhere must say so.
bool SetVar(const QString &key, const QString &value);

} // namespace store
