#include "store/access.h"
#include "store/accountsets.h"
#include "store/changes.h"
#include "store/jetdialect.h"
#include "store/params.h"
#include "store/pgconnection.h"
#include "store/programfolder.h"
#include "store/rowinserter.h"
#include "store/schema.h"
#include "store/serverlinks.h"
#include "store/session.h"

#include "pgcluster.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace store;

namespace {

// The first column of every row of a query on conn.
QStringList column(PgConnection &conn, const QString &sql)
{
    PgRows rows;
    QString error;
    if (!conn.query(translateJet(sql, SqlTarget::Postgres).sql, rows, &error))
        return {u"error: "_s + error};
    QStringList out;
    for (const QVector<QVariant> &row : std::as_const(rows.rows))
        out << (row.at(0).isValid() ? row.at(0).toString() : u"NULL"_s);
    return out;
}

// A Jet statement translated for the server and run.
bool run(PgConnection &conn, const QString &jet)
{
    QString error;
    const bool ok = conn.exec(translateJet(jet, SqlTarget::Postgres).sql, &error);
    if (!ok)
        qWarning("%s: %s", qPrintable(jet), qPrintable(error));
    return ok;
}

} // namespace

class TestPgEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<testsupport::PgCluster>();
        if (!m_cluster->isRunning() && m_cluster->error().contains(QLatin1String("not installed")))
            QSKIP("PostgreSQL is not installed");
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->error()));
        QVERIFY(m_cluster->createDatabase(u"shop"_s));
        QString error;
        m_conn = PgConnection::open(m_cluster->connInfo(u"shop"_s), &error);
        QVERIFY2(m_conn, qPrintable(error));
        QVERIFY2(m_conn->exec(u"BEGIN;"_s + PostgresSchemaSql() + u"COMMIT;"_s, &error),
                 qPrintable(error));
    }

    // A server that is not this computer is reached with TLS unless the
    // connection string says otherwise.
    void defaultTls_data()
    {
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *info, const char *expected) {
            QTest::newRow(name) << QString::fromLatin1(info) << QString::fromLatin1(expected);
        };
        row("remote", "host=db.shop.lan dbname=korvo",
            "host=db.shop.lan dbname=korvo connect_timeout=10 sslmode=require");
        row("one of two remote", "host=localhost,10.0.0.2 connect_timeout=3",
            "host=localhost,10.0.0.2 connect_timeout=3 sslmode=require");
        row("socket", "host=/run/postgresql dbname=k",
            "host=/run/postgresql dbname=k connect_timeout=10");
        row("loopback", "host=127.0.0.1", "host=127.0.0.1 connect_timeout=10");
        row("own choice", "host=db sslmode=disable", "host=db sslmode=disable connect_timeout=10");
        row("not a connection string", "host='db", "");
    }

    void defaultTls()
    {
        QFETCH(QString, info);
        QFETCH(QString, expected);
        QCOMPARE(PgConnection::withDefaultTls(info), expected);
    }

    // The schema makes the template's tables with the server's types: names in
    // pinyin order, IDs from the server that still take a given number, one
    // parameter row per key, the starting rows and the recorded steps.
    void schemaMakesAnAccountSet()
    {
        PgConnection &c = *m_conn;
        QVERIFY(run(
                c,
                "INSERT INTO Cus (Name) VALUES ('张三'), ('阿里'), ('北京'), ('Zeta'), ('alpha')"));
        QCOMPARE(column(c, "SELECT Name FROM Cus ORDER BY Name"),
                 QStringList({"阿里", "北京", "张三", "alpha", "Zeta"})); // as the file sets sort
        QCOMPARE(column(c, "SELECT ID FROM Cus ORDER BY ID"),
                 QStringList({"1", "2", "3", "4", "5"}));
        QVERIFY(run(c, "INSERT INTO Cus (ID, Name) VALUES (40, '导入')"));
        QCOMPARE(column(c, "SELECT Count(*) FROM Prov"), QStringList{"34"});
        QCOMPARE(column(c, "SELECT Name FROM Staff WHERE [Right]='所有权限'"),
                 QStringList{"zunta"});
        QCOMPARE(column(c, "SELECT Var FROM 参数"), SchemaStepKeys());
        QVERIFY(!c.exec(u"INSERT INTO 参数 (Var, Con) VALUES ('结构_收付款', 'x')"_s));

        PgRows rows;
        QVERIFY(c.query(u"SELECT ID, Dat, Price, Memo, Sum(Num) FROM Sale GROUP BY ID"_s, rows));
        QCOMPARE(rows.types,
                 QVector<ColumnType>({ColumnType::Integer, ColumnType::Date, ColumnType::Double,
                                      ColumnType::Text, ColumnType::Double}));
        QCOMPARE(rows.names, QStringList({"id", "dat", "price", "memo", "sum"}));
    }

    // The Jet statements the program writes run on the server with the answers
    // SQLite gives them.
    void translatedStatementsRun()
    {
        PgConnection &c = *m_conn;
        QVERIFY(run(
                c,
                "INSERT INTO Sale (Dat, PID, Num, Pay, Memo) VALUES (#2024-1-5#, 1, 2, 10.5, "
                "'Abc'), (#2024-1-6 23:59:59#, 1, 3, 7.25, 'x''y'), (#2024-1-7#, 2, 1, 1, NULL)"));
        QCOMPARE(column(c, "SELECT Num FROM Sale WHERE Dat>=#2024-1-5# AND Dat<#2024-1-7# ORDER BY "
                           "Num"),
                 QStringList({"2", "3"}));
        QCOMPARE(column(c, "SELECT TOP 1 Memo FROM Sale ORDER BY Num DESC"), QStringList{"x'y"});
        QCOMPARE(column(c, "SELECT Memo FROM Sale WHERE Memo LIKE 'a%'"), QStringList{"Abc"});
        QCOMPARE(column(c, "SELECT Memo FROM Sale WHERE Memo = 'abc' COLLATE BINARY"),
                 QStringList());
        QCOMPARE(column(c, "SELECT Memo FROM Sale WHERE Memo = \"x'y\""), QStringList{"x'y"});
        QCOMPARE(column(c, "SELECT Memo FROM Sale WHERE FALSE"), QStringList());

        // A scratch table belongs to the connection that made it.
        QVERIFY(run(c, "SELECT PID, Sum(Pay) AS Sm INTO T_Ana FROM Sale GROUP BY PID"));
        QVERIFY(run(c, "ALTER TABLE T_Ana ALTER COLUMN Sm LONG"));
        QCOMPARE(column(c, "SELECT Sm FROM T_Ana ORDER BY PID"), QStringList({"18", "1"}));
        QString error;
        auto other = PgConnection::open(m_cluster->connInfo(u"shop"_s), &error);
        QVERIFY2(other, qPrintable(error));
        QVERIFY(column(*other, "SELECT Sm FROM T_Ana").value(0).startsWith(QLatin1String("error")));
        QVERIFY(run(*other, "SELECT PID INTO T_Ana FROM Sale WHERE PID=2"));
        QCOMPARE(column(*other, "SELECT Count(*) FROM T_Ana"), QStringList{"1"});

        QVERIFY(run(c, "DELETE * FROM Sale WHERE PID=2"));
        QCOMPARE(column(c, "SELECT Count(*) FROM Sale"), QStringList{"2"});
    }

    // Many rows go in one COPY; tabs, line breaks, backslashes, quotes, Chinese
    // and NULL come back as they went in.
    void copyKeepsEveryText()
    {
        const QStringList memos
                = {"a\tb", "line\nbreak\r\n", "back\\slash \\N", "'\"", "钢管 12\""};
        QVector<QVector<QVariant>> rows;
        for (int i = 0; i < 5000; ++i)
            rows << QVector<QVariant>{qint64(1000 + i), QDateTime(QDate(2024, 2, 29), QTime(8, 30)),
                                      0.1 * i,
                                      i < memos.size() ? QVariant(memos.at(i)) : QVariant()};
        QString error;
        QVERIFY2(m_conn->copyRows(u"Pur"_s, {"ID", "Dat", "Pay", "Memo"}, rows, &error),
                 qPrintable(error));
        QCOMPARE(column(*m_conn, "SELECT Memo FROM Pur WHERE ID<1005 ORDER BY ID"), memos);
        QCOMPARE(column(*m_conn,
                        "SELECT Count(*) FROM Pur WHERE Memo IS NULL AND Dat=#2024-2-29 8:30#"),
                 QStringList{"4995"});
        QCOMPARE(column(*m_conn, "SELECT Pay FROM Pur WHERE ID=1003"),
                 QStringList{"0.30000000000000004"});
        // A refused row refuses the whole copy.
        rows = {{qint64(7000), QVariant(), 1.0, QVariant()},
                {qint64(1000), QVariant(), 1.0, QVariant()}};
        QVERIFY(!m_conn->copyRows(u"Pur"_s, {"ID", "Dat", "Pay", "Memo"}, rows, &error));
        QVERIFY(error.contains(QLatin1String("duplicate"))
                || error.contains(QLatin1String("重复")));
        QCOMPARE(column(*m_conn, "SELECT Count(*) FROM Pur WHERE ID=7000"), QStringList{"0"});
    }

    // A connection the server dropped fails its next statement with one message
    // in Chinese, and the statement after that opens it again.
    void lostConnectionIsSaidOnceAndComesBack()
    {
        QString error;
        auto admin = PgConnection::open(m_cluster->connInfo(u"shop"_s), &error);
        QVERIFY2(admin, qPrintable(error));
        QVERIFY(admin->exec(u"SELECT pg_terminate_backend(%1)"_s.arg(m_conn->backendPid())));
        QVERIFY(!m_conn->exec(u"SELECT 1"_s, &error));
        QCOMPARE(error, u"与数据库服务器的连接已断开，下次操作时将重新连接。"_s);
        QCOMPARE(column(*m_conn, "SELECT Count(*) FROM Prov"), QStringList{"34"});

        QVERIFY(!PgConnection::open(m_cluster->connInfo(u"nosuchdb"_s), &error));
        QVERIFY2(error.startsWith(u"无法连接数据库服务器："_s), qPrintable(error));
    }

    // The same rows written by the same statements into a file set and a server
    // set read back alike through record sets: names, types, values and order.
    void sameAnswersAsAFileSet()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"oracle.qdt"_s);
        QString error;
        QVERIFY2(BuildTemplate(file, &error), qPrintable(error));
        QVERIFY(m_cluster->createDatabase(u"oracle"_s));
        const DatabasePtr server = Registry::openServer(m_cluster->connInfo(u"oracle"_s), &error);
        QVERIFY2(server && server->isServer(), qPrintable(error));
        QVERIFY(server->execNative(u"BEGIN;"_s + PostgresSchemaSql() + u"COMMIT;"_s));
        const DatabasePtr local = Registry::open(file, &error);
        QVERIFY2(local, qPrintable(error));
        QCOMPARE(server->tableNames(), local->tableNames());

        const char *seed[] = {
                "INSERT INTO Pro (Name, Price, Unit, P0) VALUES ('钢管', 12.5, '根', 'GG-01'), "
                "('阀门', 3, '个', NULL), ('Bolt', 0.1, '盒', 'B')",
                "INSERT INTO Cus (Name, Disc, Prov) VALUES ('华东五金', 0.95, '上海市'), "
                "('北方建材', 1, '北京市')",
                "INSERT INTO Sale (Dat, PID, CID, Num, Price, Pay, Pay1, Memo) VALUES "
                "(#2024-1-5#, 1, 1, 2, 12.5, 25, 10, 'x''y'), (#2024-1-6 9:30#, 2, 2, 3, 3, 9, 9, "
                "NULL), "
                "(#2024-2-1#, 1, 2, 1.5, 12.5, 18.75, 0, '')",
                "UPDATE Sale SET Pay1=Pay WHERE Dat<#2024-1-6#",
                "DELETE * FROM Pro WHERE Name='Bolt'",
        };
        for (const char *statement : seed) {
            QVERIFY2(local->exec(QString::fromUtf8(statement), &error), qPrintable(error));
            QVERIFY2(server->exec(QString::fromUtf8(statement), &error), qPrintable(error));
        }
        const char *queries[] = {
                "SELECT * FROM Sale ORDER BY ID",
                "SELECT * FROM Pro ORDER BY Name",
                "SELECT Cus.Name, Sum(Sale.Pay) AS Sm, Count(*) AS N FROM Sale INNER JOIN Cus ON "
                "Sale.CID=Cus.ID GROUP BY Cus.Name ORDER BY Cus.Name",
                "SELECT TOP 2 Dat, Memo FROM Sale WHERE Dat>=#2024-1-6# ORDER BY Dat DESC",
                "SELECT Name, Right FROM Staff ORDER BY ID",
        };
        for (const char *query : queries) {
            RecordSet a, b;
            QVERIFY2(a.open(local, QString::fromUtf8(query), &error), qPrintable(error));
            QVERIFY2(b.open(server, QString::fromUtf8(query), &error), qPrintable(query + error));
            QCOMPARE(b.recordCount(), a.recordCount());
            QCOMPARE(b.fieldCount(), a.fieldCount());
            for (int c = 0; c < a.fieldCount(); ++c) {
                QCOMPARE(b.fieldName(c), a.fieldName(c));
                QCOMPARE(b.fieldType(c), a.fieldType(c));
                for (int r = 0; r < a.recordCount(); ++r)
                    QVERIFY2(b.valueAt(r, c) == a.valueAt(r, c),
                             qPrintable(u"%1 row %2 %3: %4 / %5"_s.arg(QString::fromUtf8(query))
                                                .arg(r)
                                                .arg(a.fieldName(c), b.valueAt(r, c).toString(),
                                                     a.valueAt(r, c).toString())));
            }
        }
        // Values for the parameters travel apart from the statement.
        const QVariantList values = {4.5, u"x' OR '1'='1"_s};
        const QString bound = u"SELECT Name FROM Pro WHERE Price>? AND Name<>?"_s;
        RecordSet a, b;
        QVERIFY(a.open(local, bound, values) && b.open(server, bound, values, &error));
        QCOMPARE(b.recordCount(), 1);
        QCOMPARE(b.value(0), a.value(0));
        RecordSet limited;
        limited.setRowLimit(1);
        QVERIFY(limited.open(server, u"SELECT * FROM Sale"_s));
        QCOMPARE(limited.recordCount(), 1);
        QCOMPARE(limited.totalCount(), 3);
        Registry::close(file);
    }

    // A transaction inside another is a savepoint: undoing it keeps the outer
    // one's work, undoing the outer one undoes everything.
    void transactionsNest()
    {
        QString error;
        const DatabasePtr db = Registry::openServer(m_cluster->connInfo(u"shop"_s), &error);
        QVERIFY2(db, qPrintable(error));
        const auto accounts = [&db] {
            RecordSet rs;
            rs.open(db, u"SELECT Name FROM Acc ORDER BY Name"_s);
            QStringList names;
            for (; !rs.eof(); rs.moveNext())
                names << rs.value(0).toString();
            return names;
        };
        {
            Transaction outer(db);
            QVERIFY(outer.isActive());
            QVERIFY(db->exec(u"INSERT INTO Acc (Name) VALUES ('现金')"_s));
            {
                Transaction inner(db);
                QVERIFY(db->exec(u"INSERT INTO Acc (Name) VALUES ('银行')"_s));
            }
            QVERIFY(outer.commit());
        }
        QCOMPARE(accounts(), QStringList{"现金"});
        {
            Transaction outer(db);
            QVERIFY(db->exec(u"DELETE * FROM Acc"_s));
            Transaction inner(db);
            QVERIFY(inner.commit());
        }
        QCOMPARE(accounts(), QStringList{"现金"});

        // A failed statement undoes only itself, as on a file set; a transaction
        // the server spoiled never commits as if it had worked.
        {
            Transaction outer(db);
            QVERIFY(!db->exec(u"INSERT INTO NoSuchTable (Name) VALUES ('x')"_s));
            QVERIFY(db->exec(u"INSERT INTO Acc (Name) VALUES ('银行')"_s));
            QVERIFY(outer.commit());
        }
        QCOMPARE(accounts(), QStringList({"现金", "银行"}));
        QVERIFY(!m_conn->exec(u"BEGIN; INSERT INTO Acc (Name) VALUES ('丢'); SELECT 1/0"_s));
        QVERIFY(!m_conn->exec(u"COMMIT"_s, &error));
        QVERIFY2(error.contains(u"没有写入"_s), qPrintable(error));
        QCOMPARE(accounts(), QStringList({"现金", "银行"}));
    }

    // Rows added and changed through a record set are written back by their
    // key; a row another connection changed since it was read is not written.
    void editsWriteBackByKey()
    {
        QString error;
        const QString info = m_cluster->connInfo(u"shop"_s);
        const DatabasePtr db = Registry::openServer(info, &error);
        const DatabasePtr otherPc = Registry::openServer(info, &error);
        QVERIFY2(db && otherPc, qPrintable(error));

        RecordSet add;
        QVERIFY(add.open(db, u"SELECT * FROM Vendor WHERE FALSE"_s));
        add.addNew();
        add.setValue(u"Name"_s, u"O'Neil 五金"_s);
        add.setValue(u"Phone"_s, QVariant());
        QVERIFY2(add.update(&error), qPrintable(error));
        const qint64 id = add.value(u"ID"_s).toLongLong();
        QVERIFY(id > 0);
        QCOMPARE(add.value(u"Name"_s), QVariant(u"O'Neil 五金"_s));

        RecordSet param;
        QVERIFY(param.open(db, u"SELECT * FROM 参数 WHERE Var='最近用户名'"_s));
        param.addNew();
        param.setValue(u"Var"_s, u"最近用户名"_s);
        param.setValue(u"Con"_s, u"zunta"_s);
        QVERIFY2(param.update(&error), qPrintable(error));
        param.setValue(u"Con"_s, u"张三"_s);
        QVERIFY2(param.update(&error), qPrintable(error));
        QCOMPARE(column(*m_conn, "SELECT Con FROM 参数 WHERE Var='最近用户名'"),
                 QStringList{"张三"});

        const QString one = u"SELECT * FROM Vendor WHERE ID=%1"_s.arg(id);
        RecordSet mine, theirs, gone;
        QVERIFY(mine.open(db, one) && theirs.open(otherPc, one) && gone.open(db, one));
        theirs.setValue(u"Memo"_s, u"他们的"_s);
        QVERIFY2(theirs.update(&error), qPrintable(error));
        mine.setValue(u"Memo"_s, u"我的"_s);
        QVERIFY(!mine.update(&error));
        QCOMPARE(error, u"记录已被其他用户修改，请刷新后重试！"_s);
        QCOMPARE(column(*m_conn, u"SELECT Memo FROM Vendor WHERE ID=%1"_s.arg(id)),
                 QStringList{"他们的"});
        QVERIFY(otherPc->exec(u"DELETE * FROM Vendor WHERE ID=%1"_s.arg(id)));
        gone.setValue(u"Memo"_s, u"晚了"_s);
        QVERIFY(!gone.update(&error));
        QCOMPARE(error, u"记录已被其他用户删除，请刷新后重试！"_s);
    }

    // A link file in the program folder makes the server's database the current
    // set: the access layer and the settings work on it as on a file set. A
    // link never holds a password.
    void theAccessLayerWorksOnALinkedSet()
    {
        testsupport::TempProgramFolder folder;
        QVERIFY(m_cluster->createDatabase(u"linked"_s));
        QString error;
        const QString link = programFilePath(u"DATA00007.qsv"_s);
        QVERIFY(!writeServerLink(link, m_cluster->connInfo(u"linked"_s) + " password=x", &error));
        QCOMPARE(error, u"服务器套账的链接文件中不能保存密码。"_s);
        QVERIFY2(writeServerLink(link, m_cluster->connInfo(u"linked"_s), &error),
                 qPrintable(error));
        QVERIFY(!writeServerLink(link, m_cluster->connInfo(u"linked"_s)));
        CurrentAccountFile = u"DATA00007.qsv"_s;
        const DatabasePtr db = Registry::open(link, &error);
        QVERIFY2(db && db->isServer(), qPrintable(error));
        QVERIFY(db->execNative(u"BEGIN;"_s + PostgresSchemaSql() + u"COMMIT;"_s));

        QVERIFY(TableExists(u"Sale"_s));
        QVERIFY(SetVar(u"所属企业"_s, u"O'Neil 贸易"_s));
        QVERIFY(SetVar(u"所属企业"_s, u"华东五金"_s));
        QCOMPARE(GetVar(u"所属企业"_s), u"华东五金"_s);
        // Settings do not count as data for the backup on closing; records do.
        QVERIFY(!dataChanged(link));
        QVERIFY(ExecSQL(u"INSERT INTO Cus (Name) VALUES ('甲'), ('乙'), ('甲')"_s));
        QVERIFY(dataChanged(link));
        QCOMPARE(CountGroups(u"Cus"_s, u"Name"_s, QString()), 2);
        QCOMPARE(LookupValue(u"Cus"_s, 2, u"ID"_s, u"Name"_s), QVariant(u"乙"_s));
        RecordSet rs;
        OpenQuery(rs, u"SELECT TOP 1 * FROM Cus ORDER BY ID DESC"_s);
        QCOMPARE(rs.value(u"ID"_s), QVariant(qlonglong(3)));
        // An analysis's scratch table is found and dropped, so it can run again.
        QVERIFY(ExecSQL(u"SELECT ID INTO T_AnaX FROM Cus"_s));
        QVERIFY(TableExists(u"T_AnaX"_s));
        QVERIFY(DropTable(u"T_AnaX"_s));
        QVERIFY(!TableExists(u"T_AnaX"_s));
        Registry::closeAll();
        CurrentAccountFile.clear();
    }

    // An import's rows reach the server in blocks inside its transaction: each
    // gets its ID at once, a statement in between sees them, a rollback leaves
    // none, a refused block fails the commit.
    void manyRowsInBlocks()
    {
        QString error;
        const DatabasePtr db = Registry::openServer(m_cluster->connInfo(u"shop"_s), &error);
        QVERIFY2(db, qPrintable(error));
        const auto count = [&db] {
            RecordSet rs;
            QString e;
            if (!rs.open(db, u"SELECT Count(*) FROM Sale WHERE Memo='导入'"_s, &e))
                qWarning("%s", qPrintable(e));
            return rs.value(0).toInt();
        };
        {
            WriteTransaction transaction(db);
            RowInserter inserter(db, u"Sale"_s, {"Dat", "Num", "Memo"});
            QVERIFY(inserter.isValid());
            QSet<qint64> ids;
            for (int i = 0; i < 12000; ++i)
                ids << inserter.insert({QDateTime(QDate(2024, 3, 1), QTime()), i, u"导入"_s});
            QCOMPARE(ids.size(), 12000);
            QVERIFY(!ids.contains(0));
            QCOMPARE(count(), 12000);
            QVERIFY(transaction.commit(&error));
        }
        QCOMPARE(count(), 12000);
        {
            WriteTransaction transaction(db);
            RowInserter inserter(db, u"Sale"_s, {"Memo"});
            inserter.insert({u"导入"_s});
        }
        QCOMPARE(count(), 12000);
        {
            WriteTransaction transaction(db);
            RowInserter inserter(db, u"Sale"_s, {"ID", "Memo"});
            inserter.insert({qlonglong(900001), u"导入"_s});
            inserter.insert({qlonglong(900001), u"导入"_s});
            QVERIFY(!transaction.commit(&error));
        }
        QCOMPARE(count(), 12000);
    }

    // A server that wants a password gets it asked for once per run; a wrong
    // one is said by the server and asked again next time; cancelling opens
    // nothing.
    void passwordAskedOncePerRun()
    {
        QVERIFY(m_cluster->addPasswordUser(u"clerk"_s, u"s3cret"_s));
        const QString info = m_cluster->connInfo(u"shop"_s).replace(QLatin1String("user=korvo"),
                                                                    QLatin1String("user=clerk"));
        testsupport::ScriptedPrompts prompts;
        QString error;
        prompts.passwords = {QString()};
        QVERIFY(!PgConnection::open(info, &error));
        QCOMPARE(error, u"无法连接数据库服务器：没有输入密码。"_s);
        prompts.passwords = {u"wrong"_s};
        QVERIFY(!PgConnection::open(info, &error));
        QVERIFY2(error.contains(QLatin1String("password")), qPrintable(error));
        prompts.passwords = {u"s3cret"_s};
        QVERIFY2(PgConnection::open(info, &error), qPrintable(error));
        QVERIFY2(PgConnection::open(info, &error), qPrintable(error));
        QCOMPARE(prompts.passwordRequests.size(), 3);
        QVERIFY(prompts.passwordRequests.first().contains(QLatin1String("clerk@")));
    }

    // A link is listed beside the file sets with its name and a mark, takes a
    // number of the same row, and is made current like a file set; one whose
    // server does not answer is listed as such and cannot be chosen.
    void linkedSetsAreListedWithTheFileSets()
    {
        testsupport::TempProgramFolder folder;
        testsupport::ScriptedPrompts prompts;
        QVERIFY(CreateAccountSet(u"本地公司"_s, u"本地账"_s) >= 0);
        QVERIFY(m_cluster->createDatabase(u"listed"_s));
        const DatabasePtr server = Registry::openServer(m_cluster->connInfo(u"listed"_s));
        QVERIFY(server && server->execNative(u"BEGIN;"_s + PostgresSchemaSql() + "COMMIT;"));
        QVERIFY(server->exec(u"INSERT INTO 参数 (Var, Con) VALUES ('套账名称', '门店'), "
                             "('最近访问', '2030-01-01 08:00:00')"_s));
        QVERIFY(writeServerLink(programFilePath(u"DATA00002.qsv"_s),
                                m_cluster->connInfo(u"listed"_s)));
        QVERIFY(writeServerLink(
                programFilePath(u"DATA00004.qsv"_s),
                u"host=%1/gone dbname=x connect_timeout=2"_s.arg(QDir::tempPath())));
        AccountSets.clear();
        QCOMPARE(BuildAccountSetList(), 3);
        QCOMPARE(accountSetDisplayName(AccountSets.at(1)), u"门店（服务器）"_s);
        QCOMPARE(accountSetDisplayName(AccountSets.at(2)), u"（服务器无法连接）"_s);
        QCOMPARE(CurrentAccountIndex, 1); // the latest access
        QCOMPARE(NextAccountSetPath(), programFilePath(u"DATA00003.qdt"_s));
        QVERIFY(MakeAccountSetCurrent(1));
        QCOMPARE(GetVar(kKeyName), u"门店"_s);
        QVERIFY(!MakeAccountSetCurrent(2));
        QVERIFY(prompts.messages.isEmpty());
        Registry::closeAll();
    }

private:
    std::unique_ptr<testsupport::PgCluster> m_cluster;
    std::unique_ptr<PgConnection> m_conn;
};

QTEST_GUILESS_MAIN(TestPgEngine)
#include "tst_pgengine.moc"
