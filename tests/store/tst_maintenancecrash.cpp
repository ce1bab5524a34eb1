// Kills (SIGKILL) a child process running a maintenance operation on an
// account set at many points, then checks that the set opens, passes
// PRAGMA integrity_check and holds either all of the operation or none of it.
// The program runs itself as the child: tst_maintenancecrash --child <op> <folder>.

#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/maintenance.h"
#include "store/programfolder.h"
#include "store/session.h"

#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

using namespace store;

namespace {

const QString kSet = QStringLiteral("DATA00001.qdt");
const QString kBackupName = QStringLiteral("backup.qdb");
constexpr int kSales = 60000;
constexpr int kPurchases = 6000;
constexpr int kRunsPerOperation = 16;

// The work of one operation in the child, on the set in folder.
bool runOperation(const QString &operation, const QString &folder)
{
    if (operation == QLatin1String("backup"))
        return BackupAccountSet(kSet, QDir(folder).filePath(kBackupName));
    if (operation == QLatin1String("compact"))
        return CompactAccount(kSet);
    if (operation == QLatin1String("clear")) {
        QVector<bool> boxes(kClearBoxCount, false);
        boxes[ClearCustomers] = true;
        boxes[ClearVendors] = true;
        return ClearData(boxes).cleared;
    }
    return false;
}

int runChild(const QString &operation, const QString &folder)
{
    setProgramFolder(folder);
    CurrentAccountFile = kSet;
    CurrentUser = QStringLiteral("zunta");
    Connection conn;
    if (!OpenConn(conn))
        return 2;
    conn.reset();
    std::printf("ready\n");
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    const bool ok = runOperation(operation, folder);
    Registry::closeAll();
    std::printf("done %lld\n", static_cast<long long>(timer.nsecsElapsed() / 1000));
    std::fflush(stdout);
    return ok ? 0 : 1;
}

// Row counts of the tables an operation may change, as "Sale=…,Pur=…,…";
// empty when the file does not open or fails the integrity check.
QString checkedCounts(const QString &path)
{
    Registry::close(path);
    QString result;
    {
        const DatabasePtr db = Registry::open(path);
        if (!db)
            return QString();
        RecordSet check;
        if (!check.open(db, QStringLiteral("PRAGMA integrity_check"))
            || check.value(0).toString() != QLatin1String("ok"))
            return QString();
        QStringList counts;
        for (const char *table : {"Sale", "Pur", "Cus", "Vendor", "Pro"}) {
            RecordSet rs;
            if (!rs.open(db, QStringLiteral("SELECT Count(*) FROM ") + QLatin1String(table)))
                return QString();
            counts << QLatin1String(table) + QLatin1Char('=') + rs.value(0).toString();
        }
        result = counts.join(QLatin1Char(','));
    }
    Registry::close(path);
    return result;
}

} // namespace

class TestMaintenanceCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void killedOperation_data();
    void killedOperation();

private:
    // Copies the prepared set into a fresh folder for one run.
    QString freshFolder(int run);
    // Runs the child on folder; kills it afterMicroseconds after it is ready
    // (never when negative). Returns the child's own time of the work in
    // microseconds when it finished, -1 when it was killed.
    qint64 runChildIn(const QString &folder, const QString &operation, qint64 afterMicroseconds);

    std::unique_ptr<QTemporaryDir> m_work;
    QString m_prepared;
    QString m_before;
};

void TestMaintenanceCrash::initTestCase()
{
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    m_prepared = m_work->filePath(QStringLiteral("prepared"));
    QVERIFY(QDir().mkpath(m_prepared));
    setProgramFolder(m_prepared);
    testsupport::ScriptedPrompts prompts;
    QVERIFY(CreateAccountSet(QStringLiteral("公司"), QStringLiteral("账")) == 0);
    CurrentAccountFile = kSet;
    Connection conn;
    QVERIFY(OpenConn(conn));
    QVERIFY(conn->execNative(
            QStringLiteral(
                    "BEGIN;"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
                    " INSERT INTO Cus (Name) SELECT '客户' || i FROM n;"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50)"
                    " INSERT INTO Vendor (Name) SELECT '供应商' || i FROM n;"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)"
                    " INSERT INTO Pro (Name) SELECT '产品' || i FROM n;"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                    " INSERT INTO Sale (Dat, CID, PID, Num, Pay, Memo) SELECT '2024-01-01 "
                    "00:00:00', i % 300 + 1, i % 500 + 1, 1, i, '备注' || i FROM n;"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2)"
                    " INSERT INTO Pur (Dat, VID, PID, Num, Pay, Memo) SELECT '2024-01-01 "
                    "00:00:00', i % 50 + 1, i % 500 + 1, 1, i, '备注' || i FROM n;"
                    // Deleted rows leave free pages, so that compaction has work.
                    "DELETE FROM Sale WHERE ID % 4 = 0;"
                    "COMMIT;")
                    .arg(kSales)
                    .arg(kPurchases)));
    conn.reset();
    Registry::closeAll();
    CurrentAccountFile.clear();
    m_before = checkedCounts(QDir(m_prepared).filePath(kSet));
    QVERIFY(!m_before.isEmpty());
}

void TestMaintenanceCrash::cleanupTestCase()
{
    Registry::closeAll();
    m_work.reset();
}

QString TestMaintenanceCrash::freshFolder(int run)
{
    const QString folder = m_work->filePath(QStringLiteral("run%1").arg(run));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (const QString &name : {kSet, QString::fromLatin1(kTemplateFileName)})
        QFile::copy(QDir(m_prepared).filePath(name), QDir(folder).filePath(name));
    return folder;
}

qint64 TestMaintenanceCrash::runChildIn(const QString &folder, const QString &operation,
                                        qint64 afterMicroseconds)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), operation, folder});
    if (!child.waitForStarted(10000))
        return -2;
    QByteArray output;
    while (!output.contains("ready\n")) {
        if (!child.waitForReadyRead(10000))
            return -2;
        output += child.readAllStandardOutput();
    }
    if (afterMicroseconds >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(afterMicroseconds));
        child.kill();
    }
    child.waitForFinished(60000);
    output += child.readAllStandardOutput();
    const int done = output.indexOf("done ");
    if (done < 0)
        return -1;
    return output.mid(done + 5).trimmed().toLongLong();
}

void TestMaintenanceCrash::killedOperation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("backup") << "backup";
    QTest::newRow("compaction") << "compact";
    QTest::newRow("clearing") << "clear";
}

// After a kill at any point the set is whole and holds all of the operation
// or none of it; a backup file under its own name is always a whole copy.
void TestMaintenanceCrash::killedOperation()
{
    QFETCH(QString, operation);
    const QString after = operation == QLatin1String("clear")
                                  ? QStringLiteral("Sale=0,Pur=0,Cus=0,Vendor=0,Pro=500")
                                  : m_before;

    // One run to the end gives the time over which the kills are spread.
    const QString timed = freshFolder(0);
    const qint64 workTime = runChildIn(timed, operation, -1);
    QVERIFY2(workTime > 0, "the operation did not finish in the child");
    QCOMPARE(checkedCounts(QDir(timed).filePath(kSet)), after);

    int killed = 0;
    int allBefore = 0;
    for (int run = 1; run <= kRunsPerOperation; ++run) {
        const QString folder = freshFolder(run);
        // From just after the start to a little past the end.
        const qint64 delay = workTime * (run - 1) / (kRunsPerOperation - 2);
        const qint64 finished = runChildIn(folder, operation, delay);
        QVERIFY(finished != -2);
        if (finished < 0)
            ++killed;
        const QString counts = checkedCounts(QDir(folder).filePath(kSet));
        QVERIFY2(counts == m_before || counts == after,
                 qPrintable(QStringLiteral("run %1, killed after %2 µs: %3")
                                    .arg(run)
                                    .arg(delay)
                                    .arg(counts.isEmpty() ? QStringLiteral("damaged") : counts)));
        if (counts == m_before)
            ++allBefore;
        const QString backup = QDir(folder).filePath(kBackupName);
        if (QFileInfo::exists(backup))
            QCOMPARE(checkedCounts(backup), m_before);
        QDir(folder).removeRecursively();
    }
    qInfo("%s: %d of %d runs killed, %d left all before, work time %lld µs", qPrintable(operation),
          killed, kRunsPerOperation, allBefore, workTime);
    QVERIFY(killed > 0);
}

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestMaintenanceCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_maintenancecrash.moc"
