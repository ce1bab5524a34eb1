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

// The account set a window was filled from. A window that stays open while
// the user opens another set must not store its contents there: its numbers
// name rows of the other company's books.
class AccountSetStamp
{
public:
    AccountSetStamp()
        : m_file(CurrentAccountFile)
    {}
    void renew() { m_file = CurrentAccountFile; }
    bool isCurrent() const { return m_file == CurrentAccountFile; }
    // True while the window's set is the current one; otherwise tells the
    // user that the window's changes were not stored, and is false.
    bool checkBeforeSaving() const;

private:
    QString m_file;
};

} // namespace store
