#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/tabcontrol.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QDateEdit>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace app;

namespace {

// Records which set the start-up opens.
class RecordingHost : public ui::ShellHost
{
public:
    QList<QPair<int, bool>> selected;

    void SelectAccountSet(int index, bool relayout) override
    {
        selected.append({index, relayout});
        store::MakeAccountSetCurrent(index);
    }
    void UpdateMainCaption() override {}
    void ApplyRights() override {}
    void SaveSettings() override {}
    void ReloadCurrentList() override {}
    int currentRecordTab() const override { return 0; }
    void ClearRecordGrids() override {}
    void ClearAnalysisGrids() override {}
    void ShowCurrentRecordTab() override {}
    void ShowCurrentAnalysisTab() override {}
};

QString lastAccessText(const QString &text)
{
    return store::dateTimeText(QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm")));
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void instanceLock();
    void secondCopyEndsSilently();
    void startupOpensLastUsedSet();
    void startupWithoutSets();
    void startupShowsLoggedOutWindow();
    void exitDropsOnlyScratchTables();
    void settingsKeys();
    void settingsRestoredPerSet();

private:
    // Creates n account sets and makes none of them current.
    void createSets(const QStringList &names);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

void TestStartup::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    store::AccountSets.clear();
    QString error;
    QVERIFY2(store::EnsureTemplate(&error), qPrintable(error));
}

void TestStartup::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    ui::setShellHost(nullptr);
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    store::AccountSets.clear();
    m_prompts.reset();
    m_folder.reset();
}

void TestStartup::createSets(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(store::CreateAccountSet(name + QStringLiteral("公司"), name) >= 0);
    store::AccountSets.clear();
    store::CurrentAccountIndex = -1;
    store::CurrentAccountFile.clear();
}

// One lock per program folder; a lock left by a copy that has ended does
// not keep the program from starting.
void TestStartup::instanceLock()
{
    const QString folder = m_folder->path();
    std::unique_ptr<QLockFile> first = acquireInstanceLock(folder);
    QVERIFY(first);
    QVERIFY(!acquireInstanceLock(folder));
    first.reset();
    QVERIFY(acquireInstanceLock(folder));

    // A lock file whose process is gone is taken over.
    QFile stale(QDir(folder).filePath(kInstanceLockName));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("999999\nkorvo\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    QVERIFY(acquireInstanceLock(folder));

    QTemporaryDir other;
    std::unique_ptr<QLockFile> here = acquireInstanceLock(folder);
    QVERIFY(here);
    QVERIFY(acquireInstanceLock(other.path()));
}

// The real program started twice in one folder: the second ends at once,
// silently, while the first goes on.
void TestStartup::secondCopyEndsSilently()
{
    const QString built = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../bin/korvo"));
    if (!QFileInfo::exists(built))
        QSKIP("the korvo program is not built");
    const QString program = m_folder->filePath(QStringLiteral("korvo"));
    QVERIFY(QFile::copy(built, program));
    QVERIFY(store::CreateAccountSet(QStringLiteral("公司"), QStringLiteral("账")) >= 0);
    store::Registry::closeAll();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(m_folder->path());
    first.start(program, {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_folder->filePath(kInstanceLockName)), 10000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(m_folder->path());
    QElapsedTimer timer;
    timer.start();
    second.start(program, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardOutput().isEmpty());
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished();
}

// With last accesses 2023-05-01 10:00, 2024-01-02 09:00 and 2024-01-02
// 09:00 the second set opens: the first of equal times wins.
void TestStartup::startupOpensLastUsedSet()
{
    createSets({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
    const QStringList files = store::ListAccountSetFiles();
    QCOMPARE(files.size(), 3);
    const QStringList times = {"2023-05-01 10:00", "2024-01-02 09:00", "2024-01-02 09:00"};
    for (int i = 0; i < 3; ++i) {
        store::CurrentAccountFile = files.at(i);
        store::SetVar(store::kKeyLastAccess, lastAccessText(times.at(i)));
    }
    store::CurrentAccountFile.clear();

    RecordingHost host;
    bool dialogOpened = false;
    QVERIFY(LoadAccountSets(host, [&] { dialogOpened = true; }));
    QCOMPARE(host.selected, (QList<QPair<int, bool>>{{1, false}}));
    QVERIFY(!dialogOpened);
    QCOMPARE(store::CurrentAccountFile, files.at(1));
    QCOMPARE(store::AccountSets.at(1).Name, QStringLiteral("二"));
    QVERIFY(!ui::progressWindow());
}

// No set at all: the user is told and the new-set dialog opens instead.
void TestStartup::startupWithoutSets()
{
    RecordingHost host;
    bool dialogOpened = false;
    QVERIFY(!LoadAccountSets(host, [&] { dialogOpened = true; }));
    QVERIFY(dialogOpened);
    QVERIFY(host.selected.isEmpty());
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("没有任何进销存套账,请建立新套账！")});
    QCOMPARE(store::CurrentAccountIndex, -1);
}

// The first start shows the window logged out on the last used set, with
// the login dialog on top.
void TestStartup::startupShowsLoggedOutWindow()
{
    createSets({QStringLiteral("甲账")});
    store::CurrentUser = QStringLiteral("zunta");
    store::CurrentRights = QStringLiteral("所有权限");
    MainWindow window;
    window.setQuitHandler([] {});
    ui::setShellHost(&window);
    QVERIFY(LoadAccountSets(window, {}));
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Korvo进销存3.00 >> 甲账"));
    QVERIFY(store::CurrentUser.isEmpty());
    QVERIFY(!window.SST->isEnabled());
    for (QPushButton *button : std::as_const(window.Com))
        QVERIFY(!button->isEnabled());
    for (grid::Grid *grid : std::as_const(window.MSF))
        QCOMPARE(grid->dataRows(), 0);
    QVERIFY(ui::FormIsOpen(QStringLiteral("请输入用户名及密码")));
}

// Exit saves the settings and drops the scratch tables whose names start
// with "T_", and nothing else.
void TestStartup::exitDropsOnlyScratchTables()
{
    createSets({QStringLiteral("甲账")});
    MainWindow window;
    bool quit = false;
    window.setQuitHandler([&quit] { quit = true; });
    ui::setShellHost(&window);
    QVERIFY(LoadAccountSets(window, {}));
    for (const char *table : {"T_SaleAna", "T_AnaCus", "t_x", "Tmp"})
        QVERIFY(store::ExecSQL(
                QStringLiteral("CREATE TABLE %1 (ID INTEGER)").arg(QLatin1String(table))));
    window.mExit->trigger();
    QVERIFY(quit);
    QVERIFY(!store::TableExists(QStringLiteral("T_SaleAna")));
    QVERIFY(!store::TableExists(QStringLiteral("T_AnaCus")));
    QVERIFY(store::TableExists(QStringLiteral("t_x")));
    QVERIFY(store::TableExists(QStringLiteral("Tmp")));
    QVERIFY(store::TableExists(QStringLiteral("Sale")));
    QVERIFY(!store::GetVar(QStringLiteral("日期设定_SDTP3")).isEmpty());
}

// SaveSettings writes 最近访问 and the 16 window keys; LoadSettings reads
// them back, takes only the date of a date with a time, and leaves a value
// alone when its key is missing.
void TestStartup::settingsKeys()
{
    createSets({QStringLiteral("甲账")});
    store::CurrentAccountFile = store::ListAccountSetFiles().value(0);
    WindowSettings saved;
    for (int i = 0; i < 4; ++i)
        saved.splitterLeft[i] = 3000 + 15 * i;
    for (int i = 0; i < 8; ++i)
        saved.analysisDates[i] = QDate(2024, 1 + i, 10);
    for (int i = 0; i < 4; ++i)
        saved.listDates[i] = QDate(2023, 3, 1 + i);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    SaveSettings(saved);

    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Var, Con FROM 参数 WHERE Var LIKE '分割线_%' "
                                        "OR Var LIKE '日期设定_%' ORDER BY Var"));
    QCOMPARE(rs.recordCount(), 16);
    QCOMPARE(store::GetVar(QStringLiteral("分割线_2")), QStringLiteral("3030"));
    QCOMPARE(store::GetVar(QStringLiteral("日期设定_DTP7")), store::dateText(QDate(2024, 8, 10)));
    QCOMPARE(store::GetVar(QStringLiteral("日期设定_SDTP0")), store::dateText(QDate(2023, 3, 1)));
    const QDateTime access = store::parseStoredDateTime(store::GetVar(store::kKeyLastAccess));
    QVERIFY(access >= before);
    QVERIFY(access <= QDateTime::currentDateTime());

    WindowSettings loaded;
    LoadSettings(loaded);
    QCOMPARE(loaded.splitterLeft, saved.splitterLeft);
    QCOMPARE(loaded.analysisDates, saved.analysisDates);
    QCOMPARE(loaded.listDates, saved.listDates);

    // Saving again replaces the values, one row per key.
    saved.listDates[0] = QDate(2022, 2, 2);
    SaveSettings(saved);
    store::OpenQuery(rs, QStringLiteral("SELECT * FROM 参数 WHERE Var='日期设定_SDTP0'"));
    QCOMPARE(rs.recordCount(), 1);

    store::SetVar(QStringLiteral("日期设定_DTP1"), QStringLiteral("2021-06-07 13:45:00"));
    store::SetVar(QStringLiteral("分割线_0"), QString());
    WindowSettings partial;
    partial.splitterLeft[0] = 777;
    LoadSettings(partial);
    QCOMPARE(partial.analysisDates[1], QDate(2021, 6, 7));
    QCOMPARE(partial.splitterLeft[0], 777.0);
}

// The window state belongs to its account set: another set does not see
// it, and opening the first set again restores it.
void TestStartup::settingsRestoredPerSet()
{
    createSets({QStringLiteral("甲账"), QStringLiteral("乙账")});
    MainWindow window;
    window.setQuitHandler([] {});
    ui::setShellHost(&window);
    store::BuildAccountSetList();
    window.SelectAccountSet(0, false);
    window.resize(ui::pixels(12000), ui::pixels(8000));
    window.setSplitterLeft(2, 3000);
    window.SDTP[1]->setDate(QDate(2020, 4, 5));
    window.DTP[6]->setDate(QDate(2019, 9, 9));
    window.SaveSettings();

    window.SelectAccountSet(1, true);
    QVERIFY(store::GetVar(QStringLiteral("分割线_2")).isEmpty());
    QVERIFY(store::GetVar(QStringLiteral("日期设定_SDTP1")).isEmpty());
    window.SDTP[1]->setDate(QDate(2021, 1, 1));
    window.setSplitterLeft(2, 5000);

    MainWindow fresh;
    fresh.setQuitHandler([] {});
    fresh.resize(ui::pixels(12000), ui::pixels(8000));
    ui::setShellHost(&fresh);
    fresh.SelectAccountSet(0, true);
    QCOMPARE(fresh.SDTP[1]->date(), QDate(2020, 4, 5));
    QCOMPARE(fresh.DTP[6]->date(), QDate(2019, 9, 9));
    QCOMPARE(fresh.splitterLeft(2), 3000);
    QCOMPARE(fresh.layoutTwips().msf1[2].width(), 3000);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
