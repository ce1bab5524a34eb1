// Several programs on one server set at once, and whole sets moved to and from the server.

#include "records/masterrecords.h"
#include "records/products.h"
#include "records/staff.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/pgconnection.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/serverlinks.h"
#include "store/session.h"

#include "grid/grid.h"

#include "pgcluster.h"
#include "testsupport.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

#include <csignal>
#include <memory>

namespace {

constexpr int kCustomers = 60;

// One action on the folder's first set, its outcome printed: "delete" (customers and sales),
// "sell N [STAFF]", "delete-staff", or "edit NAME" (reads product 1, waits for a line, saves).
int runWorker(const QString &folder, const QStringList &action)
{
    store::setProgramFolder(folder);
    testsupport::ScriptedPrompts prompts;
    if (!store::MakeAccountSetCurrent(store::BuildAccountSetList() > 0 ? 0 : -1))
        return 3;
    QTextStream out(stdout);
    if (action.value(0) == u"delete"_s) {
        for (int id = 1; id <= kCustomers; ++id) {
            store::Connection conn;
            store::OpenConn(conn);
            store::Transaction transaction(conn);
            if (!records::deleteDependentRecords(u"Cus"_s, {qint64(id)}, {{u"Sale"_s, u"CID"_s}},
                                                 false)
                || !store::ExecSQL(u"DELETE * FROM Cus WHERE ID="_s + QString::number(id), &conn)
                || !transaction.commit())
                return 4;
        }
        out << "deleted\n";
        return 0;
    }
    if (action.value(0) == u"delete-staff"_s) {
        grid::Grid grid;
        records::LoadStaffList(grid);
        grid.setRow(grid.fixedRows());
        grid.setRowSel(grid.rows() - 1);
        prompts.answers = {true};
        store::CurrentRights = u"所有权限"_s;
        records::DeleteSelectedStaff(grid);
        out << "deleted " << prompts.messages.join(u'|') << '\n';
        return 0;
    }
    if (action.value(0) == u"sell"_s) {
        int refused = 0;
        const int staff = action.value(2).toInt();
        for (int i = 0; i < action.value(1).toInt(); ++i) {
            const int customer = 1 + i % kCustomers;
            records::TradeEntry entry;
            entry.lists = {records::masterEntry(1, u"钢管"_s),
                           records::masterEntry(customer, QString::number(customer)),
                           records::masterEntry(1, u"现金"_s),
                           staff ? records::masterEntry(staff, u"店员"_s) : QString()};
            entry.boxes = {"5", "2", "10", "0", staff ? u"并发员工"_s : u"并发"_s};
            entry.date = QDateTime(QDate(2026, 3, 1), QTime());
            if (records::saveTrade(records::saleTable(), entry) == 0)
                ++refused;
        }
        out << "refused " << refused << '\n';
        return 0;
    }
    if (action.value(0) == u"edit"_s) {
        records::ProductInfo product;
        records::loadProduct(1, product);
        out << "read\n";
        out.flush();
        QTextStream(stdin).readLine();
        product.texts.insert(u"Name"_s, action.value(1));
        const bool stored = records::saveProduct(1, product) != 0;
        out << (stored ? "stored" : "refused") << ' ' << prompts.messages.join(u'|') << '\n';
        return 0;
    }
    return 2;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<testsupport::PgCluster>();
        if (!m_cluster->isRunning() && m_cluster->error().contains(u"not installed"_s))
            QSKIP("PostgreSQL is not installed");
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->error()));
        QVERIFY(m_cluster->createDatabase(u"shop"_s));
        QString customers;
        for (int id = 1; id <= kCustomers; ++id)
            customers += u"INSERT INTO cus (name) VALUES ('%1');"_s.arg(id);
        QVERIFY2(m_cluster->psql(u"shop"_s, u"BEGIN;"_s + store::PostgresSchemaSql() + customers
                                                    + u"INSERT INTO pro (name) VALUES ('钢管');"
                                                      "INSERT INTO acc (name) VALUES ('现金');"
                                                      "INSERT INTO staff (name) VALUES ('店员');"
                                                      "INSERT INTO 参数 (var, con) VALUES "
                                                      "('套账名称', '门店');COMMIT;"_s),
                 qPrintable(m_cluster->error()));
        m_folder = std::make_unique<testsupport::TempProgramFolder>();
        QVERIFY(store::writeServerLink(store::programFilePath(u"DATA00001.qsv"_s),
                                       m_cluster->connInfo(u"shop"_s)));
    }

    // Two imports at once: every row gets its own ID; a backup meanwhile holds all or none.
    void twoImportsAtOnce()
    {
        auto a = importSales(writeSales(u"甲"_s, 10000), 10000);
        auto b = importSales(writeSales(u"乙"_s, 10000), 10000);
        const QString backup = m_folder->filePath(u"during.qdb"_s);
        QTRY_VERIFY(a->state() == QProcess::Running);
        QCOMPARE(cli(u"--set=DATA00001.qsv backup --out"_s, {backup}).left(2), u"0 "_s);
        QVERIFY(store::IsSoundAccountSetFile(backup));
        {
            store::RecordSet rs;
            QVERIFY(rs.open(store::Registry::open(backup),
                            u"SELECT Count(*) FROM Sale WHERE Memo IN ('甲', '乙')"_s));
            QVERIFY2(QList<int>({0, 10000, 20000}).contains(rs.value(0).toInt()),
                     qPrintable(rs.value(0).toString()));
        }
        store::Registry::close(backup);
        for (QProcess *process : {a.get(), b.get()})
            expectStart(finish(*process), "0 ");
        QCOMPARE(scalar("SELECT count(*), count(DISTINCT id), sum(num) FROM sale WHERE memo IN "
                        "('甲', '乙')"),
                 u"20000|20000|100010000"_s);
    }

    // An import killed, or cut off by the server stopping, leaves no rows.
    void aCutOffImportLeavesNothing()
    {
        for (const QString &memo : {u"丙"_s, u"丁"_s}) {
            const bool killed = memo == u"丙"_s;
            const auto locker = lockAccounts();
            QVERIFY(locker);
            auto import = importSales(writeSales(memo, 20000, 12000), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(
                    scalar("SELECT count(*) FROM pg_stat_activity WHERE "
                           "backend_xid IS NOT NULL AND wait_event_type = 'Lock'"),
                    u"1"_s, 60000);
            if (killed) {
                ::kill(pid_t(import->processId()), SIGKILL);
                import->waitForFinished();
                QVERIFY(locker->exec(u"ROLLBACK"_s));
                QTRY_COMPARE(scalar("SELECT count(*) FROM pg_stat_activity WHERE backend_xid IS "
                                    "NOT NULL"),
                             u"0"_s);
            } else {
                QVERIFY2(m_cluster->restart(), qPrintable(m_cluster->error()));
                const QString result = finish(*import);
                QVERIFY2(result.startsWith(u"3 "_s) && result.contains(u"服务器"_s),
                         qPrintable(result));
            }
            QCOMPARE(scalar(u"SELECT count(*) FROM sale WHERE memo = '%1'"_s.arg(memo)), u"0"_s);
        }
        QCOMPARE(scalar("SELECT count(*) FROM acc"), u"1"_s);
    }

    // Deleting a salesman or customers while sales are saved: later saves refused, no orphans.
    void deletingWhileSalesAreSaved()
    {
        sellWhileDeleting({u"sell"_s, u"1500"_s, u"3"_s}, "并发员工", u"delete-staff"_s);
        QCOMPARE(scalar("SELECT string_agg(name, ',') FROM staff"), u"其他"_s);
        QCOMPARE(scalar("SELECT count(*) FROM sale WHERE sid NOT IN (SELECT id FROM staff)"),
                 u"0"_s);
        QCOMPARE(scalar("SELECT count(DISTINCT sid) FROM sale WHERE memo = '并发员工'"), u"1"_s);
        sellWhileDeleting({u"sell"_s, u"1500"_s}, "并发", u"delete"_s);
        QCOMPARE(scalar("SELECT count(*) FROM cus"), u"0"_s);
        QCOMPARE(scalar("SELECT count(*) FROM sale WHERE cid NOT IN (SELECT id FROM cus)"), u"0"_s);
    }

    // The same product saved by two programs: the first stored, the second told.
    void oneProductEditedTwice()
    {
        auto a = worker({u"edit"_s, u"甲的名称"_s});
        auto b = worker({u"edit"_s, u"乙的名称"_s});
        for (QProcess *process : {a.get(), b.get()})
            QVERIFY(process->waitForReadyRead(30000) && process->readLine() == "read\n");
        a->write("\n");
        QCOMPARE(finish(*a), u"0 stored"_s);
        b->write("\n");
        QCOMPARE(finish(*b), u"0 refused 记录已被其他用户修改，请刷新后重试！"_s);
        QCOMPARE(scalar("SELECT name FROM pro WHERE id = 1"), u"甲的名称"_s);
    }

    // A set uploaded and downloaded is the same row for row; a used database is refused.
    void setsGoThereAndBack()
    {
        testsupport::ScriptedPrompts prompts;
        QVERIFY(store::CreateAccountSet(u"华东五金"_s, u"总店"_s) >= 0);
        const QString file = u"DATA00002.qdt"_s;
        store::CurrentAccountFile = file;
        // A later record of an earlier day comes first in the lists on both.
        for (const char *sql :
             {"INSERT INTO Cus (Name, Disc, Memo) VALUES ('O''Neil \"x\"', 0.95, 'a\\N\tb\nc\rd')",
              "INSERT INTO Acc (Name) VALUES ('现金')",
              "INSERT INTO Pro (Name, Price, P3) VALUES ('钢管', 12.345, '6901234')",
              "INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1) VALUES "
              "(#2026-3-1 14:05:09#, 1, 1, 1, 2, 12.345, 3, 37.04, 0.01), "
              "(#2026-2-1#, 1, 1, 1, 2, 1, 1, 1, 0)",
              "DELETE * FROM Prov WHERE Name='北京市'"})
            QVERIFY2(store::ExecSQL(QString::fromUtf8(sql)), sql);
        expectStart(cli(u"--set=%1 import sales %2 --rows=2-10001 --map=%3"_s.arg(
                            file, writeSales(u"万"_s, 10000), kSalesMap)),
                    "0 ");
        const QStringList before = everyRow(file);
        QVERIFY(before.size() > 10040);

        const QString up = m_cluster->connInfo(u"up"_s);
        QVERIFY(m_cluster->createDatabase(u"up"_s));
        const QString upload = u"--set=%1 server upload --server"_s.arg(file);
        QCOMPARE(cli(upload, {up}), u"0 DATA00003.qsv"_s);
        QCOMPARE(cli(upload, {up}), u"3 服务器上的数据库不是空的，只能使用空数据库。"_s);
        // The uploaded rows are settled at once, even on a server whose commits
        // return before they are on disk, so lists read them from indexes alone.
        QString unsettled;
        QVERIFY(m_cluster->psql(u"up"_s,
                                u"SELECT count(*) FROM pg_class WHERE relname IN ('sale', 'cus') "
                                "AND relallvisible < relpages"_s,
                                &unsettled));
        QCOMPARE(unsettled.trimmed(), u"0"_s);
        // The file set, the server set by its link and by its connection.
        for (const QString &what : {u"analyse sales"_s, u"analyse profit"_s, u"export sales"_s}) {
            QList<QByteArray> outputs;
            for (const QStringList &set : {QStringList{u"--set="_s + file},
                                           {u"--set=DATA00003.qsv"_s},
                                           {u"--server"_s, up}}) {
                const QString out = m_folder->filePath(u"%1.csv"_s.arg(outputs.size()));
                expectStart(cli(what + u" --from=2026-01-01 --to=2026-12-31 --out "_s + out, set),
                            "0 ");
                outputs << testsupport::readFile(out);
            }
            QCOMPARE(outputs.at(1), outputs.first());
            QCOMPARE(outputs.last(), outputs.first());
        }
        QCOMPARE(cli(u"server download --server"_s, {up}), u"0 DATA00004.qdt"_s);
        QCOMPARE(everyRow(u"DATA00004.qdt"_s), before);
        // The indexes a download leaves out are there once the set is opened.
        QVERIFY(store::EnsureSchema(u"DATA00004.qdt"_s));
        const QString indexes = u"SELECT count(*) FROM sqlite_master WHERE type='index'"_s;
        QCOMPARE(testsupport::valueIn(store::programFilePath(u"DATA00004.qdt"_s), indexes),
                 testsupport::valueIn(store::programFilePath(file), indexes));
        // A backup of the server set is an ordinary backup of the same set.
        const QString backup = m_folder->filePath(u"门店.qdb"_s);
        QCOMPARE(cli(u"backup --out "_s + backup, {u"--server"_s, up}).left(2), u"0 "_s);
        QCOMPARE(everyRow(backup), before);
        QCOMPARE(cli(u"compact --server"_s, {up}), u"0 "_s);
        // New records on the server go on after the uploaded numbers.
        QString next;
        QVERIFY(m_cluster->psql(u"up"_s, u"INSERT INTO sale (memo) VALUES ('新') RETURNING id"_s,
                                &next));
        QCOMPARE(next.section(u'\n', 0, 0), u"10003"_s);

        const QString plain = m_cluster->connInfo(u"plain"_s);
        QVERIFY(m_cluster->createDatabase(u"plain"_s));
        QVERIFY(m_cluster->psql(u"plain"_s, u"CREATE TABLE t (x int)"_s));
        QCOMPARE(cli(u"server download --server"_s, {plain}).left(2), u"3 "_s);
        QCOMPARE(cli(u"server init --name=门店 --company=华东五金 --server"_s, {plain}),
                 u"3 服务器上的数据库不是空的，只能使用空数据库。"_s);
        QVERIFY(!QFile::exists(m_folder->filePath(u"DATA00005.qdt"_s))
                && !QFile::exists(m_folder->filePath(u"DATA00005.qdt.part"_s)));
    }

    // server init --role hands the set to a login that alone may connect and owns the tables.
    void initForTheShopsRole()
    {
        QVERIFY(m_cluster->createDatabase(u"owned"_s));
        const QString init = u"server init --name=门店 --company=华东五金 --server"_s;
        const QString owned = m_cluster->connInfo(u"owned"_s);
        qputenv("KORVO_ROLE_PASSWORD", "it's 50%");
        expectStart(cli(init, {owned, u"--role=Clerk; DROP"_s}), "3 服务器用户名");
        const QString made = cli(init, {owned, u"--role=shop_clerk"_s});
        expectStart(made, "0 DATA");
        const QString link = made.mid(2);
        QVERIFY(testsupport::readFile(m_folder->filePath(link)).contains("user=shop_clerk"));
        QVERIFY(m_cluster->psql(u"owned"_s, u"CREATE ROLE stranger LOGIN"_s));
        QString facts;
        QVERIFY(m_cluster->psql(
                u"owned"_s,
                u"SELECT rolsuper, rolcreatedb, rolcreaterole, rolpassword IS NOT NULL, "
                "has_database_privilege('shop_clerk', 'owned', 'CONNECT'), "
                "has_database_privilege('stranger', 'owned', 'CONNECT'), "
                "(SELECT count(*) FROM pg_tables WHERE schemaname = 'public' "
                "AND tableowner <> 'shop_clerk') FROM pg_authid WHERE rolname = 'shop_clerk'"_s,
                &facts));
        QCOMPARE(facts.trimmed(), u"f|f|f|t|t|f|0"_s);
        expectStart(cli(u"--set=%1 export customers --out %2"_s.arg(
                            link, m_folder->filePath(u"owned.csv"_s))),
                    "0 ");
    }

private:
    static inline const QString kSalesMap
            = u"销售日期=A,产品=B,客户=C,收款账号=D,售价=E,数量=F,备注=G"_s;

    std::unique_ptr<QProcess> start(const QString &program, const QStringList &args)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"KORVO_PASSWORD"_s, u"zunta"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, m_folder->path());
        process->setProcessEnvironment(env);
        process->start(program, args);
        return process;
    }
    // One worker sells while another deletes; the delete ends well, later saves are refused.
    void sellWhileDeleting(const QStringList &sell, const char *memo, const QString &remove)
    {
        auto seller = worker(sell);
        const QByteArray sold = "SELECT count(*) FROM sale WHERE memo = '" + QByteArray(memo) + "'";
        QTRY_VERIFY(scalar(sold.constData()).toInt() > 100);
        QCOMPARE(finish(*worker({remove})), u"0 deleted"_s);
        const QString outcome = finish(*seller);
        expectStart(outcome, "0 refused ");
        QVERIFY2(outcome != u"0 refused 0"_s, "every save came before the delete");
    }
    std::unique_ptr<QProcess> worker(const QStringList &action)
    {
        return start(QCoreApplication::applicationFilePath(),
                     QStringList{u"--worker"_s, m_folder->path()} + action);
    }
    // The exit code and everything the process wrote, once it ended.
    static QString finish(QProcess &process)
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(120000))
            process.kill();
        return QString::number(process.exitCode()) + u' '
               + QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())
                         .trimmed();
    }
    static void expectStart(const QString &result, const char *start)
    {
        QVERIFY2(result.startsWith(QString::fromUtf8(start)), qPrintable(result));
    }
    // korvo-cli as zunta: line split at the spaces, then tail (may hold spaces).
    QString cli(const QString &line, const QStringList &tail = {})
    {
        store::Registry::closeAll();
        return finish(*start(QStringLiteral(KORVO_CLI_PATH),
                             QStringList{u"--folder"_s, m_folder->path(), u"--user=zunta"_s}
                                     + line.split(u' ', Qt::SkipEmptyParts) + tail));
    }
    std::unique_ptr<QProcess> importSales(const QString &csv, int count)
    {
        return start(QStringLiteral(KORVO_CLI_PATH),
                     {u"--folder"_s, m_folder->path(), u"--user=zunta"_s, u"import"_s, u"sales"_s,
                      csv, u"--rows=2-%1"_s.arg(count + 1), u"--map="_s + kSalesMap});
    }
    // A connection holding the accounts table against new accounts.
    std::unique_ptr<store::PgConnection> lockAccounts()
    {
        QString error;
        auto locker = store::PgConnection::open(m_cluster->connInfo(u"shop"_s), &error);
        if (!locker || !locker->exec(u"BEGIN; LOCK TABLE acc IN SHARE MODE"_s, &error)) {
            qWarning("%s", qPrintable(error));
            return nullptr;
        }
        return locker;
    }
    QString scalar(const QString &sql)
    {
        QString out;
        if (!m_cluster->psql(u"shop"_s, sql, &out))
            return u"error: "_s + m_cluster->error();
        return out.trimmed();
    }
    // A CSV of count sales over the customers, paid into 现金 but row newAccountRow.
    QString writeSales(const QString &name, int count, int newAccountRow = -1)
    {
        QByteArray text = "销售日期,产品,客户,收款账号,售价,数量,备注\n";
        for (int i = 0; i < count; ++i)
            text += u"2026-03-01,钢管,%1,%2,5,%3,%4\n"_s.arg(1 + i % kCustomers)
                            .arg(i == newAccountRow ? u"新账号"_s : u"现金"_s)
                            .arg(i + 1)
                            .arg(name)
                            .toUtf8();
        const QString path = m_folder->filePath(name + u".csv"_s);
        return testsupport::writeFile(path, text) ? path : QString();
    }
    // Every row of every table of the file set, as text, sorted.
    static QStringList everyRow(const QString &file)
    {
        QStringList rows;
        const store::DatabasePtr db = store::Registry::open(store::programFilePath(file));
        if (!db)
            return {u"cannot open "_s + file};
        for (const QString &table : db->tableNames()) {
            store::RecordSet rs;
            if (!rs.open(db, u"SELECT * FROM [%1]"_s.arg(table)))
                return {u"cannot read "_s + table};
            for (int r = 0; r < rs.recordCount(); ++r) {
                QStringList cells = {table};
                for (int c = 0; c < rs.fieldCount(); ++c)
                    cells << rs.fieldName(c) + u'=' + rs.valueAt(r, c).toString();
                rows << cells.join(u'|');
            }
        }
        store::Registry::close(store::programFilePath(file));
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::unique_ptr<testsupport::PgCluster> m_cluster;
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--worker") == 0)
        return runWorker(QString::fromLocal8Bit(argv[2]), app.arguments().mid(3));
    TestServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_server.moc"
