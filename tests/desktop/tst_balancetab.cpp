// The 往来分析 tab on a real window system draws its grid and chart; 付款…
// opens for the vendor of the current row.

#include "../app/appfixture.h"
#include "app/chartpicture.h"
#include "records/settlementdialog.h"

using namespace app;

class TestBalanceTab : public QObject
{
    Q_OBJECT

private slots:
    void theTabShowsWhoOwesWhat()
    {
        testsupport::MainWindowFixture fx(false);
        registerCommands();
        fx.login();
        testsupport::exec("INSERT INTO Vendor (ID, Name) VALUES (1, '钢厂')");
        testsupport::exec(QStringLiteral(
                "INSERT INTO Pur (Dat, VID, Pay, Pay1) VALUES "
                "('2024-01-10 00:00:00', 1, 500, 100), ('2024-03-01 00:00:00', 1, 80, 0)"));
        MainWindow &w = *fx.window;
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SST->setCurrentIndex(kAnalysisTab);
        w.SST1->setCurrentIndex(kBalanceTab);
        QTRY_VERIFY(w.Com[45]->isVisible());
        w.DTP[9]->setDate(QDate(2024, 3, 31));
        QTest::mouseClick(w.Op1[8], Qt::LeftButton);
        QTest::mouseClick(w.Com[45], Qt::LeftButton);

        grid::Grid &grid = *w.MSF1[kBalanceTab];
        QVERIFY(grid.isVisible() && grid.width() > 100 && grid.height() > 100);
        QCOMPARE(testsupport::column(grid, 1), QStringList({"钢厂", "合计"}));
        QCOMPARE(testsupport::column(grid, 4), QStringList({"480.00", "480.00"}));
        ChartPicture &picture = *w.Pic[kBalanceTab];
        QVERIFY(picture.isVisible() && !picture.isEmpty());
        const QImage shown = picture.grab().toImage();
        int inked = 0;
        for (int y = 0; y < shown.height(); y += 4)
            for (int x = 0; x < shown.width(); x += 4)
                inked += shown.pixelColor(x, y) != QColor(Qt::white);
        QVERIFY2(inked > 50, qPrintable(QString::number(inked)));

        testsupport::exec("INSERT INTO Vendor (ID, Name) VALUES (2, '安达')");
        w.SST->setCurrentIndex(kVendorTab);
        QTRY_COMPARE(w.MSF[kVendorTab]->dataRows(), 2);
        w.MSF[kVendorTab]->setRow(w.MSF[kVendorTab]->fixedRows() + 1);
        QTest::mouseClick(w.Com[20 * kVendorTab + kSettlePosition], Qt::LeftButton);
        auto *dialog = testsupport::openWindow<records::SettlementDialog>("付款 — 钢厂");
        QVERIFY2(dialog, qPrintable(fx.prompts.messages.join(QLatin1Char('/'))));
        dialog->close();
        fx.prompts.messages.clear();
    }
};

QTEST_MAIN(TestBalanceTab)
#include "tst_balancetab.moc"
