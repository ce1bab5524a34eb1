#pragma once

#include <QString>

namespace store {

// Files written whole or not at all: the new contents go to a work file
// beside the target, which then takes the target's place in one step.

// An unused hidden name in the folder of target,
// ".<target's name>.<tag>-<random>.tmp". The leading dot and the ending keep
// it out of every listing (account sets, backups).
QString workFileBeside(const QString &target, const QString &tag);

// Moves work over target with rename(2): at every moment target holds either
// its old contents or the complete new file. False when the move fails.
bool replaceFileWith(const QString &work, const QString &target);

} // namespace store
