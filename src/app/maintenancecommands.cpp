#include "maintenancecommands.h"

#include "store/access.h"
#include "store/accountsets.h"
#include "store/maintenance.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace app {

namespace {

// Copying runs at a few hundred megabytes a second; below this size an
// automatic backup is over before a progress window could be read.
constexpr qint64 kProgressBytes = 100 * 1024 * 1024;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A proposed backup name: the set's name and today's date, in the home
// folder.
QString suggestedBackupPath()
{
    QString name;
    if (store::CurrentAccountIndex >= 0 && store::CurrentAccountIndex < store::AccountSets.size())
        name = store::AccountSets.at(store::CurrentAccountIndex).Name;
    // Characters that no file name may hold.
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : name) {
        if (forbidden.contains(c))
            c = QLatin1Char('_');
    }
    if (name.trimmed().isEmpty())
        name = QFileInfo(store::CurrentAccountFile).completeBaseName();
    // Beside the automatic backups, where a user looks for backups.
    QDir folder(store::AutoBackupFolder());
    folder.mkpath(QStringLiteral("."));
    return folder.filePath(name + QLatin1Char('-')
                           + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                           + QStringLiteral(".qdb"));
}

} // namespace

void BackupCurrentAccountSet()
{
    QString path = store::prompts().saveFileName(QStringLiteral("备份套账"), store::kBackupFilter,
                                                 suggestedBackupPath());
    if (path.isEmpty())
        return;
    // A name typed without any extension gets the backup extension, so that
    // the file can be imported as it is.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".qdb");
    if (QFileInfo::exists(path)
        && !store::prompts().question(QStringLiteral("文件") + nativePath(path)
                                      + QStringLiteral("已存在，是否覆盖？")))
        return;
    QString error;
    if (!store::BackupAccountSet(store::CurrentAccountFile, path, &error)) {
        store::prompts().message(QStringLiteral("数据套账备份失败：") + error);
        return;
    }
    store::prompts().message(QStringLiteral("数据套账备份完成！"));
}

void ImportAccountSetBackup()
{
    const QString path = store::prompts().openFileName(QStringLiteral("导入套账"),
                                                       store::kBackupFilter, QDir::homePath());
    if (path.isEmpty())
        return;
    QString error;
    if (store::ImportAccountSet(path, &error) < 0) {
        store::prompts().message(error);
        return;
    }
    store::prompts().message(QStringLiteral("数据套账导入完成！"));
}

bool CompactAccountSet(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo::exists(store::programFilePath(fileName))) {
        store::prompts().message(QStringLiteral("没有找到要压缩的数据库文件！"));
        return false;
    }
    ui::ProgressStart(QStringLiteral("开始压缩数据库……"), 3);
    ui::ProgressStep(1);
    QString error;
    const bool compacted = store::CompactAccount(fileName, &error);
    ui::ProgressStep(2);
    ui::ProgressClose();
    if (!compacted)
        store::prompts().message(QStringLiteral("数据库压缩失败（") + error
                                 + QStringLiteral("）！"));
    return compacted;
}

void TidyOrphanSales()
{
    QString error;
    const int orphans = store::CountOrphanSales(&error);
    if (orphans < 0) {
        store::prompts().message(QStringLiteral("数据整理失败（") + error + QStringLiteral("）！"));
        return;
    }
    if (orphans == 0) {
        store::prompts().message(QStringLiteral("没有客户或产品已不存在的销售记录，无需整理。"));
        return;
    }
    // Deleted sales cannot be brought back: the user sees how many first.
    if (!store::prompts().question(
                QStringLiteral("数据整理将删除 %1 条客户或产品已不存在的销售记录，删除后无法恢复。"
                               "是否继续？")
                        .arg(orphans)))
        return;
    ui::ProgressStart(QStringLiteral("正在删除孤立数据..."), 1);
    const int deleted = store::DeleteOrphanSales(&error);
    ui::ProgressStep(1);
    ui::ProgressClose();
    if (deleted < 0) {
        store::prompts().message(QStringLiteral("数据整理失败（") + error + QStringLiteral("）！"));
        return;
    }
    // The list on screen must not go on showing sales that are gone.
    if (deleted > 0) {
        if (ui::ShellHost *host = ui::shellHost())
            host->ReloadCurrentList();
    }
}

void BackupOnClose(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    const bool large = QFileInfo(store::programFilePath(fileName)).size() > kProgressBytes;
    if (large)
        ui::ProgressStart(QStringLiteral("正在自动备份套账..."), 1);
    QString error;
    const store::AutoBackupOutcome outcome = store::AutoBackupOnClose(fileName, nullptr, &error);
    if (large) {
        ui::ProgressStep(1);
        ui::ProgressClose();
    }
    if (outcome != store::AutoBackupOutcome::Failed)
        return;
    static QSet<QString> told;
    const QString path = store::programFilePath(fileName);
    if (told.contains(path))
        return;
    told.insert(path);
    store::prompts().message(
            QStringLiteral("套账%1自动备份失败（%2）。数据未受影响，备份文件夹：%3")
                    .arg(fileName, error, nativePath(store::AutoBackupFolder())));
}

} // namespace app
