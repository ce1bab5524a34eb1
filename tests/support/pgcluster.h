#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A throwaway PostgreSQL cluster on a Unix socket in a temporary folder (postgres user as root).
class PgCluster
{
public:
    // With tcp, the server also listens on 127.0.0.1 at a free port (tcpPort()), without TLS.
    explicit PgCluster(bool tcp = false);
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    // False when the server programs are missing or the cluster did not start; see error().
    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }
    int tcpPort() const { return m_port; }
    // A libpq connection string for database name on this cluster.
    QString connInfo(const QString &database = QStringLiteral("postgres")) const;
    // Makes an empty database (UTF-8, from template0).
    bool createDatabase(const QString &name);
    // Adds a login role that must give its password (on the socket too).
    bool addPasswordUser(const QString &name, const QString &password);
    // Runs SQL through psql on database name (unaligned, tuples only).
    bool psql(const QString &database, const QString &sql, QString *output = nullptr);
    // Stops the server at once, losing every connection and transaction, and starts it again.
    bool restart();

private:
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr);

    QTemporaryDir m_dir;
    QString m_bin;
    bool m_asPostgres = false;
    bool m_running = false;
    int m_port = 0;
    QString m_error;
};

} // namespace testsupport
