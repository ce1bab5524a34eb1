// The analysis tabs run with their own dates and options; charts follow
// their pictures' size.

#include "app/chartpicture.h"
#include "appfixture.h"
#include "grid/gridtotals.h"

#include <QPainter>

using namespace app;
using namespace appfixture;

class TestAnalysisTabs : public WindowTest
{
    Q_OBJECT

private slots:
    void init()
    {
        start(false);
        registerCommands();
        fx->login();
        execAll({"INSERT INTO Pro (ID, Name) VALUES (7, '钢管'), (8, '角钢')",
                 "INSERT INTO Cus (ID, Name) VALUES (1, '张三')",
                 "INSERT INTO Pur (Dat,PID,VID,AID,SID,Num,Pay) VALUES "
                 "('2024-01-01',7,1,1,2,10,50)",
                 "INSERT INTO Sale (Dat,PID,CID,AID,SID,Num,Pay) VALUES "
                 "('2024-03-04',7,1,1,2,2,30), ('2024-03-06',8,1,1,2,1,12)"});
        w->resize(1200, 800);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

    void cleanup()
    {
        fx->close();
        const QStringList messages = prompts->messages;
        stop();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(" / ")));
    }

    void buttonsRunTheAnalyses()
    {
        // The tab's period: March 2024 (the stock tab: its last day).
        const auto march = [this](int tab) {
            w->DTP[2 * tab]->setDate(QDate(2024, 3, tab == 1 ? 31 : 1));
            w->DTP[2 * tab + 1]->setDate(QDate(2024, 3, 31));
        };
        // 合计 sums quantities and profits, not stock levels.
        const auto totals = [this](int tab) {
            w->AnalysisTotals[tab]->refresh();
            return w->AnalysisTotals[tab]->text();
        };
        // Sales by day, quantities.
        march(0);
        w->Op[3]->setChecked(true);
        w->Op1[1]->setChecked(true);
        w->Com_Click(41);
        QCOMPARE(column(*w->MSF1[0], 2), QStringList({"2", "0", "1"})); // 03-04, 05 and 06
        QCOMPARE(totals(0), "合计：3 行　　销售数量：3");

        // The product box narrows the sales to one product.
        w->SST1->setCurrentIndex(0);
        w->SST1_Click(0);
        w->COB[0]->setCurrentIndex(w->COB[0]->findText("角钢"));
        w->Op[4]->setChecked(true);
        w->Com_Click(41);
        QCOMPARE(column(*w->MSF1[0], 1), QStringList({"角钢"}));

        march(1);
        w->Com_Click(42);
        QCOMPARE(column(*w->MSF1[1], 2), QStringList({"8", "-1"}));
        QCOMPARE(totals(1), QString());

        // Profit: 2 × 5.00 against 30.00, and 12.00 without purchases.
        march(3);
        w->Com_Click(44);
        QCOMPARE(column(*w->MSF1[3], 2), QStringList({"20.00", "12.00", ""}));
        QCOMPARE(totals(3), "合计：2 行　　利润：32.00");

        // Receivables up to the tab's end day; payables need 采购数据查看.
        w->DTP[9]->setDate(QDate(2024, 3, 31));
        w->Com_Click(45);
        QCOMPARE(column(*w->MSF1[4], 4), QStringList({"42.00", "42.00"})); // 张三 and 合计
        QVERIFY(!w->Pic[4]->isEmpty());
        fx->login("zunta", "销售数据查看");
        w->Op1[8]->setChecked(true);
        w->Com_Click(45);
        QCOMPARE(prompts->messages.takeLast(), "您没有采购数据查看权限，不能分析应付账款。");
    }

    // The chart is drawn again at every size of its picture.
    void pictureFollowsItsSize()
    {
        ChartPicture picture;
        int drawn = 0;
        picture.setDrawing([&](QPainter &painter, const QSize &size) {
            ++drawn;
            painter.fillRect(QRect(QPoint(0, 0), size), Qt::red);
        });
        picture.resize(300, 200);
        QCOMPARE(picture.image().size(), QSize(300, 200));
        const int before = drawn;
        picture.image(); // the same size: not drawn again
        QCOMPARE(drawn, before);
        picture.resize(500, 400);
        QCOMPARE(picture.image().size(), QSize(500, 400));
        QCOMPARE(drawn, before + 1);
        // Shown after being covered: painted from the drawing, not lost.
        picture.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picture));
        QCOMPARE(picture.grab().toImage().pixel(250, 200), qRgb(255, 0, 0));
        picture.clear();
        QVERIFY(picture.isEmpty());
        QCOMPARE(picture.image().pixel(250, 200), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(TestAnalysisTabs)
#include "tst_analysistabs.moc"
