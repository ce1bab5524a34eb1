#include "bothengines.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace store;

// The access layer, the schema of a new set and the parameter table.

namespace {

const QString kSet = u"DATA00001.qdt"_s;

// A fresh account set from the schema under the given bare name.
void makeSet(const QString &name)
{
    QString error;
    QVERIFY2(BuildTemplate(programFilePath(name), &error), qPrintable(error));
}

// The first column of every row, as text.
QStringList texts(const QString &sql, const QString &file = QString())
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
} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    // Every test works on DATA00001.qdt and may show no message it does not expect.
    void init()
    {
        m_fx = std::make_unique<testsupport::FolderWithPrompts>();
        makeSet(kSet);
        CurrentAccountFile = kSet;
        QVERIFY(testsupport::moveCurrentSetToServer());
    }

    void cleanup()
    {
        const QStringList shown = m_fx->prompts.messages;
        m_fx.reset();
        QCOMPARE(shown, QStringList());
    }

    void failuresReportOnlyForCurrentSet_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("connects");
        QTest::newRow("missing") << u"SELECT * FROM Pro"_s << false;
        QTest::newRow("rekeyed") << u"SELECT * FROM Pro"_s << false;
        QTest::newRow("bad sql") << u"SELEC Name FORM Pro WHERE Name='x'"_s << true;
        QTest::newRow("missing table") << u"SELECT * FROM NoSuchTable"_s << true;
    }

    // Opening failures are told only for the set in use, never crash, leave an empty set.
    void failuresReportOnlyForCurrentSet()
    {
        if (testsupport::testServer())
            QSKIP("the file engine's own");
        const QString kind = QString::fromLatin1(QTest::currentDataTag());
        QFETCH(QString, sql);
        QFETCH(bool, connects);
        const QString file = u"DATA00002.qdt"_s;
        const QString path = programFilePath(file);
        if (connects || kind == QLatin1String("rekeyed"))
            makeSet(file);
        if (kind == QLatin1String("rekeyed")) {
            const DatabasePtr db = Registry::open(path);
            QVERIFY(db && db->execNative(u"PRAGMA rekey = 'other';"_s));
        }
        Registry::closeAll();
        const QByteArray before = testsupport::readFile(path);

        // Another set is current: nothing is shown.
        Connection conn;
        QCOMPARE(OpenConn(conn, file), connects);
        RecordSet rs;
        OpenQuery(conn, rs, sql, file);
        QVERIFY(rs.recordCount() == 0 && rs.eof() && !rs.value(u"Name"_s).isValid());
        CloseQuery(conn, rs);
        QCOMPARE(LookupWhere(u"Pro"_s, u"ID=1"_s, u"Name"_s, file), QVariant(QString()));
        QCOMPARE(m_fx->prompts.messages, QStringList());

        // Made current: a set that does not open is told once, a failing statement always.
        CurrentAccountFile = file;
        QCOMPARE(OpenConn(conn), connects);
        QStringList expected;
        if (!connects)
            expected << u"无法建立数据库连接(数据库：DATA00002.qdt)！"_s;
        for (int i = 0; i < 3; ++i) {
            OpenQuery(conn, rs, sql);
            if (connects)
                expected << u"数据库打开错误("_s + sql + u")！"_s;
            QVERIFY(rs.recordCount() == 0 && rs.eof() && !rs.isOpen());
            CloseQuery(conn, rs);
        }
        if (!connects) {
            SetVar(u"最近访问"_s, u"2024-01-01 00:00:00"_s);
            QCOMPARE(GetVar(u"最近访问"_s), QString());
            QVERIFY(!ExecSQL(u"DELETE * FROM Sale"_s) && !TableExists(u"Sale"_s));
        }
        QCOMPARE(m_fx->prompts.messages, expected);
        m_fx->prompts.messages.clear();

        QCOMPARE(QFile::exists(path), kind != QLatin1String("missing"));
        if (connects)
            return;
        QCOMPARE(testsupport::readFile(path), before);
        // Another set that stops opening is reported too, once.
        const QString good = u"DATA00003.qdt"_s;
        makeSet(good);
        CurrentAccountFile = good;
        QVERIFY(OpenConn(conn));
        conn.reset();
        QVERIFY(QFile::rename(programFilePath(good), programFilePath(good + ".away")));
        Registry::closeAll();
        QVERIFY(!OpenConn(conn) && !OpenConn(conn));
        QCOMPARE(m_fx->prompts.messages,
                 QStringList{u"无法建立数据库连接(数据库：DATA00003.qdt)！"_s});
        m_fx->prompts.messages.clear();
    }

    // An empty file name means the current set; a named one is used as named.
    void emptyFileNameMeansCurrentSet()
    {
        const QString other = u"DATA00002.qdt"_s;
        makeSet(other);
        QVERIFY(ExecSQL(u"INSERT INTO Pro (Name) VALUES ('甲')"_s));
        QVERIFY(ExecSQL(u"INSERT INTO Pro (Name) VALUES ('乙')"_s, nullptr, other));
        Connection conn; // handed to ExecSQL, used as it is
        QVERIFY(OpenConn(conn, other));
        QVERIFY(ExecSQL(u"INSERT INTO Pro (Name) VALUES ('丙')"_s, &conn));
        QCOMPARE(texts(u"SELECT Name FROM Pro"_s), QStringList{"甲"});
        QCOMPARE(texts(u"SELECT Name FROM Pro ORDER BY ID"_s, other), (QStringList{"乙", "丙"}));
        QVERIFY(!ExecSQL(u"DELETE * FROM NoSuchTable"_s));
    }

    // Look-ups escape texts: names with quotes find their row and change no statement.
    void lookups()
    {
        for (int i = 1; i <= 8; ++i)
            QVERIFY(ExecSQL(
                    u"INSERT INTO Pro (Name, Price, Unit) VALUES ('产品%1', %1.5, '%1')"_s.arg(i)));
        QVERIFY(ExecSQL(u"INSERT INTO Cus (Name, CName, Disc) VALUES ('O''Neil', 'Pat', "
                        "0.9), ('x', 'wrong row', 1)"_s));
        const QString name = u"Name"_s;
        const QString cname = u"CName"_s;
        const QString cus = u"Cus"_s;
        QCOMPARE(LookupValue(u"Pro"_s, 7, u"ID"_s, name), QVariant("产品7"));
        // A number in text form compares as text against the text column Unit.
        QCOMPARE(LookupValue(u"Pro"_s, u"3"_s, u"Unit"_s, name), QVariant("产品3"));
        QCOMPARE(LookupValue(cus, u"O'Neil"_s, name, cname), QVariant("Pat"));
        QCOMPARE(LookupValue(cus, u"x' OR Name<>'"_s, name, cname), QVariant(QString()));
        QCOMPARE(LookupValue(u"Pro"_s, 99, u"ID"_s, name), QVariant(QString()));
        QCOMPARE(LookupWhere(cus, u"Name="_s + sqlText(u"O'Neil"_s), u"Disc"_s), QVariant(0.9));
        // A NULL field reads as the empty text, like a missing row.
        QCOMPARE(LookupWhere(cus, u"Name='x'"_s, u"Memo"_s), QVariant(QString()));
    }

    // Only tables starting with the prefix (case-sensitive) go; CountGroups counts combinations.
    void dropTablesAndCountGroups()
    {
        for (const char *name : {"T_SaleAna", "T_AnaCus", "t_x", "Tmp", "XT_y", "T_"})
            QVERIFY(ExecSQL(u"CREATE TABLE %1 (A INTEGER)"_s.arg(QLatin1String(name))));
        // The server folds unquoted names to lower case.
        const bool folded = testsupport::testServer();
        QCOMPARE(TableExists(u"t_saleana"_s), folded);
        DropTablesByPrefix(QString());
        QVERIFY(TableExists(u"T_SaleAna"_s));
        DropTablesByPrefix(u"T_"_s);
        for (const char *gone : {"T_SaleAna", "T_AnaCus", "T_"})
            QVERIFY2(!TableExists(QString::fromUtf8(gone)), gone);
        QCOMPARE(TableExists(u"t_x"_s), !folded);
        for (const char *kept : {"Tmp", "XT_y", "Sale", "参数", "Staff"})
            QVERIFY2(TableExists(QString::fromUtf8(kept)), kept);

        QCOMPARE(CountGroups(u"Sale"_s, u"PID"_s, QString()), 0);
        QVERIFY(ExecSQL(u"INSERT INTO Sale (Dat, PID, CID, Num) VALUES (#2024-03-01#, "
                        "1, 1, 2), (#2024-03-02#, 1, 1, 2), (#2024-03-03#, 1, 2, 2), "
                        "(#2024-03-04#, 2, 1, 2), (#2024-03-05#, 3, 3, 2)"_s));
        QCOMPARE(CountGroups(u"Sale"_s, u"PID"_s, QString()), 3);
        QCOMPARE(CountGroups(u"Sale"_s, u"PID,CID"_s, QString()), 4);
        QCOMPARE(CountGroups(u"Sale"_s, u"CID"_s, u"PID<3"_s), 2);

        for (int round = 0; round < 2; ++round) {
            QVERIFY(DropTable(u"T_SaleAna"_s));
            QVERIFY(!TableExists(u"T_SaleAna"_s));
            QVERIFY(ExecSQL(u"SELECT PID, Sum(Num) AS N INTO T_SaleAna FROM Sale WHERE "
                            "Dat>=#2024-03-02# GROUP BY PID"_s));
            QCOMPARE(texts(u"SELECT N FROM T_SaleAna ORDER BY PID"_s),
                     (QStringList{"4", "2", "2"}));
        }
    }

    // Compaction replaces the file only by a checked copy with the same rows, indexes and IDs.
    void compactKeepsDataAndPassword()
    {
        if (testsupport::testServer())
            QSKIP("the file engine's own");
        for (int i = 0; i < 300; ++i)
            QVERIFY(ExecSQL(u"INSERT INTO Sale (PID, Memo) VALUES (%1, '%2')"_s.arg(i).arg(
                    QString(200, QLatin1Char('m')))));
        QVERIFY(ExecSQL(u"DELETE * FROM Sale WHERE PID>=10"_s));
        QVERIFY(ExecSQL(u"CREATE INDEX SaleDat ON Sale (Dat)"_s));
        const QString indexes
                = u"SELECT name FROM sqlite_master WHERE type='index' ORDER BY name"_s;
        const QStringList indexNames = texts(indexes);
        QVERIFY(indexNames.contains(u"SaleDat"_s));
        const qint64 sizeBefore = QFileInfo(programFilePath(kSet)).size();
        QString error;
        QVERIFY2(CompactAccount(kSet, &error), qPrintable(error));
        QVERIFY(QFileInfo(programFilePath(kSet)).size() < sizeBefore);
        QCOMPARE(texts(u"SELECT Count(*) || Max(Memo) FROM Sale"_s),
                 QStringList{"10" + QString(200, QLatin1Char('m'))});
        QCOMPARE(texts(indexes), indexNames);
        // New IDs continue after the old ones, also those deleted.
        QVERIFY(ExecSQL(u"INSERT INTO Sale (PID) VALUES (77)"_s));
        QCOMPARE(texts(u"SELECT ID FROM Sale WHERE PID=77"_s), QStringList{"301"});

        // Held with fresh commits the file is left alone: a copy would miss them.
        {
            Connection held;
            QVERIFY(OpenConn(held));
            QVERIFY(ExecSQL(u"INSERT INTO Sale (PID) VALUES (78)"_s, &held));
            QVERIFY(!CompactAccount(kSet, &error) && error == u"数据库正在使用中"_s);
        }
        QVERIFY2(CompactAccount(kSet, &error), qPrintable(error));
        QCOMPARE(texts(u"SELECT PID FROM Sale WHERE PID>=77 ORDER BY PID"_s),
                 (QStringList{"77", "78"}));

        QVERIFY(!CompactAccount(u"DATA00077.qdt"_s, &error));
        QCOMPARE(error, u"没有找到要压缩的数据库文件！"_s);
        const QString garbage = programFilePath(u"DATA00003.qdt"_s);
        QVERIFY(testsupport::writeFile(garbage, QByteArray(4096, 'g')));
        QVERIFY(!CompactAccount(u"DATA00003.qdt"_s, &error));
        QVERIFY(!BuildTemplate(garbage, &error) && !error.isEmpty()); // never built over a file
        QCOMPARE(testsupport::readFile(garbage), QByteArray(4096, 'g'));
        Registry::closeAll();
        QCOMPARE(QDir(m_fx->folder.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"DATA00001.qdt", "DATA00003.qdt"}));
    }

    // The base tables with their fields and types, the rows of a new set, defaults and IDs.
    void schemaOfANewSet()
    {
        const QMap<QString, QString> expected = {
                {"Sale", "ID:I Dat:T PID:I CID:I AID:I SID:I Price:D Num:D Pay:D Pay1:D Memo:S"},
                {"Pur", "ID:I Dat:T PID:I VID:I AID:I SID:I Price:D Num:D Pay:D Pay1:D Memo:S"},
                {"Pro", "ID:I Name:S Price:D Unit:S P0:S P1:S P2:S P3:S P4:S P5:S P6:S P7:S P8:S "
                        "P9:S Memo:S MinNum:D"},
                {"Cus",
                 "ID:I Name:S CName:S Disc:D Prov:S Region:S Address:S PC:S Phone:S Mobile:S "
                 "Fax:S Email:S Websit:S Memo:S"},
                {"Prov", "Name:S"},
                {"Vendor", "ID:I Name:S CName:S Phone:S Mobile:S Fax:S Email:S Address:S PC:S "
                           "Websit:S Memo:S"},
                {"Acc", "ID:I Name:S Bank:S Account:S Memo:S"},
                {"Staff", "ID:I Name:S PSD:S Phone:S MPhone:S Email:S Right:S Memo:S"},
                {"参数", "Var:S Con:S"},
                {"Rcv", "ID:I Dat:T CID:I AID:I SID:I Pay:D Memo:S"},
                {"RcvLine", "ID:I RID:I TID:I Pay:D"},
                {"Pmt", "ID:I Dat:T VID:I AID:I SID:I Pay:D Memo:S"},
                {"PmtLine", "ID:I RID:I TID:I Pay:D"}};
        QStringList rows;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            RecordSet rs;
            OpenQuery(rs, u"SELECT * FROM "_s + it.key());
            QVERIFY2(rs.isOpen(), qPrintable(it.key()));
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i)
                fields << rs.fieldName(i) + QLatin1Char(':')
                                  + QLatin1Char("?IDTSB"[int(rs.fieldType(i))]);
            QCOMPARE(fields.join(QLatin1Char(' ')), it.value());
            if (it.key() != u"参数"_s)
                rows << it.key() + QString::number(rs.recordCount());
        }
        QCOMPARE(rows.join(u' '),
                 u"Acc0 Cus0 Pmt0 PmtLine0 Pro0 Prov34 Pur0 Rcv0 RcvLine0 Sale0 Staff2 Vendor0"_s);
        QCOMPARE(texts(u"SELECT Name || '/' || COALESCE(PSD, 'NULL') || '/' || [Right] FROM Staff "
                       "ORDER BY ID"_s),
                 (QStringList{"其他/NULL/", "zunta/zunta/所有权限"}));

        QVERIFY(ExecSQL(u"INSERT INTO Sale (Dat, Num) VALUES (#2024-02-29#, 1), "
                        "(#2024-03-01#, 2)"_s));
        QVERIFY(ExecSQL(u"DELETE * FROM Sale WHERE ID=2"_s));
        QVERIFY(ExecSQL(u"INSERT INTO Sale (Num) VALUES (3)"_s));
        QCOMPARE(texts(u"SELECT ID FROM Sale ORDER BY ID"_s), (QStringList{"1", "3"}));
        QCOMPARE(texts(u"SELECT Pay FROM Sale"_s), (QStringList{"0", "0"}));
    }

    void paramsOneRowPerKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("quote in value") << "所属企业" << u"O'Neil's 贸易公司"_s;
        QTest::newRow("injection in key") << "x' OR Var<>'" << u"only this"_s;
        QTest::newRow("percent and underscore") << "默认值_%" << u"100%_"_s;
    }

    // A key reads empty until written, then keeps one row; quotes reach no other row.
    void paramsOneRowPerKey()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(GetVar(key), QString());
        SetVar(u"套账名称"_s, u"主账"_s);
        SetVar(key, value);
        SetVar(key, value + u"'2"_s);
        QCOMPARE(GetVar(key), value + u"'2"_s);
        QCOMPARE(texts(u"SELECT Con FROM 参数 WHERE Var="_s + sqlText(key)),
                 QStringList{value + u"'2"_s});
        QCOMPARE(GetVar(u"套账名称"_s), u"主账"_s);
        QCOMPARE(CountGroups(u"参数"_s, u"Var"_s, QString()), 2 + SchemaStepKeys().size());
        QVERIFY(GetVar(key.left(key.size() - 1)).isEmpty());
    }

private:
    std::unique_ptr<testsupport::FolderWithPrompts> m_fx;
};

KORVO_TEST_ON_BOTH_ENGINES(TestAccess, QCoreApplication)
#include "tst_access.moc"
