#pragma once

#include <QString>

namespace store {

// A set on a database server is kept in the program folder as a small link
// file (DATAnnnnn.qsv, numbered with the file sets) that holds the libpq
// connection string: host, port, database, server user and TLS mode, never
// a password. Deleting the link never touches the server's data.
inline constexpr char kServerLinkSuffix[] = ".qsv";

// True when the file name is a server set's link.
bool isServerLink(const QString &fileName);
// The connection string a link holds; empty and *error when the file cannot
// be read, holds no connection string, or holds a password.
QString readServerLink(const QString &path, QString *error = nullptr);
// Writes a link (a new file; an existing one is refused). A connection
// string with a password is refused: passwords come from ~/.pgpass or are
// asked for.
bool writeServerLink(const QString &path, const QString &connInfo, QString *error = nullptr);

// The connection string for a server set from its parts as a user types
// them: each value quoted, so spaces and quotes in it stay values. An empty
// host or port is left out (libpq then takes its defaults).
QString serverConnInfo(const QString &host, const QString &port, const QString &database,
                       const QString &user);

} // namespace store
