#include "store/access.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QtTest>

using namespace store;

class TestParams : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void missingKeyReadsEmpty();
    void oneRowPerKey();
    void quotesRoundTrip_data();
    void quotesRoundTrip();
    void settingsBelongToTheirSet();

private:
    static int rowsOf(const QString &key)
    {
        RecordSet rs;
        OpenQuery(rs, QStringLiteral("SELECT * FROM 参数 WHERE Var=") + sqlText(key));
        return rs.recordCount();
    }

    testsupport::TempProgramFolder *m_folder = nullptr;
    testsupport::ScriptedPrompts *m_prompts = nullptr;
};

void TestParams::init()
{
    m_folder = new testsupport::TempProgramFolder;
    m_prompts = new testsupport::ScriptedPrompts;
    for (const char *name : {"DATA00001.qdt", "DATA00002.qdt"}) {
        QString error;
        QVERIFY2(BuildTemplate(programFilePath(QLatin1String(name)), &error), qPrintable(error));
    }
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
}

void TestParams::cleanup()
{
    const QStringList shown = m_prompts->messages;
    delete m_prompts;
    delete m_folder;
    QCOMPARE(shown, QStringList());
}

void TestParams::missingKeyReadsEmpty()
{
    QCOMPARE(GetVar(QStringLiteral("套账名称")), QString());
    SetVar(QStringLiteral("套账名称"), QString());
    QCOMPARE(GetVar(QStringLiteral("套账名称")), QString());
    QCOMPARE(rowsOf(QStringLiteral("套账名称")), 1);
}

// Writing a key again replaces its value and keeps a single row for it.
void TestParams::oneRowPerKey()
{
    SetVar(QStringLiteral("分割线_0"), QStringLiteral("3000"));
    SetVar(QStringLiteral("分割线_1"), QStringLiteral("4000"));
    SetVar(QStringLiteral("分割线_0"), QStringLiteral("3120.5"));
    QCOMPARE(GetVar(QStringLiteral("分割线_0")), QStringLiteral("3120.5"));
    QCOMPARE(GetVar(QStringLiteral("分割线_1")), QStringLiteral("4000"));
    QCOMPARE(rowsOf(QStringLiteral("分割线_0")), 1);
    QCOMPARE(CountGroups(QStringLiteral("参数"), QStringLiteral("Var"), QString()), 2);
    QVERIFY(GetVar(QStringLiteral("分割线_")).isEmpty());
}

void TestParams::quotesRoundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("quote in value") << "所属企业"
                                    << "O'Neil's 贸易公司";
    QTest::newRow("quote in key") << "导入映射_Cus_客户'名称"
                                  << "Name";
    QTest::newRow("injection in key") << "x' OR Var<>'"
                                      << "only this";
    QTest::newRow("lone quotes") << "'"
                                 << "''";
    QTest::newRow("percent and underscore") << "默认值_%"
                                            << "100%_";
}

// Quotes in keys and values neither break the statement nor reach other rows.
void TestParams::quotesRoundTrip()
{
    QFETCH(QString, key);
    QFETCH(QString, value);

    SetVar(QStringLiteral("套账名称"), QStringLiteral("主账"));
    SetVar(key, value);
    QCOMPARE(GetVar(key), value);
    SetVar(key, value + QStringLiteral("'2"));
    QCOMPARE(GetVar(key), value + QStringLiteral("'2"));
    QCOMPARE(rowsOf(key), 1);
    QCOMPARE(GetVar(QStringLiteral("套账名称")), QStringLiteral("主账"));
    QCOMPARE(CountGroups(QStringLiteral("参数"), QStringLiteral("Var"), QString()), 2);
}

void TestParams::settingsBelongToTheirSet()
{
    SetVar(QStringLiteral("日期设定_DTP0"), QStringLiteral("2024-01-31"));
    CurrentAccountFile = QStringLiteral("DATA00002.qdt");
    QCOMPARE(GetVar(QStringLiteral("日期设定_DTP0")), QString());
    SetVar(QStringLiteral("日期设定_DTP0"), QStringLiteral("2023-12-01"));
    CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    QCOMPARE(GetVar(QStringLiteral("日期设定_DTP0")), QStringLiteral("2024-01-31"));

    // Without a usable set, reads are empty and writes are refused with the
    // layer's message instead of failing silently or crashing.
    CurrentAccountFile = QStringLiteral("DATA00009.qdt");
    QCOMPARE(GetVar(QStringLiteral("日期设定_DTP0")), QString());
    SetVar(QStringLiteral("日期设定_DTP0"), QStringLiteral("x"));
    QCOMPARE(m_prompts->messages.size(), 2);
    QVERIFY(m_prompts->messages.at(0).startsWith(QStringLiteral("数据库打开错误(")));
    m_prompts->messages.clear();
    QVERIFY(!QFile::exists(programFilePath(QStringLiteral("DATA00009.qdt"))));
}

QTEST_GUILESS_MAIN(TestParams)
#include "tst_params.moc"
