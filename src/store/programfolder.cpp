#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace store {

namespace {
QString &folderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString programFilePath(const QString &bareName)
{
    return QDir(programFolder()).filePath(bareName);
}

} // namespace store
