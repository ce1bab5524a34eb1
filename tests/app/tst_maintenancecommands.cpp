// The maintenance commands as the menus run them, and the automatic backups.

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

class TestMaintenanceCommands : public appfixture::WindowTest
{
    Q_OBJECT

    QString lastMessage() const { return prompts->messages.value(prompts->messages.size() - 1); }

private slots:
    void init()
    {
        registerCommands();
        start();
        fx->login();
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window != w)
                window->close();
    }
    void cleanup() { stop(); }

    // 备份套账 proposes a file name from the set's name, adds .qdb and asks
    // before replacing; 导入套账 adds the backup as a further set.
    void backupAndImport()
    {
        QTemporaryDir away;
        const QString backup = away.filePath("甲账备份.qdb");

        store::AccountSets[0].Name = "甲/账";
        w->mAcc[4]->trigger(); // cancelled
        QVERIFY(QFileInfo(prompts->suggestedPaths.value(0)).fileName().startsWith("甲_账-"));
        QVERIFY(prompts->messages.isEmpty());

        prompts->fileNames = {away.filePath("甲账备份")};
        w->mAcc[4]->trigger();
        QCOMPARE(lastMessage(), "数据套账备份完成！");
        QVERIFY(QFileInfo::exists(backup));
        const QByteArray first = testsupport::readFile(backup);

        exec("INSERT INTO Cus (Name) VALUES ('新客户')");
        prompts->fileNames = {backup};
        prompts->answers = {false};
        w->mAcc[4]->trigger();
        QCOMPARE(prompts->questions.last(),
                 "文件" + QDir::toNativeSeparators(backup) + "已存在，是否覆盖？");
        QCOMPARE(testsupport::readFile(backup), first);
        prompts->fileNames = {backup};
        prompts->answers = {true};
        w->mAcc[4]->trigger();
        QCOMPARE(lastMessage(), "数据套账备份完成！");
        QVERIFY(testsupport::readFile(backup) != first);

        prompts->fileNames = {backup};
        w->mAcc[5]->trigger();
        QCOMPARE(lastMessage(), "数据套账导入完成！");
        QCOMPARE(store::AccountSets.size(), 3);
        QCOMPARE(store::CurrentAccountIndex, 0);
    }

    // Compaction is quiet; a set still in use and a missing file are told.
    void compaction()
    {
        w->mCompact->trigger();
        QVERIFY(prompts->messages.isEmpty());
        QVERIFY(!ui::progressWindow() || !ui::progressWindow()->isVisible());
        {
            store::Connection held;
            QVERIFY(store::OpenConn(held));
            QVERIFY(store::ExecSQL("INSERT INTO Cus (Name) VALUES ('x')", &held));
            w->mCompact->trigger();
            QCOMPARE(lastMessage(), "数据库压缩失败（数据库正在使用中）！");
        }
        QCOMPARE(countRows("Cus"), 1);
    }

    // 数据整理 says how many sales it would delete and deletes only on Yes.
    void tidyingAsksFirst()
    {
        appfixture::execAll({"INSERT INTO Cus (ID, Name) VALUES (1, '客户')",
                             "INSERT INTO Pro (ID, Name) VALUES (1, '产品')",
                             "INSERT INTO Sale (CID, PID) VALUES (1, 1), (2, 1), (1, 9)"});

        prompts->answers = {false};
        w->mDataAdjust->trigger();
        QCOMPARE(prompts->questions.size(), 1);
        QVERIFY2(prompts->questions.last().contains("删除 2 条"),
                 qPrintable(prompts->questions.last()));
        QCOMPARE(countRows("Sale"), 3);

        prompts->answers = {true};
        w->mDataAdjust->trigger();
        QCOMPARE(countRows("Sale"), 1);
        QVERIFY(prompts->messages.isEmpty());

        w->mDataAdjust->trigger();
        QCOMPARE(prompts->questions.size(), 2);
        QCOMPARE(prompts->messages.size(), 1);
    }

    // The boxes tick what they need and lock it; 确定 clears the ticked records
    // and keeps the logged-in member.
    void clearDialog()
    {
        appfixture::execAll({"INSERT INTO Cus (ID, Name) VALUES (1, '客户')",
                             "INSERT INTO Acc (ID, Name) VALUES (1, '现金')",
                             "INSERT INTO Vendor (ID, Name) VALUES (1, '供应商')",
                             "INSERT INTO Sale (CID, PID, AID) VALUES (1, 1, 1)",
                             "INSERT INTO Pur (VID, PID, AID) VALUES (1, 1, 1)"});

        w->mAcc[3]->trigger();
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
        // The rules never untick; a locked box does not untick.
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
        QCOMPARE(countRows("Cus"), 0);
        QVERIFY(prompts->messages.isEmpty());
        QVERIFY(!ui::progressWindow() || !ui::progressWindow()->isVisible());
    }

    // Closing a changed set leaves a copy in the backup folder; an unchanged
    // one gets none.
    void automaticBackupOnClosing()
    {
        const QString first = "DATA00001.qdt";
        const QString second = "DATA00002.qdt";
        QVERIFY(store::AutoBackupsOf(first).isEmpty());
        exec("INSERT INTO Cus (Name) VALUES ('甲的客户')");
        w->SelectAccountSet(1, false);
        QCOMPARE(store::AutoBackupsOf(first).size(), 1);

        w->SelectAccountSet(0, false);
        QVERIFY(store::AutoBackupsOf(second).isEmpty());
        QCOMPARE(store::AutoBackupsOf(first).size(), 1);

        exec("INSERT INTO Cus (Name) VALUES ('又一个客户')");
        QTest::qWait(1100); // a new second, so that the copy gets its own time
        w->close();
        QCOMPARE(store::AutoBackupsOf(first).size(), 2);
        QVERIFY(prompts->messages.isEmpty());
    }

    // A backup that cannot be written is told once and the set is still closed.
    void automaticBackupFailureToldOnce()
    {
        QFile blocker(store::AutoBackupFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        for (int i = 0; i < 2; ++i) {
            exec(QString("INSERT INTO Cus (Name) VALUES ('客户%1')").arg(i));
            w->SelectAccountSet(1, false);
            QCOMPARE(store::CurrentAccountFile, "DATA00002.qdt");
            w->SelectAccountSet(0, false);
        }
        QCOMPARE(prompts->messages.size(), 1);
        QVERIFY(prompts->messages.first().contains("自动备份失败"));
    }

    // The information window switches the copies off.
    void infoDialogShowsTheBackups()
    {
        AccountSetInfoDialog *dialog = ShowAccountSetInfoDialog(w);
        QVERIFY(dialog->autoBackupBox()->isChecked());
        dialog->autoBackupBox()->setChecked(false);
        dialog->confirm();
        QVERIFY(!store::AutoBackupEnabled());
    }
};

QTEST_MAIN(TestMaintenanceCommands)
#include "tst_maintenancecommands.moc"
