#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

class QPainter;

namespace grid {
class Grid;
}

namespace analysis {

// One line of a chart: a non-fixed column of the grid.
struct ChartSeries
{
    int column = 0;         // grid column number (decides the colour)
    QString title;          // the header cell above the first data row
    QStringList texts;      // the cell texts, one per data row
    QVector<double> values; // their leading numbers
};

// What a chart is drawn from, taken from a grid so that it can be drawn
// again (a resized or uncovered picture, a picture file) after the grid has
// changed: category labels from the last fixed column, a series per
// non-fixed column, the heading from the grid's tag.
struct ChartData
{
    bool drawable = false; // the grid had at least two rows and two columns
    QString title;
    QStringList labels;
    QVector<ChartSeries> series;
    int lastColumn = 0;  // the grid's last column number
    int columnCount = 0; // the grid's column count
    int fixedColumnCount = 0;
    int rowCount() const { return labels.size(); }
};

// The chart of the whole grid (every data row, every non-fixed column).
ChartData ChartFromGrid(const grid::Grid &grid);

// Draws the chart on a white picture of size pixels; the chart's
// coordinates are twips, 15 to the pixel. A chart that is not drawable
// leaves the picture white. limitScales puts a series ten times larger or
// smaller than the first ones on a second, right-hand axis.
void DrawChart(QPainter &painter, const QSize &size, const ChartData &chart,
               bool limitScales = true);
// The chart as an image of size pixels.
QImage ChartImage(const ChartData &chart, const QSize &size);

// Scale arithmetic, pure.
// Colour of the series in grid column n when the last column is last: from
// magenta towards green, the last column pure green.
QColor SeriesColour(int n, int last);
// The tick unit of the left axis for the axis maximum m (the largest value
// times 1.1): a tenth of it rounded down to a whole number, a tenth of a
// unit for small charts (55 → m 60.5 → 6; 1 → m 1.1 → 0.1).
double TickUnit(double m);
// Tick unit of the right axis for its maximum (no lower limit).
double SecondTickUnit(double m);

struct ScaleChoice
{
    double largest = 0;   // over the columns on the left axis, never below 0
    double smallest = 0;  // over the same columns
    int secondColumn = 0; // first column on the right axis, 0 for none
};
struct ColumnRange
{
    int column = 0;
    double largest = 0;
    double smallest = 0;
};
// Walks the data columns in order: a column whose largest value is more
// than ten times, or less than a tenth of, the largest so far (with
// limitScales) starts the right axis, and it and every later column go there.
ScaleChoice ChooseScales(const QVector<ColumnRange> &columns, bool limitScales);

// The value of tick i (1 … ticks) of the left axis with unit u: ticks 1 …
// 10 read u … 10u; with negative values there are 20, reading -9u … 10u.
double TickValue(int i, double u, bool negative);

} // namespace analysis
