#include "workfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

namespace store {

QString workFileBeside(const QString &target, const QString &tag)
{
    const QFileInfo info(target);
    for (;;) {
        const QString candidate = info.dir().filePath(
                QStringLiteral(".%1.%2-%3.tmp")
                        .arg(info.fileName(), tag,
                             QString::number(QRandomGenerator::global()->generate(), 16)));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool replaceFileWith(const QString &work, const QString &target)
{
    return std::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData())
           == 0;
}

} // namespace store
