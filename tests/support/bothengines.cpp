#include "bothengines.h"

#include "store/engine.h"
#include "store/programfolder.h"
#include "store/servercopy.h"
#include "store/serverlinks.h"
#include "store/session.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace testsupport {

namespace {

PgCluster *server = nullptr;

// Every server set is copied from this database: an upload takes far longer than a copy.
const QString kTemplateDatabase = QStringLiteral("korvo_template");

} // namespace

PgCluster *testServer()
{
    return server;
}

bool moveCurrentSetToServer()
{
    if (!server)
        return true;
    static int databases = 0;
    QString error;
    if (databases == 0
        && !(server->createDatabase(kTemplateDatabase)
             && store::UploadAccountSet(store::programFilePath(store::CurrentAccountFile),
                                        server->connInfo(kTemplateDatabase), &error))) {
        qWarning("no template set on the server: %s %s", qPrintable(server->error()),
                 qPrintable(error));
        return false;
    }
    const QString name = QStringLiteral("set%1").arg(++databases);
    if (!server->psql(
                QStringLiteral("postgres"),
                QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name, kTemplateDatabase))) {
        qWarning("%s", qPrintable(server->error()));
        return false;
    }
    const QString file = store::CurrentAccountFile;
    const QString link
            = QFileInfo(file).completeBaseName() + QLatin1String(store::kServerLinkSuffix);
    store::Registry::closeAll();
    QFile::remove(store::programFilePath(file));
    if (!store::writeServerLink(store::programFilePath(link), server->connInfo(name)))
        return false;
    store::CurrentAccountFile = link;
    return true;
}

int runOnBothEngines(QObject &test, int argc, char **argv)
{
    int failed = QTest::qExec(&test, argc, argv);
    PgCluster cluster;
    if (!cluster.isRunning()) {
        qWarning("no server run: %s", qPrintable(cluster.error()));
        return failed + (cluster.error().contains(QLatin1String("not installed")) ? 0 : 1);
    }
    server = &cluster;
    failed += QTest::qExec(&test, argc, argv);
    store::Registry::closeAll();
    server = nullptr;
    return failed;
}

} // namespace testsupport
