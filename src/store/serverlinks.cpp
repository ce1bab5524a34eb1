#include "serverlinks.h"

#include "pgconnection.h"
#include "savefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace store {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

const QString kPasswordRefused = QStringLiteral("服务器套账的链接文件中不能保存密码。");

} // namespace

bool isServerLink(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(kServerLinkSuffix), Qt::CaseInsensitive);
}

QString readServerLink(const QString &path, QString *error)
{
    QFile file(path);
    // A link is a line or two; anything large is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024) {
        setError(error, QStringLiteral("服务器套账的链接文件无法读取：%1").arg(path));
        return QString();
    }
    QStringList parts;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString text = line.trimmed();
        if (!text.isEmpty() && !text.startsWith(QLatin1Char('#')))
            parts << text;
    }
    const QString info = parts.join(QLatin1Char(' '));
    if (info.isEmpty() || PgConnection::withDefaultTls(info).isEmpty()) {
        setError(error, QStringLiteral("服务器套账的链接文件内容无效：%1").arg(path));
        return QString();
    }
    if (PgConnection::namesPassword(info)) {
        setError(error, kPasswordRefused);
        return QString();
    }
    return info;
}

bool writeServerLink(const QString &path, const QString &connInfo, QString *error)
{
    if (PgConnection::withDefaultTls(connInfo).isEmpty()) {
        setError(error, QStringLiteral("数据库服务器的连接参数有误：%1").arg(connInfo));
        return false;
    }
    if (PgConnection::namesPassword(connInfo)) {
        setError(error, kPasswordRefused);
        return false;
    }
    if (QFileInfo::exists(path)) {
        setError(error, QStringLiteral("文件已存在：%1").arg(path));
        return false;
    }
    const QByteArray text
            = QStringLiteral("# Korvo进销存 服务器套账的连接参数（不含密码）\n").toUtf8()
              + connInfo.toUtf8() + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()
        || !CommitSaveFile(file)) {
        setError(error, QStringLiteral("无法写入文件：%1").arg(path));
        return false;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

QString serverConnInfo(const QString &host, const QString &port, const QString &database,
                       const QString &user)
{
    QStringList parts;
    const QList<QPair<QString, QString>> values = {{QStringLiteral("host"), host.trimmed()},
                                                   {QStringLiteral("port"), port.trimmed()},
                                                   {QStringLiteral("dbname"), database.trimmed()},
                                                   {QStringLiteral("user"), user.trimmed()}};
    for (const auto &[key, value] : values) {
        if (value.isEmpty())
            continue;
        QString quoted = value;
        quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        quoted.replace(QLatin1Char('\''), QStringLiteral("\\'"));
        parts << QStringLiteral("%1='%2'").arg(key, quoted);
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace store
