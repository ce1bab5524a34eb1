// The work of a user action runs in a child process ("--crash-child <case>
// <folder>") killed with SIGKILL at random moments. After each kill every
// set's file alone must be whole and its data as before or after the action.

#include "records/customers.h"
#include "records/merge.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/maintenance.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

// What a killed action left behind.
enum class State { Before, After, Between, Broken };

struct CrashCase
{
    QString name;
    int runs;
    // Parent: makes the starting files in the (current, empty) program folder.
    std::function<void()> prepare;
    // Child: the user action, from start to end.
    std::function<void()> work;
    // Parent, after a kill: what the data is (Between only for a series of
    // separate commits); Broken carries *why.
    std::function<State(QString *why)> check;
};

const QString kSet = u"DATA00001.qdt"_s;

QVariant value(const QString &sql, const QString &file = kSet)
{
    store::RecordSet rs;
    const store::DatabasePtr db = store::Registry::open(store::programFilePath(file));
    if (!db || !rs.open(db, sql) || rs.eof())
        return QVariant();
    return rs.value(0);
}

int count(const QString &sql, const QString &file = kSet)
{
    const QVariant v = value(sql, file);
    return v.isValid() ? v.toInt() : -1;
}

// The row counts of the tables in file, joined by commas.
QString counts(const QString &file = kSet,
               const QStringList &tables = {"Sale", "Pur", "Cus", "Vendor", "Pro"})
{
    QStringList list;
    for (const QString &table : tables)
        list << QString::number(count(u"SELECT Count(*) FROM "_s + table, file));
    return list.join(QLatin1Char(','));
}

// Before or After when the data now is as before or as after; else Broken.
State beforeOrAfter(const QString &now, const QString &before, const QString &after, QString *why)
{
    *why = now;
    return now == before ? State::Before : now == after ? State::After : State::Broken;
}

void exec(const QString &sql, bool native = false)
{
    store::Connection conn;
    if (!store::OpenConn(conn) || !(native ? conn->execNative(sql) : conn->exec(sql)))
        qFatal("cannot prepare: %s", qPrintable(sql));
}

// SQLite's numbers 1 to count, for INSERT … SELECT … FROM n.
QString numbers(int count)
{
    return u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "_s.arg(
            count);
}

// A set made current, with rows added in one go.
void makeSet(const QStringList &rows = {})
{
    QString error;
    if (store::CreateAccountSet(u"公司"_s, u"账"_s, &error) != 0)
        qFatal("cannot create a set: %s", qPrintable(error));
    store::Connection conn;
    store::OpenConn(conn);
    store::Transaction transaction(conn);
    for (const QString &sql : rows)
        exec(sql);
    transaction.commit();
}

QStringList customersWithSales(int customers, int salesEach)
{
    QStringList rows;
    for (int c = 1; c <= customers; ++c) {
        rows << u"INSERT INTO Cus (ID, Name) VALUES (%1, '客户%1')"_s.arg(c);
        for (int s = 0; s < salesEach; ++s)
            rows << u"INSERT INTO Sale (Dat, PID, CID, Num, Pay) VALUES "
                    "(#2024-01-02#, 1, %1, 1, 10)"_s.arg(c);
    }
    return rows;
}

// ---------------------------------------------------------------- cases

constexpr int kSalesAdded = 200;

// Adding sales one after another, as the sale dialog stores each one.
CrashCase addingSales()
{
    return {u"adding sales"_s, 50, [] { makeSet(); },
            [] {
                for (int i = 1; i <= kSalesAdded; ++i) {
                    store::Connection conn;
                    store::RecordSet rs;
                    store::OpenQuery(conn, rs, u"SELECT * FROM Sale WHERE ID=0"_s);
                    rs.addNew();
                    rs.setValue(u"Dat"_s, QDateTime(QDate(2024, 3, 1), QTime(9, 0)));
                    rs.setValue(u"CID"_s, i);
                    rs.setValue(u"Num"_s, i);
                    rs.setValue(u"Pay"_s, 2.5 * i);
                    rs.setValue(u"Memo"_s, u"销售%1"_s.arg(i));
                    rs.update();
                    store::CloseQuery(conn, rs);
                }
            },
            [](QString *why) {
                const int rows = count(u"SELECT Count(*) FROM Sale"_s);
                // Each sale whole: IDs 1..rows, every field as written.
                const int whole = count(u"SELECT Count(*) FROM Sale WHERE CID=ID AND Num=ID AND "
                                        "Pay=2.5*ID AND "
                                        "Memo='销售'||ID AND Dat='2024-03-01 09:00:00' AND ID<="_s
                                        + QString::number(rows));
                if (rows < 0 || whole != rows) {
                    *why = u"%1 rows, %2 whole"_s.arg(rows).arg(whole);
                    return State::Broken;
                }
                return rows == 0             ? State::Before
                       : rows == kSalesAdded ? State::After
                                             : State::Between;
            }};
}

// Deleting 200 customers with their sales from the customer list.
CrashCase deletingCustomers()
{
    return {u"deleting customers with their sales"_s, 50,
            [] {
                QStringList rows = customersWithSales(200, 3);
                rows << u"INSERT INTO Cus (ID, Name) VALUES (500, '留下')"_s;
                for (int s = 0; s < 20; ++s)
                    rows << u"INSERT INTO Sale (PID, CID, Num) VALUES (1, 500, 1)"_s;
                makeSet(rows);
            },
            [] {
                testsupport::ScriptedPrompts prompts;
                prompts.answers = {true};
                grid::Grid grid;
                records::LoadCustomerList(grid);
                grid.setRow(grid.fixedRows());
                grid.setRowSel(grid.fixedRows() + 199); // all but 留下, the last
                records::DeleteSelectedCustomers(grid);
            },
            [](QString *why) {
                return beforeOrAfter(counts(kSet, {"Cus", "Sale"}), u"201,620"_s, u"1,20"_s, why);
            }};
}

// Merging 299 customers into the first.
CrashCase merging()
{
    return {u"merging customers"_s, 50, [] { makeSet(customersWithSales(300, 2)); },
            [] {
                QVector<qint64> ids;
                for (int c = 2; c <= 300; ++c)
                    ids << c;
                records::ReplaceName(u"Cus"_s, ids, 1);
            },
            [](QString *why) {
                // Customers, sales, sales of the kept one.
                const QString now
                        = counts(kSet, {"Cus", "Sale"}) + QLatin1Char(',')
                          + QString::number(count(u"SELECT Count(*) FROM Sale WHERE CID=1"_s));
                return beforeOrAfter(now, u"300,600,2"_s, u"1,600,600"_s, why);
            }};
}

// Creating a second set.
CrashCase creatingASet()
{
    return {u"creating a set"_s, 50, [] { makeSet(); },
            [] {
                store::BuildAccountSetList();
                store::CreateAccountSet(u"新公司"_s, u"新账"_s);
            },
            [](QString *why) {
                const QStringList files = store::ListAccountSetFiles();
                if (files == QStringList{kSet})
                    return State::Before;
                const store::AccountSet made = store::ReadAccountSetInfo(u"DATA00002.qdt"_s);
                if (files.size() == 2 && made.Name == u"新账"_s && made.Company == u"新公司"_s)
                    return State::After;
                *why = files.join(QLatin1Char(' ')) + u" named "_s + made.Name;
                return State::Broken;
            }};
}

// Deleting a set that holds 300 customers.
CrashCase deletingASet()
{
    return {u"deleting a set"_s, 50,
            [] {
                makeSet();
                store::CreateAccountSet(u"乙"_s, u"乙账"_s);
                store::CurrentAccountFile = u"DATA00002.qdt"_s;
                exec(numbers(300) + "INSERT INTO Cus (Name) SELECT '客户' || i FROM n", true);
            },
            [] {
                testsupport::ScriptedPrompts prompts;
                prompts.answers = {true};
                store::BuildAccountSetList();
                store::MakeAccountSetCurrent(0);
                store::DeleteAccountSet(u"DATA00002.qdt"_s, u"乙账"_s);
            },
            [](QString *why) {
                const QString path = store::programFilePath(u"DATA00002.qdt"_s);
                if (!QFileInfo::exists(path)) {
                    // Gone, and its number is free only when nothing of it is left.
                    const bool leftovers = QFileInfo::exists(path + u"-wal"_s)
                                           || QFileInfo::exists(path + u"-shm"_s);
                    if (leftovers && store::NextAccountSetPath() == path) {
                        *why = u"a log left behind takes no number"_s;
                        return State::Broken;
                    }
                    return State::After;
                }
                const int customers = count(u"SELECT Count(*) FROM Cus"_s, u"DATA00002.qdt"_s);
                if (customers == 300)
                    return State::Before;
                *why = u"%1 customers left"_s.arg(customers);
                return State::Broken;
            }};
}

// A large set with free pages left by deleted rows, so that compaction has
// work. A failure in the child ends it with exit code 1.
const QString kBackup = u"backup.qdb"_s;

void largeSet()
{
    makeSet();
    for (const QString &sql :
         {numbers(300) + "INSERT INTO Cus (Name) SELECT '客户' || i FROM n",
          numbers(50) + "INSERT INTO Vendor (Name) SELECT '供应商' || i FROM n",
          numbers(500) + "INSERT INTO Pro (Name) SELECT '产品' || i FROM n",
          numbers(60000)
                  + "INSERT INTO Sale (Dat, CID, PID, Num, Pay, Memo) SELECT "
                    "'2024-01-01 00:00:00', i % 300 + 1, i % 500 + 1, 1, i, '备注' || i FROM n",
          numbers(6000)
                  + "INSERT INTO Pur (Dat, VID, PID, Num, Pay, Memo) SELECT "
                    "'2024-01-01 00:00:00', i % 50 + 1, i % 500 + 1, 1, i, '备注' || i FROM n",
          u"DELETE FROM Sale WHERE ID % 4 = 0"_s})
        exec(sql, true);
}

const QString kLargeSet = u"45000,6000,300,50,500"_s;

// A backup and then a compaction, killed anywhere in either: the data stays
// as it was, and a backup under its own name is always a whole copy.
CrashCase maintenance()
{
    return {u"backup and compaction"_s, 24, largeSet,
            [] {
                if (!store::BackupAccountSet(kSet, store::programFilePath(kBackup))
                    || !store::CompactAccount(kSet))
                    std::exit(1);
            },
            [](QString *why) {
                const QString backup = store::programFilePath(kBackup);
                *why = counts();
                if (QFileInfo::exists(backup)
                    && (value(u"PRAGMA integrity_check"_s, kBackup) != "ok"
                        || counts(kBackup) != kLargeSet))
                    *why = u"backup "_s + counts(kBackup);
                return *why == kLargeSet ? State::After : State::Broken;
            }};
}

// Clearing customers and vendors takes their trades along, or nothing.
CrashCase clearing()
{
    return {u"clearing customers and vendors"_s, 16, largeSet,
            [] {
                store::CurrentUser = u"zunta"_s;
                QVector<bool> boxes(store::kClearBoxCount, false);
                boxes[store::ClearCustomers] = true;
                boxes[store::ClearVendors] = true;
                if (!store::ClearData(boxes).cleared)
                    std::exit(1);
            },
            [](QString *why) {
                return beforeOrAfter(counts(), kLargeSet, u"0,0,0,0,500"_s, why);
            }};
}

QVector<CrashCase> crashCases()
{
    return {addingSales(),  deletingCustomers(), merging(), creatingASet(),
            deletingASet(), maintenance(),       clearing()};
}

// ---------------------------------------------------------------- child

int runChild(const QString &name, const QString &folder)
{
    store::setProgramFolder(folder);
    for (const CrashCase &crashCase : crashCases()) {
        if (crashCase.name != name)
            continue;
        store::CurrentAccountFile = kSet;
        // The set opened before the clock starts, as a running program has it.
        store::DatabasePtr held = store::Registry::open(store::programFilePath(kSet));
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        crashCase.work();
        held.reset();
        store::Registry::closeAll();
        return 0;
    }
    return 2;
}
} // namespace

class TestCrashes : public QObject
{
    Q_OBJECT

private slots:
    void killedAnywhere_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < crashCases().size(); ++i)
            QTest::newRow(qPrintable(crashCases().at(i).name)) << i;
    }

    void killedAnywhere()
    {
        QFETCH(int, index);
        const CrashCase crashCase = crashCases().at(index);
        const QString &name = crashCase.name;

        // The starting files, made once and copied for every run.
        QTemporaryDir start;
        {
            testsupport::TempProgramFolder folder;
            crashCase.prepare();
            store::Registry::closeAll();
            for (const QString &file : QDir(folder.path()).entryList(QDir::Files))
                QVERIFY(QFile::copy(folder.filePath(file), QDir(start.path()).filePath(file)));
        }

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QRandomGenerator random(20460311u + quint32(qHash(name)));
        qint64 workMs = -1; // how long the whole action takes, from the first run
        int tally[4] = {0, 0, 0, 0};
        for (int run = 0; run <= crashCase.runs; ++run) {
            testsupport::TempProgramFolder folder;
            for (const QString &file : QDir(start.path()).entryList(QDir::Files))
                QVERIFY(QFile::copy(QDir(start.path()).filePath(file), folder.filePath(file)));

            QProcess child;
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(),
                        {u"--crash-child"_s, name, folder.path()});
            QVERIFY(child.waitForStarted());
            QVERIFY(child.waitForReadyRead(20000));
            QElapsedTimer clock;
            clock.start();
            if (run == 0) {
                // The first run goes to its end: it measures the action.
                QVERIFY(child.waitForFinished(60000));
                QCOMPARE(child.exitCode(), 0);
                workMs = qMax<qint64>(clock.elapsed(), 1);
            } else {
                // Killed anywhere in the action, now and then just after it.
                const qint64 at = qint64(random.bounded(quint32(workMs * 11 / 10 + 1)));
                while (clock.elapsed() < at && child.state() == QProcess::Running)
                    child.waitForFinished(int(qMax<qint64>(1, at - clock.elapsed())));
                if (child.state() != QProcess::NotRunning) {
                    ::kill(pid_t(child.processId()), SIGKILL);
                    QVERIFY(child.waitForFinished(20000));
                }
            }

            // As the next start would: every set opened and closed once.
            const QStringList sets = store::ListAccountSetFiles();
            for (const QString &set : sets) {
                store::Registry::open(store::programFilePath(set));
                store::Registry::close(store::programFilePath(set));
            }
            // Then each file alone (copied without anything beside it) is whole.
            for (const QString &set : sets) {
                QTemporaryDir alone;
                const QString copy = alone.filePath(set);
                QVERIFY(QFile::copy(store::programFilePath(set), copy));
                store::RecordSet rs;
                const store::DatabasePtr db = store::Registry::open(copy);
                QVERIFY2(db && rs.open(db, u"PRAGMA integrity_check"_s),
                         qPrintable(u"%1 run %2: %3 does not open"_s.arg(name).arg(run).arg(set)));
                QCOMPARE(rs.value(0).toString(), u"ok"_s);
                rs.close();
                store::Registry::close(copy);
            }
            QString why;
            const State state = crashCase.check(&why);
            store::Registry::closeAll();
            QVERIFY2(state != State::Broken,
                     qPrintable(u"%1, run %2: %3"_s.arg(name).arg(run).arg(why)));
            if (run > 0)
                ++tally[int(state)];
        }
        std::printf("%s: %d kills: %d before, %d after, %d between (each step whole)\n",
                    qPrintable(name), crashCase.runs, tally[0], tally[1], tally[2]);
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--crash-child"))
        return runChild(args.at(2), args.at(3));
    TestCrashes test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashes.moc"
