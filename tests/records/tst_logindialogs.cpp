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
    void refusedLoginRemembersName();
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

// A refused login says why and keeps the window and its texts; closing it
// then remembers the typed name for the next opening, which also names the
// account set in use (from the list, else from the set's own parameters).
void TestLoginDialogs::refusedLoginRemembersName()
{
    store::SetVar(QStringLiteral("套账名称"), QStringLiteral("参数里的名称"));
    QPointer<LoginDialog> dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(0)->text(), QString());
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("参数里的名称"));

    dialog->box(0)->setText(QStringLiteral("O'Neil"));
    dialog->box(1)->setText(QStringLiteral("zunta"));
    QTest::mouseClick(dialog->loginButton(), Qt::LeftButton);
    dialog->box(0)->setText(QStringLiteral("zunta"));
    dialog->box(1)->setText(QStringLiteral("ZUNTA"));
    QTest::keyClick(dialog->box(0), Qt::Key_Enter);
    QCOMPARE(m_prompts->messages, (QStringList{QStringLiteral("用户名和密码不能有单/双引号！"),
                                               QStringLiteral("用户名或密码错误！")}));
    QCOMPARE(m_host->calls, QStringList());
    QCOMPARE(store::CurrentUser, QString());
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->box(1)->text(), QStringLiteral("ZUNTA"));

    dialog->box(0)->setText(QStringLiteral("王五"));
    dialog->close();
    QTRY_VERIFY(dialog.isNull());

    store::AccountSet set;
    set.Name = QStringLiteral("二〇二四年账");
    set.FileName = store::CurrentAccountFile;
    store::AccountSets = {set};
    store::CurrentAccountIndex = 0;
    dialog = ShowLoginDialog();
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("王五"));
    QCOMPARE(dialog->box(1)->text(), QString());
    QCOMPARE(dialog->box(2)->text(), QStringLiteral("二〇二四年账"));
}

// Quotes typed or pasted into the password boxes are dropped where they
// stand.
void TestLoginDialogs::passwordQuotesDiscarded()
{
    QPointer<PasswordDialog> dialog = ShowPasswordDialog();
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
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::Wrong);
}

QTEST_MAIN(TestLoginDialogs)
#include "tst_logindialogs.moc"
