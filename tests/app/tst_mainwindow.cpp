// The main window: caption, rights, commands, filter bars and layout.

#include "app/periodmenu.h"
#include "app/startup.h"

#include "appfixture.h"
#include "grid/gridops.h"
#include "print/deliverynotepreview.h"
#include "print/previewsettings.h"
#include "print/printpreview.h"
#include "records/accountdialog.h"
#include "records/productdialog.h"
#include "records/saledialog.h"
#include "store/access.h"
#include "store/params.h"
#include "ui/helpers.h"

#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>

using namespace app;
using namespace appfixture;

namespace {

// A list grid with one data row per name, IDs 1, 2 …
void fillGrid(grid::Grid &grid, const QStringList &names)
{
    grid::SetupGridColumns(grid, {"ID", QString(), "Name"}, {"ID", "序号", "名称"});
    grid.setRows(2 + names.size());
    for (int i = 0; i < names.size(); ++i) {
        grid.setTextMatrix(2 + i, 0, QString::number(i + 1));
        grid.setTextMatrix(2 + i, 2, names.at(i));
    }
    grid.setRow(2);
}

// Gives the window this outer size (frame included), in twips.
void resizeOuter(QWidget &window, int width, int height)
{
    const QSize frame = window.frameGeometry().size() - window.size();
    window.resize(QSize(ui::pixels(width), ui::pixels(height)) - frame);
}

} // namespace

class TestMainWindow : public WindowTest
{
    Q_OBJECT

    // The open record dialog with this caption, when it shows this record.
    template<typename Dialog>
    static Dialog *opened(const QString &caption, const QString &id)
    {
        auto *dialog = openWindow<Dialog>(caption);
        return dialog && dialog->idBox()->text() == id ? dialog : nullptr;
    }

private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    // The title names the set and the user once, whatever it showed before.
    void caption()
    {
        const QString t = kDesignTitle;
        const QList<QStringList> cases{{t, "A", "", t + " >> A"},
                                       {t + " >> A=>U", "B", "", t + " >> B"},
                                       {t + " >> A", "A", "U", t + " >> A=>U"},
                                       {t + " >> X >> Y=>U", "Z", "", t + " >> Z"}};
        for (const QStringList &c : cases)
            QCOMPARE(MainCaption(c.at(0), c.at(1), c.at(2)), c.at(3));

        QCOMPARE(w->windowTitle(), "Korvo进销存3.00 >> 甲账");
        fx->login();
        QCOMPARE(w->windowTitle(), "Korvo进销存3.00 >> 甲账=>zunta");
        w->SelectAccountSet(1, true);
        QCOMPARE(w->windowTitle(), "Korvo进销存3.00 >> 乙账");
        QVERIFY(store::CurrentUser.isEmpty());
        QVERIFY(ui::FormIsOpen("请输入用户名及密码")); // a new set always asks for a login
    }

    // The rights reach every button, grid and menu item; logging out takes
    // them all back.
    void rightsOnTheWindow()
    {
        for (int tab : w->MSF.keys())
            fillGrid(*w->MSF[tab], {"a", "b"});
        fx->login("u", "销售数据查看;销售数据添加");
        QVERIFY(w->SST->isEnabled());
        QCOMPARE(enabledKeys(w->Com), QList<int>({1, 7, 8, 9, 10, 41, 42, 43, 44, 45}));
        QCOMPARE(enabledKeys(w->MSF), QList<int>{0});
        for (int tab : w->MSF.keys())
            QCOMPARE(w->MSF[tab]->dataRows(), tab == 0 ? 2 : 0);
        QVERIFY(enabledKeys(w->mReplace).isEmpty());
        QCOMPARE(enabledKeys(w->mAcc).mid(0, 2), QList<int>({0, 1}));
        QVERIFY(!w->mAcc[2]->isEnabled() && !w->mAcc[5]->isEnabled());
        QVERIFY(!w->mCompact->isEnabled() && !w->mDataAdjust->isEnabled());

        fx->login();
        QCOMPARE(enabledKeys(w->Com), w->Com.keys());
        QCOMPARE(enabledKeys(w->MSF), w->MSF.keys());
        for (QAction *item : w->findChildren<QAction *>()) {
            // A file set is open: downloading a server set is the one item off.
            if (!item->isSeparator() && !item->menu())
                QVERIFY2(item->isEnabled() != item->text().startsWith("下载为本地套账"),
                         qPrintable(item->text()));
        }

        // 注销: every list empty, every command off; 修改密码 only tells.
        fillGrid(*w->MSF[0], {"a"});
        w->mLogout->trigger();
        QVERIFY(!w->SST->isEnabled());
        QCOMPARE(w->MSF[0]->dataRows(), 0);
        QVERIFY(enabledKeys(w->Com).isEmpty());
        w->mModiPSD->trigger();
        QCOMPARE(prompts->messages, QStringList{"您尚未登录！"});
        QVERIFY(!ui::FormIsOpen("修改登录密码"));
    }

    // Each button reaches its handler with its own tab's grid; an
    // unregistered command says so.
    void commandsGoToTheRegistry()
    {
        fx->login();
        QStringList calls;
        auto gridName = [this](grid::Grid &grid) {
            const int tab = w->MSF.key(&grid, -1);
            return tab >= 0 ? QString("MSF%1").arg(tab)
                            : QString("MSF1%1").arg(w->MSF1.key(&grid, -1));
        };
        Commands &registry = commands();
        registry.setRecordEditor(5,
                                 [&](QWidget *, int id) { calls << QString("edit5:%1").arg(id); });
        registry.setRecordDeleter(6, [&](grid::Grid &g) { calls << "delete:" + gridName(g); });
        registry.setGridPrinter([&](grid::Grid &g) { calls << "print:" + gridName(g); });
        registry.setGridExporter([&](grid::Grid &g) { calls << "export:" + gridName(g); });
        registry.setGridImporter([&](grid::Grid &g) { calls << "import:" + gridName(g); });
        registry.setAnalysis(3, [&](MainWindow &, int tab) { calls << QString::number(tab); });
        registry.setAction("mReplace2", [&](MainWindow &) { calls << "merge"; });
        registry.setAction("Com67", [&](MainWindow &) { calls << "fields"; });

        for (int index : {101, 123, 24, 85, 146, 44, 43, 67})
            w->Com_Click(index); // nobody registered 43
        w->mReplace[2]->trigger();
        w->mCompact->trigger(); // nobody registered it
        QCOMPARE(calls, QStringList({"edit5:0", "delete:MSF6", "print:MSF1", "export:MSF4",
                                     "import:MSF7", "3", "fields", "merge"}));
        QVERIFY(registry.unregistered().contains("mCompact"));
        // Past its six list buttons a master tab has none.
        QCOMPARE(buttonRole(20 * 6 + 7), ButtonRole::None);
        QCOMPARE(prompts->messages, QStringList(2, kNotProvided));
        prompts->messages.clear();
        // So does editing a row of a list without an edit dialog.
        registry.clear();
        fillGrid(*w->MSF[3], {"a"});
        w->MSF_DblClick(3);
        QCOMPARE(prompts->messages, QStringList{kNotProvided});
    }

    // Every button and menu item of the window reaches its work.
    void everyCommandHasItsWork()
    {
        registerCommands();
        const Commands &registry = commands();
        QStringList missing;
        for (QPushButton *button : w->findChildren<QPushButton *>()) {
            const int index = w->Com.key(button, -1);
            if (button->window() == w && (index < 0 || !registry.handlesButton(index)))
                missing << QString("Com%1 ").arg(index) + button->text();
        }
        const QList<QAction *> ownItems = {w->mLogin, w->mLogout, w->mExit, w->mModiPSD, w->mAbout};
        int items = 0;
        for (QAction *menu : w->menuBar()->actions()) {
            for (QAction *item : menu->menu()->actions()) {
                if (item->isSeparator() || item->text().isEmpty())
                    continue;
                ++items;
                const QString name = item->property("command").toString();
                const bool own = ownItems.contains(item) || item->property("listKey").isValid();
                if (name.isEmpty() ? !own : !registry.handlesAction(name))
                    missing << name + QLatin1Char(' ') + item->text();
            }
        }
        QCOMPARE(items, 32);
        if (!registry.handlesGridExport())
            missing << "导出表格";
        if (!registry.handlesPictureSave())
            missing << "保存图片";
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    }

    // The sales and purchase lists follow their tab's dates and filter bar;
    // editing reaches the sale dialog.
    void salesAndPurchaseCommands()
    {
        registerCommands();
        execAll({"INSERT INTO Pro (ID, Name, Price) VALUES (1, '钢管', 25)",
                 "INSERT INTO Acc (ID, Name) VALUES (1, '现金')",
                 "INSERT INTO Cus (ID, Name, Disc) VALUES (1, '李四', 1), (2, '张三', 1)",
                 "INSERT INTO Vendor (ID, Name) VALUES (1, '东方'), (2, '东方红')",
                 "INSERT INTO Sale (ID, Dat, CID, Memo, PID, AID, SID, Price, Num, Pay, Pay1) "
                 "VALUES (7, '2024-03-01 08:00:00', 1, 'a', 1, 1, 2, 10, 5, 50, 50), "
                 "(8, '2024-03-05 23:59:00', 2, 'b', 1, 1, 2, 10, 5, 50, 50), "
                 "(9, '2024-03-06 00:00:00', 2, 'c', 1, 1, 2, 10, 5, 50, 50)",
                 "INSERT INTO Pur (Dat, PID, AID, SID, Num, VID, Price, Memo) VALUES "
                 "('2024-03-02', 1, 1, 2, 1, 1, 8, 'x'), ('2024-03-02', 1, 1, 2, 1, 2, 9, 'y')"});

        fx->login("zunta", "销售数据查看;销售数据修改;销售数据删除");
        w->SST->setCurrentIndex(0);
        w->SDTP[0]->setDate(QDate(2024, 3, 1));
        w->SDTP[1]->setDate(QDate(2024, 3, 5));
        w->Com_Click(7);
        grid::Grid &g = *w->MSF[0];
        QCOMPARE(column(g, 11), QStringList({"a", "b"}));

        g.setRow(3);
        w->Com_Click(2);
        auto *sale = opened<records::SaleDialog>(records::kSaleDialogCaption, "0000008");
        QVERIFY(sale);
        sale->box(4)->setText("b2");
        QVERIFY(sale->SaveSaleInfo()); // saving reloads the list
        QCOMPARE(column(g, 11), QStringList({"a", "b2"}));
        sale->close();

        // The purchase tab has its own dates and filter bar: 东方, not 东方红.
        fx->login();
        w->SST->setCurrentIndex(1);
        w->SDTP[2]->setDate(QDate(2024, 3, 1));
        w->SDTP[3]->setDate(QDate(2024, 3, 31));
        w->CB[21]->setCurrentIndex(1);
        w->CB_Click(21);
        w->CB[22]->setCurrentIndex(1);
        w->CB[23]->setEditText("东方");
        w->Com_Click(27);
        QCOMPARE(column(*w->MSF[1], 11), QStringList{"x"});
        QVERIFY(prompts->messages.isEmpty());
    }

    // The master tabs load their lists when shown; add, edit and delete reach
    // the master-list code within the user's rights.
    void masterCommands()
    {
        registerCommands();
        execAll({"INSERT INTO Pro (ID, Name, Price, Unit) VALUES (1, '钢管', 25, '根')",
                 "INSERT INTO Cus (ID, Name, Disc) VALUES (1, '张三', 1)",
                 "INSERT INTO Acc (ID, Name) VALUES (1, '现金'), (2, '建行')"});

        fx->login("zunta", "产品数据查看;产品数据添加");
        w->SST->setCurrentIndex(3);
        grid::Grid &g = *w->MSF[3];
        QCOMPARE(column(g, 2), QStringList{"钢管"});
        QVERIFY(!w->Com[62]->isEnabled() && !w->Com[67]->isEnabled());
        w->MSF_DblClick(3);
        QVERIFY(!openWindow(records::kProductDialogCaption));
        w->Com_Click(61);
        auto *product = opened<records::ProductDialog>(records::kProductDialogCaption, QString());
        QVERIFY(product);
        product->box(0)->setText("槽钢");
        QTest::mouseClick(product->button(0), Qt::LeftButton);
        QCOMPARE(column(g, 2), QStringList({"钢管", "槽钢"}));

        // The fund accounts: edit the current row, delete it.
        fx->login();
        w->SST->setCurrentIndex(6);
        grid::Grid &accounts = *w->MSF[6];
        QCOMPARE(column(accounts, 2), QStringList({"现金", "建行"}));
        accounts.setRow(3);
        w->MSF_DblClick(6);
        auto *account = opened<records::AccountDialog>(records::kAccountDialogCaption, "2");
        QVERIFY(account);
        account->close();
        prompts->answers = {true};
        w->Com_Click(123);
        QCOMPARE(column(accounts, 2), QStringList{"现金"});

        w->SST->setCurrentIndex(7); // the staff list of the set
        QCOMPARE(w->MSF[7]->dataRows(), 2);
        QVERIFY(prompts->messages.isEmpty());
    }

    // Insert adds, Enter edits, Delete asks, Ctrl+F finds the search box, and
    // none does what a disabled button would not.
    void listKeys()
    {
        registerCommands();
        exec("INSERT INTO Pro (ID, Name, Price, Unit) VALUES (1, '钢管', 25, '根')");
        openWindow("请输入用户名及密码")->close();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        fx->login("zunta", "产品数据查看");
        w->SST->setCurrentIndex(3);
        w->MSF[3]->setFocus();
        QTest::keyClick(w, Qt::Key_Insert);
        QVERIFY(!openWindow(records::kProductDialogCaption));
        QTest::keyClick(w->MSF[3], Qt::Key_Delete);
        QVERIFY(prompts->questions.isEmpty());

        fx->login();
        w->SST->setCurrentIndex(0);
        w->SST->setCurrentIndex(3);
        w->MSF[3]->setRow(2);
        w->MSF[3]->setFocus();
        QTest::keyClick(w->MSF[3], Qt::Key_Return);
        const auto productShown = [](const QString &name) {
            auto *product = openWindow<records::ProductDialog>(records::kProductDialogCaption);
            const bool shown = product && product->box(0)->text() == name;
            if (product)
                product->close();
            return shown;
        };
        QVERIFY(productShown("钢管"));
        QTest::keyClick(w, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(productShown(QString()));
        w->MSF[3]->setFocus();
        QTest::keyClick(w->MSF[3], Qt::Key_Delete);
        QCOMPARE(prompts->questions.size(), 1);

        w->SST->setCurrentIndex(0);
        QTest::keyClick(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), w->SKey[0]);
    }

    // Each period around Wednesday 2026-12-09; 全部 spans the records and today.
    void periods()
    {
        const QDate day(2026, 12, 9);
        const QList<std::tuple<Period, QDate, QDate, QDate>> cases = {
                {Period::Today, day, day, day},
                {Period::ThisWeek, day, QDate(2026, 12, 7), QDate(2026, 12, 13)},
                {Period::ThisMonth, day, QDate(2026, 12, 1), QDate(2026, 12, 31)},
                {Period::LastMonth, day, QDate(2026, 11, 1), QDate(2026, 11, 30)},
                {Period::LastMonth, QDate(2026, 1, 15), QDate(2025, 12, 1), QDate(2025, 12, 31)},
                {Period::ThisQuarter, day, QDate(2026, 10, 1), QDate(2026, 12, 31)},
                {Period::ThisYear, day, QDate(2026, 1, 1), QDate(2026, 12, 31)},
                {Period::LastYear, day, QDate(2025, 1, 1), QDate(2025, 12, 31)},
        };
        for (const auto &[period, today, first, last] : cases)
            QCOMPARE(periodRange(period, today), qMakePair(first, last));
        QCOMPARE(periodRange(Period::All, day, QDate(2019, 5, 2), QDate(2027, 1, 3)),
                 qMakePair(QDate(2019, 5, 2), QDate(2027, 1, 3)));
        QCOMPARE(periodRange(Period::All, day, QDate(2019, 5, 2), QDate(2020, 1, 3)),
                 qMakePair(QDate(2019, 5, 2), day));
    }

    // 打印销售单 needs the print right and one customer; the paper chosen is
    // remembered. 打印表格 previews the tab's grid with the company's title.
    void deliveryNoteCommand()
    {
        registerCommands();
        execAll({"INSERT INTO Pro (ID, Name) VALUES (1, '钢管')",
                 "INSERT INTO Acc (ID, Name) VALUES (1, '现金')",
                 "INSERT INTO Cus (ID, Name) VALUES (1, '张三'), (2, '李四')"});
        for (int i = 1; i <= 30; ++i)
            exec(QStringLiteral("INSERT INTO Sale (Dat, CID, PID, AID, SID, Price, Num, Pay, Pay1) "
                                "VALUES ('2024-03-01', %1, 1, 1, 2, 2, 1, 2, 0)")
                         .arg(i == 30 ? 2 : 1));
        fx->login("zunta", "销售数据查看");
        QVERIFY(!w->mNote[kSalesTab]->isEnabled());
        fx->login("zunta", "销售数据查看;销售数据打印");
        QVERIFY(w->mNote[kSalesTab]->isEnabled());
        w->SST->setCurrentIndex(0);
        w->SDTP[0]->setDate(QDate(2024, 1, 1));
        w->Com_Click(7);
        grid::Grid &g = *w->MSF[0];
        g.setRow(2);
        g.setRowSel(31);
        w->mNote[kSalesTab]->trigger();
        QVERIFY(prompts->messages.value(0).contains("2 个不同的客户"));
        QVERIFY(!openWindow("销售单预览"));

        g.setRowSel(30);
        w->mNote[kSalesTab]->trigger();
        auto *preview = openWindow<print::DeliveryNotePreview>("销售单预览");
        QVERIFY(preview);
        QCOMPARE(preview->note().lines.size(), 29);
        QCOMPARE(preview->note().partnerName, "张三");
        preview->paperBox()->setCurrentIndex(1);
        emit preview->paperBox()->activated(1);
        QCOMPARE(store::GetVar(print::kNotePaperKey), "A5");

        const QString pdf = fx->folder.filePath("note.pdf");
        prompts->printers = {print::kPdfPrinterName};
        prompts->fileNames = {pdf};
        preview->printAll();
        QVERIFY(testsupport::readFile(pdf).startsWith("%PDF-"));

        fx->login();
        w->SST->setCurrentIndex(6);
        w->Com_Click(124);
        auto *gridPreview = openWindow<print::PrintPreview>(print::kPreviewCaption);
        QVERIFY(gridPreview);
        QCOMPARE(gridPreview->grid(), w->MSF[6]);
        QCOMPARE(gridPreview->headerBox(0)->text(), "甲公司资金库列表");
        QCOMPARE(prompts->messages.size(), 1);
    }

    // 备注 locks the operator on 包含 and empties the value box; a master list
    // unlocks it and offers the names. Number values take digits and the point.
    void remarkFieldLocksOperator()
    {
        fx->login();
        execAll({"INSERT INTO Pro (Name) VALUES ('钢管')",
                 "INSERT INTO Vendor (Name) VALUES ('华东供应')"});
        for (int base : {0, 21}) {
            QComboBox *op = w->CB[base + 1];
            QComboBox *value = w->CB[base + 2];
            op->setCurrentIndex(1); // 等于
            value->setEditText("旧值");
            w->CB[base]->setCurrentIndex(4);
            w->CB_Click(base);
            QVERIFY(!op->isEnabled());
            QCOMPARE(op->currentText(), "包含");
            QCOMPARE(value->count(), 0);
            QCOMPARE(value->currentText(), QString());

            w->CB[base]->setCurrentIndex(base == 0 ? 0 : 1);
            w->CB_Click(base);
            QVERIFY(op->isEnabled());
            QCOMPARE(value->count(), 2);
            QCOMPARE(value->itemText(1), base == 0 ? "钢管" : "华东供应");
        }

        w->CPic[1]->show();
        QLineEdit *number = w->CB[26]->lineEdit();
        QTest::keyClicks(w->CB[26], "-2x5.0abc");
        QCOMPARE(number->text(), "25.0");
    }

    // 条件▼ moves the list below its panel and back, marked while a condition
    // is set and the panel hidden. Searching the grey hint does nothing.
    void conditionPanelAndKeyword()
    {
        w->show();
        resizeOuter(*w, 12000, 8000);
        fx->login();
        for (const int tab : {0, 1}) {
            w->SST->setCurrentIndex(tab);
            grid::Grid *grid = w->MSF[tab];
            QFrame *panel = w->CPic[tab];
            QPushButton *button = w->Com[20 * tab + 8];
            const QRect whole = grid->geometry();

            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(panel->isVisible());
            QCOMPARE(grid->geometry().top(), panel->geometry().bottom() + 1);
            QCOMPARE(grid->geometry().bottom(), whole.bottom());

            const int base = tab == 0 ? 0 : 21;
            w->CB[base + 5]->setEditText("100");
            QCOMPARE(button->text(), "条件▼");
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(!panel->isVisible());
            QCOMPARE(grid->geometry().top(), whole.top());
            QCOMPARE(button->text(), "条件▼*");
            w->Com_Click(20 * tab + 9); // 清除
            QCOMPARE(button->text(), "条件▼");
        }

        w->SST->setCurrentIndex(0);
        fillGrid(*w->MSF[0], {"alpha", "输入关键词", "beta"});
        QLineEdit *keyword = w->SKey[0];
        QCOMPARE(keyword->text(), "输入关键词");
        QVERIFY(w->keywordIsPlaceholder(0));
        w->Com_Click(10);
        QCOMPARE(w->MSF[0]->row(), 2);

        w->activateWindow();
        keyword->setFocus();
        QTRY_VERIFY(keyword->hasFocus());
        QCOMPARE(keyword->text(), QString());
        QTest::keyClicks(keyword, "beta");
        w->Com_Click(10);
        QCOMPARE(w->MSF[0]->row(), 4);
        QVERIFY(prompts->messages.isEmpty());
        QVERIFY(w->keywordIsPlaceholder(1)); // the purchase box keeps its own
    }

    // The splitter never leaves its frame; a tiny window gives empty
    // controls, not negative sizes.
    void splitterStaysInsideFrame()
    {
        w->show();
        resizeOuter(*w, 9000, 6000);
        QTRY_COMPARE(w->layoutTwips().frm1.width(), 8640);
        w->setSplitterLeft(1, 4000);
        QCOMPARE(w->layoutTwips().msf1[1].right() + 1 + kSplitterWidth,
                 w->layoutTwips().pic[1].left());
        w->setSplitterLeft(1, 100000);
        QVERIFY(w->splitterLeft(1) + kSplitterWidth <= 8640);
        QVERIFY(w->layoutTwips().pic[1].width() > 0);
        w->setSplitterLeft(1, -500);
        QVERIFY(w->layoutTwips().msf1[1].width() > 0);
        QCOMPARE(w->splitterLeft(1), kSplitterMargin);

        const MainLayout tiny = computeMainLayout(100, 100, {{-1, -1, -1, -1}});
        QCOMPARE(tiny.sst.size(), QSize(0, 0));
        QCOMPARE(tiny.pic[0].width(), 0);
    }

    // The status bar counts the products at or below their floor; a click
    // lists them. Nobody logged in sees nothing.
    void lowStockNote()
    {
        execAll({"INSERT INTO Pro (ID, Name, MinNum) VALUES (1, '钢管', 5), (2, '角钢', 0), "
                 "(3, '铁丝', NULL), (4, '铜线', 2)",
                 "INSERT INTO Pur (Dat, PID, Num) VALUES ('2024-01-01', 1, 8), "
                 "('2024-01-01', 4, 10), ('2024-01-01', 3, -1)",
                 "INSERT INTO Sale (Dat, PID, Num) VALUES ('2024-01-02', 1, 3)"});
        fx->login();
        QToolButton *note = nullptr;
        for (QToolButton *button : w->statusBar()->findChildren<QToolButton *>())
            if (button->text().endsWith("种产品库存不足"))
                note = button;
        QVERIFY(note && note->isVisible());
        QCOMPARE(note->text(), "有 2 种产品库存不足");
        QTest::mouseClick(note, Qt::LeftButton);
        QCOMPARE(prompts->messages,
                 QStringList{
                         "库存不足的产品：\n钢管：库存 5，最低库存 5\n角钢：库存 0，最低库存 0"});
        w->mLogout_Click();
        QVERIFY(!note->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
