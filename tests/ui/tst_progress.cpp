#include "ui/progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <tuple>

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ui::ProgressClose(); }

    // The fraction cut to three decimals; the times elapsed/remaining/total.
    void texts()
    {
        const QList<std::tuple<qint64, int, qint64, QString, QString>> cases
                = {{1, 3, 10, "33.3%", "0:10/0:20/0:30"},
                   {1, 0, 0, "100%", "0:0/0:0/0:0"},
                   {1, 1000, 2, "0.1%", "0:2/33:18/33:20"},
                   {1, 2000, 5, "0%", ""},
                   {-1, 1000, 5, "-0.1%", ""},
                   {1, 100, 3600, "1%", "1:0:0/4:3:0:0/4:4:0:0"},
                   {1999999999, 2000000000, 0, "99.9%", "0:0/0:0/0:0"}};
        for (const auto &[done, total, elapsed, percent, times] : cases) {
            QCOMPARE(ui::progressPercentText(done, total), percent);
            QCOMPARE(ui::progressTimesText(elapsed, done, total), times);
        }
    }

    // One window follows the steps and only the work closes it; a second start
    // reuses it.
    void windowFollowsSteps()
    {
        ui::ProgressStart(QStringLiteral("正在载入销售记录"), 3);
        ui::Indicator *w = ui::progressWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->percentText(), QStringLiteral("0%"));
        ui::ProgressStep(1);
        QCOMPARE(QStringList({w->percentText(), w->countText()}), QStringList({"33.3%", ""}));
        ui::ProgressStep(1);
        QVERIFY(!w->close());

        ui::ProgressStart(QStringLiteral("空表"), 0);
        QCOMPARE(ui::progressWindow(), w);
        QCOMPARE(ui::progressTotal(), 1);
        ui::ProgressStep(1);
        QCOMPARE(w->percentText(), QStringLiteral("100%"));

        QPointer<ui::Indicator> guard = w;
        ui::ProgressClose();
        QVERIFY(guard.isNull());
        QCOMPARE(ui::progressWindow(), nullptr);
        ui::ProgressStep(1); // harmless without a window
    }

    // Mode "pages" shows the count; stepping a big loop row by row costs little.
    void pagesInALongLoop()
    {
        const int total = 100000;
        ui::ProgressStart(QStringLiteral("大量记录"), total);
        ui::Indicator *w = ui::progressWindow();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < total; ++i)
            ui::ProgressStep(1, QStringLiteral("pages"));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(w->percentText(), QStringLiteral("100%"));
        QCOMPARE(w->countText(), QStringLiteral("(100000/100000)"));
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
