#include "print/pagelayout.h"

#include <QtTest>

using namespace print;

class TestPageLayout : public QObject
{
    Q_OBJECT

private slots:
    void pageCounts_data();
    void pageCounts();
    void largeChanges_data();
    void largeChanges();
    void batches_data();
    void batches();
    void columnEdges_data();
    void columnEdges();
    void wrapping_data();
    void wrapping();
    void wrappingLongCellStaysQuick();
    void footerInfo();
    void paperPictures_data();
    void paperPictures();
    void frames();
    void printerFontSize();
};

// Rows divide into pages rounded up; no rows per page shows the header page
// and never divides by zero.
void TestPageLayout::pageCounts_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("pages");
    QTest::newRow("26 at 25") << 26 << 25 << 2;
    QTest::newRow("25 at 25") << 25 << 25 << 1;
    QTest::newRow("no rows") << 0 << 25 << 0;
    QTest::newRow("0 per page") << 40 << 0 << 1;
    QTest::newRow("negative per page") << 40 << -3 << 1;
    QTest::newRow("one row on a huge page") << 1 << 200000 << 1;
    QTest::newRow("sales list") << 29164 << 25 << 1167;
    QTest::newRow("no overflow") << 2000000000 << 1 << 2000000000;
}

void TestPageLayout::pageCounts()
{
    QFETCH(int, rows);
    QFETCH(int, perPage);
    QFETCH(int, pages);
    QCOMPARE(pageCount(rows, perPage), pages);
}

// The scroll bar's large change: a tenth of the pages, halves to even.
void TestPageLayout::largeChanges_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("change");
    QTest::newRow("95") << 95 << 10;
    QTest::newRow("85") << 85 << 8;
    QTest::newRow("9") << 9 << 1;
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("10") << 10 << 1;
    QTest::newRow("15") << 15 << 2;
    QTest::newRow("25") << 25 << 2;
    QTest::newRow("1167") << 1167 << 117;
}

void TestPageLayout::largeChanges()
{
    QFETCH(int, pages);
    QFETCH(int, change);
    QCOMPARE(largeChange(pages), change);
}

// Reversed ranges print in order; ranges beyond the report print its pages
// only, never a blank page past the end.
void TestPageLayout::batches_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QVector<int>>("printed");
    QTest::newRow("5 to 3") << 5 << 3 << 10 << QVector<int>{3, 4, 5};
    QTest::newRow("all") << 1 << 3 << 3 << QVector<int>{1, 2, 3};
    QTest::newRow("past the end") << 4 << 1000 << 5 << QVector<int>{4, 5};
    QTest::newRow("from page 0") << 0 << 2 << 5 << QVector<int>{1, 2};
    QTest::newRow("empty report") << 1 << 0 << 0 << QVector<int>{1};
    QTest::newRow("beyond entirely") << 9 << 7 << 5 << QVector<int>{5};
}

void TestPageLayout::batches()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, pages);
    QFETCH(QVector<int>, printed);
    QCOMPARE(batchPages(first, last, pages), printed);
}

// Printed columns keep the grid's proportions from the 序号 column on and
// fill the printable width; the hidden ID column before it takes nothing.
void TestPageLayout::columnEdges_data()
{
    QTest::addColumn<QVector<int>>("widths");
    QTest::addColumn<int>("firstPrinted");
    QTest::addColumn<QVector<double>>("edges");
    QTest::newRow("600/1200/1200")
            << QVector<int>{900, 600, 1200, 1200} << 1 << QVector<double>{100, 300, 700, 1100};
    QTest::newRow("all zero share equally")
            << QVector<int>{0, 0, 0} << 1 << QVector<double>{100, 600, 1100};
    QTest::newRow("hidden column")
            << QVector<int>{0, 500, 0, 500} << 1 << QVector<double>{100, 600, 600, 1100};
    QTest::newRow("rounded") << QVector<int>{0, 1, 1, 1} << 1
                             << QVector<double>{100, 433, 767, 1100};
}

void TestPageLayout::columnEdges()
{
    QFETCH(QVector<int>, widths);
    QFETCH(int, firstPrinted);
    QFETCH(QVector<double>, edges);
    QCOMPARE(columnRightEdges(widths, firstPrinted, 100, 1000), edges);
}

// Each line is the longest prefix that fits; a column narrower than one
// character still advances (one character a line) instead of looping.
void TestPageLayout::wrapping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("width");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("fits") << "abc" << 30.0 << 100 << QStringList{"abc"};
    QTest::newRow("longest prefix")
            << "abcdefg" << 25.0 << 100 << QStringList{"ab", "cd", "ef", "g"};
    QTest::newRow("exact fit") << "abcdef" << 30.0 << 100 << QStringList{"abc", "def"};
    QTest::newRow("line feeds, returns dropped")
            << "ab\r\ncdef\nx" << 30.0 << 100 << QStringList{"ab", "cde", "f", "x"};
    QTest::newRow("nothing but returns") << "\r\r" << 30.0 << 100 << QStringList{};
    QTest::newRow("empty") << "" << 30.0 << 100 << QStringList{};
    QTest::newRow("narrower than a character") << "abc" << 0.0 << 100 << QStringList{"a", "b", "c"};
    QTest::newRow("negative width") << "ab" << -50.0 << 100 << QStringList{"a", "b"};
    QTest::newRow("room for two lines") << "abcdefg" << 25.0 << 2 << QStringList{"ab", "cd"};
    QTest::newRow("pair kept whole")
            << QString::fromUtf8("a😀b") << 5.0 << 100
            << QStringList{QStringLiteral("a"), QString::fromUtf8("😀"), QStringLiteral("b")};
}

void TestPageLayout::wrapping()
{
    QFETCH(QString, text);
    QFETCH(double, width);
    QFETCH(int, maxLines);
    QFETCH(QStringList, lines);
    // Ten units a character (a surrogate pair is one character of ten).
    const auto measure = [](const QString &s) {
        int characters = 0;
        for (int i = 0; i < s.size(); ++i)
            characters += s.at(i).isLowSurrogate() ? 0 : 1;
        return characters * 10.0;
    };
    QCOMPARE(wrapLines(text, width, measure, maxLines), lines);
}

// A cell of 10,000 characters wraps without measuring every prefix.
void TestPageLayout::wrappingLongCellStaysQuick()
{
    const QString cell(10000, QLatin1Char('x'));
    qint64 measured = 0;
    const auto measure = [&](const QString &s) {
        measured += s.size();
        return s.size() * 10.0;
    };
    const QStringList lines = wrapLines(cell, 95, measure);
    QCOMPARE(lines.size(), 1112);
    QCOMPARE(lines.first(), QString(9, QLatin1Char('x')));
    QCOMPARE(lines.last(), QString(1, QLatin1Char('x')));
    QVERIFY2(measured < 400000, qPrintable(QString::number(measured)));
}

// The footer info line of page 2 of 5.
void TestPageLayout::footerInfo()
{
    const QString text = footerInfoText(QStringLiteral("张三"), QDate(2024, 3, 7), 2, 5);
    QCOMPARE(text, QStringLiteral("制表人：张三    制表日期：2024年03月07日     第2页 共5页"));
    QVERIFY(text.endsWith(QStringLiteral("     第") + QString::number(2) + QStringLiteral("页 共")
                          + QString::number(5) + QStringLiteral("页")));
}

// The picture fills the frame's width or height in the paper's proportions
// and is centred; sides below 1 mm count as 1 mm.
void TestPageLayout::paperPictures_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QRect>("picture");
    QTest::newRow("landscape in a wide frame")
            << QSize(1000, 600) << 297.0 << 210.0 << QRect(81, 4, 837, 592);
    QTest::newRow("portrait in a tall frame")
            << QSize(408, 1000) << 210.0 << 297.0 << QRect(4, 217, 400, 566);
    QTest::newRow("0 x 0 paper is square")
            << QSize(508, 308) << 0.0 << 0.0 << QRect(104, 4, 300, 300);
    QTest::newRow("frame smaller than the border")
            << QSize(4, 4) << 297.0 << 210.0 << QRect(1, 1, 1, 1);
}

void TestPageLayout::paperPictures()
{
    QFETCH(QSize, frame);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QRect, picture);
    QCOMPARE(paperPicture(frame, width, height, 8), picture);
}

// Preview margins scale to the picture; printer margins are 5 mm less on
// the left and top; margins wider than the paper leave no printable area
// rather than a negative one.
void TestPageLayout::frames()
{
    Paper paper; // 297 × 210, 10 mm margins
    const PageFrame preview = previewFrame(QSize(594, 420), paper);
    QCOMPARE(preview.left, 20.0);
    QCOMPARE(preview.top, 20.0);
    QCOMPARE(preview.width, 554.0);
    QCOMPARE(preview.height, 380.0);

    const PageFrame printer = printerFrame(paper, 254); // 10 units a millimetre
    QCOMPARE(printer.left, 50.0);
    QCOMPARE(printer.top, 50.0);
    QCOMPARE(printer.width, 2770.0);
    QCOMPARE(printer.height, 1900.0);
    QCOMPARE(printer.unitsPerTwip, 254.0 / 1440);

    paper.left = 200;
    paper.right = 200;
    paper.top = -1;
    QCOMPARE(previewFrame(QSize(594, 420), paper).width, 0.0);
    QCOMPARE(printerFrame(paper, 254).width, 0.0);
    paper.width = 0;
    paper.height = 0;
    const PageFrame none = previewFrame(QSize(100, 100), paper);
    QVERIFY(none.width >= 0 && none.height >= 0);
}

// The printer size moves from 15 in steps of 0.3 towards the screen height:
// down until it is no longer above it, up until it reaches it and one back.
void TestPageLayout::printerFontSize()
{
    const auto twiceTheSize = [](double size) {
        return 2 * size;
    };
    QCOMPARE(qRound(matchPrinterFontSize(20, twiceTheSize) * 10), 99);
    QCOMPARE(qRound(matchPrinterFontSize(30, twiceTheSize) * 10), 150);
    QCOMPARE(qRound(matchPrinterFontSize(40, twiceTheSize) * 10), 198);
    // Never below one step, never more than 101 steps up.
    QVERIFY(matchPrinterFontSize(0, twiceTheSize) > 0);
    QCOMPARE(qRound(matchPrinterFontSize(1e9, twiceTheSize) * 10), 453);
}

QTEST_APPLESS_MAIN(TestPageLayout)
#include "tst_pagelayout.moc"
