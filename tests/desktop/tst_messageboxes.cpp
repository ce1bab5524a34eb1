// Real message boxes on a real window system: closing one, however the user
// does it, never ends the program, even before the main window exists.

#include "../app/appfixture.h"
#include "app/newaccountsetdialog.h"
#include "app/startup.h"
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

// Whenever a message box shows, reads it and closes it the planned way.
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

// Counts the requests to end the program and holds them back.
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

// Runs scenario inside the event loop; kScenarioDone when it ended the loop,
// anything else when something else (or the watchdog) did.
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

    // The first start: boxes before any main window, none ending the program;
    // leaving the new-set window without a set does.
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
        QCOMPARE(quits.requests, 1);
        QVERIFY(!window.isVisible());
    }

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    ui::QtPrompts m_prompts;
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
