#pragma once

#include <QString>

namespace store {

// Moving whole account sets between a file and a PostgreSQL server. Each
// copy is one transaction on the side that is written; before it commits,
// every table's row count and the sums of its money and quantity columns
// are compared on both sides, and any difference writes nothing. Record
// numbers are kept, so a set copied there and back is the same set.

// Makes the empty server database connInfo names an account set as the
// template is one (the first user zunta/zunta), with name and company.
bool InitServerSet(const QString &connInfo, const QString &name, const QString &company,
                   QString *error = nullptr);
// InitServerSet as an administrator of the server, in the same transaction
// handing the new set to role, the shop's one database login: made when
// missing (with rolePassword, or none when empty), it may log in and nothing
// more on the server, owns the set's tables (so that later versions can
// bring them up to date) and is, besides the administrators, the only role
// that may connect to the database.
bool InitServerSetForRole(const QString &connInfo, const QString &name, const QString &company,
                          const QString &role, const QString &rolePassword,
                          QString *error = nullptr);
// Copies the file set at filePath into the empty server database connInfo
// names.
bool UploadAccountSet(const QString &filePath, const QString &connInfo, QString *error = nullptr);
// Makes a new file set at filePath (which must not exist) from the server
// set, read as one consistent state while others may go on writing. Until
// it is complete the file has another name, so a failure leaves no set.
bool DownloadAccountSet(const QString &connInfo, const QString &filePath, QString *error = nullptr);

// What a server database named by a connection string is to the program.
enum class ServerSetState {
    Ready,         // a set of this version
    Older,         // a set of an older version; brought up to date when used
    Newer,         // a set of a newer version of the program
    Empty,         // an empty database: a set can be uploaded to it
    NotAccountSet, // a database holding tables of something else
    Unreachable,
    TlsNotOffered,
    NeedsPassword,
    WrongPassword,
    NoDatabase,
    Failed,
};

// Connects to the server with the password typed (may be empty; one that
// works is kept for this run) and looks at what the database holds.
// *message gets one sentence for the user that says what was found.
ServerSetState CheckServerSet(const QString &connInfo, const QString &password,
                              QString *message = nullptr);

} // namespace store
