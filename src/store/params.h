#pragma once

#include <QString>

namespace store {

// Value of a setting of the current account set; empty when never written.
QString GetVar(const QString &key);
// Writes a setting: updates the key's row or adds one (one row per key).
void SetVar(const QString &key, const QString &value);

} // namespace store
