#pragma once

#include <QString>

namespace store {

// Files written whole or not at all: the new contents go to a work file
// beside the target, which then takes the target's place in one step.

// An unused hidden name in the folder of target,
// ".<target's name>.<tag>-<process id>-<random>.tmp". The leading dot and the
// ending keep it out of every listing (account sets, backups); the process
// id tells a later run whether the file's maker is still at work.
QString workFileBeside(const QString &target, const QString &tag);

// Moves work over target with rename(2): at every moment target holds either
// its old contents or the complete new file. A target that exists keeps its
// permissions. False when the move fails.
bool replaceFileWith(const QString &work, const QString &target);

// Gives a finished work file the permissions a new file of the program gets
// (read and write for the owner, read for others as the umask allows),
// before it is renamed to its place.
void giveNewFileMode(const QString &path);

// While one lives, the files this process creates are for its user alone
// (mode 0600): work files hold a whole account set, passwords and all.
class PrivateFileMode
{
public:
    PrivateFileMode();
    ~PrivateFileMode();
    PrivateFileMode(const PrivateFileMode &) = delete;
    PrivateFileMode &operator=(const PrivateFileMode &) = delete;

private:
    unsigned m_saved;
};

// Removes from folder the work files (with their journal and log files) that
// a run of ours left when it was killed before it could finish: a file
// whose maker has ended, or one from before this process started that names
// no maker. With targetName given, only work files for that name are looked
// at. Returns how many files were removed.
int RemoveLeftoverWorkFiles(const QString &folder, const QString &targetName = QString());

} // namespace store
