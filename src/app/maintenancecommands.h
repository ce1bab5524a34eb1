#pragma once

#include <QString>

namespace app {

// 套账操作 → 备份套账: asks for a backup file, asks before replacing an
// existing one, writes a consistent copy of the current set and says so.
void BackupCurrentAccountSet();

// 套账操作 → 导入套账: asks for a backup file and adds it as a further
// account set; the set in use stays current.
void ImportAccountSetBackup();

// 工具 → 压缩及整理数据库, and the last step of clearing: compacts the set
// (bare file name) with the progress window "开始压缩数据库……"; the user is
// told when the file is missing or the compaction failed. True on success.
bool CompactAccountSet(const QString &fileName);

// 工具 → 数据整理: says how many sales have a customer or product that no
// longer exists and, when the user agrees, deletes them with the progress
// window "正在删除孤立数据...".
void TidyOrphanSales();

// Takes the automatic backup of a set being closed (program exit, another
// set opened) when it changed. Shows a progress window only for a set large
// enough for the copy to take noticeable time; a failure is told once per
// set and run, and never stops the closing.
void BackupOnClose(const QString &fileName);

} // namespace app
