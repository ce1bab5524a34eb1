#include "../records/masterfixture.h"
#include "app/accountsetchooser.h"
#include "app/accountsetcommands.h"
#include "app/accountsetinfodialog.h"
#include "app/newaccountsetdialog.h"
#include "appfixture.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/params.h"

#include <QPointer>
#include <QTimer>

using namespace store;
using masterfixture::clickCell;
using testsupport::column;

namespace {

// Creates sets named after names; the first becomes current.
void makeSets(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(CreateAccountSet(name + "公司", name) >= 0);
    QCOMPARE(CurrentAccountIndex, 0);
}

// The set in the list and in its file carries this name and company.
void expectSet(int index, const QString &name, const QString &company)
{
    QCOMPARE(AccountSets.at(index).Name, name);
    QCOMPARE(AccountSets.at(index).Company, company);
    if (index == CurrentAccountIndex) {
        QCOMPARE(GetVar(kKeyName), name);
        QCOMPARE(GetVar(kKeyCompany), company);
    }
}

app::AccountSetChooser *showChooser()
{
    auto *chooser = app::ShowAccountSetChooser();
    return QTest::qWaitForWindowExposed(chooser) ? chooser : nullptr;
}

void fillAndConfirm(app::NewAccountSetDialog *dialog, const QString &company, const QString &name)
{
    dialog->box(0)->setText(company);
    dialog->box(1)->setText(name);
    QTest::mouseClick(dialog->button(0), Qt::LeftButton);
}

} // namespace

class TestAccountSetDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<testsupport::TempProgramFolder>();
        m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
        m_shell = std::make_unique<masterfixture::FakeHost>();
        ui::setShellHost(m_shell.get());
    }

    void cleanup()
    {
        testsupport::deleteAllWindows();
        ui::setShellHost(nullptr);
        m_shell.reset();
        m_prompts.reset();
        m_folder.reset();
    }

    // The chooser ticks the set in use; a click in the tick column ticks that
    // row only. Sorting does not change which set a row stands for.
    void chooserTicksAndFollowsSorting()
    {
        makeSets({"A", "B", "C"});
        MakeAccountSetCurrent(1);
        QScopedPointer<app::AccountSetChooser> chooser(showChooser());
        QVERIFY(chooser);
        grid::Grid *grid = chooser->grid();
        QCOMPARE(column(*grid, 3), QStringList({"A", "B", "C"}));
        QCOMPARE(column(*grid, 2), QStringList({"", "√", ""}));
        clickCell(grid, 4, 2);
        QCOMPARE(column(*grid, 2), QStringList({"", "", "√"}));
        clickCell(grid, 3, 5); // outside the tick column
        QCOMPARE(column(*grid, 2), QStringList({"", "", "√"}));

        grid::SortGridByColumn(*grid, app::AccountSetChooser::NameColumn);
        grid::SortGridByColumn(*grid, app::AccountSetChooser::NameColumn);
        QCOMPARE(column(*grid, 3), QStringList({"C", "B", "A"}));
        clickCell(grid, 4, 2);
        chooser->choose();
        QCOMPARE(PendingAccountChoice, "2");
    }

    // A damaged set shows as such; choosing it is refused.
    void chooserMarksDamagedSets()
    {
        makeSets({"A", "B"});
        Registry::closeAll();
        QVERIFY(testsupport::writeFile(m_folder->filePath("DATA00002.qdt"),
                                       QByteArray("junk").repeated(2000)));
        BuildAccountSetList();
        MakeAccountSetCurrent(0);
        QScopedPointer<app::AccountSetChooser> chooser(showChooser());
        QVERIFY(chooser);
        QCOMPARE(column(*chooser->grid(), 3), QStringList({"A", kDamagedSetName}));
        clickCell(chooser->grid(), 3, 2);
        chooser->choose();
        QCOMPARE(m_prompts->messages, QStringList{kDamagedSetRefusal});
        QVERIFY(PendingAccountChoice.isEmpty());
        QVERIFY(chooser->isVisible());
    }

    // The choose command opens the ticked set unless it is the one in use or
    // nothing was chosen, emptying the lists of the set left behind.
    void chooseCommand_data()
    {
        QTest::addColumn<int>("tickRow"); // -1: leave the tick on the set in use
        QTest::addColumn<int>("button");  // -1: close through the frame
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("another set")
                << 4 << 0
                << QStringList{"SelectAccountSet(2,true)", "ClearRecordGrids", "ClearAnalysisGrids",
                               "ShowCurrentRecordTab", "ShowCurrentAnalysisTab"};
        QTest::newRow("the set in use") << -1 << 0 << QStringList{};
        QTest::newRow("leave") << 4 << 1 << QStringList{"SaveSettings"};
        QTest::newRow("frame closed") << 4 << -1 << QStringList{};
    }

    void chooseCommand()
    {
        QFETCH(int, tickRow);
        QFETCH(int, button);
        QFETCH(QStringList, calls);
        makeSets({"甲", "乙", "丙"});
        PendingAccountChoice = "3"; // left over from an earlier chooser: no choice
        bool handled = false;
        QTimer::singleShot(0, this, [&] {
            auto *chooser = testsupport::openWindow<app::AccountSetChooser>("选择套账");
            QVERIFY(chooser && QTest::qWaitForWindowExposed(chooser));
            if (tickRow >= 0)
                clickCell(chooser->grid(), tickRow, 2);
            if (button >= 0)
                QTest::mouseClick(chooser->button(button), Qt::LeftButton);
            else
                chooser->close();
            handled = true;
        });
        app::ChooseAccountSet();
        QVERIFY(handled);
        QCOMPARE(m_shell->calls, calls);
        QCOMPARE(CurrentAccountIndex, calls.isEmpty() || button == 1 ? 0 : 2);
    }

    // Deleting from the chooser takes the ticked set and its file, and the
    // index of the set in use follows; with nothing ticked nothing goes.
    void chooserDeletes()
    {
        makeSets({"A", "B", "C"});
        MakeAccountSetCurrent(2);
        QPointer<app::AccountSetChooser> chooser = showChooser();
        QVERIFY(chooser);
        grid::Grid *grid = chooser->grid();
        clickCell(grid, 2, 2);
        grid->setRow(3); // the cursor elsewhere does not matter, the tick does
        m_prompts->answers = {true};
        QTest::mouseClick(chooser->button(2), Qt::LeftButton);
        QCOMPARE(m_prompts->questions, QStringList{"您确定要删除套账：A？"});
        QVERIFY(!QFileInfo::exists(m_folder->filePath("DATA00001.qdt")));
        QCOMPARE(column(*grid, 3), QStringList({"B", "C"}));
        QCOMPARE(CurrentAccountIndex, 1);
        QVERIFY(PendingAccountChoice.isEmpty());
        QVERIFY(chooser->isVisible());

        QTest::mouseClick(chooser->button(2), Qt::LeftButton); // nothing ticked
        QCOMPARE(m_prompts->messages.size(), 1);
        QCOMPARE(AccountSets.size(), 2);
        QVERIFY(m_shell->calls.isEmpty());
    }

    // Without a company or a name nothing is made. Yes opens the new set, No
    // keeps the set in use; the very first set is opened even on No.
    void newSetAnswer_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("opened"); // -1: none
        QTest::newRow("yes") << 1 << true << 1;
        QTest::newRow("no") << 1 << false << -1;
        QTest::newRow("first set, no") << 0 << false << 0;
    }

    void newSetAnswer()
    {
        QFETCH(int, existing);
        QFETCH(bool, answer);
        QFETCH(int, opened);
        if (existing > 0)
            makeSets({"甲"});
        QPointer<app::NewAccountSetDialog> dialog = app::ShowNewAccountSetDialog();
        fillAndConfirm(dialog, QString(), "账");
        fillAndConfirm(dialog, "公司", QString());
        QCOMPARE(m_prompts->messages.size(), 2);
        QVERIFY(dialog->isVisible());
        QCOMPARE(AccountSets.size(), existing);
        m_prompts->answers = {answer};
        fillAndConfirm(dialog, " 乙公司", "乙'账 ");
        const QStringList calls{"ClearRecordGrids", "ClearAnalysisGrids",
                                QString("SelectAccountSet(%1,false)").arg(opened),
                                "ShowCurrentAnalysisTab"};
        QCOMPARE(m_shell->calls, opened >= 0 ? calls : QStringList());
        QVERIFY(!dialog || !dialog->isVisible());
        QCOMPARE(AccountSets.size(), existing + 1);
        QCOMPARE(CurrentAccountIndex, std::max(opened, 0));
        expectSet(existing, "乙'账 ", " 乙公司");
        if (opened < 0)
            expectSet(0, "甲", "甲公司");
    }

    // Editing the company drops the cached print headers; renaming the set alone keeps them.
    void infoChangesClearPrintHeaders_data()
    {
        QTest::addColumn<int>("box");
        QTest::newRow("name only") << 0;
        QTest::newRow("company") << 1;
    }

    void infoChangesClearPrintHeaders()
    {
        QFETCH(int, box);
        makeSets({"甲"});
        CurrentRights = "所有权限";
        SetVar(kHeader, "甲公司 销售单");
        QPointer<app::AccountSetInfoDialog> dialog = app::ShowAccountSetInfoDialog();
        dialog->box(box)->setFocus();
        QTest::keyClicks(dialog->box(box), "x");
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);

        QVERIFY(!dialog || !dialog->isVisible());
        QCOMPARE(m_shell->calls, QStringList{"UpdateMainCaption:"});
        QCOMPARE(GetVar(kHeader), box > 0 ? QString() : "甲公司 销售单");
        expectSet(0, box == 0 ? "甲x" : "甲", box == 1 ? "甲公司x" : "甲公司");
    }

    // Confirmed after another set was opened, the window stores nothing.
    void infoAfterOtherSetOpened()
    {
        makeSets({"甲", "乙"});
        CurrentRights = "所有权限";
        QPointer<app::AccountSetInfoDialog> dialog = app::ShowAccountSetInfoDialog();
        QVERIFY(MakeAccountSetCurrent(1));
        SetVar(kHeader, "乙公司 销售单");
        CurrentRights = "所有权限";
        dialog->box(1)->setText("甲公司新");
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QCOMPARE(m_prompts->messages, QStringList{"已打开另一个套账，本窗口的修改没有保存！"});
        QVERIFY(!dialog || !dialog->isVisible());
        QVERIFY(m_shell->calls.isEmpty());
        expectSet(1, "乙", "乙公司");
        QCOMPARE(GetVar(kHeader), "乙公司 销售单");
        QCOMPARE(AccountSets.at(0).Company, "甲公司");
    }

    void infoWriteRefused_data()
    {
        QTest::addColumn<QString>("refusedKey");
        QTest::newRow("name, written first") << QString(kKeyName);
        QTest::newRow("web address, written last") << QString(kKeyWeb);
    }

    // Only a user with every right may store the information. A refused write
    // is said and changes nothing; the window keeps the typed texts.
    void infoWriteRefused()
    {
        QFETCH(QString, refusedKey);
        makeSets({"甲"});
        for (const char *event : {"INSERT", "UPDATE"})
            testsupport::refuseWrites(event, "参数", QString("NEW.Var='%1'").arg(refusedKey));
        QVERIFY(SetVar(kKeyFax, "010-2"));
        CurrentRights = "销售数据添加;产品数据修改";
        QScopedPointer<app::AccountSetInfoDialog> denied(new app::AccountSetInfoDialog);
        QVERIFY(!denied->button(0)->isEnabled());
        QCOMPARE(denied->box(4)->text(), "010-2");
        CurrentRights = "所有权限";
        QPointer<app::AccountSetInfoDialog> dialog = app::ShowAccountSetInfoDialog();
        const QStringList typed{"乙", "乙公司", QString(), QString(), "010-3", "www.example.cn"};
        for (int i : {0, 1, 4, 5})
            dialog->box(i)->setText(typed.at(i));
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);

        QCOMPARE(m_prompts->messages, QStringList{"记录保存失败，数据没有写入！"});
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->box(0)->text(), "乙");
        QVERIFY(m_shell->calls.isEmpty());
        expectSet(0, "甲", "甲公司");
        QCOMPARE(GetVar(kKeyFax), "010-2");
        QCOMPARE(GetVar(kKeyWeb), QString());
    }

private:
    const QString kHeader = "表格打印信息_销售单_0";
    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
    std::unique_ptr<masterfixture::FakeHost> m_shell;
};

QTEST_MAIN(TestAccountSetDialogs)
#include "tst_accountsetdialogs.moc"
