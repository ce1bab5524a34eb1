// The maintenance commands as the menus run them: backup and import with
// their questions and messages, compaction, the clear-data dialog
// and the automatic backups taken when the main window closes a set.

#include "app/accountsetinfodialog.h"
#include "app/cleardatadialog.h"
#include "app/maintenancecommands.h"
#include "appfixture.h"
#include "store/access.h"
#include "store/maintenance.h"
#include "store/programfolder.h"
#include "ui/progress.h"

#include <QCheckBox>

using namespace app;
using testsupport::countRows;
using testsupport::exec;

class TestMaintenanceCommands : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        registerCommands();
        m_fx = std::make_unique<testsupport::MainWindowFixture>();
        m_window = m_fx->window.get();
        m_prompts = &m_fx->prompts;
        m_fx->login();
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w != m_window)
                w->close();
        }
    }

    void cleanup() { m_fx.reset(); }

    // 备份套账 proposes the set's name made fit for a file name, asks for a name
    // (a name without extension gets .qdb), asks before replacing a file and
    // says when it is done; 导入套账 adds the backup as a
    // further set, refuses other files, and keeps the set in use.
    void backupAndImport()
    {
        QTemporaryDir away;
        const QString backup = away.filePath("甲账备份.qdb");

        store::AccountSets[0].Name = "甲/账";
        m_window->mAcc[4]->trigger(); // cancelled
        QVERIFY(QFileInfo(m_prompts->suggestedPaths.value(0)).fileName().startsWith("甲_账-"));
        QVERIFY(m_prompts->messages.isEmpty());

        m_prompts->fileNames = {away.filePath("甲账备份")};
        m_window->mAcc[4]->trigger();
        QCOMPARE(lastMessage(), "数据套账备份完成！");
        QVERIFY(QFileInfo::exists(backup));
        const QByteArray first = testsupport::readFile(backup);

        exec("INSERT INTO Cus (Name) VALUES ('新客户')");
        m_prompts->fileNames = {backup};
        m_prompts->answers = {false};
        m_window->mAcc[4]->trigger();
        QCOMPARE(m_prompts->questions.last(),
                 "文件" + QDir::toNativeSeparators(backup) + "已存在，是否覆盖？");
        QCOMPARE(testsupport::readFile(backup), first);
        m_prompts->fileNames = {backup};
        m_prompts->answers = {true};
        m_window->mAcc[4]->trigger();
        QCOMPARE(lastMessage(), "数据套账备份完成！");
        QVERIFY(testsupport::readFile(backup) != first);

        m_prompts->fileNames = {backup};
        m_window->mAcc[5]->trigger();
        QCOMPARE(lastMessage(), "数据套账导入完成！");
        QCOMPARE(store::AccountSets.size(), 3);
        QCOMPARE(store::CurrentAccountIndex, 0);

        m_prompts->fileNames = {away.filePath("甲账备份.txt")};
        m_window->mAcc[5]->trigger();
        QCOMPARE(lastMessage(), "文件类型错误！");
        QCOMPARE(store::AccountSets.size(), 3);
    }

    // 压缩及整理数据库 compacts quietly behind the progress window; a set still
    // written through another connection and a missing file are told.
    void compaction()
    {
        m_window->mCompact->trigger();
        QVERIFY(m_prompts->messages.isEmpty());
        QVERIFY(!ui::progressWindow() || !ui::progressWindow()->isVisible());
        {
            store::Connection held;
            QVERIFY(store::OpenConn(held));
            QVERIFY(store::ExecSQL("INSERT INTO Cus (Name) VALUES ('x')", &held));
            m_window->mCompact->trigger();
            QCOMPARE(lastMessage(), "数据库压缩失败（数据库正在使用中）！");
        }
        QCOMPARE(countRows("Cus"), 1);
        QVERIFY(!CompactAccountSet("DATA00077.qdt"));
        QCOMPARE(lastMessage(), "没有找到要压缩的数据库文件！");
    }

    // 数据整理 says how many sales it would delete and deletes them only when
    // the user agrees; with nothing to delete it says so and asks nothing.
    void tidyingAsksFirst()
    {
        exec("INSERT INTO Cus (ID, Name) VALUES (1, '客户')");
        exec("INSERT INTO Pro (ID, Name) VALUES (1, '产品')");
        exec("INSERT INTO Sale (CID, PID) VALUES (1, 1)");
        exec("INSERT INTO Sale (CID, PID) VALUES (2, 1)");
        exec("INSERT INTO Sale (CID, PID) VALUES (1, 9)");

        m_prompts->answers = {false};
        m_window->mDataAdjust->trigger();
        QCOMPARE(m_prompts->questions.size(), 1);
        QVERIFY2(m_prompts->questions.last().contains("删除 2 条"),
                 qPrintable(m_prompts->questions.last()));
        QCOMPARE(countRows("Sale"), 3);

        m_prompts->answers = {true};
        m_window->mDataAdjust->trigger();
        QCOMPARE(countRows("Sale"), 1);
        QVERIFY(m_prompts->messages.isEmpty());

        m_window->mDataAdjust->trigger();
        QCOMPARE(m_prompts->questions.size(), 2);
        QCOMPARE(m_prompts->messages.size(), 1);
    }

    // The boxes tick what they need and lock it; 确定 clears the ticked records
    // in one step, keeps the logged-in member and closes the window.
    void clearDialog()
    {
        exec("INSERT INTO Cus (ID, Name) VALUES (1, '客户')");
        exec("INSERT INTO Acc (ID, Name) VALUES (1, '现金')");
        exec("INSERT INTO Vendor (ID, Name) VALUES (1, '供应商')");
        exec("INSERT INTO Sale (CID, PID, AID) VALUES (1, 1, 1)");
        exec("INSERT INTO Pur (VID, PID, AID) VALUES (1, 1, 1)");

        m_window->mAcc[3]->trigger();
        auto *dialog = testsupport::openWindow<ClearDataDialog>("清空数据");
        QVERIFY(dialog);
        const auto states = [dialog] {
            QString text;
            for (int i = 0; i < store::kClearBoxCount; ++i)
                text += dialog->box(i)->isChecked() ? (dialog->box(i)->isEnabled() ? 'x' : 'L')
                                                    : '.';
            return text;
        };
        QTest::mouseClick(dialog->box(3), Qt::LeftButton);
        QCOMPARE(states(), "L..x...");
        // Unticking the fund accounts frees the purchases box but leaves it
        // ticked: the rules never untick. A locked box does not untick.
        QTest::mouseClick(dialog->box(6), Qt::LeftButton);
        QTest::mouseClick(dialog->box(6), Qt::LeftButton);
        QCOMPARE(states(), "Lx.x...");
        QTest::mouseClick(dialog->box(1), Qt::LeftButton);
        QTest::mouseClick(dialog->box(0), Qt::LeftButton);
        QCOMPARE(states(), "L..x...");
        QTest::mouseClick(dialog->box(5), Qt::LeftButton);
        QCOMPARE(states(), "LL.x.x.");

        QPointer<ClearDataDialog> guard(dialog);
        QTest::mouseClick(dialog->button(0), Qt::LeftButton);
        QTRY_VERIFY(!guard);
        QCOMPARE(countRows("Sale"), 0);
        QCOMPARE(countRows("Cus"), 0);
        QCOMPARE(countRows("Staff"), 1);
        QVERIFY(m_prompts->messages.isEmpty());
        QVERIFY(!ui::progressWindow() || !ui::progressWindow()->isVisible());
    }

    // Closing a changed set (opening another, ending the program) leaves a copy
    // in the backup folder; a set closed unchanged gets none.
    void automaticBackupOnClosing()
    {
        const QString first = "DATA00001.qdt";
        const QString second = "DATA00002.qdt";
        QVERIFY(store::AutoBackupsOf(first).isEmpty());
        exec("INSERT INTO Cus (Name) VALUES ('甲的客户')");
        m_window->SelectAccountSet(1, false);
        QCOMPARE(store::AutoBackupsOf(first).size(), 1);

        m_window->SelectAccountSet(0, false);
        QVERIFY(store::AutoBackupsOf(second).isEmpty());
        QCOMPARE(store::AutoBackupsOf(first).size(), 1);

        exec("INSERT INTO Cus (Name) VALUES ('又一个客户')");
        QTest::qWait(1100); // a new second, so that the copy gets its own time
        m_window->close();
        QCOMPARE(store::AutoBackupsOf(first).size(), 2);
        QVERIFY(m_prompts->messages.isEmpty());
    }

    // A backup that cannot be written is told once and the set is still closed.
    void automaticBackupFailureToldOnce()
    {
        QFile blocker(store::AutoBackupFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        for (int i = 0; i < 2; ++i) {
            exec(QString("INSERT INTO Cus (Name) VALUES ('客户%1')").arg(i));
            m_window->SelectAccountSet(1, false);
            QCOMPARE(store::CurrentAccountFile, "DATA00002.qdt");
            m_window->SelectAccountSet(0, false);
        }
        QCOMPARE(m_prompts->messages.size(), 1);
        QVERIFY(m_prompts->messages.first().contains("自动备份失败"));
    }

    // The information window says where the copies go and switches them.
    void infoDialogShowsTheBackups()
    {
        AccountSetInfoDialog *dialog = ShowAccountSetInfoDialog(m_window);
        QCOMPARE(dialog->backupFolderBox()->text(),
                 QDir::toNativeSeparators(store::AutoBackupFolder()));
        QVERIFY(dialog->autoBackupBox()->isChecked());
        dialog->autoBackupBox()->setChecked(false);
        dialog->confirm();
        QVERIFY(!store::AutoBackupEnabled());
        exec("INSERT INTO Cus (Name) VALUES ('客户')");
        m_window->SelectAccountSet(1, false);
        QVERIFY(store::AutoBackupsOf("DATA00001.qdt").isEmpty());
    }

private:
    QString lastMessage() const
    {
        return m_prompts->messages.isEmpty() ? QString() : m_prompts->messages.last();
    }

    std::unique_ptr<testsupport::MainWindowFixture> m_fx;
    MainWindow *m_window = nullptr;
    testsupport::ScriptedPrompts *m_prompts = nullptr;
};

QTEST_MAIN(TestMaintenanceCommands)
#include "tst_maintenancecommands.moc"
