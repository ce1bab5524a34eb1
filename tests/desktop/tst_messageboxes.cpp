// Real message boxes on a real window system: closing one, however the user
// does it, never ends the program, also before the main window exists.

#include "../app/appfixture.h"
#include "app/accountsetchooser.h"
#include "app/newaccountsetdialog.h"
#include "app/startup.h"
#include "records/logindialog.h"
#include "ui/qtprompts.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

using namespace app;
using appfixture::waitUntil;

namespace {

// How the user gets rid of a message box.
enum class CloseBy { Button, Enter, Escape, CloseBox };

constexpr int kScenarioDone = 42;

// Stands in for the user at the desk: whenever a message box shows, reads
// it and closes it the planned way.
class User : public QObject
{
public:
    explicit User(CloseBy how)
        : m_how(how)
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, &User::look);
        m_timer.start();
    }

    QStringList seen;

private:
    void look()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible() || box->property("answered").toBool())
                continue;
            box->setProperty("answered", true);
            seen << box->text();
            switch (m_how) {
            case CloseBy::Button:
                QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
                break;
            case CloseBy::Enter:
                QTest::keyClick(box, Qt::Key_Return);
                break;
            case CloseBy::Escape:
                QTest::keyClick(box, Qt::Key_Escape);
                break;
            case CloseBy::CloseBox:
                box->close();
                break;
            }
        }
    }

    CloseBy m_how;
    QTimer m_timer;
};

// Counts the requests to end the program and holds them back, so that a
// test sees a wrong end instead of ending with it.
class QuitWatch : public QObject
{
public:
    QuitWatch() { qApp->installEventFilter(this); }
    ~QuitWatch() override { qApp->removeEventFilter(this); }
    int requests = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::Quit) {
            ++requests;
            return true;
        }
        return false;
    }
};

// Runs scenario inside the application's event loop, as the program runs,
// and returns the loop's exit code: kScenarioDone when the scenario ended
// it, anything else when something else did (or the watchdog did after a
// minute).
int runInEventLoop(const std::function<void()> &scenario)
{
    QTimer::singleShot(0, qApp, [scenario] {
        scenario();
        QCoreApplication::exit(kScenarioDone);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    watchdog.start(60000);
    return QApplication::exec();
}

} // namespace

class TestMessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs the X11 platform (run under xvfb-run)");
        prepareApplication();
    }

    void init()
    {
        m_folder = std::make_unique<testsupport::TempProgramFolder>();
        store::setPrompts(&m_prompts);
        store::AccountSets.clear();
        store::CurrentAccountIndex = -1;
        QString error;
        QVERIFY2(store::EnsureTemplate(&error), qPrintable(error));
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        QCoreApplication::processEvents();
        ui::setShellHost(nullptr);
        store::setPrompts(nullptr);
        store::CurrentUser.clear();
        store::CurrentRights.clear();
        m_folder.reset();
    }

    void firstStart_data()
    {
        QTest::addColumn<CloseBy>("how");
        QTest::newRow("OK button") << CloseBy::Button;
        QTest::newRow("Enter") << CloseBy::Enter;
        QTest::newRow("Escape") << CloseBy::Escape;
        QTest::newRow("close box") << CloseBy::CloseBox;
    }

    // The first start: no account set, so a box says so and the new-set window
    // opens before any main window shows. Its refusals of an empty company and
    // an empty name are boxes too; after each the window stays and the program
    // runs on. Leaving the window without a set is what ends the first start.
    void firstStart()
    {
        QFETCH(CloseBy, how);
        QuitWatch quits;
        User user(how);
        MainWindow window;
        ui::setShellHost(&window);

        bool reachedEnd = false;
        int quitsWhileOpen = -1;
        QPointer<NewAccountSetDialog> dialog;
        const int code = runInEventLoop([&] {
            LoadAccountSets(window, [&] {
                dialog = qobject_cast<NewAccountSetDialog *>(
                        ShowFirstAccountSetDialog(&window, [] { QCoreApplication::quit(); }));
            });
            waitUntil([&] { return dialog && dialog->isVisible(); });
            if (!dialog)
                return;
            QTest::mouseClick(dialog->button(0), Qt::LeftButton); // company empty
            dialog->box(0)->setText("甲公司");
            QTest::mouseClick(dialog->button(0), Qt::LeftButton); // name empty
            QTest::qWait(200);
            quitsWhileOpen = quits.requests;
            if (!dialog || !dialog->isVisible())
                return;
            QTest::mouseClick(dialog->button(1), Qt::LeftButton); // 取消
            waitUntil([&] { return quits.requests > quitsWhileOpen; });
            reachedEnd = true;
        });

        QCOMPARE(code, kScenarioDone);
        QCOMPARE(user.seen, (QStringList{"没有任何进销存套账,请建立新套账！",
                                         "请填写套账所属企业名称！", "请填写套账名称！"}));
        QCOMPARE(quitsWhileOpen, 0);
        QVERIFY(reachedEnd);
        // Cancelling the window without a set ends the run, once.
        QCOMPARE(quits.requests, 1);
        QVERIFY(!window.isVisible());
    }

    // With the main window showing: a wrong login and a refused deletion in the
    // account-set chooser each show a box; closing it leaves the login window,
    // the chooser and the program as they were. Closing the main window ends
    // the program.
    void loginAndChooser()
    {
        QCOMPARE(store::CreateAccountSet("甲公司", "甲账"), 0);
        store::AccountSets.clear();
        store::CurrentAccountFile.clear();
        QuitWatch quits;
        User user(CloseBy::Button);
        MainWindow window;
        ui::setShellHost(&window);

        int quitsBeforeExit = -1;
        const int code = runInEventLoop([&] {
            if (!LoadAccountSets(window, {}))
                return;
            records::LoginDialog *login = nullptr;
            waitUntil([&] {
                return (login
                        = testsupport::openWindow<records::LoginDialog>("请输入用户名及密码"));
            });
            if (!login)
                return;
            login->box(0)->setText("zunta");
            login->box(1)->setText("错");
            QTest::mouseClick(login->loginButton(), Qt::LeftButton);
            QTest::qWait(200);
            if (!login->isVisible())
                return;

            AccountSetChooser *chooser = ShowAccountSetChooser(&window);
            QTest::qWait(50);
            QTest::mouseClick(chooser->button(2), Qt::LeftButton); // the set in use
            QTest::qWait(200);
            if (!chooser->isVisible() || !window.isVisible())
                return;
            quitsBeforeExit = quits.requests;
            window.mExit->trigger();
            waitUntil([&] { return quits.requests > quitsBeforeExit; });
        });

        QCOMPARE(code, kScenarioDone);
        QCOMPARE(user.seen, (QStringList{"用户名或密码错误！", "不能删除当前正在操作的套账！"}));
        QCOMPARE(quitsBeforeExit, 0);
        QCOMPARE(quits.requests, 1);
    }

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    ui::QtPrompts m_prompts;
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
