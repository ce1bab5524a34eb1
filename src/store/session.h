#pragma once

#include <QString>

namespace store {

// Process-wide state of the current account set and the login. Every
// database operation given an empty file name works on CurrentAccountFile.
extern QString CurrentAccountFile; // bare file name, e.g. DATA00001.qdt
extern int CurrentAccountIndex;    // index in AccountSets, -1 before one is chosen
extern int CurrentUserID;          // Staff.ID of the logged-in user
extern QString CurrentUser;        // Staff.Name; empty means logged out
extern QString CurrentRights;      // Staff.Right; empty when logged out

} // namespace store
