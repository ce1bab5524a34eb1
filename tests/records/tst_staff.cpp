#include "records/staff.h"

#include "store/access.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QtTest>

#include <memory>

using namespace records;

class TestStaff : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void login_data();
    void login();
    void passwordChange();
    void storingMembers();
    void catchAllRow();
    void titles_data();
    void titles();

private:
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

void TestStaff::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error),
             qPrintable(error));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    store::CurrentUserID = 0;
    store::CurrentUser.clear();
    store::CurrentRights.clear();
}

void TestStaff::cleanup()
{
    // No database failure may have been reported along the way.
    QCOMPARE(m_prompts->messages, QStringList());
    m_prompts.reset();
    m_folder.reset();
}

void TestStaff::login_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("outcome");

    const auto in = int(LoginOutcome::LoggedIn);
    const auto wrong = int(LoginOutcome::Wrong);
    const auto quote = int(LoginOutcome::QuoteRefused);
    QTest::newRow("default user") << "zunta"
                                  << "zunta" << in;
    QTest::newRow("password in capitals") << "zunta"
                                          << "ZUNTA" << wrong;
    QTest::newRow("name in capitals") << "ZUNTA"
                                      << "zunta" << wrong;
    QTest::newRow("wrong password") << "zunta"
                                    << "zunt" << wrong;
    QTest::newRow("unknown name") << "nobody"
                                  << "zunta" << wrong;
    QTest::newRow("catch-all with wrong password") << "其他"
                                                   << "x" << wrong;
    QTest::newRow("quote in name") << "O'Neil"
                                   << "zunta" << quote;
    QTest::newRow("double quote in password") << "zunta"
                                              << "a\"b" << quote;
    // A quote must never reach the statement, not even to make it true.
    QTest::newRow("injection") << "zunta"
                               << "' OR '1'='1" << quote;
}

// Logins match name and password exactly, letter case included, and refuse
// quotes before any query.
void TestStaff::login()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(int, outcome);

    StaffLogin user;
    QCOMPARE(int(checkLogin(name, password, user)), outcome);
    if (outcome == int(LoginOutcome::LoggedIn)) {
        QCOMPARE(user.name, QStringLiteral("zunta"));
        QCOMPARE(user.rights, QStringLiteral("所有权限"));
        QVERIFY(user.id > 0);
        applyLogin(user);
        QCOMPARE(store::CurrentUserID, user.id);
        QCOMPARE(store::CurrentUser, user.name);
        QCOMPARE(store::CurrentRights, user.rights);
    } else {
        QCOMPARE(user.id, 0);
    }
}

// The change of password checks the boxes in order, refuses a wrong current
// password without writing, and the new password is the one that logs in.
void TestStaff::passwordChange()
{
    StaffLogin user;
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::LoggedIn);
    const int id = user.id;

    // A mismatch is reported before the empty check, as the window does.
    QCOMPARE(changePassword(id, QString(), QStringLiteral("a"), QStringLiteral("b")),
             PasswordChange::Mismatch);
    QCOMPARE(changePassword(id, QString(), QStringLiteral("new"), QStringLiteral("new")),
             PasswordChange::Empty);
    QCOMPARE(changePassword(id, QStringLiteral("zunta"), QString(), QString()),
             PasswordChange::Empty);
    QCOMPARE(changePassword(id, QStringLiteral("ZUNTA"), QStringLiteral("new"),
                            QStringLiteral("new")),
             PasswordChange::WrongCurrent);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::LoggedIn);

    QCOMPARE(changePassword(id, QStringLiteral("zunta"), QStringLiteral("秘密Pw"),
                            QStringLiteral("秘密Pw")),
             PasswordChange::Changed);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("zunta"), user),
             LoginOutcome::Wrong);
    QCOMPARE(checkLogin(QStringLiteral("zunta"), QStringLiteral("秘密Pw"), user),
             LoginOutcome::LoggedIn);
    QCOMPARE(user.id, id);

    // A member that no longer exists cannot change anything.
    QCOMPARE(changePassword(9999, QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("y")),
             PasswordChange::Failed);
}

// A new member gets a number of its own; editing keeps it; texts with quotes
// are stored as typed.
void TestStaff::storingMembers()
{
    StaffInfo info;
    info.boxes = QStringList{QStringLiteral("O'Neil"), QStringLiteral("pw"),
                             QStringLiteral("010-1"),  QStringLiteral("139"),
                             QStringLiteral("a@b.cn"), QStringLiteral("说\"明\"")};
    info.rights = QStringLiteral("销售数据查看;销售数据删除");
    const int id = saveStaff(0, info);
    QVERIFY(id > 0);

    StaffInfo loaded;
    QVERIFY(loadStaff(id, loaded));
    QCOMPARE(loaded.id, id);
    QCOMPARE(loaded.boxes, info.boxes);
    QCOMPARE(loaded.rights, info.rights);

    loaded.boxes[3] = QStringLiteral("138");
    loaded.rights.clear();
    QCOMPARE(saveStaff(id, loaded), id);
    StaffInfo again;
    QVERIFY(loadStaff(id, again));
    QCOMPARE(again.boxes.at(3), QStringLiteral("138"));
    QCOMPARE(again.rights, QString());

    StaffInfo untouched;
    untouched.boxes = QStringList{QStringLiteral("keep")};
    QVERIFY(!loadStaff(id + 100, untouched));
    QCOMPARE(untouched.boxes, QStringList{QStringLiteral("keep")});
}

// The catch-all member is found when present and created when missing.
void TestStaff::catchAllRow()
{
    const int existing = catchAllStaffId();
    QVERIFY(existing > 0);
    QCOMPARE(catchAllStaffId(), existing);

    QVERIFY(store::ExecSQL(QStringLiteral("DELETE FROM Staff WHERE Name='其他'")));
    const int created = catchAllStaffId();
    QVERIFY(created > 0);
    QVERIFY(created != existing);
    QCOMPARE(catchAllStaffId(), created);
    QCOMPARE(store::LookupValue(QStringLiteral("Staff"), created, QStringLiteral("ID"),
                                QStringLiteral("Name"))
                     .toString(),
             kCatchAllStaffName);
}

void TestStaff::titles_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first login") << "Korvo进销存3.00 >> 总账"
                                 << "Korvo进销存3.00 >> 总账=>张三";
    QTest::newRow("replaces the earlier user") << "Korvo进销存3.00 >> 总账=>李四"
                                               << "Korvo进销存3.00 >> 总账=>张三";
    QTest::newRow("cuts at the last arrow") << "Korvo进销存3.00 >> A=>B=>李四"
                                            << "Korvo进销存3.00 >> A=>B=>张三";
}

// The user part of the title is replaced, never appended twice.
void TestStaff::titles()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(titleWithUser(title, QStringLiteral("张三")), expected);
}

QTEST_GUILESS_MAIN(TestStaff)
#include "tst_staff.moc"
