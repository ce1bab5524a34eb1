#pragma once

#include <QString>

namespace store {

// True when another process holds a lock on the database file that keeps
// readers out: a writer in the middle of its commit, or a program that took
// the file for itself. The engine's own waits for such a lock end with a
// plain "database is locked"; this tells a busy file from a damaged one
// without waiting. Locks of this process are not seen, and a file this
// process holds a connection to counts as not locked. False for a file that
// does not exist or cannot be read.
bool DatabaseFileIsLocked(const QString &path);

} // namespace store
