#include "pgcluster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace testsupport {

namespace {

// The newest installed server's program folder (one per major version), or empty.
QString serverBinFolder()
{
    QDir root(u"/usr/lib/postgresql"_s);
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : std::as_const(versions)) {
        const QString bin = root.filePath(version + u"/bin"_s);
        if (QFile::exists(bin + u"/initdb"_s))
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
        m_error = u"PostgreSQL server programs are not installed"_s;
        return;
    }
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return;
    }
    m_asPostgres = ::geteuid() == 0;
    // The server user must be able to write the folder.
    if (m_asPostgres)
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0707);
    const QString data = m_dir.filePath(u"data"_s);
    if (!run(m_bin + u"/initdb"_s, {u"-D"_s, data, u"-E"_s, u"UTF8"_s, u"--locale=C.UTF-8"_s,
                                    u"-A"_s, u"trust"_s, u"-U"_s, u"korvo"_s})) {
        return;
    }
    m_port = tcp ? freePort() : 0;
    const QString listen = m_port > 0 ? u"-c listen_addresses=127.0.0.1 -p %1"_s.arg(m_port)
                                      : u"-c listen_addresses=''"_s;
    const QString options
            = u"-k %1 %2 -c fsync=off -c synchronous_commit=off -c full_page_writes=off"_s.arg(
                    m_dir.path(), listen);
    m_running = run(m_bin + u"/pg_ctl"_s, {u"-D"_s, data, u"-o"_s, options, u"-l"_s,
                                           m_dir.filePath(u"server.log"_s), u"-w"_s, u"start"_s});
}

PgCluster::~PgCluster()
{
    if (m_running)
        run(m_bin + u"/pg_ctl"_s,
            {u"-D"_s, m_dir.filePath(u"data"_s), u"-m"_s, u"immediate"_s, u"-w"_s, u"stop"_s});
}

bool PgCluster::restart()
{
    // pg_ctl starts it again with the options it was started with.
    return run(m_bin + u"/pg_ctl"_s, {u"-D"_s, m_dir.filePath(u"data"_s), u"-m"_s, u"immediate"_s,
                                      u"-w"_s, u"restart"_s});
}

QString PgCluster::connInfo(const QString &database) const
{
    // The socket's name carries the port the server listens on.
    const QString port = m_port > 0 ? u" port=%1"_s.arg(m_port) : QString();
    return u"host=%1%2 user=korvo dbname=%3"_s.arg(m_dir.path(), port, database);
}

bool PgCluster::createDatabase(const QString &name)
{
    return psql(u"postgres"_s,
                u"CREATE DATABASE \"%1\" TEMPLATE template0 ENCODING 'UTF8'"_s.arg(name));
}

bool PgCluster::addPasswordUser(const QString &name, const QString &password)
{
    QFile hba(m_dir.filePath(u"data/pg_hba.conf"_s));
    if (!hba.open(QIODevice::ReadWrite))
        return false;
    const QByteArray rest = hba.readAll();
    hba.seek(0);
    hba.write(u"local all %1 scram-sha-256\n"_s.arg(name).toUtf8() + rest);
    hba.close();
    return psql(u"postgres"_s, u"CREATE ROLE %1 LOGIN PASSWORD '%2'"_s.arg(name, password))
           && psql(u"postgres"_s, u"SELECT pg_reload_conf()"_s);
}

bool PgCluster::psql(const QString &database, const QString &sql, QString *output)
{
    return run(m_bin + u"/psql"_s,
               {u"-X"_s, u"-q"_s, u"-A"_s, u"-t"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-d"_s,
                connInfo(database), u"-c"_s, sql},
               output);
}

bool PgCluster::run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    if (m_asPostgres)
        process.start(u"runuser"_s,
                      QStringList{u"-u"_s, u"postgres"_s, u"--"_s, program} + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = u"%1 failed: %2 %3"_s.arg(QFileInfo(program).fileName(), process.errorString(),
                                            QString::fromUtf8(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

} // namespace testsupport
