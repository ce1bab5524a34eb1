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

// The account set and the login a window was opened under. A window that
// stays open while the user opens another set must not store its contents
// there: its numbers name rows of the other company's books. Nor may it
// store after its user logged out or another user logged in, who may lack
// the right the window was opened with.
class SessionStamp
{
public:
    SessionStamp() { renew(); }
    void renew()
    {
        m_file = CurrentAccountFile;
        m_userId = CurrentUserID;
    }
    bool isCurrent() const { return m_file == CurrentAccountFile && m_userId == CurrentUserID; }
    // True while the window's set and login are the current ones; otherwise
    // tells the user that the window's changes were not stored, and is false.
    bool checkBeforeSaving() const;

private:
    QString m_file;
    int m_userId = 0;
};

} // namespace store
