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

using namespace Qt::StringLiterals;

#include <memory>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Several texts written as one, split at the bars.
QStringList texts(const char *joined)
{
    return QString::fromUtf8(joined).split(u'|');
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fx = std::make_unique<testsupport::FolderWithPrompts>();
        QVERIFY(store::CreateAccountSet(u"示例商行"_s, u"主账"_s) >= 0);
        QVERIFY(store::CreateAccountSet(u"分店"_s, u"分店账"_s) >= 0);
        store::CurrentAccountFile = store::accountSetFileName(1);
        // The first set is used last, so it is the tool's default.
        QVERIFY(store::SetVar(store::kKeyLastAccess,
                              store::dateTimeText(QDateTime::currentDateTime().addDays(1))));
    }

    void cleanup()
    {
        store::Registry::closeAll();
        m_fx.reset();
    }

    // Bad command lines end with 1, bad input with its own code, before any file is touched.
    void badCommandLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        // Each row: the line, then the exit code and the message, after a bar.
        for (const char *row :
             {"|1 缺少命令", "frobnicate|1 未知命令", "sets --nope|1 未知选项",
              "sets --out x|1 不接受选项", "backup --out|1 缺少值", "sets extra|1 参数个数不对",
              "tidy --set 没有的账|1 没有找到套账",
              "export sales --from=2024-02-30 --out OUT/x.csv|1 日期无效",
              "export orders --out OUT/x.csv|1 未知列表", "export sales --out OUT/x.txt|1 .csv",
              "import customers OUT/in.qdb --rows=2-30002 --map=客户名称=A|1 3万条",
              "import customers OUT/in.qdb --rows=0-5 --map=客户名称=A|1 行范围",
              "import customers OUT/in.qdb --map=鞋码=A|1 鞋码",
              "import customers nothere.csv|3 文件不存在", "restore OUT/in.qdb|3 文件类型错误",
              "analyse profit --by=day --out OUT/x.csv|1 不接受",
              "receive --customer=无此客户 --amount=5 --account=现金|1 没有找到客户",
              "pay --vendor=钢厂 --amount=五元 --account=现金|1 金额无效",
              "analyse stock --product=无此产品 --out OUT/x.csv|1 没有找到产品"}) {
            const QStringList parts = QString::fromUtf8(row).split(u'|');
            QTest::newRow(row) << parts.at(0) << parts.at(1).left(1).toInt() << parts.at(1).mid(2);
        }
    }

    void badCommandLines()
    {
        QFETCH(QString, line);
        QFETCH(int, code);
        QFETCH(QString, message);
        QVERIFY(testsupport::writeFile(m_fx->folder.filePath(u"in.qdb"_s), "name\nA\n"));
        const Result result = runCli(QStringList{u"--user=zunta"_s} + argsOf(line));
        QCOMPARE(result.code, code);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(!QFile::exists(m_fx->folder.filePath(u"x.csv"_s)));
    }

    // sets lists every file without a login; a wrong password or no user ends with 2.
    void listsSetsAndRefusesLogins()
    {
        QVERIFY(testsupport::writeFile(m_fx->folder.filePath(u"DATA00007.qdt"_s),
                                       QByteArray(4096, 'x')));
        const Result result = runCli({u"sets"_s}, QByteArray());
        QVERIFY2(result.code == 0 && result.out.contains(u"示例商行"_s)
                         && result.out.contains(u"DATA00002.qdt  分店账"_s),
                 qPrintable(result.out));
        const QJsonArray sets = setsAsJson();
        QCOMPARE(sets.size(), 3);
        QCOMPARE(sets.at(1).toObject().value(u"name"_s).toString(), u"分店账"_s);
        QVERIFY(sets.at(1).toObject().value(u"opens"_s).toBool());
        QVERIFY(!sets.at(2).toObject().value(u"opens"_s).toBool());

        const QString backup = m_fx->folder.filePath(u"b.qdb"_s);
        const QStringList args = {u"backup"_s, u"--out"_s, backup};
        const QList<QPair<QStringList, QByteArray>> cases
                = {{args + QStringList{u"--user"_s, u"zunta"_s}, "nope"}, {args, "zunta"}};
        for (const auto &[line, password] : cases) {
            const Result refused = runCli(line, password);
            QCOMPARE(refused.code, 2);
            QVERIFY(!QFile::exists(backup) && !refused.err.contains(QString::fromUtf8(password)));
        }
    }

    // Every command runs once on a small set and writes what it says.
    void everyCommandOnASmallSet()
    {
        addSales();
        addStaff(u"O'Hara"_s, u"pw"_s, QString());
        QVERIFY(testsupport::writeFile(m_fx->folder.filePath(u"in.csv"_s),
                                       "联系人,名称\n王五,新客户\n"));
        for (const QString &line :
             texts("export sales DATES --out OUT/s.csv|export customers --out OUT/c.xlsx|"
                   "import customers OUT/in.csv --map=客户名称=B,联系人=A|"
                   "print sales DATES --out OUT/s.pdf|"
                   "analyse sales --by=month DATES --out OUT/a.csv|"
                   "analyse profit DATES --out OUT/p.jpg|"
                   "analyse customers --measure=average DATES --out OUT/c.pdf|"
                   "analyse stock --product=钢管 DATES --out OUT/st.xlsx|"
                   "analyse receivables --to=2026-12-31 --out OUT/r.csv|"
                   "receive --customer=O'Neil --amount=10 --account=现金 --date=2026-04-01|"
                   "backup --out OUT/b.qdb|restore OUT/b.qdb|tidy|compact|"
                   "analyse sales --salesman=O'Hara DATES --out OUT/o.csv")) {
            const Result result = asZunta(line);
            QVERIFY2(result.code == 0, qPrintable(line + u": "_s + result.err));
        }
        QCOMPARE(testsupport::countRows(u"Cus WHERE Name='新客户' AND CName='王五'"_s), 1);
        // The month analysis holds the March total; O'Neil owed 10.00 and paid it.
        QVERIFY(fileText(u"a.csv"_s).contains(u"79.00"_s));
        QVERIFY(fileText(u"r.csv"_s).contains(u"O'Neil"_s));
        QCOMPARE(asZunta(u"receive --customer=O'Neil --amount=1 --account=现金"_s).err,
                 u"该客户没有未结清的销售记录，没有收款。\n"_s);
        QImageReader picture(m_fx->folder.filePath(u"p.jpg"_s));
        QVERIFY(picture.format() == "jpeg" && picture.size().width() > 100);
        for (const QString &pdf : {u"s.pdf"_s, u"c.pdf"_s})
            QVERIFY(fileText(pdf).startsWith(u"%PDF-"_s));
        QVERIFY(!fileText(u"c.xlsx"_s).isEmpty());
        // The restored backup is a third set with the first one's name.
        const QJsonArray list = setsAsJson();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(2).toObject().value(u"name"_s).toString(), u"主账"_s);
        // Two sets of one name are then told apart by their file names only.
        const Result twice = runCli(argsOf(u"compact --set=主账 --user=zunta"_s));
        QVERIFY2(twice.code == 1 && twice.err.contains(u"DATAnnnnn"_s), qPrintable(twice.err));
        QCOMPARE(runCli({u"check"_s}, QByteArray()).code, 0);
    }

    // Without --from and --to a command covers the dates its window tab was left at.
    void storedDatesAreTheDefault()
    {
        addSales();
        const QList<QPair<const char *, QDate>> stored
                = {{"SDTP0", QDate(2026, 3, 1)}, {"SDTP1", QDate(2026, 3, 1)},
                   {"SDTP2", QDate(2026, 1, 1)}, {"SDTP3", QDate(2026, 12, 31)},
                   {"DTP0", QDate(2026, 3, 1)},  {"DTP1", QDate(2026, 3, 31)}};
        for (const auto &[key, day] : stored)
            QVERIFY(store::SetVar(u"日期设定_"_s + QLatin1String(key), store::dateText(day)));
        for (const char *line :
             {"export sales --out OUT/s.csv", "analyse sales --by=month --out OUT/a.csv"})
            QCOMPARE(asZunta(QString::fromUtf8(line)).code, 0);
        const QString sales = fileText(u"s.csv"_s);
        QVERIFY2(sales.contains("2026.03.01") && !sales.contains("2026.03.02"), qPrintable(sales));
        QVERIFY(fileText(u"a.csv"_s).contains("79.00"));
    }

    // A customer's delivery note as PDF; mixed customers, gone records, bad numbers write nothing.
    void deliveryNotes()
    {
        addSales();
        QVERIFY(store::SetVar(u"产品定义_P0"_s, u"规格"_s));
        QVERIFY(store::SetVar(store::kKeyPhone, u"0571-1234"_s));
        for (const char *sql :
             {"UPDATE Pro SET P0='DN20', Unit='根' WHERE ID=1",
              "UPDATE Cus SET CName='王五', Phone='0571-8888', Address='杭州市文一路1号'",
              "INSERT INTO Cus (Name) VALUES ('李四')",
              "INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1) VALUES "
              "('2026-03-03 00:00:00', 1, 2, 1, 2, 10, 1, 10, 0)"})
            testsupport::exec(QString::fromUtf8(sql));
        const QString pdf = m_fx->folder.filePath(u"note.pdf"_s);
        const auto note = [this](const char *line) {
            return asZunta(QString::fromUtf8(line) + u" --out OUT/note.pdf"_s);
        };
        const Result done = note("print sale-note --ids 3,1,2");
        QVERIFY2(done.code == 0, qPrintable(done.err));
        QProcess text;
        text.start(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, pdf, u"-"_s});
        QVERIFY(text.waitForFinished(30000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString &expected :
             texts("示例商行|销售单|XS20260315-0000001|O'Neil|王五|0571-8888|杭州市文一路1号|"
                   "规格|DN20|钢管|角铁\"|1.5|79.00|柒拾玖元整|已收：69.00|欠款：10.00|zunta|"
                   "收货|电话：0571-1234|第1页 共1页"))
            QVERIFY2(page.contains(expected), qPrintable(expected));
        QVERIFY(page.indexOf(u"30.00"_s) < page.indexOf(u"19.00"_s));
        QVERIFY(QFile::remove(pdf));

        const QList<std::tuple<const char *, int, const char *>> refusals
                = {{"print sale-note --ids 1,4", 3, "2 个不同的客户"},
                   {"print purchase-note --ids 1", 3, "供应商已不存在"},
                   {"print sale-note --ids 1,99", 3, "有 1 条已不存在"},
                   {"print sale-note --ids 1,x", 1, "--ids"},
                   {"print sales --ids 1", 1, "--ids"}};
        for (const auto &[line, code, message] : refusals) {
            const Result result = note(line);
            QVERIFY2(result.code == code && result.err.contains(QString::fromUtf8(message)),
                     qPrintable(QString::fromUtf8(line) + u": "_s + result.err));
            QVERIFY(!QFile::exists(pdf));
        }
    }

    // Exactly the rights the window needs for a command suffice; one fewer ends with 2, unchanged.
    void rightsOfEveryCommand_data()
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

    void rightsOfEveryCommand()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, needed);
        addSales();
        // A sale whose customer is gone, for tidy to find.
        QVERIFY(store::ExecSQL(u"INSERT INTO Sale (CID, PID) VALUES (99, 1)"_s));
        QVERIFY(testsupport::writeFile(m_fx->folder.filePath(u"in.csv"_s), "name\n新客户\n"));
        store::Registry::closeAll();
        QVERIFY(QFile::copy(m_fx->folder.filePath(u"DATA00002.qdt"_s),
                            m_fx->folder.filePath(u"in.qdb"_s)));
        // What a command could change: rows, files beside the sets, the set's bytes.
        const auto state = [this] {
            QStringList parts = {QString::number(testsupport::countRows(u"Sale"_s)),
                                 QString::number(testsupport::countRows(u"Cus"_s))};
            store::Registry::closeAll();
            parts << QDir(m_fx->folder.path()).entryList(QDir::Files)
                  << QString::number(qHash(
                             testsupport::readFile(store::programFilePath(u"DATA00001.qdt"_s))));
            return parts.join(u' ');
        };
        const QStringList args = argsOf(line) << u"--set=DATA00001.qdt"_s;
        // Member i lacks token i and the last holds all; an empty token means "any right".
        for (int i = 0; i <= needed.size(); ++i) {
            const bool refused = i < needed.size();
            QStringList rights = needed;
            if (refused)
                rights.removeAt(i);
            rights.removeAll(QString());
            const QString text = refused && needed.at(i).isEmpty() ? QString()
                                 : rights.isEmpty()                ? u"供应商数据添加"_s
                                                                   : rights.join(u';');
            addStaff(u"m%1"_s.arg(i), u"pw"_s, text);
            const QString before = state();
            const Result result = runCli(args + QStringList{u"--user=m%1"_s.arg(i)}, "pw");
            QVERIFY2(result.code == (refused ? 2 : 0), qPrintable(text + u' ' + result.err));
            QCOMPARE(state() == before, refused);
        }
    }

    // A damaged or held set ends every command with 3 saying which; sets and check tell them apart.
    void unusableDefaultSet()
    {
        store::Registry::closeAll();
        QVERIFY(QFile::remove(m_fx->folder.filePath(u"DATA00002.qdt"_s)));
        const QString set = m_fx->folder.filePath(u"DATA00001.qdt"_s);
        const QByteArray healthy = testsupport::readFile(set);
        const QStringList lines = texts("export sales --out OUT/x.csv|print sales --out OUT/x.pdf|"
                                        "analyse profit --out OUT/x.jpg|import customers OUT/x.csv|"
                                        "backup --out OUT/x.qdb|restore OUT/x.qdb|compact|tidy");
        for (const bool locked : {false, true}) {
            // As another program commits: a write lock on the bytes readers lock.
            const int fd = ::open(QFile::encodeName(set).constData(), O_RDWR);
            QVERIFY(fd >= 0);
            struct flock lock = {F_WRLCK, SEEK_SET, 0x40000000, 512, 0};
            if (locked)
                QCOMPARE(fcntl(fd, F_SETLK, &lock), 0);
            else
                QVERIFY(testsupport::writeFile(set, QByteArray(8192, 'x')));
            const QString state = locked ? u"正被其他程序使用"_s : u"文件损坏"_s;
            std::vector<std::unique_ptr<QProcess>> runs;
            for (const QString &line : lines)
                runs.push_back(startCli(argsOf(line) << u"--user=zunta"_s));
            for (std::size_t i = 0; i < runs.size(); ++i) {
                const Result result = finishCli(*runs.at(i));
                QVERIFY2(result.code == 3, qPrintable(lines.at(int(i)) + u' '
                                                      + QString::number(result.code) + result.err));
                QVERIFY2(result.err.contains(state), qPrintable(result.err));
            }
            const Result sets = runCli({u"sets"_s});
            QVERIFY2(sets.code == 0 && sets.out.contains(state), qPrintable(sets.out));
            const Result check = runCli({u"check"_s});
            QCOMPARE(check.code, 3);
            if (locked)
                QVERIFY2(check.out.contains(state), qPrintable(check.out));
            ::close(fd);
            QVERIFY(testsupport::writeFile(set, healthy));
        }
        QCOMPARE(runCli({u"check"_s}).code, 0);
    }

    // Commands writing from damaged sales pages end with 3 and keep the old files.
    void damagedPagesWriteNothing()
    {
        addSales();
        QVERIFY(store::ExecSQL(u"UPDATE Sale SET Memo='%1'"_s.arg(QString(300, 'm'))));
        for (int i = 0; i < 7; ++i)
            QVERIFY(store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, Memo) SELECT "
                                                  "Dat, PID, CID, Memo FROM Sale")));
        store::Registry::closeAll();
        const QString set = m_fx->folder.filePath(u"DATA00001.qdt"_s);
        QByteArray bytes = testsupport::readFile(set);
        // The sales fill the end of the file: one byte in each of a few pages.
        for (const int eighth : {5, 6, 7})
            bytes[bytes.size() / 8 * eighth + 100] ^= 1;
        QVERIFY(testsupport::writeFile(set, bytes));
        expectFailureKeeping(
                texts("export sales DATES --out OUT/s.csv|export sales DATES --out "
                      "OUT/s.xlsx|print sales DATES --out OUT/s.pdf|analyse sales --by salesman "
                      "DATES --out OUT/a.csv"),
                texts("OUT/s.csv|OUT/s.xlsx|OUT/s.pdf|OUT/a.csv"));
    }

    // No output replaces a set or the template through a link or ".."; other links are written.
    void outputsNeverReplaceSets()
    {
        addSales();
        store::Registry::closeAll();
        QTemporaryDir away;
        const auto link = [&away](const QString &target, const char *name) {
            return QFile::link(target, away.filePath(QString::fromUtf8(name)));
        };
        QVERIFY(link(m_fx->folder.path(), "books"));
        QVERIFY(link(m_fx->folder.filePath(u"DATA00002.qdt"_s), "set.csv"));
        QVERIFY(link(m_fx->folder.filePath(u"DATA00002.qdt"_s), "set.pdf"));
        QVERIFY(link(m_fx->folder.filePath(u"DATA_NULL.DAT"_s), "template.xlsx"));
        QVERIFY(link(away.filePath(u"set.csv"_s), "chain.jpg"));
        QStringList lines = texts("backup --out AWAY/books/DATA00002.qdt|backup --out "
                                  "OUT/nothing/../DATA00002.qdt|export sales --out AWAY/set.csv|"
                                  "export sales --out AWAY/template.xlsx|print sales --out "
                                  "AWAY/set.pdf|analyse profit --out AWAY/chain.jpg");
        lines.replaceInStrings(u"AWAY"_s, away.path());
        expectFailureKeeping(lines, texts("OUT/DATA00002.qdt|OUT/DATA_NULL.DAT"));

        const QString real = away.filePath(u"real.csv"_s);
        QVERIFY(testsupport::writeFile(real, "old"));
        QVERIFY(link(real, "mine.csv"));
        const QString line = u"export sales --user=zunta --out "_s + away.path();
        QCOMPARE(runCli(argsOf(line + u"/mine.csv"_s)).code, 0);
        QVERIFY(QFileInfo(away.filePath(u"mine.csv"_s)).isSymLink());
        QVERIFY(testsupport::readFile(real).size() > 10);
    }

    // On a full disk every writing command ends with 3 and keeps the old file.
    void fullDiskKeepsOldFiles()
    {
        addSales();
        store::Registry::closeAll();
        QTemporaryDir disk;
        const QByteArray mountPoint = QFile::encodeName(disk.path());
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("a small file system cannot be mounted here");
        const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
        const QString books = disk.filePath(u"books"_s);
        QVERIFY(QDir().mkpath(books));
        QVERIFY(QFile::copy(m_fx->folder.filePath(u"DATA00001.qdt"_s),
                            books + u"/DATA00001.qdt"_s));
        QVERIFY(QFile::copy(m_fx->folder.filePath(u"DATA00002.qdt"_s),
                            m_fx->folder.filePath(u"b.qdb"_s)));
        QStringList kept;
        for (const char *name : {"x.csv", "x.xlsx", "x.pdf", "x.jpg", "x.qdb"}) {
            kept << disk.filePath(QString::fromUtf8(name));
            QVERIFY(testsupport::writeFile(kept.last(), "old"));
        }
        QFile filler(disk.filePath(u"filler"_s));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) == 4096) {
        }
        filler.close();
        QStringList lines
                = texts("export sales DATES --out DISK/x.csv|export sales DATES --out "
                        "DISK/x.xlsx|print sales DATES --out DISK/x.pdf|analyse profit DATES "
                        "--out DISK/x.jpg|analyse sales DATES --out DISK/new.csv|backup "
                        "--out DISK/x.qdb");
        expectFailureKeeping(lines.replaceInStrings(u"DISK"_s, disk.path()), kept);
        QVERIFY(!QFileInfo::exists(disk.filePath(u"new.csv"_s)));

        const QStringList restore = argsOf(u"restore OUT/b.qdb --user=zunta --folder "_s) << books;
        Result result = runCli(restore);
        QVERIFY2(result.code == 3 && result.err.contains(u"磁盘空间不足"_s),
                 qPrintable(result.err));
        QVERIFY(filler.remove());
        QCOMPARE(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                 0);
        result = runCli(restore);
        QVERIFY2(result.code == 3 && result.err.contains(u"不允许写入"_s), qPrintable(result.err));
        QCOMPARE(QDir(books).entryList(QDir::Files).size(), 1);
    }

private:
    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };

    std::unique_ptr<QProcess> startCli(const QStringList &args,
                                       const QByteArray &password = "zunta")
    {
        // The test's sets are let go first, as the program closes before a script runs.
        store::Registry::closeAll();
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"DISPLAY"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, m_fx->folder.path());
        if (password.isNull())
            env.remove(u"KORVO_PASSWORD"_s);
        else
            env.insert(u"KORVO_PASSWORD"_s, QString::fromUtf8(password));
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(KORVO_CLI_PATH),
                       QStringList{u"--folder"_s, m_fx->folder.path()} + args);
        process->closeWriteChannel();
        return process;
    }

    static Result finishCli(QProcess &process)
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

    Result runCli(const QStringList &args, const QByteArray &password = "zunta")
    {
        return finishCli(*startCli(args, password));
    }

    // A command line split at the spaces; DATES is all of 2026, OUT/ the program folder.
    QStringList argsOf(const QString &line) const
    {
        QStringList args;
        for (const QString &word : line.split(u' ', Qt::SkipEmptyParts)) {
            if (word == u"DATES"_s)
                args << u"--from=2026-01-01"_s << u"--to=2026-12-31"_s;
            else if (word.startsWith(u"OUT/"_s))
                args << m_fx->folder.filePath(word.mid(4));
            else
                args << word;
        }
        return args;
    }

    // A command line run as zunta on the first set, named rather than left to the clock.
    Result asZunta(const QString &line)
    {
        return runCli(argsOf(line) << u"--user=zunta"_s << u"--set=DATA00001.qdt"_s);
    }
    QString fileText(const QString &name) const
    {
        return QString::fromUtf8(testsupport::readFile(m_fx->folder.filePath(name)));
    }
    // The sets as the JSON of the sets command.
    QJsonArray setsAsJson()
    {
        const Result sets = runCli({u"sets"_s, u"--json"_s}, QByteArray());
        return sets.code == 0 ? QJsonDocument::fromJson(sets.out.toUtf8()).array() : QJsonArray();
    }
    void addStaff(const QString &name, const QString &password, const QString &rights)
    {
        QVERIFY(store::ExecSQL(u"INSERT INTO Staff (Name, PSD, Right) VALUES (%1, %2, %3)"_s.arg(
                store::sqlText(name), store::sqlText(password), store::sqlText(rights))));
    }

    // Three sales in March 2026 with their masters, in the current set.
    void addSales()
    {
        for (const char *sql :
             {"INSERT INTO Pro (Name, Price) VALUES ('钢管', 10), ('角铁\"', 20)",
              "INSERT INTO Cus (Name) VALUES ('O''Neil')", "INSERT INTO Acc (Name) VALUES ('现金')",
              "INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Pay, Pay1) VALUES "
              "('2026-02-01 00:00:00', 1, 0, 1, 2, 4, 10, 40, 40)",
              "INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) VALUES "
              "('2026-03-01 09:00:00', 1, 1, 1, 2, 10, 3, 30, 30, '第一, \"单\"'), "
              "('2026-03-02 10:00:00', 2, 1, 1, 2, 20, 1.5, 30, 20, ''), "
              "('2026-03-15 11:30:00', 1, 1, 1, 2, 9.5, 2, 19, 19, 'x')"})
            testsupport::exec(QString::fromUtf8(sql));
    }

    // Runs each line as zunta on the first set and expects 3 with every kept file unchanged.
    void expectFailureKeeping(const QStringList &lines, const QStringList &kept)
    {
        QStringList paths;
        QVector<QByteArray> before;
        for (const QString &file : kept) {
            paths << (file.startsWith(u"OUT/"_s) ? m_fx->folder.filePath(file.mid(4)) : file);
            if (!QFileInfo::exists(paths.last()))
                QVERIFY(testsupport::writeFile(paths.last(), "old"));
            before << testsupport::readFile(paths.last());
        }
        for (const QString &line : lines) {
            const Result result = asZunta(line);
            QVERIFY2(result.code == 3, qPrintable(line + u' ' + result.err));
            for (int i = 0; i < paths.size(); ++i)
                QVERIFY2(testsupport::readFile(paths.at(i)) == before.at(i),
                         qPrintable(paths.at(i)));
        }
    }

    std::unique_ptr<testsupport::FolderWithPrompts> m_fx;
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
