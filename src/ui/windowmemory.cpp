#include "windowmemory.h"

#include "store/programfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace ui {

namespace {

QSettings memory()
{
    return QSettings(store::programFilePath(QStringLiteral("界面.ini")), QSettings::IniFormat);
}

QString folderKey(const QString &caption)
{
    return QStringLiteral("folders/") + caption;
}

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

QString lastFolder(const QString &caption)
{
    const QString folder = memory().value(folderKey(caption)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void rememberFolder(const QString &caption, const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    memory().setValue(folderKey(caption), QFileInfo(chosenFile).absolutePath());
}

QString dialogStartPath(const QString &caption, const QString &suggested)
{
    const QFileInfo given(suggested);
    QString folder = lastFolder(caption);
    if (folder.isEmpty() && !suggested.isEmpty() && given.isAbsolute() && given.dir().exists())
        folder = given.absolutePath();
    if (folder.isEmpty())
        folder = documentsFolder();
    return suggested.isEmpty() ? folder : QDir(folder).filePath(given.fileName());
}

QString dialogStartFolder(const QString &caption, const QString &folder)
{
    const QString last = lastFolder(caption);
    if (!last.isEmpty())
        return last;
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : documentsFolder();
}

QByteArray savedWindowGeometry()
{
    return memory().value(QStringLiteral("window/geometry")).toByteArray();
}

void saveWindowGeometry(const QByteArray &geometry)
{
    memory().setValue(QStringLiteral("window/geometry"), geometry);
}

} // namespace ui
