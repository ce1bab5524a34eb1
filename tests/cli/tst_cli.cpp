#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/session.h"

#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <memory>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void usageErrors_data();
    void usageErrors();
    void listsSets();
    void loginAndRights_data();
    void loginAndRights();
    void checkFindsDamagedSets();

private:
    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };
    Result runCli(const QStringList &args, const QByteArray &password = "zunta");
    // Adds a staff member to the current set.
    void addStaff(const QString &name, const QString &password, const QString &rights);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

TestCli::Result TestCli::runCli(const QStringList &args, const QByteArray &password)
{
    // The sets the test made are let go first, as the program would be
    // closed before a script runs the tool.
    store::Registry::closeAll();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    if (password.isNull())
        env.remove(QStringLiteral("KORVO_PASSWORD"));
    else
        env.insert(QStringLiteral("KORVO_PASSWORD"), QString::fromUtf8(password));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KORVO_CLI_PATH),
                  QStringList{QStringLiteral("--folder"), m_folder->path()} + args);
    process.closeWriteChannel();
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestCli::addStaff(const QString &name, const QString &password, const QString &rights)
{
    QVERIFY(store::ExecSQL(
            QStringLiteral("INSERT INTO Staff (Name, PSD, Right) VALUES (%1, %2, %3)")
                    .arg(store::sqlText(name), store::sqlText(password), store::sqlText(rights))));
}

void TestCli::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    store::AccountSets.clear();
    QVERIFY(store::CreateAccountSet(QStringLiteral("示例商行"), QStringLiteral("主账")) >= 0);
    QVERIFY(store::CreateAccountSet(QStringLiteral("分店"), QStringLiteral("分店账")) >= 0);
    store::CurrentAccountFile = store::accountSetFileName(1);
}

void TestCli::cleanup()
{
    store::Registry::closeAll();
    store::CurrentAccountFile.clear();
    m_prompts.reset();
    m_folder.reset();
}

// Wrong commands, options, values and argument counts end with exit code 1
// and a message, before any set is touched.
void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command") << QStringList() << QStringLiteral("缺少命令");
    QTest::newRow("unknown command")
            << QStringList{QStringLiteral("frobnicate")} << QStringLiteral("未知命令");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("sets"), QStringLiteral("--nope")}
                                    << QStringLiteral("未知选项");
    QTest::newRow("option of another command")
            << QStringList{QStringLiteral("sets"), QStringLiteral("--out"), QStringLiteral("x")}
            << QStringLiteral("不接受选项");
    QTest::newRow("missing value") << QStringList{QStringLiteral("backup"), QStringLiteral("--out")}
                                   << QStringLiteral("缺少值");
    QTest::newRow("too many words") << QStringList{QStringLiteral("sets"), QStringLiteral("extra")}
                                    << QStringLiteral("参数个数不对");
    QTest::newRow("unknown set") << QStringList{QStringLiteral("tidy"), QStringLiteral("--set"),
                                                QStringLiteral("没有的账"),
                                                QStringLiteral("--user"), QStringLiteral("zunta")}
                                 << QStringLiteral("没有找到套账");
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Result result = runCli(args);
    QCOMPARE(result.code, 1);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
}

// sets lists every file with its identity and marks a damaged one, as text
// and as JSON, without logging in.
void TestCli::listsSets()
{
    QFile junk(m_folder->filePath(QStringLiteral("DATA00007.qdt")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();

    Result result = runCli({QStringLiteral("sets")}, QByteArray());
    QCOMPARE(result.code, 0);
    QVERIFY(result.out.contains(QStringLiteral("示例商行")));
    QVERIFY(result.out.contains(QStringLiteral("分店账")));
    QVERIFY(result.out.contains(QStringLiteral("文件损坏")));

    result = runCli({QStringLiteral("sets"), QStringLiteral("--json")}, QByteArray());
    QCOMPARE(result.code, 0);
    const QJsonArray sets = QJsonDocument::fromJson(result.out.toUtf8()).array();
    QCOMPARE(sets.size(), 3);
    QCOMPARE(sets.at(0).toObject().value(QStringLiteral("number")).toInt(), 1);
    QCOMPARE(sets.at(1).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("分店账"));
    QVERIFY(sets.at(1).toObject().value(QStringLiteral("opens")).toBool());
    QVERIFY(!sets.at(2).toObject().value(QStringLiteral("opens")).toBool());
}

// A wrong password or an unknown user ends with 2; a user without the right
// of the matching window command is refused with 2 as well.
void TestCli::loginAndRights_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("code");
    QTest::newRow("administrator") << QStringLiteral("zunta") << QByteArray("zunta") << 0;
    QTest::newRow("wrong password") << QStringLiteral("zunta") << QByteArray("nope") << 2;
    QTest::newRow("unknown user") << QStringLiteral("nobody") << QByteArray("zunta") << 2;
    QTest::newRow("no user") << QString() << QByteArray("zunta") << 2;
    QTest::newRow("clerk without the right") << QStringLiteral("clerk") << QByteArray("pw") << 2;
}

void TestCli::loginAndRights()
{
    QFETCH(QString, user);
    QFETCH(QByteArray, password);
    QFETCH(int, code);
    addStaff(QStringLiteral("clerk"), QStringLiteral("pw"), QStringLiteral("销售数据查看"));
    QStringList args = {QStringLiteral("backup"), QStringLiteral("--out"),
                        m_folder->filePath(QStringLiteral("b.qdb"))};
    if (!user.isEmpty())
        args << QStringLiteral("--user") << user;
    const Result result = runCli(args, password);
    QCOMPARE(result.code, code);
    if (code == 0)
        QVERIFY(QFile::exists(m_folder->filePath(QStringLiteral("b.qdb"))));
    else
        QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("b.qdb"))));
    // The password never shows in what the tool says.
    if (code != 0)
        QVERIFY(!result.err.contains(QString::fromUtf8(password)));
}

// check reads every set and fails (3) when one of them is damaged.
void TestCli::checkFindsDamagedSets()
{
    Result result = runCli({QStringLiteral("check")}, QByteArray());
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out.count(QStringLiteral("完好")), 2);

    QFile junk(m_folder->filePath(QStringLiteral("DATA00003.qdt")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, '\x01'));
    junk.close();
    result = runCli({QStringLiteral("check")}, QByteArray());
    QCOMPARE(result.code, 3);
    QVERIFY(result.out.contains(QStringLiteral("DATA00003.qdt")));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
