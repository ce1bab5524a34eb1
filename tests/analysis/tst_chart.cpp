// The chart's scale arithmetic, and charts drawn off screen.

#include "analysistest.h"

#include "grid/grid.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using namespace analysis;
using analysistest::chartOf;

namespace {

bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isBlue(QRgb c)
{
    return qBlue(c) > 150 && qBlue(c) - qRed(c) > 80 && qBlue(c) - qGreen(c) > 80;
}
bool isGreen(QRgb c)
{
    return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60;
}
bool isBlack(QRgb c)
{
    return qGray(c) < 40;
}

// The first and last rows in the box with a pixel passing test, or (-1, -1).
template<typename Test>
QPair<int, int> rowsWith(const QImage &image, const QRect &box, Test test)
{
    QPair<int, int> found(-1, -1);
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (image.valid(x, y) && test(image.pixel(x, y))) {
                if (found.first < 0)
                    found.first = y;
                found.second = y;
            }
    return found;
}

// True when a pixel of the colour test lies within radius of (x, y).
template<typename Test>
bool near(const QImage &image, int x, int y, int radius, Test test)
{
    const QRect box(x - radius, y - radius, 2 * radius + 1, 2 * radius + 1);
    return rowsWith(image, box, test).first >= 0;
}

// How many of 21 points along the value axis (600 × 400 picture) have black within radius.
int axisPoints(const QImage &image, int radius)
{
    int found = 0;
    for (int y = 1200 / 15 + 5; y < 4500 / 15 - 5; y += 10)
        found += near(image, 800 / 15, y, radius, isBlack) ? 1 : 0;
    return found;
}
} // namespace

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    // Tick units, net returns around a middle zero, and when a column gets the second axis.
    void scales()
    {
        const double units[][2] = {{55, 6}, {1, 0.1}, {1e12, 1.1e11}};
        for (const auto &[largest, unit] : units) {
            QCOMPARE(TickUnit(largest * 1.1), unit);
            QCOMPARE(TickValue(10, TickUnit(largest * 1.1), false), 10 * unit);
        }
        for (const auto &[tick, value] : {std::pair{1, -54.0}, {10, 0.0}, {20, 60.0}})
            QCOMPARE(TickValue(tick, 6, true), value);
        QCOMPARE(ChooseScales({{2, 30, -20}}, true).smallest, -20.0);

        const double cases[][3] = {{100, 300, 0}, {100, 1001, 3}, {100, 1000, 0}, {100, 9, 3}};
        for (const auto &[first, second, secondColumn] : cases) {
            const QVector<ColumnRange> columns = {{2, first, 0}, {3, second, 0}};
            const ScaleChoice choice = ChooseScales(columns, true);
            QCOMPARE(choice.secondColumn, int(secondColumn));
            QCOMPARE(choice.largest, secondColumn ? first : std::max(first, second));
            QCOMPARE(ChooseScales(columns, false).secondColumn, 0);
        }
    }

    // Labels from the last fixed column, a series per other column titled from the header row.
    void fromGrid()
    {
        grid::Grid g;
        g.setCols(3);
        g.setRows(4);
        g.setFixedRows(2);
        g.setFixedCols(2);
        for (const auto &[r, c, text] : {std::tuple{1, 2, "库存"},
                                         {2, 1, "钢管"},
                                         {2, 2, "2.5"},
                                         {3, 1, "角钢"},
                                         {3, 2, "-3"}})
            g.setTextMatrix(r, c, QString::fromUtf8(text));
        g.setTag(u"标题"_s);
        const ChartData chart = ChartFromGrid(g);
        QVERIFY(chart.drawable);
        QCOMPARE(chart.labels + QStringList({chart.series.first().title, chart.title}),
                 QStringList({"钢管", "角钢", "库存", "标题"}));
        QCOMPARE(chart.series.first().values, QVector<double>({2.5, -3}));

        g.setRows(1);
        QVERIFY(!ChartFromGrid(g).drawable);
    }

    // The value axis, markers and line in their colours, the heading; nothing when not drawable.
    void drawnChart()
    {
        const QSize size(600, 400); // 9000 × 6000 twips: plot 800 … 7200, 1200 … 4500
        const QImage image = ChartImage(
                chartOf({"2024-01-01", "2024-01-02", "2024-01-03"}, {"0", "50", "100"}), size);
        QCOMPARE(image.size(), size);
        QCOMPARE(axisPoints(image, 1), 21);
        // Largest 100: top 110, so 100 lies at (7200, 1500) twips, 50 at (4000,
        // 3000); between them the line in the last column's colour, green.
        QVERIFY(near(image, 7200 / 15, 1500 / 15, 2, isRed));
        QVERIFY(near(image, 4000 / 15, 3000 / 15, 2, isRed));
        QVERIFY(near(image, 5600 / 15, 2250 / 15, 2, isGreen));
        const auto dark = [](QRgb c) {
            return qGray(c) < 60;
        };
        QVERIFY(rowsWith(image, QRect(0, 0, size.width(), 1200 / 15), dark).first >= 0);

        QCOMPARE(axisPoints(ChartImage(chartOf({"a", "b"}, {"0", "0"}), size), 0), 0);
        // With negative values a point of 0 lies in the middle of the plot.
        const QImage negative = ChartImage(chartOf({"a", "b", "c"}, {"-30", "0", "30"}), size);
        QVERIFY(near(negative, 4000 / 15, (1200 + 3300 / 2) / 15, 2, isRed));

        // The header only: no axis, but the legend box at the right.
        const QImage header = ChartImage(chartOf({}, {}), size);
        QCOMPARE(axisPoints(header, 0), 0);
        const QRect legend((9000 - 1300) / 15, 0, 1000 / 15, 400);
        QVERIFY(rowsWith(header, legend, [](QRgb c) { return qGray(c) < 230; }).first >= 0);
        const QImage blank = ChartImage(ChartData(), QSize(200, 100));
        QCOMPARE(rowsWith(blank, blank.rect(), [](QRgb c) { return c != qRgb(255, 255, 255); }),
                 qMakePair(-1, -1));
    }

    // Value labels level with their grid lines, the swatch clear of its title, long labels inside.
    void labelsAndLegend()
    {
        // Plot 1200 … 10500 twips high; -30 … 30 gives 20 ticks of 31 px, zero at 390 px.
        const QImage image
                = ChartImage(chartOf({"a", "b", "c"}, {"-30", "0", "30"}), QSize(600, 800));
        const QPair<int, int> label = rowsWith(image, QRect(30, 375, 23, 31), isBlue);
        QVERIFY(label.first > 0);
        const double labelMiddle = (label.first + label.second) / 2.0;
        const QPair<int, int> marker = rowsWith(image, QRect(262, 380, 10, 20), isRed);
        QVERIFY(marker.first > 0);
        const double markerMiddle = (marker.first + marker.second) / 2.0;
        QVERIFY2(qAbs(labelMiddle - 390) <= 2 && qAbs(labelMiddle - markerMiddle) <= 2,
                 qPrintable(u"label %1, point %2"_s.arg(labelMiddle).arg(markerMiddle)));

        // The legend (x 7700 … 8700 twips): black title above a green swatch, nothing red.
        const QRect legend(7700 / 15, 300, 1000 / 15, 160);
        const QPair<int, int> title
                = rowsWith(image, legend, [](QRgb c) { return qGray(c) < 100 && !isRed(c); });
        const QPair<int, int> swatch = rowsWith(image, legend, isGreen);
        QVERIFY(title.first > 0 && swatch.first > 0);
        QVERIFY2(title.second < swatch.first,
                 qPrintable(u"title to %1, swatch from %2"_s.arg(title.second).arg(swatch.first)));
        QCOMPARE(rowsWith(image, legend, isRed).first, -1);

        // A category name longer than the room below the axis ends in "…" inside the picture.
        const QImage longName = ChartImage(
                chartOf({u"短"_s, QString(40, QChar(0x957F))}, {"1", "2"}), QSize(600, 400));
        QVERIFY(rowsWith(longName, QRect(0, 4500 / 15 + 2, 600, 90), isBlue).first > 0);
        QCOMPARE(rowsWith(longName, QRect(0, 397, 600, 3), isBlue).first, -1);
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
