// Server sets driven from outside: several programs on one server set at the
// same time, and whole sets moved to and from the server. Each side is a real
// process: korvo-cli for imports and copies, this program started again as a worker
// (first argument "--worker") for the actions of the window's records.

#include "records/masterrecords.h"
#include "records/products.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/pgconnection.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/serverlinks.h"
#include "store/session.h"

#include "pgcluster.h"
#include "testsupport.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr int kCustomers = 60;

// The worker: runs one action on the program folder's first set and prints
// what came of it. "delete": deletes the customers 1..kCustomers with their
// sales, one selection each. "sell N": saves N sales spread over the same
// customers; refused saves are counted. "edit NAME": reads product 1 as its
// dialog does, says "read", waits for a line on its input, then saves NAME as
// its name.
int runWorker(const QString &folder, const QStringList &action)
{
    store::setProgramFolder(folder);
    testsupport::ScriptedPrompts prompts;
    if (!store::MakeAccountSetCurrent(store::BuildAccountSetList() > 0 ? 0 : -1))
        return 3;
    QTextStream out(stdout);
    if (action.value(0) == QLatin1String("delete")) {
        for (int id = 1; id <= kCustomers; ++id) {
            store::Connection conn;
            store::OpenConn(conn);
            store::Transaction transaction(conn);
            if (!records::deleteDependentRecords(QStringLiteral("Cus"), {qint64(id)},
                                                 {{QStringLiteral("Sale"), QStringLiteral("CID")}},
                                                 false)
                || !store::ExecSQL(
                        QStringLiteral("DELETE * FROM Cus WHERE ID=") + QString::number(id), &conn)
                || !transaction.commit())
                return 4;
        }
        out << "deleted\n";
        return 0;
    }
    if (action.value(0) == QLatin1String("sell")) {
        int refused = 0;
        for (int i = 0; i < action.value(1).toInt(); ++i) {
            const int customer = 1 + i % kCustomers;
            records::TradeEntry entry;
            entry.lists = {records::masterEntry(1, QStringLiteral("钢管")),
                           records::masterEntry(customer, QString::number(customer)),
                           records::masterEntry(1, QStringLiteral("现金")), QString()};
            entry.boxes = {"5", "2", "10", "0", QStringLiteral("并发")};
            entry.date = QDateTime(QDate(2026, 3, 1), QTime());
            if (records::saveTrade(records::saleTable(), entry) == 0)
                ++refused;
        }
        out << "refused " << refused << '\n';
        return 0;
    }
    if (action.value(0) == QLatin1String("edit")) {
        records::ProductInfo product;
        records::loadProduct(1, product);
        out << "read\n";
        out.flush();
        QTextStream(stdin).readLine();
        product.texts.insert(QStringLiteral("Name"), action.value(1));
        const bool stored = records::saveProduct(1, product) != 0;
        out << (stored ? "stored" : "refused") << ' ' << prompts.messages.join(QLatin1Char('|'))
            << '\n';
        return 0;
    }
    return 2;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoImportsAtOnce();
    void aKilledImportLeavesNothing();
    void aStoppedServerLeavesNothing();
    void deletingCustomersWhileSalesAreSaved();
    void oneProductEditedTwice();
    void setsGoThereAndBack();
    void initForTheShopsRole();

private:
    QString cli(const QStringList &args);
    // Every row of every table of the file set, as text.
    static QStringList everyRow(const QString &file);
    std::unique_ptr<QProcess> start(const QString &program, const QStringList &args);
    static QString finish(QProcess &process);
    std::unique_ptr<QProcess> importSales(const QString &csv, int count);
    QString scalar(const QString &sql);
    // A CSV file of count sales of product 钢管 to the customers 1..kCustomers,
    // paid into 现金 but for row newAccountRow (a new account).
    QString writeSales(const QString &name, int count, int newAccountRow = -1);

    std::unique_ptr<testsupport::PgCluster> m_cluster;
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
};

std::unique_ptr<QProcess> TestServer::start(const QString &program, const QStringList &args)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORVO_PASSWORD"), QStringLiteral("zunta"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder->path());
    process->setProcessEnvironment(env);
    process->start(program, args);
    return process;
}

QString TestServer::finish(QProcess &process)
{
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        process.kill();
    return QString::number(process.exitCode()) + QLatin1Char(' ')
           + QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())
                     .trimmed();
}

std::unique_ptr<QProcess> TestServer::importSales(const QString &csv, int count)
{
    return start(
            QStringLiteral(KORVO_CLI_PATH),
            {QStringLiteral("--folder"), m_folder->path(), QStringLiteral("--user=zunta"),
             QStringLiteral("import"), QStringLiteral("sales"), csv,
             QStringLiteral("--rows=2-%1").arg(count + 1),
             QStringLiteral("--map=销售日期=A,产品=B,客户=C,收款账号=D,售价=E,数量=F,备注=G")});
}

QString TestServer::scalar(const QString &sql)
{
    QString out;
    if (!m_cluster->psql(QStringLiteral("shop"), sql, &out))
        return QStringLiteral("error: ") + m_cluster->error();
    return out.trimmed();
}

QString TestServer::writeSales(const QString &name, int count, int newAccountRow)
{
    QByteArray text = "销售日期,产品,客户,收款账号,售价,数量,备注\n";
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("2026-03-01,钢管,%1,%2,5,%3,%4\n")
                        .arg(1 + i % kCustomers)
                        .arg(i == newAccountRow ? QStringLiteral("新账号") : QStringLiteral("现金"))
                        .arg(i + 1)
                        .arg(name)
                        .toUtf8();
    const QString path = m_folder->filePath(name + QStringLiteral(".csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

void TestServer::initTestCase()
{
    m_cluster = std::make_unique<testsupport::PgCluster>();
    if (!m_cluster->isRunning() && m_cluster->error().contains(QLatin1String("not installed")))
        QSKIP("PostgreSQL is not installed");
    QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->error()));
    QVERIFY(m_cluster->createDatabase(QStringLiteral("shop")));
    QString customers;
    for (int id = 1; id <= kCustomers; ++id)
        customers += QStringLiteral("INSERT INTO cus (name) VALUES ('%1');").arg(id);
    QVERIFY2(m_cluster->psql(QStringLiteral("shop"),
                             QStringLiteral("BEGIN;") + store::PostgresSchemaSql() + customers
                                     + QStringLiteral("INSERT INTO pro (name) VALUES ('钢管');"
                                                      "INSERT INTO acc (name) VALUES ('现金');"
                                                      "INSERT INTO 参数 (var, con) VALUES "
                                                      "('套账名称', '门店');COMMIT;")),
             qPrintable(m_cluster->error()));
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    QVERIFY(store::writeServerLink(store::programFilePath(QStringLiteral("DATA00001.qsv")),
                                   m_cluster->connInfo(QStringLiteral("shop"))));
}

// Two imports of 10,000 sales at once: every row of both arrives, each with
// an ID of its own.
void TestServer::twoImportsAtOnce()
{
    const QString first = writeSales(QStringLiteral("甲"), 10000);
    const QString second = writeSales(QStringLiteral("乙"), 10000);
    auto a = importSales(first, 10000);
    auto b = importSales(second, 10000);
    // A backup taken meanwhile holds one consistent state: each import is
    // one transaction, so it holds all of an import's rows or none.
    const QString backup = m_folder->filePath(QStringLiteral("during.qdb"));
    QTRY_VERIFY(a->state() == QProcess::Running);
    QCOMPARE(cli({QStringLiteral("--set=DATA00001.qsv"), QStringLiteral("--user=zunta"),
                  QStringLiteral("backup"), QStringLiteral("--out"), backup})
                     .left(2),
             QStringLiteral("0 "));
    QVERIFY(store::IsSoundAccountSetFile(backup));
    {
        store::RecordSet rs;
        QVERIFY(rs.open(store::Registry::open(backup),
                        QStringLiteral("SELECT Count(*) FROM Sale WHERE Memo IN ('甲', '乙')")));
        QVERIFY2(QList<int>({0, 10000, 20000}).contains(rs.value(0).toInt()),
                 qPrintable(rs.value(0).toString()));
    }
    store::Registry::close(backup);
    for (QProcess *process : {a.get(), b.get()}) {
        const QString result = finish(*process);
        QVERIFY2(result.startsWith(QLatin1String("0 ")), qPrintable(result));
    }
    QCOMPARE(scalar(QStringLiteral("SELECT count(*), count(DISTINCT id), sum(num) FROM sale "
                                   "WHERE memo IN ('甲', '乙')")),
             QStringLiteral("20000|20000|100010000"));
}

// An import killed while its rows are on their way leaves none of them. A
// new account half way makes it wait on a lock this test holds, with its
// first rows already on the server.
void TestServer::aKilledImportLeavesNothing()
{
    QString error;
    const auto locker
            = store::PgConnection::open(m_cluster->connInfo(QStringLiteral("shop")), &error);
    QVERIFY2(locker && locker->exec(QStringLiteral("BEGIN; LOCK TABLE acc IN SHARE MODE"), &error),
             qPrintable(error));
    const QString csv = writeSales(QStringLiteral("丙"), 20000, 12000);
    auto import = importSales(csv, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(
            scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE backend_xid IS NOT "
                                  "NULL AND wait_event_type = 'Lock'")),
            QStringLiteral("1"), 60000);
    ::kill(pid_t(import->processId()), SIGKILL);
    import->waitForFinished();
    QVERIFY(locker->exec(QStringLiteral("ROLLBACK")));
    QTRY_COMPARE(scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE backend_xid "
                                       "IS NOT NULL")),
                 QStringLiteral("0"));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM sale WHERE memo = '丙'")),
             QStringLiteral("0"));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM acc")), QStringLiteral("1"));
}

// The server stopped while an import's rows are on their way: the import
// says so and ends, and none of its rows are there after the restart.
void TestServer::aStoppedServerLeavesNothing()
{
    QString error;
    const auto locker
            = store::PgConnection::open(m_cluster->connInfo(QStringLiteral("shop")), &error);
    QVERIFY2(locker && locker->exec(QStringLiteral("BEGIN; LOCK TABLE acc IN SHARE MODE"), &error),
             qPrintable(error));
    auto import = importSales(writeSales(QStringLiteral("丁"), 20000, 12000), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(
            scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE backend_xid IS NOT "
                                  "NULL AND wait_event_type = 'Lock'")),
            QStringLiteral("1"), 60000);
    QVERIFY2(m_cluster->restart(), qPrintable(m_cluster->error()));
    const QString result = finish(*import);
    QVERIFY2(result.startsWith(QLatin1String("3 ")) && result.contains(QStringLiteral("服务器")),
             qPrintable(result));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM sale WHERE memo = '丁'")),
             QStringLiteral("0"));
}

// One program deletes customers with their sales while another saves sales
// for them: no sale is left pointing to a deleted customer, and the saves
// that came too late were refused, not stored.
void TestServer::deletingCustomersWhileSalesAreSaved()
{
    const QString self = QCoreApplication::applicationFilePath();
    auto seller = start(self, {QStringLiteral("--worker"), m_folder->path(), QStringLiteral("sell"),
                               QStringLiteral("1500")});
    QTRY_VERIFY(scalar(QStringLiteral("SELECT count(*) FROM sale WHERE memo = '并发'")).toInt()
                > 100);
    auto deleter
            = start(self, {QStringLiteral("--worker"), m_folder->path(), QStringLiteral("delete")});
    QCOMPARE(finish(*deleter), QStringLiteral("0 deleted"));
    const QString sold = finish(*seller);
    QVERIFY2(sold.startsWith(QLatin1String("0 refused ")), qPrintable(sold));
    QVERIFY2(sold != QLatin1String("0 refused 0"), "every save came before the deletes");
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM cus")), QStringLiteral("0"));
    QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM sale WHERE cid NOT IN (SELECT id FROM "
                                   "cus)")),
             QStringLiteral("0"));
}

// Two programs open the same product and both save it: the first is stored,
// the second is refused with the message, and nothing is lost.
void TestServer::oneProductEditedTwice()
{
    const QString self = QCoreApplication::applicationFilePath();
    auto a = start(self, {QStringLiteral("--worker"), m_folder->path(), QStringLiteral("edit"),
                          QStringLiteral("甲的名称")});
    auto b = start(self, {QStringLiteral("--worker"), m_folder->path(), QStringLiteral("edit"),
                          QStringLiteral("乙的名称")});
    for (QProcess *process : {a.get(), b.get()})
        QVERIFY(process->waitForReadyRead(30000) && process->readLine() == "read\n");
    a->write("\n");
    QCOMPARE(finish(*a), QStringLiteral("0 stored"));
    b->write("\n");
    QCOMPARE(finish(*b), QStringLiteral("0 refused 记录已被其他用户修改，请刷新后重试！"));
    QCOMPARE(scalar(QStringLiteral("SELECT name FROM pro WHERE id = 1")),
             QStringLiteral("甲的名称"));
}

QString TestServer::cli(const QStringList &args)
{
    store::Registry::closeAll();
    auto process = start(QStringLiteral(KORVO_CLI_PATH),
                         QStringList{QStringLiteral("--folder"), m_folder->path()} + args);
    return finish(*process);
}

QStringList TestServer::everyRow(const QString &file)
{
    QStringList rows;
    const store::DatabasePtr db = store::Registry::open(store::programFilePath(file));
    if (!db)
        return {QStringLiteral("cannot open ") + file};
    for (const QString &table : db->tableNames()) {
        store::RecordSet rs;
        if (!rs.open(db, QStringLiteral("SELECT * FROM [%1]").arg(table)))
            return {QStringLiteral("cannot read ") + table};
        for (int r = 0; r < rs.recordCount(); ++r) {
            QStringList cells = {table};
            for (int c = 0; c < rs.fieldCount(); ++c)
                cells << rs.fieldName(c) + QLatin1Char('=') + rs.valueAt(r, c).toString();
            rows << cells.join(QLatin1Char('|'));
        }
    }
    store::Registry::close(store::programFilePath(file));
    std::sort(rows.begin(), rows.end());
    return rows;
}

// A file set uploaded to an empty database and downloaded again is the same
// set, row for row; a database that is not empty, or not a set, is refused
// with a message and gets nothing.
void TestServer::setsGoThereAndBack()
{
    testsupport::ScriptedPrompts prompts;
    QVERIFY(store::CreateAccountSet(QStringLiteral("华东五金"), QStringLiteral("总店")) >= 0);
    const QString file = QStringLiteral("DATA00002.qdt");
    store::CurrentAccountFile = file;
    QVERIFY(store::ExecSQL(QStringLiteral(
            "INSERT INTO Cus (Name, Disc, Memo) VALUES ('O''Neil \"x\"', 0.95, NULL)")));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Acc (Name) VALUES ('现金')")));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Pro (Name, Price, P3) VALUES ('钢管', "
                                          "12.345, '6901234')")));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, "
                                          "Pay, Pay1) VALUES (#2026-3-1 14:05:09#, 1, 1, 1, 2, "
                                          "12.345, 3, 37.04, 0.01)")));
    // A later record of an earlier day: the lists show it first on both.
    QVERIFY(store::ExecSQL(
            QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, "
                           "Pay, Pay1) VALUES (#2026-2-1#, 1, 1, 1, 2, 1, 1, 1, 0)")));
    QVERIFY(store::ExecSQL(QStringLiteral("DELETE * FROM Prov WHERE Name='北京市'")));
    // And 10,000 sales more, as a shop's book holds them.
    QVERIFY(cli({QStringLiteral("--set=") + file, QStringLiteral("--user=zunta"),
                 QStringLiteral("import"), QStringLiteral("sales"),
                 writeSales(QStringLiteral("万"), 10000), QStringLiteral("--rows=2-10001"),
                 QStringLiteral("--map=销售日期=A,产品=B,客户=C,收款账号=D,售价=E,数量=F,备注=G")})
                    .startsWith(QLatin1String("0 ")));
    const QStringList before = everyRow(file);
    QVERIFY(before.size() > 10040);

    const QString up = m_cluster->connInfo(QStringLiteral("up"));
    QVERIFY(m_cluster->createDatabase(QStringLiteral("up")));
    QCOMPARE(cli({QStringLiteral("--set=") + file, QStringLiteral("--user=zunta"),
                  QStringLiteral("server"), QStringLiteral("upload"), QStringLiteral("--server"),
                  up}),
             QStringLiteral("0 DATA00003.qsv"));
    QCOMPARE(cli({QStringLiteral("--set=") + file, QStringLiteral("--user=zunta"),
                  QStringLiteral("server"), QStringLiteral("upload"), QStringLiteral("--server"),
                  up}),
             QStringLiteral("3 服务器上的数据库不是空的，只能使用空数据库。"));
    // The analyses and the sales list give the same files on the server set
    // as on the file set.
    for (const QString &analysis :
         {QStringLiteral("sales"), QStringLiteral("profit"), QStringLiteral("list")}) {
        QStringList outputs;
        // The server set once by its link, once by its connection.
        const QList<QStringList> sets = {{QStringLiteral("--set=") + file},
                                         {QStringLiteral("--set=DATA00003.qsv")},
                                         {QStringLiteral("--server"), up}};
        for (const QStringList &set : sets) {
            outputs << m_folder->filePath(QString::number(outputs.size()) + analysis
                                          + QStringLiteral(".csv"));
            QVERIFY(cli(set + QStringList{QStringLiteral("--user=zunta")}
                        + (analysis == QLatin1String("list")
                                   ? QStringList{QStringLiteral("export"), QStringLiteral("sales")}
                                   : QStringList{QStringLiteral("analyse"), analysis})
                        + QStringList{QStringLiteral("--from=2026-01-01"),
                                      QStringLiteral("--to=2026-12-31"), QStringLiteral("--out"),
                                      outputs.last()})
                            .startsWith(QLatin1String("0 ")));
        }
        QCOMPARE(testsupport::readFile(outputs.at(1)), testsupport::readFile(outputs.first()));
        QCOMPARE(testsupport::readFile(outputs.last()), testsupport::readFile(outputs.first()));
    }
    QCOMPARE(cli({QStringLiteral("--user=zunta"), QStringLiteral("server"),
                  QStringLiteral("download"), QStringLiteral("--server"), up}),
             QStringLiteral("0 DATA00004.qdt"));
    QCOMPARE(everyRow(QStringLiteral("DATA00004.qdt")), before);
    // A backup of the server set is an ordinary backup file of the same set.
    const QString backup = m_folder->filePath(QStringLiteral("门店.qdb"));
    QCOMPARE(cli({QStringLiteral("--server"), up, QStringLiteral("--user=zunta"),
                  QStringLiteral("backup"), QStringLiteral("--out"), backup})
                     .left(2),
             QStringLiteral("0 "));
    QCOMPARE(everyRow(backup), before);
    QCOMPARE(cli({QStringLiteral("--server"), up, QStringLiteral("--user=zunta"),
                  QStringLiteral("compact")}),
             QStringLiteral("0 "));
    // New records on the server go on after the uploaded numbers.
    QString next;
    QVERIFY(m_cluster->psql(QStringLiteral("up"),
                            QStringLiteral("INSERT INTO sale (memo) VALUES ('新') RETURNING id"),
                            &next));
    QCOMPARE(next.section(QLatin1Char('\n'), 0, 0), QStringLiteral("10003"));

    QVERIFY(m_cluster->createDatabase(QStringLiteral("plain")));
    QVERIFY(m_cluster->psql(QStringLiteral("plain"), QStringLiteral("CREATE TABLE t (x int)")));
    QCOMPARE(cli({QStringLiteral("--user=zunta"), QStringLiteral("server"),
                  QStringLiteral("download"), QStringLiteral("--server"),
                  m_cluster->connInfo(QStringLiteral("plain"))})
                     .left(2),
             QStringLiteral("3 "));
    QCOMPARE(cli({QStringLiteral("server"), QStringLiteral("init"), QStringLiteral("--server"),
                  m_cluster->connInfo(QStringLiteral("plain")), QStringLiteral("--name=门店"),
                  QStringLiteral("--company=华东五金")}),
             QStringLiteral("3 服务器上的数据库不是空的，只能使用空数据库。"));
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("DATA00005.qdt"))));
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("DATA00005.qdt.part"))));
}

// server init --role hands the new set to the shop's login: it can do
// nothing else on the server, owns the set's tables and is the one that
// may connect to it; the link logs in as it.
void TestServer::initForTheShopsRole()
{
    QVERIFY(m_cluster->createDatabase(QStringLiteral("owned")));
    const QString owned = m_cluster->connInfo(QStringLiteral("owned"));
    const QStringList init = {QStringLiteral("server"),      QStringLiteral("init"),
                              QStringLiteral("--server"),    owned,
                              QStringLiteral("--name=门店"), QStringLiteral("--company=华东五金")};
    qputenv("KORVO_ROLE_PASSWORD", "it's 50%");
    QVERIFY(cli(init + QStringList{QStringLiteral("--role=Clerk; DROP")})
                    .startsWith("3 服务器用户名"));
    const QString made = cli(init + QStringList{QStringLiteral("--role=shop_clerk")});
    QVERIFY2(made.startsWith(QLatin1String("0 DATA")), qPrintable(made));
    const QString link = made.mid(2);
    QVERIFY(testsupport::readFile(m_folder->filePath(link)).contains("user=shop_clerk"));
    QVERIFY(m_cluster->psql(QStringLiteral("owned"), QStringLiteral("CREATE ROLE stranger LOGIN")));
    QString facts;
    QVERIFY(m_cluster->psql(
            QStringLiteral("owned"),
            QStringLiteral("SELECT rolsuper, rolcreatedb, rolcreaterole, rolpassword IS NOT NULL, "
                           "has_database_privilege('shop_clerk', 'owned', 'CONNECT'), "
                           "has_database_privilege('stranger', 'owned', 'CONNECT'), "
                           "(SELECT count(*) FROM pg_tables WHERE schemaname = 'public' "
                           "AND tableowner <> 'shop_clerk') FROM pg_authid "
                           "WHERE rolname = 'shop_clerk'"),
            &facts));
    QCOMPARE(facts.trimmed(), QStringLiteral("f|f|f|t|t|f|0"));
    QVERIFY(cli({QStringLiteral("--set=") + link, QStringLiteral("--user=zunta"),
                 QStringLiteral("export"), QStringLiteral("customers"), QStringLiteral("--out"),
                 m_folder->filePath(QStringLiteral("owned.csv"))})
                    .startsWith(QLatin1String("0 ")));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--worker") == 0)
        return runWorker(QString::fromLocal8Bit(argv[2]), app.arguments().mid(3));
    TestServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_server.moc"
