#include "pgcluster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

// The newest installed server's program folder (Debian keeps them apart per
// major version), or empty.
QString serverBinFolder()
{
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : std::as_const(versions)) {
        const QString bin = root.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return QString();
}

// A TCP port on 127.0.0.1 that nobody listens on now, 0 when none is found.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace

PgCluster::PgCluster(bool tcp)
{
    m_bin = serverBinFolder();
    if (m_bin.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL server programs are not installed");
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres) {
        // The server user must be able to write the folder.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                    | QFileDevice::WriteOther
                                                    | QFileDevice::ExeOther);
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!run(m_bin + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-A"), QStringLiteral("trust"),
              QStringLiteral("-U"), QStringLiteral("korvo")})) {
        return;
    }
    m_port = tcp ? freePort() : 0;
    const QString listen
            = m_port > 0 ? QStringLiteral("-c listen_addresses=127.0.0.1 -p %1").arg(m_port)
                         : QStringLiteral("-c listen_addresses=''");
    const QString options = QStringLiteral("-k %1 %2 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off")
                                    .arg(m_dir.path(), listen);
    m_running = run(m_bin + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), data, QStringLiteral("-o"), options,
                     QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                     QStringLiteral("-w"), QStringLiteral("start")});
}

PgCluster::~PgCluster()
{
    if (m_running)
        run(m_bin + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
}

bool PgCluster::restart()
{
    // pg_ctl starts it again with the options it was started with.
    return run(m_bin + QStringLiteral("/pg_ctl"),
               {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
                QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("restart")});
}

QString PgCluster::connInfo(const QString &database) const
{
    // The socket's name carries the port the server listens on.
    const QString port = m_port > 0 ? QStringLiteral(" port=%1").arg(m_port) : QString();
    return QStringLiteral("host=%1%2 user=korvo dbname=%3").arg(m_dir.path(), port, database);
}

bool PgCluster::createDatabase(const QString &name)
{
    return psql(
            QStringLiteral("postgres"),
            QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0 ENCODING 'UTF8'").arg(name));
}

bool PgCluster::addPasswordUser(const QString &name, const QString &password)
{
    QFile hba(m_dir.filePath(QStringLiteral("data/pg_hba.conf")));
    if (!hba.open(QIODevice::ReadWrite))
        return false;
    const QByteArray rest = hba.readAll();
    hba.seek(0);
    hba.write(QStringLiteral("local all %1 scram-sha-256\n").arg(name).toUtf8() + rest);
    hba.close();
    return psql(QStringLiteral("postgres"),
                QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(name, password))
           && psql(QStringLiteral("postgres"), QStringLiteral("SELECT pg_reload_conf()"));
}

bool PgCluster::psql(const QString &database, const QString &sql, QString *output)
{
    return run(m_bin + QStringLiteral("/psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                QStringLiteral("-t"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                QStringLiteral("-d"), connInfo(database), QStringLiteral("-c"), sql},
               output);
}

bool PgCluster::run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    if (m_asPostgres)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                  QStringLiteral("--"), program}
                              + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2 %3")
                          .arg(QFileInfo(program).fileName(), process.errorString(),
                               QString::fromUtf8(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

} // namespace testsupport
