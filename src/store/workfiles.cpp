#include "workfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

// When this process started (taken while the program is loaded): work files
// older than this without a living maker are leftovers of an earlier run.
const QDateTime kProcessStart = QDateTime::currentDateTimeUtc();

bool processRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QFileDevice::Permissions modeOf(const QString &path)
{
    return QFileInfo(path).permissions();
}

} // namespace

QString workFileBeside(const QString &target, const QString &tag)
{
    const QFileInfo info(target);
    const QString pid = QString::number(qint64(::getpid()));
    for (;;) {
        const QString candidate = info.dir().filePath(
                QStringLiteral(".%1.%2-%3-%4.tmp")
                        .arg(info.fileName(), tag, pid,
                             QString::number(QRandomGenerator::global()->generate(), 16)));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool replaceFileWith(const QString &work, const QString &target)
{
    // The file a user made private stays private when it is rewritten.
    if (QFileInfo::exists(target))
        QFile::setPermissions(work, modeOf(target));
    return std::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData())
           == 0;
}

void giveNewFileMode(const QString &path)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(path).constData(), 0644 & ~mask);
}

PrivateFileMode::PrivateFileMode()
    : m_saved(::umask(077))
{
    ::umask(mode_t(m_saved) | 077);
}

PrivateFileMode::~PrivateFileMode()
{
    ::umask(mode_t(m_saved));
}

int RemoveLeftoverWorkFiles(const QString &folder, const QString &targetName)
{
    // The names workFileBeside gives (older runs gave them without the
    // process id), and the journal and log files of a database made there.
    static const QRegularExpression workName(
            QStringLiteral("^\\.(.+)\\.(?:new|compact|copy|backup)-(?:([0-9]+)-)?[0-9a-f]+\\.tmp"
                           "(?:-wal|-shm|-journal)?$"));
    int removed = 0;
    const QFileInfoList entries
            = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = workName.match(entry.fileName());
        if (!match.hasMatch() || (!targetName.isEmpty() && match.captured(1) != targetName))
            continue;
        const qint64 maker = match.captured(2).toLongLong();
        const bool leftover = maker > 0 && maker != qint64(::getpid())
                                      ? !processRunning(maker)
                                      : entry.lastModified().toUTC() < kProcessStart;
        if (leftover && QFile::remove(entry.filePath()))
            ++removed;
    }
    return removed;
}

} // namespace store
