#include "print/pagelayout.h"
#include "print/previewsettings.h"

#include <QtTest>

#include <optional>
#include <tuple>

using namespace print;

class TestPageLayout : public QObject
{
    Q_OBJECT

private slots:
    // Pages round up, never divide by zero or overflow; the large step is a tenth, to even.
    void pageCounts()
    {
        const int cases[][3] = {{26, 25, 2}, {25, 25, 1}, {0, 25, 0},
                                {40, 0, 1},  {40, -3, 1}, {2000000000, 1, 2000000000}};
        for (const auto &[rows, perPage, pages] : cases)
            QCOMPARE(pageCount(rows, perPage), pages);
        for (const auto &[pages, change] : {std::pair{95, 10}, {85, 8}, {0, 1}, {15, 2}, {25, 2}})
            QCOMPARE(largeChange(pages), change);
    }

    // Reversed ranges print in order, never a page past the end of the report.
    void batches()
    {
        // first, last, pages of the report; an empty report prints its one page
        const QList<std::tuple<int, int, int, QVector<int>>> cases = {{5, 3, 10, {3, 4, 5}},
                                                                      {4, 1000, 5, {4, 5}},
                                                                      {0, 2, 5, {1, 2}},
                                                                      {1, 0, 0, {1}},
                                                                      {9, 7, 5, {5}}};
        for (const auto &[first, last, pages, printed] : cases)
            QCOMPARE(batchPages(first, last, pages), printed);
    }

    // Columns keep the grid's proportions; hidden ones take nothing; all zero share equally.
    void columnEdges()
    {
        QCOMPARE(columnRightEdges({900, 600, 1200, 1200}, 1, 100, 1000),
                 QVector<double>({100, 300, 700, 1100}));
        QCOMPARE(columnRightEdges({0, 0, 0}, 1, 100, 1000), QVector<double>({100, 600, 1100}));
        QCOMPARE(columnRightEdges({0, 1, 1, 1}, 1, 100, 1000),
                 QVector<double>({100, 433, 767, 1100}));
    }

    // Each line is the longest prefix that fits; a too narrow column still advances.
    void wrapping()
    {
        // Ten units a character (a surrogate pair is one character of ten).
        const auto measure = [](const QString &s) {
            int characters = 0;
            for (int i = 0; i < s.size(); ++i)
                characters += s.at(i).isLowSurrogate() ? 0 : 1;
            return characters * 10.0;
        };
        // text, width, most lines, the lines joined by |
        const std::tuple<const char *, double, int, const char *> cases[]
                = {{"abc", 30, 100, "abc"},
                   {"abcdefg", 25, 100, "ab|cd|ef|g"},
                   {"ab\r\ncdef\nx", 30, 100, "ab|cde|f|x"},
                   {"\r\r", 30, 100, ""},
                   {"abc", 0, 100, "a|b|c"},
                   {"abcdefg", 25, 2, "ab|cd"},
                   {"a😀b", 5, 100, "a|😀|b"}};
        for (const auto &[text, width, maxLines, lines] : cases)
            QCOMPARE(wrapLines(QString::fromUtf8(text), width, measure, maxLines),
                     QString::fromUtf8(lines).split('|', Qt::SkipEmptyParts));
    }

    // A cell of 10,000 characters wraps without measuring every prefix.
    void wrappingLongCellStaysQuick()
    {
        const QString cell(10000, QLatin1Char('x'));
        qint64 measured = 0;
        const auto measure = [&](const QString &s) {
            measured += s.size();
            return s.size() * 10.0;
        };
        const QStringList lines = wrapLines(cell, 95, measure);
        QCOMPARE(lines.size(), 1112);
        QCOMPARE(QStringList({lines.first(), lines.last()}), QStringList({"xxxxxxxxx", "x"}));
        QVERIFY2(measured < 400000, qPrintable(QString::number(measured)));
    }

    // The picture keeps the paper's proportions, centred; sides below 1 mm count as 1 mm.
    void paperPictures()
    {
        QCOMPARE(paperPicture(QSize(1000, 600), 297, 210, 8), QRect(81, 4, 837, 592));
        QCOMPARE(paperPicture(QSize(508, 308), 0, 0, 8), QRect(104, 4, 300, 300));
        QCOMPARE(paperPicture(QSize(4, 4), 297, 210, 8), QRect(1, 1, 1, 1));
    }

    // Printer margins are 5 mm less on the left and top; too wide margins leave no area.
    void frames()
    {
        Paper paper; // 297 × 210, 10 mm margins
        const PageFrame preview = previewFrame(QSize(594, 420), paper);
        QCOMPARE(QRectF(preview.left, preview.top, preview.width, preview.height),
                 QRectF(20, 20, 554, 380));
        const PageFrame printer = printerFrame(paper, 254); // 10 units a millimetre
        QCOMPARE(QRectF(printer.left, printer.top, printer.width, printer.height),
                 QRectF(50, 50, 2770, 1900));
        QCOMPARE(printer.unitsPerTwip, 254.0 / 1440);

        paper.left = paper.right = 200;
        paper.top = -1;
        QCOMPARE(previewFrame(QSize(594, 420), paper).width, 0.0);
        QCOMPARE(printerFrame(paper, 254).width, 0.0);
        paper.width = paper.height = 0;
        const PageFrame none = previewFrame(QSize(100, 100), paper);
        QVERIFY(none.width >= 0 && none.height >= 0);
    }

    // The printer size steps by 0.3 from 15 towards the screen height, within 101 steps.
    void printerFontSize()
    {
        const auto twiceTheSize = [](double size) {
            return 2 * size;
        };
        // Never below one step, never more than 101 steps up.
        for (const auto &[screen, tenths] :
             {std::pair{20.0, 99}, {30.0, 150}, {40.0, 198}, {1e9, 453}})
            QCOMPARE(qRound(matchPrinterFontSize(screen, twiceTheSize) * 10), tenths);
        QVERIFY(matchPrinterFontSize(0, twiceTheSize) > 0);
    }

    // Sizes from 1 mm, margins from 0, both to 5000 mm; rows per page to 1000, rounded.
    void boxValues()
    {
        const QList<std::tuple<int, const char *, std::optional<double>>> cases
                = {{0, "5000", 5000}, {0, "5000.1", {}}, {1, "0.5", {}}, {3, "0", 0},
                   {5, "5000", 5000}, {5, "-1", {}},     {10, "2.6", 3}, {10, "1000", 1000},
                   {10, "1001", {}},  {10, "x", {}},     {11, "1", {}}};
        for (const auto &[box, text, value] : cases)
            QCOMPARE(boxValue(box, QString::fromLatin1(text)), value);
    }
};

QTEST_APPLESS_MAIN(TestPageLayout)
#include "tst_pagelayout.moc"
