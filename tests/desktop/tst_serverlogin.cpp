// A server set linked through the real window, its boxes and its login.

#include "../app/appfixture.h"
#include "app/serverdialogs.h"
#include "app/startup.h"
#include "pgcluster.h"
#include "records/logindialog.h"
#include "store/serverlinks.h"
#include "ui/qtprompts.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

using namespace app;
using appfixture::waitUntil;

namespace {

template<typename T>
T *visibleWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(w); found && found->isVisible())
            return found;
    return nullptr;
}

} // namespace

class TestServerLogin : public QObject
{
    Q_OBJECT

private slots:
    void connectAndLogIn()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs the X11 platform (run under xvfb-run)");
        testsupport::PgCluster cluster;
        if (!cluster.isRunning() && cluster.error().contains(QLatin1String("not installed")))
            QSKIP("PostgreSQL is not installed");
        QVERIFY2(cluster.isRunning(), qPrintable(cluster.error()));
        QVERIFY(cluster.createDatabase("shop"));
        QVERIFY(store::InitServerSet(cluster.connInfo("shop"), "总店", "乙公司"));
        const QString host = cluster.connInfo().section(QLatin1Char(' '), 0, 0).mid(5);

        prepareApplication();
        testsupport::TempProgramFolder folder;
        ui::QtPrompts prompts;
        store::setPrompts(&prompts);
        QVERIFY(store::EnsureTemplate());
        QCOMPARE(store::CreateAccountSet("甲公司", "甲账"), 0);
        store::AccountSets.clear();
        store::CurrentAccountFile.clear();
        registerCommands();
        MainWindow window;
        ui::setShellHost(&window);

        // The user: reads boxes answering Yes, fills the dialog, logs in.
        QStringList seen;
        int logins = 0;
        QElapsedTimer sinceLogin;
        QTimer user;
        user.setInterval(30);
        connect(&user, &QTimer::timeout, this, [&] {
            if (auto *box = visibleWindow<QMessageBox>(); box && !box->property("read").toBool()) {
                box->setProperty("read", true);
                seen << box->text();
                QAbstractButton *yes = box->button(QMessageBox::Yes);
                QTest::mouseClick(yes ? yes : box->buttons().first(), Qt::LeftButton);
            } else if (auto *dialog = visibleWindow<ServerConnectionDialog>();
                       dialog && !dialog->property("filled").toBool()) {
                dialog->setProperty("filled", true);
                dialog->box(0)->setText(host);
                QTest::keyClicks(dialog->box(2), "shop");
                QTest::keyClicks(dialog->box(3), "korvo");
                QTest::mouseClick(dialog->button(1), Qt::LeftButton);
            } else if (auto *login = visibleWindow<records::LoginDialog>();
                       login && store::CurrentUser.isEmpty()
                       && (!sinceLogin.isValid() || sinceLogin.elapsed() > 1000)) {
                ++logins;
                sinceLogin.start();
                login->box(0)->setText("zunta");
                login->box(1)->setText("zunta");
                QTest::mouseClick(login->loginButton(), Qt::LeftButton);
            }
        });
        user.start();

        QVERIFY(LoadAccountSets(window, {}));
        waitUntil([] { return !store::CurrentUser.isEmpty(); });
        QCOMPARE(store::CurrentAccountFile, "DATA00001.qdt");
        store::CurrentUser.clear();
        window.mAcc[kServerSetItems]->trigger();
        waitUntil([] { return !store::CurrentUser.isEmpty(); });
        user.stop();

        QCOMPARE(seen, QStringList{"服务器套账已连接，现在马上调用？"});
        QCOMPARE(store::CurrentAccountFile, "DATA00002.qsv");
        QCOMPARE(store::CurrentUser, "zunta");
        QCOMPARE(logins, 2);
        QVERIFY(window.windowTitle().contains("总店"));
        ui::setShellHost(nullptr);
        store::setPrompts(nullptr);
    }
};

QTEST_MAIN(TestServerLogin)
#include "tst_serverlogin.moc"
