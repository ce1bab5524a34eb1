#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace store;

class TestAccess : public QObject
{
    Q_OBJECT

private:
    // A fresh account set from the schema under the given bare name.
    static void makeSet(const QString &name)
    {
        QString error;
        QVERIFY2(BuildTemplate(programFilePath(name), &error), qPrintable(error));
    }

    static QStringList names(const QString &sql, const QString &file = QString())
    {
        Connection conn;
        RecordSet rs;
        OpenQuery(conn, rs, sql, file);
        QStringList result;
        for (; !rs.eof(); rs.moveNext())
            result << rs.value(0).toString();
        CloseQuery(conn, rs);
        return result;
    }

private slots:
    void failuresReportOnlyForCurrentSet_data();
    void failuresReportOnlyForCurrentSet();
    void emptyFileNameMeansCurrentSet();
    void lookups();
    void dropTablesByPrefix();
    void dropTableThenSelectInto();
    void countGroups();
    void compactKeepsDataAndPassword();
};

void TestAccess::failuresReportOnlyForCurrentSet_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("connects");

    QTest::newRow("missing file") << "missing"
                                  << "SELECT * FROM Pro" << false;
    QTest::newRow("other password") << "rekeyed"
                                    << "SELECT * FROM Pro" << false;
    QTest::newRow("plain sqlite") << "plain"
                                  << "SELECT * FROM Pro" << false;
    QTest::newRow("garbage file") << "garbage"
                                  << "SELECT * FROM Pro" << false;
    QTest::newRow("bad sql") << "good"
                             << "SELEC Name FORM Pro WHERE Name='x'" << true;
    QTest::newRow("missing table") << "good"
                                   << "SELECT * FROM NoSuchTable" << true;
}

// Opening failures show the layer's two messages only for the account set in
// use, never crash, and leave an empty record set for the caller to read.
void TestAccess::failuresReportOnlyForCurrentSet()
{
    QFETCH(QString, kind);
    QFETCH(QString, sql);
    QFETCH(bool, connects);

    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    const QString file = QStringLiteral("DATA00002.qdt");
    const QString path = programFilePath(file);
    if (kind == QLatin1String("good")) {
        makeSet(file);
    } else if (kind == QLatin1String("rekeyed")) {
        makeSet(file);
        const DatabasePtr db = Registry::open(path);
        QVERIFY(db);
        QVERIFY(db->execNative(QStringLiteral("PRAGMA rekey = 'not-the-password';")));
    } else if (kind == QLatin1String("plain")) {
        // An unencrypted copy of a database with the same kind of table.
        const QString source = programFilePath(QStringLiteral("source.db"));
        const DatabasePtr db = Registry::create(source);
        QVERIFY(db);
        QString error;
        QVERIFY2(db->execNative(QStringLiteral("CREATE TABLE Pro (ID INTEGER, Name TEXT);"
                                               "ATTACH DATABASE '%1' AS plain KEY '';"
                                               "SELECT sqlcipher_export('plain');"
                                               "DETACH DATABASE plain;")
                                        .arg(path),
                                &error),
                 qPrintable(error));
    } else if (kind == QLatin1String("garbage")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
    }
    Registry::closeAll();
    if (kind == QLatin1String("plain")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(15), QByteArray("SQLite format 3"));
    }
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    // Another set is current: the failing file is named and nothing is shown.
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    Connection conn;
    QCOMPARE(OpenConn(conn, file), connects);
    RecordSet rs;
    OpenQuery(conn, rs, sql, file);
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.eof());
    QCOMPARE(rs.value(QStringLiteral("Name")), QVariant());
    CloseQuery(conn, rs);
    QCOMPARE(LookupWhere(QStringLiteral("Pro"), QStringLiteral("ID=1"), QStringLiteral("Name"),
                         file),
             QVariant(QString()));
    QVERIFY(prompts.messages.isEmpty());

    // The failing file is current: the same calls show the messages.
    CurrentAccountFile = file;
    QCOMPARE(OpenConn(conn), connects);
    QStringList expected;
    if (!connects)
        expected << QStringLiteral("无法建立数据库连接(数据库：DATA00002.qdt)！");
    OpenQuery(conn, rs, sql);
    expected << QStringLiteral("数据库打开错误(") + sql + QStringLiteral(")！");
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.eof());
    QVERIFY(!rs.isOpen());
    CloseQuery(conn, rs);
    QCOMPARE(prompts.messages, expected);
    QVERIFY(!TableExists(QStringLiteral("NoSuchTable")));

    // Failing to open never creates or alters the file.
    QCOMPARE(QFile::exists(path), kind != QLatin1String("missing"));
    if (!connects) {
        QFile f(path);
        QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), before);
    }
}

// An empty file name works on the current set; a named file is used as named
// even while another set is current.
void TestAccess::emptyFileNameMeansCurrentSet()
{
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    makeSet(QStringLiteral("DATA00002.qdt"));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Pro (Name) VALUES ('甲')"), nullptr,
                    QStringLiteral("DATA00001.qdt")));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Pro (Name) VALUES ('乙')"), nullptr,
                    QStringLiteral("DATA00002.qdt")));

    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    QCOMPARE(names(QStringLiteral("SELECT Name FROM Pro")), QStringList{QStringLiteral("甲")});
    QCOMPARE(names(QStringLiteral("SELECT Name FROM Pro"), QStringLiteral("DATA00002.qdt")),
             QStringList{QStringLiteral("乙")});

    // A connection handed to ExecSQL is used as it is.
    Connection conn;
    QVERIFY(OpenConn(conn, QStringLiteral("DATA00002.qdt")));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Pro (Name) VALUES ('丙')"), &conn));
    QCOMPARE(names(QStringLiteral("SELECT Name FROM Pro ORDER BY ID"),
                   QStringLiteral("DATA00002.qdt")),
             (QStringList{QStringLiteral("乙"), QStringLiteral("丙")}));
    QCOMPARE(names(QStringLiteral("SELECT Name FROM Pro")), QStringList{QStringLiteral("甲")});

    // Errors of action statements are swallowed; the result only reports them.
    QVERIFY(!ExecSQL(QStringLiteral("DELETE * FROM NoSuchTable")));
    QVERIFY(prompts.messages.isEmpty());
}

// Look-ups write numbers plainly and texts as escaped literals, so names with
// quotes find their row and cannot change the statement.
void TestAccess::lookups()
{
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    for (int i = 1; i <= 8; ++i)
        QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Pro (Name, Price, Unit) VALUES (%1, %2, '%3')")
                                .arg(sqlText(QStringLiteral("产品%1").arg(i)))
                                .arg(i * 1.5)
                                .arg(i)));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Cus (Name, CName, Disc) VALUES (%1, 'Pat', 0.9)")
                            .arg(sqlText(QStringLiteral("O'Neil")))));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Cus (Name, CName) VALUES ('x', 'wrong row')")));

    QCOMPARE(LookupValue(QStringLiteral("Pro"), 7, QStringLiteral("ID"), QStringLiteral("Name")),
             QVariant(QStringLiteral("产品7")));
    QCOMPARE(LookupValue(QStringLiteral("Pro"), 10.5, QStringLiteral("Price"),
                         QStringLiteral("Name")),
             QVariant(QStringLiteral("产品7")));
    // A number in text form compares as text against the text column Unit.
    QCOMPARE(LookupValue(QStringLiteral("Pro"), QStringLiteral("3"), QStringLiteral("Unit"),
                         QStringLiteral("Name")),
             QVariant(QStringLiteral("产品3")));
    QCOMPARE(LookupValue(QStringLiteral("Cus"), QStringLiteral("O'Neil"), QStringLiteral("Name"),
                         QStringLiteral("CName")),
             QVariant(QStringLiteral("Pat")));
    QCOMPARE(LookupValue(QStringLiteral("Cus"), QStringLiteral("x' OR Name<>'"),
                         QStringLiteral("Name"), QStringLiteral("CName")),
             QVariant(QString()));
    QCOMPARE(LookupValue(QStringLiteral("Pro"), 99, QStringLiteral("ID"), QStringLiteral("Name")),
             QVariant(QString()));
    QCOMPARE(LookupWhere(QStringLiteral("Cus"),
                         QStringLiteral("Name=") + sqlText(QStringLiteral("O'Neil")),
                         QStringLiteral("Disc")),
             QVariant(0.9));
    // A NULL field reads as the empty text, like a missing row.
    QCOMPARE(LookupWhere(QStringLiteral("Cus"), QStringLiteral("Name='x'"), QStringLiteral("Memo")),
             QVariant(QString()));
    QVERIFY(prompts.messages.isEmpty());
}

// Only tables whose names begin with the prefix, compared case-sensitively,
// are dropped.
void TestAccess::dropTablesByPrefix()
{
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    const QStringList scratch
            = {QStringLiteral("T_SaleAna"), QStringLiteral("T_AnaCus"), QStringLiteral("t_x"),
               QStringLiteral("Tmp"),       QStringLiteral("XT_y"),     QStringLiteral("T_")};
    for (const QString &name : scratch)
        QVERIFY(ExecSQL(QStringLiteral("CREATE TABLE %1 (A INTEGER)").arg(name)));
    QVERIFY(TableExists(QStringLiteral("T_SaleAna")));
    QVERIFY(!TableExists(QStringLiteral("t_saleana")));

    DropTablesByPrefix(QString());
    QVERIFY(TableExists(QStringLiteral("Sale")));
    QVERIFY(TableExists(QStringLiteral("T_SaleAna")));

    DropTablesByPrefix(QStringLiteral("T_"));
    QVERIFY(!TableExists(QStringLiteral("T_SaleAna")));
    QVERIFY(!TableExists(QStringLiteral("T_AnaCus")));
    QVERIFY(!TableExists(QStringLiteral("T_")));
    for (const QString &kept :
         {QStringLiteral("t_x"), QStringLiteral("Tmp"), QStringLiteral("XT_y"),
          QStringLiteral("Sale"), QStringLiteral("参数"), QStringLiteral("Staff")})
        QVERIFY2(TableExists(kept), qPrintable(kept));
    QVERIFY(prompts.messages.isEmpty());
}

// The analyses drop their scratch table and at once rebuild it by SELECT ... INTO.
void TestAccess::dropTableThenSelectInto()
{
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    QVERIFY(DropTable(QStringLiteral("T_SaleAna")));
    for (int i = 0; i < 6; ++i)
        QVERIFY(ExecSQL(
                QStringLiteral("INSERT INTO Sale (Dat, PID, Num) VALUES (#2024-03-%1#, %2, 2)")
                        .arg(i + 1, 2, 10, QLatin1Char('0'))
                        .arg(i % 3 + 1)));
    const QString into = QStringLiteral("SELECT PID, Sum(Num) AS N INTO T_SaleAna FROM Sale WHERE "
                                        "Dat>=#2024-03-01# GROUP BY PID");
    for (int round = 0; round < 3; ++round) {
        QVERIFY(DropTable(QStringLiteral("T_SaleAna")));
        QVERIFY(!TableExists(QStringLiteral("T_SaleAna")));
        QVERIFY(ExecSQL(into));
        QVERIFY(TableExists(QStringLiteral("T_SaleAna")));
        QCOMPARE(names(QStringLiteral("SELECT N FROM T_SaleAna ORDER BY PID")),
                 (QStringList{QStringLiteral("4"), QStringLiteral("4"), QStringLiteral("4")}));
    }
    QVERIFY(prompts.messages.isEmpty());
}

void TestAccess::countGroups()
{
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    QCOMPARE(CountGroups(QStringLiteral("Sale"), QStringLiteral("PID"), QString()), 0);
    const int pairs[][2] = {{1, 1}, {1, 1}, {1, 2}, {2, 1}, {3, 3}, {3, 3}};
    for (const auto &pair : pairs)
        QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Sale (PID, CID) VALUES (%1, %2)")
                                .arg(pair[0])
                                .arg(pair[1])));
    QCOMPARE(CountGroups(QStringLiteral("Sale"), QStringLiteral("PID"), QString()), 3);
    QCOMPARE(CountGroups(QStringLiteral("Sale"), QStringLiteral("PID,CID"), QString()), 4);
    QCOMPARE(CountGroups(QStringLiteral("Sale"), QStringLiteral("CID"), QStringLiteral("PID<3")),
             2);
    QVERIFY(prompts.messages.isEmpty());
}

// Compaction replaces the file only by a checked copy that opens with the
// password and holds the same rows; a file that does not open stays as it was.
void TestAccess::compactKeepsDataAndPassword()
{
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    for (int i = 0; i < 300; ++i)
        QVERIFY(ExecSQL(
                QStringLiteral("INSERT INTO Sale (Dat, PID, Memo) VALUES (#2024-01-02#, %1, '%2')")
                        .arg(i)
                        .arg(QString(200, QLatin1Char('m')))));
    QVERIFY(ExecSQL(QStringLiteral("DELETE * FROM Sale WHERE PID>=10")));
    const qint64 sizeBefore = QFileInfo(programFilePath(CurrentAccountFile)).size();

    QString error;
    QVERIFY2(CompactAccount(CurrentAccountFile, &error), qPrintable(error));
    QVERIFY(QFileInfo(programFilePath(CurrentAccountFile)).size() < sizeBefore);
    QCOMPARE(names(QStringLiteral("SELECT Count(*) FROM Sale")), QStringList{QStringLiteral("10")});
    QCOMPARE(names(QStringLiteral("SELECT Name FROM Staff ORDER BY ID")),
             (QStringList{QStringLiteral("其他"), QStringLiteral("zunta")}));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Sale (PID) VALUES (77)")));
    QCOMPARE(LookupValue(QStringLiteral("Sale"), 77, QStringLiteral("PID"), QStringLiteral("PID")),
             QVariant(77LL));
    Registry::closeAll();
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("DATA00001.qdt")});

    // While a caller still holds a connection with fresh commits the file
    // is left alone: a copy would miss them.
    {
        Connection held;
        QVERIFY(OpenConn(held));
        QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Sale (PID) VALUES (78)"), &held));
        QVERIFY(!CompactAccount(CurrentAccountFile, &error));
        QCOMPARE(error, QStringLiteral("数据库正在使用中"));
    }
    QVERIFY2(CompactAccount(CurrentAccountFile, &error), qPrintable(error));
    QCOMPARE(names(QStringLiteral("SELECT PID FROM Sale WHERE PID>=77 ORDER BY PID")),
             (QStringList{QStringLiteral("77"), QStringLiteral("78")}));

    QVERIFY(!CompactAccount(QStringLiteral("DATA00077.qdt"), &error));
    QCOMPARE(error, QStringLiteral("没有找到要压缩的数据库文件！"));

    const QString garbage = programFilePath(QStringLiteral("DATA00003.qdt"));
    {
        QFile f(garbage);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'g'));
    }
    QVERIFY(!CompactAccount(QStringLiteral("DATA00003.qdt"), &error));
    QFile f(garbage);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(4096, 'g'));
    Registry::closeAll();
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("DATA00001.qdt"), QStringLiteral("DATA00003.qdt")}));
}

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"
