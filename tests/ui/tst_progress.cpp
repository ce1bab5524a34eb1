#include "ui/progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QtTest>

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void percentText_data();
    void percentText();
    void timesText_data();
    void timesText();
    void windowFollowsSteps();
    void totalBelowOneCountsAsOne();
    void pagesModeShowsCountAndTimes();
    void otherModeBecomesCaption();
    void barIsBlueUpToTheFraction();
    void restartReusesWindowAndCurrent();
    void longLoopStaysFast();
};

namespace {

QColor barPixel(int x)
{
    const QImage image = ui::progressWindow()->bar()->grab().toImage();
    return image.pixelColor(x, image.height() / 2);
}

} // namespace

void TestProgress::cleanup()
{
    ui::ProgressClose();
}

// The fraction is cut, not rounded, to three decimals; a total below 1
// counts as 1.
void TestProgress::percentText_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 of 3") << qint64(1) << 3 << "33.3%";
    QTest::newRow("2 of 3") << qint64(2) << 3 << "66.6%";
    QTest::newRow("all") << qint64(3) << 3 << "100%";
    QTest::newRow("one in a thousand") << qint64(1) << 1000 << "0.1%";
    QTest::newRow("below a thousandth") << qint64(1) << 2000 << "0%";
    QTest::newRow("total 0") << qint64(1) << 0 << "100%";
    QTest::newRow("past the end") << qint64(5) << 4 << "125%";
    QTest::newRow("large") << qint64(1999999999) << 2000000000 << "99.9%";
}

void TestProgress::percentText()
{
    QFETCH(qint64, done);
    QFETCH(int, total);
    QFETCH(QString, text);
    QCOMPARE(ui::progressPercentText(done, total), text);
}

// Elapsed/remaining/total, with the total estimated from the cut fraction.
void TestProgress::timesText_data()
{
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<qint64>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("text");
    QTest::newRow("a third after 10 s") << qint64(10) << qint64(1) << 3 << "0:10/0:20/0:30";
    QTest::newRow("half after a minute") << qint64(60) << qint64(5) << 10 << "1:0/1:0/2:0";
    QTest::newRow("a thousandth") << qint64(2) << qint64(1) << 1000 << "0:2/33:18/33:20";
    QTest::newRow("long estimate in days")
            << qint64(3600) << qint64(1) << 100 << "1:0:0/4:3:0:0/4:4:0:0";
    QTest::newRow("too little done") << qint64(5) << qint64(1) << 2000 << "";
}

void TestProgress::timesText()
{
    QFETCH(qint64, elapsed);
    QFETCH(qint64, done);
    QFETCH(int, total);
    QFETCH(QString, text);
    QCOMPARE(ui::progressTimesText(elapsed, done, total), text);
}

void TestProgress::windowFollowsSteps()
{
    QCOMPARE(ui::progressWindow(), nullptr);
    ui::ProgressStart(QStringLiteral("正在载入销售记录"), 3);
    ui::Indicator *w = ui::progressWindow();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Korvo进度指示器"));
    QCOMPARE(w->captionText(), QStringLiteral("正在载入销售记录"));
    QCOMPARE(w->percentText(), QStringLiteral("0%"));
    QCOMPARE(w->countText(), QString());

    ui::ProgressStep(1);
    QCOMPARE(w->percentText(), QStringLiteral("33.3%"));
    ui::ProgressStep(1);
    QCOMPARE(w->percentText(), QStringLiteral("66.6%"));
    ui::ProgressStep(1);
    QCOMPARE(w->percentText(), QStringLiteral("100%"));
    QCOMPARE(ui::progressCurrent(), 3);
    // Plain steps leave the caption and the count alone.
    QCOMPARE(w->captionText(), QStringLiteral("正在载入销售记录"));
    QCOMPARE(w->countText(), QString());

    // Only the work closes the window, not the user.
    QPointer<ui::Indicator> guard = w;
    QVERIFY(!w->close());
    ui::ProgressClose();
    QVERIFY(guard.isNull());
    QCOMPARE(ui::progressWindow(), nullptr);
    ui::ProgressStep(1); // harmless without a window
}

void TestProgress::totalBelowOneCountsAsOne()
{
    ui::ProgressStart(QStringLiteral("空表"), 0);
    QCOMPARE(ui::progressTotal(), 1);
    ui::ProgressStep(1);
    QCOMPARE(ui::progressWindow()->percentText(), QStringLiteral("100%"));
}

void TestProgress::pagesModeShowsCountAndTimes()
{
    ui::ProgressStart(QStringLiteral("正在打印"), 4);
    ui::ProgressStep(1, QStringLiteral("PAGES"));
    ui::Indicator *w = ui::progressWindow();
    QCOMPARE(w->countText(), QStringLiteral("(1/4)"));
    // Fresh start: no whole second has passed yet.
    QCOMPARE(w->timesText(), QStringLiteral("0:0/0:0/0:0"));
    QCOMPARE(w->captionText(), QStringLiteral("正在打印"));
    ui::ProgressStep(2, QStringLiteral("pages"));
    QCOMPARE(w->countText(), QStringLiteral("(3/4)"));
    QCOMPARE(w->percentText(), QStringLiteral("75%"));
}

void TestProgress::otherModeBecomesCaption()
{
    ui::ProgressStart(QStringLiteral("准备"), 2);
    ui::ProgressStep(1, QStringLiteral("正在删除记录"));
    ui::Indicator *w = ui::progressWindow();
    QCOMPARE(w->captionText(), QStringLiteral("正在删除记录"));
    QCOMPARE(w->countText(), QString());
    QCOMPARE(w->percentText(), QStringLiteral("50%"));
}

void TestProgress::barIsBlueUpToTheFraction()
{
    const QColor blue(0, 0, 255);
    ui::ProgressStart(QStringLiteral("条"), 4);
    QWidget *bar = ui::progressWindow()->bar();
    QCOMPARE(bar->objectName(), QStringLiteral("Pic"));
    const int width = bar->width();
    QVERIFY(width >= 40);

    QVERIFY(barPixel(0) != blue);
    ui::ProgressStep(1);
    QCOMPARE(barPixel(0), blue);
    QCOMPARE(barPixel(width / 4 - 2), blue);
    QVERIFY(barPixel(width / 4 + 2) != blue);

    ui::ProgressDraw(2);
    QCOMPARE(ui::progressCurrent(), 2);
    QCOMPARE(barPixel(width / 2 - 2), blue);
    QVERIFY(barPixel(width / 2 + 2) != blue);

    ui::ProgressStep(2);
    QCOMPARE(barPixel(width - 1), blue);
}

// A second start before the close reuses the window; a negative current
// continues from the kept value.
void TestProgress::restartReusesWindowAndCurrent()
{
    ui::ProgressStart(QStringLiteral("第一段"), 10);
    ui::ProgressStep(4);
    ui::Indicator *first = ui::progressWindow();
    int current = -1;
    ui::ProgressStart(QStringLiteral("第二段"), 8, current);
    QCOMPARE(current, 4);
    QCOMPARE(ui::progressWindow(), first);
    QCOMPARE(first->captionText(), QStringLiteral("第二段"));
    QCOMPARE(first->percentText(), QStringLiteral("50%"));
    ui::ProgressStep(2);
    QCOMPARE(first->percentText(), QStringLiteral("75%"));
}

// Stepping through a big loop row by row costs little and ends on the
// right texts.
void TestProgress::longLoopStaysFast()
{
    const int total = 100000;
    ui::ProgressStart(QStringLiteral("大量记录"), total);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < total; ++i)
        ui::ProgressStep(1, QStringLiteral("pages"));
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    ui::Indicator *w = ui::progressWindow();
    QCOMPARE(w->percentText(), QStringLiteral("100%"));
    QCOMPARE(w->countText(), QStringLiteral("(100000/100000)"));
}

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
