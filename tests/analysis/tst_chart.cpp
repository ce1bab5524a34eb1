// The chart: its scale arithmetic, and a chart drawn off screen with the
// pixels that must be there.

#include "analysis/chart.h"

#include "grid/grid.h"

#include <QPainter>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace analysis;

namespace {

// A chart of one series over the labels, as an analysis grid gives it.
ChartData chartOf(const QStringList &labels, const QStringList &values)
{
    ChartData chart;
    chart.drawable = true;
    chart.title = u"某公司销售数据分析\r\n分析：zunta 日期：2024-01-01"_s;
    chart.labels = labels;
    chart.columnCount = 3;
    chart.lastColumn = 2;
    chart.fixedColumnCount = 2;
    ChartSeries series;
    series.column = 2;
    series.title = u"销售金额"_s;
    series.texts = values;
    for (const QString &v : values)
        series.values << v.toDouble();
    chart.series << series;
    return chart;
}

bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
}

// True when a pixel of the colour test lies within radius of (x, y).
template<typename Test>
bool near(const QImage &image, int x, int y, int radius, Test test)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.valid(x + dx, y + dy) && test(image.pixel(x + dx, y + dy)))
                return true;
    return false;
}
} // namespace

// The rows of the image in the box whose pixels pass test: first and last,
// or (-1, -1) when none does.
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

bool isBlue(QRgb c)
{
    return qBlue(c) > 150 && qBlue(c) - qRed(c) > 80 && qBlue(c) - qGreen(c) > 80;
}

class TestChart : public QObject
{
    Q_OBJECT

private slots:
    // The tick unit of the largest value plus a tenth, and the tenth tick; net
    // returns give 20 ticks reading -9U … 10U, the zero level in the middle.
    void tickUnits()
    {
        const double cases[][2] = {{55, 6}, {1, 0.1}, {1e12, 1.1e11}};
        for (const auto &[largest, unit] : cases) {
            QCOMPARE(TickUnit(largest * 1.1), unit);
            QCOMPARE(TickValue(10, TickUnit(largest * 1.1), false), 10 * unit);
        }
        QCOMPARE(TickValue(1, 6, true), -54.0);
        QCOMPARE(TickValue(10, 6, true), 0.0);
        QCOMPARE(TickValue(20, 6, true), 60.0);
        QCOMPARE(ChooseScales({{2, 30, -20}}, true).smallest, -20.0);
    }

    // A column ten times larger or smaller than the first (not exactly ten
    // times) gets the second axis, only when the limit is asked for.
    void secondAxis()
    {
        const double cases[][3] = {{100, 300, 0}, {100, 1001, 3}, {100, 1000, 0}, {100, 9, 3}};
        for (const auto &[first, second, secondColumn] : cases) {
            const QVector<ColumnRange> columns = {{2, first, 0}, {3, second, 0}};
            const ScaleChoice choice = ChooseScales(columns, true);
            QCOMPARE(choice.secondColumn, int(secondColumn));
            QCOMPARE(choice.largest, secondColumn ? first : std::max(first, second));
            QCOMPARE(ChooseScales(columns, false).secondColumn, 0);
        }
    }

    // The chart reads the grid: labels from the last fixed column, a series per
    // other column with its title from the header row, values from the texts.
    void fromGrid()
    {
        grid::Grid g;
        g.setCols(3);
        g.setRows(4);
        g.setFixedRows(2);
        g.setFixedCols(2);
        g.setTextMatrix(1, 2, u"库存"_s);
        g.setTextMatrix(2, 1, u"钢管"_s);
        g.setTextMatrix(2, 2, u"2.5"_s);
        g.setTextMatrix(3, 1, u"角钢"_s);
        g.setTextMatrix(3, 2, u"-3"_s);
        g.setTag(u"标题"_s);
        const ChartData chart = ChartFromGrid(g);
        QVERIFY(chart.drawable);
        QCOMPARE(chart.labels, QStringList({"钢管", "角钢"}));
        QCOMPARE(chart.series.first().title, u"库存"_s);
        QCOMPARE(chart.series.first().values, QVector<double>({2.5, -3}));
        QCOMPARE(chart.title, u"标题"_s);

        g.setRows(1);
        QVERIFY(!ChartFromGrid(g).drawable);
    }

    // Drawn off screen: the value axis black at the plot's left edge, a red
    // marker at a known point, the series line in its colour, the heading.
    void drawnChart()
    {
        const QSize size(600, 400); // 9000 × 6000 twips: plot 800 … 7200, 1200 … 4500
        const QImage image = ChartImage(
                chartOf({"2024-01-01", "2024-01-02", "2024-01-03"}, {"0", "50", "100"}), size);
        QCOMPARE(image.size(), size);
        // The value axis: x = 800 twips, from y 1200 to 4500 twips.
        const int axisX = 800 / 15;
        for (int y = 1200 / 15 + 5; y < 4500 / 15 - 5; y += 10)
            QVERIFY2(near(image, axisX, y, 1, [](QRgb c) { return qGray(c) < 40; }),
                     qPrintable(u"axis at y %1"_s.arg(y)));
        // Largest 100: M = 110, U = 11, top 110. The last point (100) lies at
        // x = 7200, y = 1200 + 3300 - 100 × 3300 / 110 = 1500 twips.
        QVERIFY(near(image, 7200 / 15, 1500 / 15, 2, isRed));
        // The middle point (50): x = 4000, y = 4500 - 1500 = 3000 twips.
        QVERIFY(near(image, 4000 / 15, 3000 / 15, 2, isRed));
        // Between the two, the line in the series colour (the last column: green).
        QVERIFY(near(image, 5600 / 15, 2250 / 15, 2,
                     [](QRgb c) { return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60; }));
        // The heading's first line is drawn in black above the plot.
        bool heading = false;
        for (int y = 0; y < 1200 / 15 && !heading; ++y)
            for (int x = 0; x < size.width() && !heading; ++x)
                heading = qGray(image.pixel(x, y)) < 60;
        QVERIFY(heading);

        // All values zero: no axis and no heading.
        const QImage zero = ChartImage(chartOf({"a", "b"}, {"0", "0"}), size);
        for (int y = 1200 / 15 + 5; y < 4500 / 15 - 5; y += 10)
            QVERIFY(!near(zero, axisX, y, 0, [](QRgb c) { return qGray(c) < 40; }));

        // Negative values: the zero level lies in the middle of the plot, so a
        // value 0 point is drawn with a marker there.
        const QImage negative = ChartImage(chartOf({"a", "b", "c"}, {"-30", "0", "30"}), size);
        QVERIFY(near(negative, 4000 / 15, (1200 + 3300 / 2) / 15, 2, isRed));
    }

    // A chart that is not drawable leaves the picture white; a grid with its
    // header only gets the legend but no axis.
    void notDrawable()
    {
        const QImage blank = ChartImage(ChartData(), QSize(200, 100));
        for (int y = 0; y < blank.height(); ++y)
            for (int x = 0; x < blank.width(); ++x)
                QCOMPARE(blank.pixel(x, y), qRgb(255, 255, 255));

        const QImage header = ChartImage(chartOf({}, {}), QSize(600, 400));
        for (int y = 1200 / 15 + 5; y < 4500 / 15 - 5; y += 10)
            QVERIFY(!near(header, 800 / 15, y, 0, [](QRgb c) { return qGray(c) < 40; }));
        // The legend box at the right is drawn.
        bool legend = false;
        for (int y = 0; y < 400 && !legend; ++y)
            for (int x = (9000 - 1300) / 15; x < (9000 - 300) / 15 && !legend; ++x)
                legend = qGray(header.pixel(x, y)) < 230;
        QVERIFY(legend);
    }

    // A value label sits level with its grid line (a point of 0 reads against
    // the "0" label), the legend's swatch is in the line's colour and clear of
    // its title, and a long category label stays inside the picture.
    void labelsAndLegend()
    {
        // 600 × 800 pixels: plot 1200 … 10500 twips high; values -30 … 30 give
        // 20 ticks of 465 twips (31 px), the zero level at 5850 twips (390 px).
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

        // The legend (x 7700 … 8700 twips): black title above a green swatch,
        // nothing red.
        const QRect legend(7700 / 15, 300, 1000 / 15, 160);
        const QPair<int, int> title
                = rowsWith(image, legend, [](QRgb c) { return qGray(c) < 100 && !isRed(c); });
        const QPair<int, int> swatch = rowsWith(image, legend, [](QRgb c) {
            return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60;
        });
        QVERIFY(title.first > 0 && swatch.first > 0);
        QVERIFY2(title.second < swatch.first,
                 qPrintable(u"title to %1, swatch from %2"_s.arg(title.second).arg(swatch.first)));
        QCOMPARE(rowsWith(image, legend, isRed).first, -1);

        // A category name longer than the room below the axis ends in "…"
        // inside the picture.
        const QImage longName = ChartImage(
                chartOf({u"短"_s, QString(40, QChar(0x957F))}, {"1", "2"}), QSize(600, 400));
        QVERIFY(rowsWith(longName, QRect(0, 4500 / 15 + 2, 600, 90), isBlue).first > 0);
        QCOMPARE(rowsWith(longName, QRect(0, 397, 600, 3), isBlue).first, -1);
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
