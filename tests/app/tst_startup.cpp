#include "app/newaccountsetdialog.h"
#include "app/settings.h"
#include "app/startup.h"
#include "appfixture.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "ui/helpers.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QPointer>
#include <QProcess>

#include <signal.h>

using namespace app;

namespace {

// Creates the account sets and makes none of them current.
void createSets(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(store::CreateAccountSet(name + "公司", name) >= 0);
    store::AccountSets.clear();
    store::CurrentAccountIndex = -1;
    store::CurrentAccountFile.clear();
}

// The built program copied into the folder (empty when not built), and
// processes set to run it there.
QString copyProgram(const testsupport::TempProgramFolder &folder,
                    std::initializer_list<QProcess *> processes)
{
    const QString built
            = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../bin/korvo");
    const QString program = folder.filePath("korvo");
    if (!QFileInfo::exists(built) || !QFile::copy(built, program))
        return QString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (QProcess *process : processes) {
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(folder.path());
    }
    return program;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<testsupport::TempProgramFolder>();
        m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
        QString error;
        QVERIFY2(store::EnsureTemplate(&error), qPrintable(error));
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        ui::setShellHost(nullptr);
        m_prompts.reset();
        m_folder.reset();
    }

    // One lock per program folder; a lock left by an ended copy does not count.
    void instanceLock()
    {
        const QString folder = m_folder->path();
        std::unique_ptr<QLockFile> first = acquireInstanceLock(folder);
        QVERIFY(first);
        QVERIFY(!acquireInstanceLock(folder));
        first.reset();

        QVERIFY(testsupport::writeFile(QDir(folder).filePath(kInstanceLockName),
                                       "999999\nkorvo\n" + QSysInfo::machineHostName().toUtf8()
                                               + "\n"));
        QVERIFY(acquireInstanceLock(folder));
    }

    // The real program: a second copy in the same folder ends at once and
    // silently. SIGTERM or SIGHUP ends the first as 退出 does: settings saved,
    // scratch tables dropped, the set complete by itself (no log beside it).
    void realProgram()
    {
        QProcess korvo;
        QProcess second;
        const QString program = copyProgram(*m_folder, {&korvo, &second});
        if (program.isEmpty())
            QSKIP("the korvo program is not built");
        createSets({"甲"});
        const QString set = m_folder->filePath("DATA00001.qdt");
        const QString old = "2020-01-01 00:00:00";
        for (const int signal : {SIGTERM, SIGHUP}) {
            store::CurrentAccountFile = "DATA00001.qdt";
            store::SetVar(store::kKeyLastAccess, old);
            QVERIFY(store::ExecSQL("CREATE TABLE T_SaleAna (ID INTEGER)"));
            store::Registry::closeAll();
            korvo.start(program, {});
            QVERIFY(korvo.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_folder->filePath(kInstanceLockName)),
                                     10000);
            if (signal == SIGTERM) {
                QElapsedTimer timer;
                timer.start();
                second.start(program, {});
                QVERIFY(second.waitForFinished(10000));
                QCOMPARE(second.exitStatus(), QProcess::NormalExit);
                QCOMPARE(second.exitCode(), 0);
                QVERIFY(second.readAllStandardOutput().isEmpty());
                QVERIFY(timer.elapsed() < 5000);
            }
            QTest::qWait(1500); // the set opened, the login window up
            QCOMPARE(korvo.state(), QProcess::Running);
            ::kill(pid_t(korvo.processId()), signal);
            QVERIFY(korvo.waitForFinished(10000));
            QCOMPARE(korvo.exitStatus(), QProcess::NormalExit);
            QCOMPARE(korvo.exitCode(), 0);

            for (const char *suffix : {"-wal", "-shm", "-journal"})
                QVERIFY2(!QFileInfo::exists(set + QLatin1String(suffix)), suffix);
            store::CurrentAccountFile = "DATA00001.qdt";
            QVERIFY(store::GetVar(store::kKeyLastAccess) != old);
            QVERIFY(!store::TableExists("T_SaleAna"));
            QVERIFY(!QFileInfo::exists(m_folder->filePath(kInstanceLockName)));
        }
    }

    // No set that opens: the user is told and the new-set dialog opens.
    // Leaving it without a set ends the run; creating one opens it.
    void startupWithoutSets_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<bool>("damagedFiles");
        QTest::newRow("cancelled") << false << false;
        QTest::newRow("set created") << true << false;
        QTest::newRow("only damaged files") << false << true;
    }

    void startupWithoutSets()
    {
        QFETCH(bool, create);
        QFETCH(bool, damagedFiles);
        if (damagedFiles) {
            QVERIFY(testsupport::writeFile(m_folder->filePath("DATA00001.qdt"),
                                           QByteArray("noise").repeated(3000)));
            QVERIFY(store::Registry::create(m_folder->filePath("DATA00002.qdt")));
            store::Registry::closeAll();
        }
        MainWindow window;
        window.setQuitHandler([] {});
        ui::setShellHost(&window);
        bool quit = false;
        QPointer<NewAccountSetDialog> dialog;
        QVERIFY(!LoadAccountSets(window, [&] {
            dialog = qobject_cast<NewAccountSetDialog *>(
                    ShowFirstAccountSetDialog(&window, [&quit] { quit = true; }));
        }));
        QVERIFY(dialog);
        QCOMPARE(store::CurrentAccountIndex, -1);
        QCOMPARE(m_prompts->messages,
                 QStringList{damagedFiles ? store::kNoSetOpensMessage
                                          : "没有任何进销存套账,请建立新套账！"});
        QVERIFY(!window.isVisible());

        if (create) {
            dialog->box(0)->setText("甲公司");
            dialog->box(1)->setText("甲账");
        }
        QTest::mouseClick(dialog->button(create ? 0 : 1), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        QCoreApplication::processEvents();
        QCOMPARE(quit, !create);
        QCOMPARE(window.isVisible(), create);
        QCOMPARE(store::CurrentAccountIndex, create ? 0 : -1);
    }

    // The set accessed last opens (the first of equal times) with its window
    // state, logged out with the login on top. Exit saves the settings and drops the "T_" scratch
    // tables, and nothing else.
    void startupAndExit()
    {
        createSets({"一", "二", "三"});
        const QStringList files = store::ListAccountSetFiles();
        const QStringList times = {"2023-05-01 10:00", "2024-01-02 09:00", "2024-01-02 09:00"};
        for (int i = 0; i < 3; ++i) {
            store::CurrentAccountFile = files.at(i);
            store::SetVar(store::kKeyLastAccess, store::dateTimeText(QDateTime::fromString(
                                                         times.at(i), "yyyy-MM-dd HH:mm")));
        }
        store::CurrentAccountFile = files.at(1);
        store::SetVar("分割线_2", "3000"); // the window state of the set opened
        store::CurrentAccountFile.clear();
        store::CurrentUser = "zunta";
        store::CurrentRights = "所有权限";

        MainWindow window;
        bool quit = false;
        window.setQuitHandler([&quit] { quit = true; });
        ui::setShellHost(&window);
        bool dialogOpened = false;
        QVERIFY(LoadAccountSets(window, [&] { dialogOpened = true; }));
        QVERIFY(!dialogOpened);
        QCOMPARE(store::CurrentAccountFile, files.at(1));
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), "Korvo进销存3.00 >> 二");
        QCOMPARE(window.splitterLeft(2), 3000);
        QVERIFY(store::CurrentUser.isEmpty());
        QVERIFY(!window.SST->isEnabled());
        QVERIFY(ui::FormIsOpen("请输入用户名及密码"));

        for (const char *table : {"T_SaleAna", "t_x", "Tmp"})
            QVERIFY(store::ExecSQL(
                    QString("CREATE TABLE %1 (ID INTEGER)").arg(QLatin1String(table))));
        window.mExit->trigger();
        QVERIFY(quit);
        QVERIFY(!store::TableExists("T_SaleAna"));
        for (const char *table : {"t_x", "Tmp", "Sale"})
            QVERIFY(store::TableExists(QLatin1String(table)));
        QVERIFY(!store::GetVar("日期设定_SDTP3").isEmpty());
    }

    // The 16 window keys are saved and read back; a missing key leaves the
    // value alone.
    void settingsKeys()
    {
        createSets({"甲账"});
        store::CurrentAccountFile = store::ListAccountSetFiles().value(0);
        WindowSettings saved;
        for (int i = 0; i < 4; ++i) {
            saved.splitterLeft[i] = 3000 + 15 * i;
            saved.listDates[i] = QDate(2023, 3, 1 + i);
        }
        for (int i = 0; i < 8; ++i)
            saved.analysisDates[i] = QDate(2024, 1 + i, 10);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        SaveSettings(saved);
        SaveSettings(saved); // saving again replaces the values

        store::RecordSet rs;
        store::OpenQuery(rs, QStringLiteral("SELECT Var, Con FROM 参数 WHERE Var LIKE '分割线_%' "
                                            "OR Var LIKE '日期设定_%' ORDER BY Var"));
        QCOMPARE(rs.recordCount(), 16);
        const QDateTime access = store::parseStoredDateTime(store::GetVar(store::kKeyLastAccess));
        QVERIFY(access >= before);

        WindowSettings loaded;
        LoadSettings(loaded);
        QCOMPARE(loaded.splitterLeft, saved.splitterLeft);
        QCOMPARE(loaded.analysisDates, saved.analysisDates);
        QCOMPARE(loaded.listDates, saved.listDates);

        store::SetVar("日期设定_DTP1", "2021-06-07 13:45:00");
        store::SetVar("分割线_0", QString());
        WindowSettings partial;
        partial.splitterLeft[0] = 777;
        LoadSettings(partial);
        QCOMPARE(partial.analysisDates[1], QDate(2021, 6, 7));
        QCOMPARE(partial.splitterLeft[0], 777.0);
    }

    // An end date left at "today" is today again at the next start; one
    // chosen on purpose and every start date stay as stored.
    void endDateLeftAtToday()
    {
        createSets({"甲账"});
        store::CurrentAccountFile = store::ListAccountSetFiles().value(0);
        const QDate saveDay(2024, 3, 5);
        const QDate nextDay(2024, 3, 6);
        // The last access, the stored end date, and what it shows on 2024-03-06.
        const QList<std::tuple<QString, QDate, QDate>> cases = {
                {"2024-03-05 18:30", saveDay, nextDay},                     // left at today
                {"2024-03-05 18:30", QDate(2024, 3, 1), QDate(2024, 3, 1)}, // set back on purpose
                {"2024-02-01 09:00", QDate(2024, 2, 1), nextDay},           // saved weeks ago
                {"", saveDay, saveDay}};                                    // no last access
        for (const auto &[savedAt, stored, restored] : cases) {
            WindowSettings saved;
            saved.listDates = {stored, stored, QDate(2024, 1, 1), stored};
            saved.analysisDates.fill(stored);
            SaveSettings(saved);
            store::SetVar(store::kKeyLastAccess,
                          savedAt.isEmpty() ? QString()
                                            : store::dateTimeText(QDateTime::fromString(
                                                    savedAt, "yyyy-MM-dd HH:mm")));
            WindowSettings loaded;
            LoadSettings(loaded, nextDay);
            const std::array<QDate, 4> lists = {stored, restored, QDate(2024, 1, 1), restored};
            QCOMPARE(loaded.listDates, lists);
            for (int i = 0; i < 8; ++i)
                QCOMPARE(loaded.analysisDates[i], i % 2 ? restored : stored);
        }
    }

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
