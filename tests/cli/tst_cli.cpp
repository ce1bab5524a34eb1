#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/session.h"

#include "testsupport.h"

#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Arguments written as one line, split at the spaces.
QStringList words(const char *line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '));
}

// Several texts written as one, split at the bars.
QStringList texts(const char *joined)
{
    return QString::fromUtf8(joined).split(QLatin1Char('|'));
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void usageErrors_data();
    void usageErrors();
    void listsSets();
    void loginFailures();
    void everyCommandOnASmallSet();
    void badInputs_data();
    void badInputs();
    void salesRoundTrip();
    void storedDatesAreTheDefaults();
    void deliveryNotes();
    void rightsOfEveryCommand_data();
    void rightsOfEveryCommand();
    void unusableDefaultSet();
    void damagedPagesWriteNothing();
    void outputsNeverReplaceSets();
    void fullDiskKeepsOldFiles();

private:
    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };
    Result runCli(const QStringList &args, const QByteArray &password = "zunta");
    // The same in two steps, so that several runs can go at once.
    std::unique_ptr<QProcess> startCli(const QStringList &args,
                                       const QByteArray &password = "zunta");
    static Result finishCli(QProcess &process);
    // A command line split at the spaces; DATES stands for the whole of
    // 2026, OUT/ for the program folder.
    QStringList argsOf(const QString &line) const;
    // Runs each line as zunta on the first set and expects exit 3 with every
    // kept file (OUT/ for the program folder; made when missing) unchanged.
    void expectFailureKeeping(const QStringList &lines, const QStringList &kept);
    // Three sales in March 2026 with their masters, in the current set.
    void addSales();
    // Adds a staff member to the current set.
    void addStaff(const QString &name, const QString &password, const QString &rights);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

std::unique_ptr<QProcess> TestCli::startCli(const QStringList &args, const QByteArray &password)
{
    // The sets the test made are let go first, as the program would be
    // closed before a script runs the tool.
    store::Registry::closeAll();
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder->path());
    if (password.isNull())
        env.remove(QStringLiteral("KORVO_PASSWORD"));
    else
        env.insert(QStringLiteral("KORVO_PASSWORD"), QString::fromUtf8(password));
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(KORVO_CLI_PATH),
                   QStringList{QStringLiteral("--folder"), m_folder->path()} + args);
    process->closeWriteChannel();
    return process;
}

TestCli::Result TestCli::finishCli(QProcess &process)
{
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

TestCli::Result TestCli::runCli(const QStringList &args, const QByteArray &password)
{
    return finishCli(*startCli(args, password));
}

QStringList TestCli::argsOf(const QString &line) const
{
    QStringList args;
    for (const QString &word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("DATES"))
            args << QStringLiteral("--from=2026-01-01") << QStringLiteral("--to=2026-12-31");
        else if (word.startsWith(QLatin1String("OUT/")))
            args << m_folder->filePath(word.mid(4));
        else
            args << word;
    }
    return args;
}

void TestCli::addStaff(const QString &name, const QString &password, const QString &rights)
{
    QVERIFY(store::ExecSQL(
            QStringLiteral("INSERT INTO Staff (Name, PSD, Right) VALUES (%1, %2, %3)")
                    .arg(store::sqlText(name), store::sqlText(password), store::sqlText(rights))));
}

void TestCli::addSales()
{
    const QStringList statements = {
            QStringLiteral("INSERT INTO Pro (Name, Price) VALUES ('钢管', 10)"),
            QStringLiteral("INSERT INTO Pro (Name, Price) VALUES ('角铁\"', 20)"),
            QStringLiteral("INSERT INTO Cus (Name) VALUES ('O''Neil')"),
            QStringLiteral("INSERT INTO Acc (Name) VALUES ('现金')"),
            QStringLiteral("INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Pay, Pay1) "
                           "VALUES ('2026-02-01 00:00:00', 1, 0, 1, 2, 4, 10, 40, 40)"),
    };
    for (const QString &sql : statements)
        QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
    const QStringList sales
            = {QStringLiteral("'2026-03-01 09:00:00', 1, 1, 1, 2, 10, 3, 30, 30, '第一, \"单\"'"),
               QStringLiteral("'2026-03-02 10:00:00', 2, 1, 1, 2, 20, 1.5, 30, 20, ''"),
               QStringLiteral("'2026-03-15 11:30:00', 1, 1, 1, 2, 9.5, 2, 19, 19, 'x'")};
    for (const QString &values : sales)
        QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, "
                                              "Num, Pay, Pay1, Memo) VALUES (")
                               + values + QLatin1Char(')')));
}

void TestCli::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    store::AccountSets.clear();
    QVERIFY(store::CreateAccountSet(QStringLiteral("示例商行"), QStringLiteral("主账")) >= 0);
    QVERIFY(store::CreateAccountSet(QStringLiteral("分店"), QStringLiteral("分店账")) >= 0);
    store::CurrentAccountFile = store::accountSetFileName(1);
    // The first set is the one used last, so that it is the tool's default
    // whatever second the two sets were made in.
    QVERIFY(store::SetVar(store::kKeyLastAccess,
                          store::dateTimeText(QDateTime::currentDateTime().addDays(1))));
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
    QTest::newRow("unknown command") << words("frobnicate") << QStringLiteral("未知命令");
    QTest::newRow("unknown option") << words("sets --nope") << QStringLiteral("未知选项");
    QTest::newRow("option of another command")
            << words("sets --out x") << QStringLiteral("不接受选项");
    QTest::newRow("missing value") << words("backup --out") << QStringLiteral("缺少值");
    QTest::newRow("too many words") << words("sets extra") << QStringLiteral("参数个数不对");
    QTest::newRow("unknown set") << words("tidy --set 没有的账 --user zunta")
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

// sets lists every file with its identity, as text and as JSON, without
// logging in; the JSON tells which set does not open.
void TestCli::listsSets()
{
    QVERIFY(testsupport::writeFile(m_folder->filePath(QStringLiteral("DATA00007.qdt")),
                                   QByteArray(4096, 'x')));

    Result result = runCli({QStringLiteral("sets")}, QByteArray());
    QCOMPARE(result.code, 0);
    QVERIFY(result.out.contains(QStringLiteral("示例商行")));
    QVERIFY2(result.out.contains(QStringLiteral("DATA00002.qdt  分店账")), qPrintable(result.out));

    result = runCli({QStringLiteral("sets"), QStringLiteral("--json")}, QByteArray());
    QCOMPARE(result.code, 0);
    const QJsonArray sets = QJsonDocument::fromJson(result.out.toUtf8()).array();
    QCOMPARE(sets.size(), 3);
    QCOMPARE(sets.at(1).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("分店账"));
    QVERIFY(sets.at(1).toObject().value(QStringLiteral("opens")).toBool());
    QVERIFY(!sets.at(2).toObject().value(QStringLiteral("opens")).toBool());
}

// A wrong password or no user ends with 2, writes nothing and never shows
// the password. (Rights are checked command by command below.)
void TestCli::loginFailures()
{
    const QString backup = m_folder->filePath(QStringLiteral("b.qdb"));
    const QStringList args = {QStringLiteral("backup"), QStringLiteral("--out"), backup};
    const QList<QPair<QStringList, QByteArray>> cases
            = {{args + words("--user zunta"), "nope"}, {args, "zunta"}};
    for (const auto &[line, password] : cases) {
        const Result result = runCli(line, password);
        QCOMPARE(result.code, 2);
        QVERIFY(!QFile::exists(backup));
        QVERIFY(!result.err.contains(QString::fromUtf8(password)));
    }
}

// Every command runs once on a small set and writes what it says.
void TestCli::everyCommandOnASmallSet()
{
    addSales();
    const auto out = [this](const QString &name) {
        return m_folder->filePath(name);
    };
    // OUT/ stands for the program folder; the dates cover the whole year.
    const QStringList runs = texts(
            "export sales DATES --out OUT/s.csv|export customers --out OUT/c.xlsx|print sales "
            "DATES "
            "--out OUT/s.pdf|analyse sales --by=month DATES --out OUT/a.csv|analyse profit DATES "
            "--out OUT/p.jpg|analyse customers --measure=average DATES --out OUT/c.pdf|analyse "
            "stock --product=钢管 DATES --out OUT/st.xlsx|analyse receivables --to=2026-12-31 "
            "--out "
            "OUT/r.csv|receive --customer=O'Neil --amount=10 --account=现金 --date=2026-04-01|"
            "backup --out OUT/b.qdb|restore OUT/b.qdb|tidy|compact|analyse sales "
            "--salesman=O'Hara DATES --out OUT/o.csv");
    addStaff(QStringLiteral("O'Hara"), QStringLiteral("pw"), QString());
    for (const QString &line : runs) {
        const QStringList args = argsOf(line);
        // Both sets were made within a second or two, so the one used last
        // is named rather than left to the clock.
        const Result result = runCli(args + words("--user=zunta --set=DATA00001.qdt"));
        QVERIFY2(result.code == 0,
                 qPrintable(args.join(QLatin1Char(' ')) + QLatin1String(": ") + result.err));
    }
    // The month analysis has the two March months' neighbours as 0 rows
    // only between sales; its CSV holds the March total of the amounts.
    QVERIFY(QString::fromUtf8(testsupport::readFile(out(QStringLiteral("a.csv"))))
                    .contains(QStringLiteral("79.00")));
    // O'Neil owed 10.00 of the second sale, and has paid it since.
    QVERIFY(QString::fromUtf8(testsupport::readFile(out(QStringLiteral("r.csv"))))
                    .contains(QStringLiteral("O'Neil")));
    QCOMPARE(runCli(words("receive --customer=O'Neil --amount=1 --account=现金 --user=zunta "
                          "--set=DATA00001.qdt"))
                     .err,
             QStringLiteral("该客户没有未结清的销售记录，没有收款。\n"));
    QImageReader picture(out(QStringLiteral("p.jpg")));
    QCOMPARE(picture.format(), QByteArray("jpeg"));
    QVERIFY(picture.size().width() > 100);
    for (const QString &pdf : {QStringLiteral("s.pdf"), QStringLiteral("c.pdf")})
        QVERIFY(testsupport::readFile(out(pdf)).startsWith("%PDF-"));
    QVERIFY(QFile(out(QStringLiteral("c.xlsx"))).size() > 0);
    // The restored backup is a third set with the first one's name.
    const Result sets = runCli({QStringLiteral("sets"), QStringLiteral("--json")}, QByteArray());
    const QJsonArray list = QJsonDocument::fromJson(sets.out.toUtf8()).array();
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(2).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("主账"));
    // Two sets of one name are then told apart by their file names only.
    const Result twice = runCli(words("compact --set=主账 --user=zunta"));
    QVERIFY2(twice.code == 1 && twice.err.contains(QStringLiteral("DATAnnnnn")),
             qPrintable(twice.err));
    QCOMPARE(runCli({QStringLiteral("check")}, QByteArray()).code, 0);
}

// Bad input gives a clear message and the exit code of its kind, and no
// file under the name the user gave.
void TestCli::badInputs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QStringList user{QStringLiteral("--user=zunta")};
    QTest::newRow("impossible date") << words("export sales --from=2024-02-30 --out=x.csv") + user
                                     << 1 << QStringLiteral("日期无效");
    QTest::newRow("unknown list") << words("export orders --out=x.csv") + user << 1
                                  << QStringLiteral("未知列表");
    QTest::newRow("wrong output type")
            << words("export sales --out=x.txt") + user << 1 << QStringLiteral(".csv");
    QTest::newRow("too many rows")
            << words("import customers IN --rows=2-30002 --map=客户名称=A") + user << 1
            << QStringLiteral("3万条");
    QTest::newRow("rows from 0") << words("import customers IN --rows=0-5 --map=客户名称=A") + user
                                 << 1 << QStringLiteral("行范围");
    QTest::newRow("unknown column")
            << words("import customers IN --map=鞋码=A") + user << 1 << QStringLiteral("鞋码");
    QTest::newRow("missing import file")
            << words("import customers nothere.csv") + user << 3 << QStringLiteral("文件不存在");
    QTest::newRow("restore of a text file")
            << words("restore IN") + user << 3 << QStringLiteral("文件类型错误");
    QTest::newRow("analysis option it has no box for")
            << words("analyse profit --by=day --out=x.csv") + user << 1 << QStringLiteral("不接受");
    QTest::newRow("receipt from nobody")
            << words("receive --customer=无此客户 --amount=5 --account=现金") + user << 1
            << QStringLiteral("没有找到客户");
    QTest::newRow("payment of no amount")
            << words("pay --vendor=钢厂 --amount=五元 --account=现金") + user << 1
            << QStringLiteral("金额无效");
    QTest::newRow("unknown product") << words("analyse stock --product=无此产品 --out=x.csv") + user
                                     << 1 << QStringLiteral("没有找到产品");
}

void TestCli::badInputs()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    QVERIFY(testsupport::writeFile(m_folder->filePath(QStringLiteral("in.qdb")), "name\nA\n"));
    for (QString &arg : args) {
        if (arg == QLatin1String("IN"))
            arg = m_folder->filePath(QStringLiteral("in.qdb"));
        else if (arg.startsWith(QLatin1String("--out=")))
            arg = QStringLiteral("--out=") + m_folder->filePath(arg.mid(6));
    }
    const Result result = runCli(args);
    QCOMPARE(result.code, code);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("x.csv"))));
}

// Sales exported to CSV, imported into an empty set and exported again give
// the same file.
void TestCli::salesRoundTrip()
{
    addSales();
    const QString first = m_folder->filePath(QStringLiteral("first.csv"));
    const QString second = m_folder->filePath(QStringLiteral("second.csv"));
    const QStringList exportSales = words("export sales --from=2026-01-01 --to=2026-12-31 --out");
    Result result = runCli(exportSales + QStringList{first} + words("--set=主账 --user=zunta"));
    QCOMPARE(result.code, 0);
    result = runCli(
            words("import sales") + QStringList{first}
            + words("--rows=4-2 --map=销售日期=B,产品=C,客户=D,收款账号=E,销售员=F,"
                    "售价=G,数量=H,应收金额=I,已收金额=J,备注=K --set=分店账 --user=zunta"));
    QVERIFY2(result.code == 0, qPrintable(QString::number(result.code) + result.err));
    QVERIFY2(result.out.contains(QStringLiteral("3")), qPrintable(result.out + result.err));
    result = runCli(exportSales + QStringList{second} + words("--set=DATA00002.qdt --user=zunta"));
    QCOMPARE(result.code, 0);
    QCOMPARE(QString::fromUtf8(testsupport::readFile(second)),
             QString::fromUtf8(testsupport::readFile(first)));
}

// Without --from and --to a list or an analysis covers the dates its tab
// was left at in the window: the sales list its own, not the purchase list's.
void TestCli::storedDatesAreTheDefaults()
{
    addSales();
    const QList<QPair<const char *, QDate>> stored
            = {{"SDTP0", QDate(2026, 3, 1)}, {"SDTP1", QDate(2026, 3, 1)},
               {"SDTP2", QDate(2026, 1, 1)}, {"SDTP3", QDate(2026, 12, 31)},
               {"DTP0", QDate(2026, 3, 1)},  {"DTP1", QDate(2026, 3, 31)}};
    for (const auto &[key, day] : stored)
        QVERIFY(store::SetVar(QStringLiteral("日期设定_") + QLatin1String(key),
                              store::dateText(day)));
    for (const char *line :
         {"export sales --out OUT/s.csv", "analyse sales --by=month --out OUT/a.csv"})
        QCOMPARE(runCli(argsOf(QString::fromUtf8(line)) + words("--user=zunta --set=DATA00001.qdt"))
                         .code,
                 0);
    const QString sales = QString::fromUtf8(testsupport::readFile(m_folder->filePath("s.csv")));
    QVERIFY2(sales.contains("2026.03.01") && !sales.contains("2026.03.02"), qPrintable(sales));
    QVERIFY(QString::fromUtf8(testsupport::readFile(m_folder->filePath("a.csv")))
                    .contains("79.00"));
}

// A delivery note of one customer's sales as PDF: the customer, every line
// with its named product field, the total in capitals. Sales of two
// customers, a vendor that is gone, a record that is gone and bad numbers
// write nothing.
void TestCli::deliveryNotes()
{
    addSales();
    QVERIFY(store::SetVar(QStringLiteral("产品定义_P0"), QStringLiteral("规格")));
    QVERIFY(store::SetVar(store::kKeyPhone, QStringLiteral("0571-1234")));
    QVERIFY(store::ExecSQL(QStringLiteral("UPDATE Pro SET P0='DN20', Unit='根' WHERE ID=1")));
    QVERIFY(store::ExecSQL(QStringLiteral(
            "UPDATE Cus SET CName='王五', Phone='0571-8888', Address='杭州市文一路1号'")));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Cus (Name) VALUES ('李四')")));
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, "
                                          "Pay, Pay1) VALUES ('2026-03-03 00:00:00', 1, 2, 1, 2, "
                                          "10, 1, 10, 0)")));
    const QString pdf = m_folder->filePath(QStringLiteral("note.pdf"));
    const QStringList common = words("--user=zunta --set=DATA00001.qdt --out") << pdf;
    const Result done = runCli(words("print sale-note --ids 3,1,2") + common);
    QVERIFY2(done.code == 0, qPrintable(done.err));
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString &expected :
         texts("示例商行|销售单|XS20260315-0000001|O'Neil|王五|0571-8888|杭州市文一路1号|规格|DN20|"
               "钢管|角铁\"|1.5|79.00|柒拾玖元整|已收：69.00|欠款：10.00|zunta|收货|电话：0571-"
               "1234|"
               "第1页 共1页"))
        QVERIFY2(page.contains(expected), qPrintable(expected));
    QVERIFY(page.indexOf(QStringLiteral("30.00")) < page.indexOf(QStringLiteral("19.00")));
    QVERIFY(QFile::remove(pdf));

    const struct
    {
        const char *line;
        int code;
        const char *message;
    } refusals[] = {
            {"print sale-note --ids 1,4", 3, "2 个不同的客户"},
            {"print purchase-note --ids 1", 3, "供应商已不存在"},
            {"print sale-note --ids 1,99", 3, "有 1 条已不存在"},
            {"print sale-note --ids 1,x", 1, "--ids"},
            {"print sales --ids 1", 1, "--ids"},
    };
    for (const auto &refusal : refusals) {
        const Result result = runCli(words(refusal.line) + common);
        QVERIFY2(result.code == refusal.code
                         && result.err.contains(QString::fromUtf8(refusal.message)),
                 qPrintable(QString::fromUtf8(refusal.line) + QLatin1String(": ") + result.err));
        QVERIFY(!QFile::exists(pdf));
    }
}

// Every command needs what the window needs for it: a member with exactly
// those rights succeeds; without any one of them the member is refused with
// 2 and nothing is written or changed. An empty token stands for a window
// command without a right of its own, open to a member with any right.
void TestCli::rightsOfEveryCommand_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("needed");
    const char *const rows[][2] = {
            {"export sales DATES --out OUT/x.csv", "销售数据查看|销售数据导出"},
            {"export purchases DATES --out OUT/x.xlsx", "采购数据查看|采购数据导出"},
            {"print sales DATES --out OUT/x.pdf", "销售数据查看|销售数据打印"},
            {"import customers OUT/in.csv --map=客户名称=A", "客户数据查看|客户数据导入"},
            {"analyse profit DATES --out OUT/x.csv", ""},
            {"analyse stock DATES --out OUT/x.jpg", ""},
            {"analyse receivables --out OUT/x.csv", "|销售数据查看"},
            {"receive --customer=O'Neil --amount=5 --account=现金", "销售数据修改"},
            {"backup --out OUT/x.qdb", "所有权限"},
            {"restore OUT/in.qdb", "所有权限"},
            {"compact", "所有权限"},
            {"tidy", "所有权限"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << texts(row[1]);
}

void TestCli::rightsOfEveryCommand()
{
    QFETCH(QString, line);
    QFETCH(QStringList, needed);
    addSales();
    // A sale whose customer is gone, for tidy to find.
    QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (CID, PID) VALUES (99, 1)")));
    QVERIFY(testsupport::writeFile(m_folder->filePath(QStringLiteral("in.csv")), "name\n新客户\n"));
    store::Registry::closeAll();
    QVERIFY(QFile::copy(m_folder->filePath(QStringLiteral("DATA00002.qdt")),
                        m_folder->filePath(QStringLiteral("in.qdb"))));
    // What a command could change: the rows, the files beside the sets and
    // the bytes of the set.
    const auto state = [this] {
        QStringList parts = {QString::number(testsupport::countRows(QStringLiteral("Sale"))),
                             QString::number(testsupport::countRows(QStringLiteral("Cus")))};
        store::Registry::closeAll();
        parts << QDir(m_folder->path()).entryList(QDir::Files)
              << QString::number(qHash(testsupport::readFile(
                         store::programFilePath(QStringLiteral("DATA00001.qdt")))));
        return parts.join(QLatin1Char(' '));
    };
    const QStringList args = argsOf(line) << QStringLiteral("--set=DATA00001.qdt");
    // Member i lacks token i; the last member holds them all. A member left
    // without tokens gets an unrelated right, unless the token missing is
    // "any right".
    for (int i = 0; i <= needed.size(); ++i) {
        const bool refused = i < needed.size();
        QStringList rights = needed;
        if (refused)
            rights.removeAt(i);
        rights.removeAll(QString());
        const QString text = refused && needed.at(i).isEmpty() ? QString()
                             : rights.isEmpty() ? QStringLiteral("供应商数据添加")
                                                : rights.join(QLatin1Char(';'));
        addStaff(QStringLiteral("m%1").arg(i), QStringLiteral("pw"), text);
        const QString before = state();
        const Result result = runCli(args + QStringList{QStringLiteral("--user=m%1").arg(i)}, "pw");
        QVERIFY2(result.code == (refused ? 2 : 0),
                 qPrintable(text + QLatin1Char(' ') + result.err));
        QCOMPARE(state() == before, refused);
    }
}

// With no --set and the folder's only set damaged or held by another
// program, every command ends with 3 and says which of the two it is; sets
// and check tell a busy set from a damaged one.
void TestCli::unusableDefaultSet()
{
    store::Registry::closeAll();
    QVERIFY(QFile::remove(m_folder->filePath(QStringLiteral("DATA00002.qdt"))));
    const QString set = m_folder->filePath(QStringLiteral("DATA00001.qdt"));
    const QByteArray healthy = testsupport::readFile(set);
    const QStringList lines = texts("export sales --out OUT/x.csv|print sales --out OUT/x.pdf|"
                                    "analyse profit --out OUT/x.jpg|import customers OUT/x.csv|"
                                    "backup --out OUT/x.qdb|restore OUT/x.qdb|compact|tidy");
    for (const bool locked : {false, true}) {
        // Another program's engine holding the file for its commit: a write
        // lock over the bytes every reader must lock.
        const int fd = ::open(QFile::encodeName(set).constData(), O_RDWR);
        QVERIFY(fd >= 0);
        struct flock lock = {F_WRLCK, SEEK_SET, 0x40000000, 512, 0};
        if (locked)
            QCOMPARE(fcntl(fd, F_SETLK, &lock), 0);
        else
            QVERIFY(testsupport::writeFile(set, QByteArray(8192, 'x')));
        const QString state
                = locked ? QStringLiteral("正被其他程序使用") : QStringLiteral("文件损坏");
        std::vector<std::unique_ptr<QProcess>> runs;
        for (const QString &line : lines)
            runs.push_back(startCli(argsOf(line) << QStringLiteral("--user=zunta")));
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const Result result = finishCli(*runs.at(i));
            QVERIFY2(result.code == 3, qPrintable(lines.at(int(i)) + QLatin1Char(' ')
                                                  + QString::number(result.code) + result.err));
            QVERIFY2(result.err.contains(state), qPrintable(result.err));
        }
        const Result sets = runCli({QStringLiteral("sets")});
        QCOMPARE(sets.code, 0);
        QVERIFY2(sets.out.contains(state), qPrintable(sets.out));
        const Result check = runCli({QStringLiteral("check")});
        QCOMPARE(check.code, 3);
        if (locked)
            QVERIFY2(check.out.contains(state), qPrintable(check.out));
        ::close(fd);
        QVERIFY(testsupport::writeFile(set, healthy));
    }
    QCOMPARE(runCli({QStringLiteral("check")}).code, 0);
}

// A set that opens but whose sales pages are damaged: every command that
// writes a file from the sales ends with 3 and leaves the old file as it was.
void TestCli::damagedPagesWriteNothing()
{
    addSales();
    QVERIFY(store::ExecSQL(QStringLiteral("UPDATE Sale SET Memo='%1'").arg(QString(300, 'm'))));
    for (int i = 0; i < 7; ++i)
        QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, Memo) SELECT "
                                              "Dat, PID, CID, Memo FROM Sale")));
    store::Registry::closeAll();
    const QString set = m_folder->filePath(QStringLiteral("DATA00001.qdt"));
    QByteArray bytes = testsupport::readFile(set);
    // The sales fill the end of the file: one byte in each of a few pages.
    for (const int eighth : {5, 6, 7})
        bytes[bytes.size() / 8 * eighth + 100] ^= 1;
    QVERIFY(testsupport::writeFile(set, bytes));
    expectFailureKeeping(texts("export sales DATES --out OUT/s.csv|export sales DATES --out "
                               "OUT/s.xlsx|print sales DATES --out OUT/s.pdf|analyse sales DATES "
                               "--out OUT/a.csv"),
                         texts("OUT/s.csv|OUT/s.xlsx|OUT/s.pdf|OUT/a.csv"));
}

// No output replaces a set or the template, whether a link to the folder, a
// link to the file or ".." leads there; a link to any other file is written
// through.
void TestCli::outputsNeverReplaceSets()
{
    addSales();
    store::Registry::closeAll();
    QTemporaryDir away;
    const auto link = [&away](const QString &target, const char *name) {
        return QFile::link(target, away.filePath(QString::fromUtf8(name)));
    };
    QVERIFY(link(m_folder->path(), "books"));
    QVERIFY(link(m_folder->filePath(QStringLiteral("DATA00002.qdt")), "set.csv"));
    QVERIFY(link(m_folder->filePath(QStringLiteral("DATA00002.qdt")), "set.pdf"));
    QVERIFY(link(m_folder->filePath(QStringLiteral("DATA_NULL.DAT")), "template.xlsx"));
    QVERIFY(link(away.filePath(QStringLiteral("set.csv")), "chain.jpg"));
    QStringList lines = texts("backup --out AWAY/books/DATA00002.qdt|backup --out "
                              "OUT/nothing/../DATA00002.qdt|export sales --out AWAY/set.csv|"
                              "export sales --out AWAY/template.xlsx|print sales --out "
                              "AWAY/set.pdf|analyse profit --out AWAY/chain.jpg");
    lines.replaceInStrings(QStringLiteral("AWAY"), away.path());
    expectFailureKeeping(lines, texts("OUT/DATA00002.qdt|OUT/DATA_NULL.DAT"));

    const QString real = away.filePath(QStringLiteral("real.csv"));
    QVERIFY(testsupport::writeFile(real, "old"));
    QVERIFY(link(real, "mine.csv"));
    const QString line = QStringLiteral("export sales --user=zunta --out ") + away.path();
    QCOMPARE(runCli(argsOf(line + QStringLiteral("/mine.csv"))).code, 0);
    QVERIFY(QFileInfo(away.filePath(QStringLiteral("mine.csv"))).isSymLink());
    QVERIFY(testsupport::readFile(real).size() > 10);
}

// On a full disk every command that writes a file ends with 3 and the file
// it would have replaced stays as it was; restoring into a full or a
// read-only program folder says what is wrong.
void TestCli::fullDiskKeepsOldFiles()
{
    addSales();
    store::Registry::closeAll();
    QTemporaryDir disk;
    const QByteArray mountPoint = QFile::encodeName(disk.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("a small file system cannot be mounted here");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    const QString books = disk.filePath(QStringLiteral("books"));
    QVERIFY(QDir().mkpath(books));
    QVERIFY(QFile::copy(m_folder->filePath(QStringLiteral("DATA00001.qdt")),
                        books + QStringLiteral("/DATA00001.qdt")));
    QVERIFY(QFile::copy(m_folder->filePath(QStringLiteral("DATA00002.qdt")),
                        m_folder->filePath(QStringLiteral("b.qdb"))));
    QStringList kept;
    for (const char *name : {"x.csv", "x.xlsx", "x.pdf", "x.jpg", "x.qdb"}) {
        kept << disk.filePath(QString::fromUtf8(name));
        QVERIFY(testsupport::writeFile(kept.last(), "old"));
    }
    QFile filler(disk.filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'f')) == 4096) {
    }
    filler.close();
    QStringList lines = texts("export sales DATES --out DISK/x.csv|export sales DATES --out "
                              "DISK/x.xlsx|print sales DATES --out DISK/x.pdf|analyse profit DATES "
                              "--out DISK/x.jpg|analyse sales DATES --out DISK/new.csv|backup "
                              "--out DISK/x.qdb");
    expectFailureKeeping(lines.replaceInStrings(QStringLiteral("DISK"), disk.path()), kept);
    QVERIFY(!QFileInfo::exists(disk.filePath(QStringLiteral("new.csv"))));

    const QStringList restore = argsOf(QStringLiteral("restore OUT/b.qdb --user=zunta --folder "))
                                << books;
    Result result = runCli(restore);
    QCOMPARE(result.code, 3);
    QVERIFY2(result.err.contains(QStringLiteral("磁盘空间不足")), qPrintable(result.err));
    QVERIFY(filler.remove());
    QCOMPARE(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    result = runCli(restore);
    QCOMPARE(result.code, 3);
    QVERIFY2(result.err.contains(QStringLiteral("不允许写入")), qPrintable(result.err));
    QCOMPARE(QDir(books).entryList(QDir::Files).size(), 1);
}

void TestCli::expectFailureKeeping(const QStringList &lines, const QStringList &kept)
{
    QStringList paths;
    QVector<QByteArray> before;
    for (const QString &file : kept) {
        paths << (file.startsWith(QLatin1String("OUT/")) ? m_folder->filePath(file.mid(4)) : file);
        if (!QFileInfo::exists(paths.last()))
            QVERIFY(testsupport::writeFile(paths.last(), "old"));
        before << testsupport::readFile(paths.last());
    }
    for (const QString &line : lines) {
        const Result result = runCli(argsOf(line) << QStringLiteral("--user=zunta")
                                                  << QStringLiteral("--set=DATA00001.qdt"));
        QVERIFY2(result.code == 3, qPrintable(line + QLatin1Char(' ') + result.err));
        for (int i = 0; i < paths.size(); ++i)
            QVERIFY2(testsupport::readFile(paths.at(i)) == before.at(i), qPrintable(paths.at(i)));
    }
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
