#include "records/logindialog.h"
#include "records/passworddialog.h"
#include "records/staff.h"

#include "store/accountsets.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace records;

namespace {

const QString kLoginCaption = QStringLiteral("请输入用户名及密码");

// Records what the dialogs ask of the main window, with the login state at
// that moment.
class FakeHost : public ui::ShellHost
{
public:
    QStringList calls;
    int tab = 0;

    void SelectAccountSet(int, bool) override { calls << QStringLiteral("SelectAccountSet"); }
    void UpdateMainCaption() override
    {
        calls << QStringLiteral("UpdateMainCaption:") + store::CurrentUser;
    }
    void ApplyRights() override { calls << QStringLiteral("ApplyRights:") + store::CurrentRights; }
    void SaveSettings() override { calls << QStringLiteral("SaveSettings"); }
    void ReloadCurrentList() override
    {
        // The list loads only after the login window has gone.
        calls << (ui::FormIsOpen(kLoginCaption) ? QStringLiteral("ReloadCurrentList (login open)")
                                                : QStringLiteral("ReloadCurrentList"));
    }
    int currentRecordTab() const override { return tab; }
    void ClearRecordGrids() override {}
    void ClearAnalysisGrids() override {}
    void ShowCurrentRecordTab() override {}
    void ShowCurrentAnalysisTab() override {}
};

} // namespace

class TestLoginDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void successfulLogin();
    void refusedLogins_data();
    void refusedLogins();
    void rememberedNameAfterFailure();
    void accountSetName();
    void passwordQuotesDiscarded();
    void passwordChecks();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    std::unique_ptr<FakeHost> m_host;
};

void TestLoginDialogs::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    m_host = std::make_unique<FakeHost>();
    ui::setShellHost(m_host.get());
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error),
             qPrintable(error));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    store::AccountSets.clear();
    store::CurrentAccountIndex = -1;
    store::CurrentUserID = 0;
    store::CurrentUser.clear();
    store::CurrentRights.clear();
}

void TestLoginDialogs::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        delete w;
    ui::setShellHost(nullptr);
    m_host.reset();
    m_prompts.reset();
    m_folder.reset();
}

// Enter in the password box logs in: the login state is set, the rights
// applied, the title rebuilt with the user, the window closed and then the
// visible list reloaded.
void TestLoginDialogs::successfulLogin()
{
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(dialog->windowTitle(), kLoginCaption);
    QCOMPARE(dialog->box(1)->echoMode(), QLineEdit::Password);
    QVERIFY(dialog->box(2)->isReadOnly());
    QCOMPARE(dialog->box(0)->toolTip(), QStringLiteral("默认：zunta"));

    dialog->box(0)->clear();
    QTest::keyClicks(dialog->box(0), QStringLiteral("zunta"));
    QTest::keyClicks(dialog->box(1), QStringLiteral("zunta"));
    QTest::keyClick(dialog->box(1), Qt::Key_Return);

    QCOMPARE(m_prompts->messages, QStringList());
    QCOMPARE(store::CurrentUser, QStringLiteral("zunta"));
    QCOMPARE(store::CurrentRights, QStringLiteral("所有权限"));
    QVERIFY(store::CurrentUserID > 0);
    QCOMPARE(m_host->calls, (QStringList{QStringLiteral("ApplyRights:所有权限"),
                                         QStringLiteral("UpdateMainCaption:zunta"),
                                         QStringLiteral("ReloadCurrentList")}));
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(store::GetVar(QStringLiteral("最近用户名")), QStringLiteral("zunta"));
}

void TestLoginDialogs::refusedLogins_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("quote in name") << "O'Neil"
                                   << "zunta"
                                   << "用户名和密码不能有单/双引号！";
    QTest::newRow("double quote in password") << "zunta"
                                              << "zu\"nta"
                                              << "用户名和密码不能有单/双引号！";
    QTest::newRow("password in capitals") << "zunta"
                                          << "ZUNTA"
                                          << "用户名或密码错误！";
    QTest::newRow("empty") << ""
                           << ""
                           << "用户名或密码错误！";
}

// A refused login says why, keeps the window and its texts, and leaves the
// user logged out.
void TestLoginDialogs::refusedLogins()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);

    QPointer<LoginDialog> dialog = ShowLoginDialog();
    dialog->box(0)->setText(name);
    dialog->box(1)->setText(password);
    QTest::mouseClick(dialog->loginButton(), Qt::LeftButton);

    QCOMPARE(m_prompts->messages, QStringList{message});
    QCOMPARE(m_host->calls, QStringList());
    QCOMPARE(store::CurrentUser, QString());
    QVERIFY(!dialog.isNull());
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->box(0)->text(), name);
    QCOMPARE(dialog->box(1)->text(), password);
}

// Closing the window after a failed try remembers the typed name for the
// next opening.
void TestLoginDialogs::rememberedNameAfterFailure()
{
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(0)->text(), QString());
    dialog->box(0)->setText(QStringLiteral("王五"));
    QTest::keyClicks(dialog->box(1), QStringLiteral("nope"));
    QTest::keyClick(dialog->box(0), Qt::Key_Enter);
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("用户名或密码错误！")});

    dialog->close();
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(store::GetVar(QStringLiteral("最近用户名")), QStringLiteral("王五"));

    dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("王五"));
    QCOMPARE(dialog->box(1)->text(), QString());
}

// The read-only box names the account set in use: from the account-set
// list when it is known, else from the set's own parameters.
void TestLoginDialogs::accountSetName()
{
    store::SetVar(QStringLiteral("套账名称"), QStringLiteral("参数里的名称"));
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("参数里的名称"));
    dialog->close();
    QTRY_VERIFY(dialog.isNull());

    store::AccountSet set;
    set.Name = QStringLiteral("二〇二四年账");
    set.FileName = store::CurrentAccountFile;
    store::AccountSets = {set};
    store::CurrentAccountIndex = 0;
    dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("二〇二四年账"));
}

// Quotes typed or pasted into the password boxes are dropped where they
// stand.
void TestLoginDialogs::passwordQuotesDiscarded()
{
    QPointer<PasswordDialog> dialog = ShowPasswordDialog();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("修改登录密码"));
    for (int i = 0; i < 3; ++i) {
        QTest::keyClicks(dialog->box(i), QStringLiteral("a'b\"c"));
        QCOMPARE(dialog->box(i)->text(), QStringLiteral("abc"));
    }
    // A paste in the middle keeps the cursor after the pasted text.
    QApplication::clipboard()->setText(QStringLiteral("'x\""));
    dialog->box(0)->setCursorPosition(1);
    QTest::keyClick(dialog->box(0), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("axbc"));
    QCOMPARE(dialog->box(0)->cursorPosition(), 2);
}

// The change-password window refuses mismatches, empty passwords and a wrong
// current password (saying so and staying open); a good change closes it
// and the new password logs in.
void TestLoginDialogs::passwordChecks()
{
    StaffLogin user;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::LoggedIn);
    applyLogin(user);

    QPointer<PasswordDialog> dialog = ShowPasswordDialog();
    auto attempt = [&](const QString &current, const QString &next, const QString &again) {
        dialog->box(2)->setText(current);
        dialog->box(0)->setText(next);
        dialog->box(1)->setText(again);
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
    };

    attempt(QStringLiteral("zunta"), QStringLiteral("abc"), QStringLiteral("abd"));
    attempt(QString(), QStringLiteral("abc"), QStringLiteral("abc"));
    attempt(QStringLiteral("zunta"), QString(), QString());
    attempt(QStringLiteral("Zunta"), QStringLiteral("abc"), QStringLiteral("abc"));
    QCOMPARE(m_prompts->messages,
             (QStringList{QStringLiteral("两次输入的新密码不一致，请重新输入！"),
                          QStringLiteral("密码不能设置为空！"),
                          QStringLiteral("密码不能设置为空！"), QStringLiteral("当前密码错误！")}));
    QVERIFY(dialog->isVisible());
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::LoggedIn);

    m_prompts->messages.clear();
    attempt(QStringLiteral("zunta"), QStringLiteral("abc"), QStringLiteral("abc"));
    QCOMPARE(m_prompts->messages, QStringList());
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("abc"), user),
             LoginOutcome::LoggedIn);

    // "取  消" closes without a change.
    dialog = ShowPasswordDialog();
    dialog->box(2)->setText(QStringLiteral("abc"));
    dialog->box(0)->setText(QStringLiteral("xyz"));
    dialog->box(1)->setText(QStringLiteral("xyz"));
    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("abc"), user),
             LoginOutcome::LoggedIn);
}

QTEST_MAIN(TestLoginDialogs)
#include "tst_logindialogs.moc"
