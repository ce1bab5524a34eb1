#include "app/accountsetinfodialog.h"
#include "app/newaccountsetdialog.h"

#include "store/accountsets.h"
#include "store/params.h"
#include "store/session.h"
#include "ui/shellhost.h"

#include "testsupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace store;

namespace {

// Records what the dialogs ask of the main window.
class FakeShell : public ui::ShellHost
{
public:
    FakeShell() { ui::setShellHost(this); }
    ~FakeShell() override { ui::setShellHost(nullptr); }

    void SelectAccountSet(int index, bool relayout) override
    {
        calls << QStringLiteral("SelectAccountSet(%1,%2)")
                         .arg(index)
                         .arg(relayout ? QStringLiteral("true") : QStringLiteral("false"));
        MakeAccountSetCurrent(index);
    }
    void UpdateMainCaption() override { calls << QStringLiteral("UpdateMainCaption"); }
    void ApplyRights() override { calls << QStringLiteral("ApplyRights"); }
    void SaveSettings() override { calls << QStringLiteral("SaveSettings"); }
    void ReloadCurrentList() override { calls << QStringLiteral("ReloadCurrentList"); }
    int currentRecordTab() const override { return 0; }
    void ClearRecordGrids() override { calls << QStringLiteral("ClearRecordGrids"); }
    void ClearAnalysisGrids() override { calls << QStringLiteral("ClearAnalysisGrids"); }
    void ShowCurrentRecordTab() override { calls << QStringLiteral("ShowCurrentRecordTab"); }
    void ShowCurrentAnalysisTab() override { calls << QStringLiteral("ShowCurrentAnalysisTab"); }

    QStringList calls;
};

} // namespace

class TestAccountSetDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newSetRefusesEmptyTexts();
    void newSetYesOpensIt();
    void newSetNoKeepsTheSetInUse();
    void firstNewSetBecomesCurrent();
    void infoNeedsAllRights();
    void infoChangesClearPrintHeaders_data();
    void infoChangesClearPrintHeaders();

private:
    // Creates sets named after names; the first becomes current.
    void makeSets(const QStringList &names);
    static void fillAndConfirm(app::NewAccountSetDialog *dialog, const QString &company,
                               const QString &name);

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    std::unique_ptr<FakeShell> m_shell;
};

void TestAccountSetDialogs::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    m_shell = std::make_unique<FakeShell>();
    AccountSets.clear();
    PendingAccountChoice.clear();
    CurrentRights.clear();
}

void TestAccountSetDialogs::cleanup()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        delete window;
    m_shell.reset();
    m_prompts.reset();
    m_folder.reset();
    AccountSets.clear();
    CurrentRights.clear();
}

void TestAccountSetDialogs::makeSets(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(CreateAccountSet(name + QStringLiteral("公司"), name) >= 0);
    QCOMPARE(CurrentAccountIndex, 0);
}

void TestAccountSetDialogs::fillAndConfirm(app::NewAccountSetDialog *dialog, const QString &company,
                                           const QString &name)
{
    dialog->box(0)->setText(company);
    dialog->box(1)->setText(name);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
}

// Without a company or a name nothing is created and the window stays open.
void TestAccountSetDialogs::newSetRefusesEmptyTexts()
{
    QPointer<app::NewAccountSetDialog> dialog = app::ShowNewAccountSetDialog();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("新建套账"));
    QCOMPARE(dialog->button(0)->text(), QStringLiteral("确    定"));
    QCOMPARE(dialog->button(1)->text(), QStringLiteral("取    消"));

    fillAndConfirm(dialog, QString(), QStringLiteral("账"));
    fillAndConfirm(dialog, QStringLiteral("公司"), QString());
    QCOMPARE(m_prompts->messages, (QStringList{QStringLiteral("请填写套账所属企业名称！"),
                                               QStringLiteral("请填写套账名称！")}));
    QVERIFY(m_prompts->questions.isEmpty());
    QVERIFY(ListAccountSetFiles().isEmpty());
    QVERIFY(dialog->isVisible());

    QTest::mouseClick(dialog->button(1), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(ListAccountSetFiles().isEmpty());
    QVERIFY(m_shell->calls.isEmpty());
}

// Yes empties the main window and opens the new set (logged out).
void TestAccountSetDialogs::newSetYesOpensIt()
{
    makeSets({QStringLiteral("甲")});
    QPointer<app::NewAccountSetDialog> dialog = app::ShowNewAccountSetDialog();
    m_prompts->answers = {true};
    fillAndConfirm(dialog, QStringLiteral(" 乙公司"), QStringLiteral("乙账 "));

    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("新套账生成完成，现在马上调用？")});
    QCOMPARE(m_shell->calls,
             (QStringList{QStringLiteral("ClearRecordGrids"), QStringLiteral("ClearAnalysisGrids"),
                          QStringLiteral("SelectAccountSet(1,false)"),
                          QStringLiteral("ShowCurrentAnalysisTab")}));
    QVERIFY(!dialog || !dialog->isVisible());
    QCOMPARE(AccountSets.size(), 2);
    QCOMPARE(CurrentAccountFile, QStringLiteral("DATA00002.qdt"));
    QCOMPARE(GetVar(kKeyName), QStringLiteral("乙账 "));
    QCOMPARE(GetVar(kKeyCompany), QStringLiteral(" 乙公司"));
}

// No keeps working on the set in use; the new set is listed all the same.
void TestAccountSetDialogs::newSetNoKeepsTheSetInUse()
{
    makeSets({QStringLiteral("甲"), QStringLiteral("乙")});
    QPointer<app::NewAccountSetDialog> dialog = app::ShowNewAccountSetDialog();
    m_prompts->answers = {false};
    fillAndConfirm(dialog, QStringLiteral("丙公司"), QStringLiteral("丙"));

    QVERIFY(m_shell->calls.isEmpty());
    QVERIFY(!dialog || !dialog->isVisible());
    QCOMPARE(AccountSets.size(), 3);
    QCOMPARE(AccountSets.at(2).Name, QStringLiteral("丙"));
    QCOMPARE(CurrentAccountIndex, 0);
    QCOMPARE(CurrentAccountFile, QStringLiteral("DATA00001.qdt"));
    QCOMPARE(GetVar(kKeyName), QStringLiteral("甲"));
}

// The first set of all is the one in use even when not opened at once.
void TestAccountSetDialogs::firstNewSetBecomesCurrent()
{
    QCOMPARE(CurrentAccountIndex, -1);
    app::NewAccountSetDialog *dialog = app::ShowNewAccountSetDialog();
    m_prompts->answers = {false};
    fillAndConfirm(dialog, QStringLiteral("甲公司"), QStringLiteral("甲"));
    QCOMPARE(CurrentAccountIndex, 0);
    QCOMPARE(CurrentAccountFile, QStringLiteral("DATA00001.qdt"));
    QCOMPARE(GetVar(kKeyCompany), QStringLiteral("甲公司"));
}

// Only a user with every right may store the account-set information.
void TestAccountSetDialogs::infoNeedsAllRights()
{
    makeSets({QStringLiteral("甲")});
    CurrentAccountFile = AccountSets.at(0).FileName;
    SetVar(kKeyPhone, QStringLiteral("010-1"));

    CurrentRights = QStringLiteral("销售数据添加;产品数据修改");
    QScopedPointer<app::AccountSetInfoDialog> dialog(new app::AccountSetInfoDialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("套账信息"));
    QVERIFY(!dialog->button(0)->isEnabled());
    QCOMPARE(dialog->button(0)->toolTip(), QStringLiteral("拥有所有权限才能修改套账信息"));
    QCOMPARE(dialog->box(0)->text(), QStringLiteral("甲"));
    QCOMPARE(dialog->box(1)->text(), QStringLiteral("甲公司"));
    QCOMPARE(dialog->box(3)->text(), QStringLiteral("010-1"));
    QCOMPARE(dialog->box(10)->text(), dateText(QDate::currentDate()));
    QCOMPARE(dialog->box(11)->text(), dateTimeText(AccountSets.at(0).LastAccess));
    QCOMPARE(dialog->box(12)->text(), QStringLiteral("DATA00001.qdt"));
    QVERIFY(dialog->box(12)->isReadOnly());
    QVERIFY(!dialog->box(5)->isReadOnly());
    QVERIFY(!dialog->companyChanged());

    CurrentRights = QStringLiteral("所有权限");
    dialog.reset(new app::AccountSetInfoDialog);
    QVERIFY(dialog->button(0)->isEnabled());
}

// Editing the company or a contact line drops the cached print headers;
// renaming the set alone keeps them. The caption follows the new name.
void TestAccountSetDialogs::infoChangesClearPrintHeaders_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("name only") << 0 << false;
    QTest::newRow("company") << 1 << true;
    QTest::newRow("contact address") << 2 << true;
    QTest::newRow("telephone") << 3 << true;
    QTest::newRow("web address") << 5 << true;
}

void TestAccountSetDialogs::infoChangesClearPrintHeaders()
{
    QFETCH(int, box);
    QFETCH(bool, cleared);
    makeSets({QStringLiteral("甲")});
    MakeAccountSetCurrent(0);
    CurrentRights = QStringLiteral("所有权限");
    const QString header = QStringLiteral("表格打印信息_销售单_0");
    SetVar(header, QStringLiteral("甲公司 销售单"));
    SetVar(kKeyAddress, QStringLiteral("北京"));

    QPointer<app::AccountSetInfoDialog> dialog = app::ShowAccountSetInfoDialog();
    QVERIFY(!dialog->companyChanged());
    dialog->box(box)->setFocus();
    QTest::keyClicks(dialog->box(box), QStringLiteral("新"));
    QCOMPARE(dialog->companyChanged(), cleared);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);

    QVERIFY(!dialog || !dialog->isVisible());
    QCOMPARE(m_shell->calls, QStringList{QStringLiteral("UpdateMainCaption")});
    QCOMPARE(GetVar(header), cleared ? QString() : QStringLiteral("甲公司 销售单"));
    QCOMPARE(GetVar(kKeyAddress), box == 2 ? QStringLiteral("北京新") : QStringLiteral("北京"));
    QCOMPARE(AccountSets.at(0).Name, box == 0 ? QStringLiteral("甲新") : QStringLiteral("甲"));
    QCOMPARE(AccountSets.at(0).Company,
             box == 1 ? QStringLiteral("甲公司新") : QStringLiteral("甲公司"));
    QCOMPARE(GetVar(kKeyName), AccountSets.at(0).Name);
}

QTEST_MAIN(TestAccountSetDialogs)
#include "tst_accountsetdialogs.moc"
