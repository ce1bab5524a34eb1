#include "chart.h"

#include "grid/grid.h"
#include "records/trades.h"
#include "store/formatting.h"
#include "ui/helpers.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace analysis {

namespace {

// The plot rectangle's margins in twips, and the legend's width.
constexpr double kPlotLeft = 800;
constexpr double kPlotTop = 1200;
constexpr double kRightMargin = 1800;
constexpr double kBottomMargin = 1500;
constexpr double kLegendMargin = 1500;
// Where the smallest value of a column starts before the scan.
constexpr double kNoSmallest = 99999999999.0;

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kCategoryLine(208, 208, 208);
const QColor kValueLine(160, 160, 160);
const QColor kWatermark(253, 253, 253);

// The maker's name in the faint background text (every other line; no web
// address: we print none we do not own).
const QString kMakerName = QStringLiteral("Korvo软件工厂");
// The sample whose height moves rotated text that is not drawn from x.
const QString kShiftSample = QStringLiteral("Korvo软件");

// One point is 20 twips; a pixel 15.
double pointsToTwips(double points)
{
    return points * 20.0;
}

// The picture the chart is drawn on, in twips: its size, its own font (the
// heading and the background text change it) and the drawing primitives.
class Surface
{
public:
    Surface(QPainter &painter, const QSize &pixels)
        : p(painter)
        , W(double(pixels.width()) * ui::kTwipsPerPixel)
        , H(double(pixels.height()) * ui::kTwipsPerPixel)
    {
        setFont(QStringLiteral("宋体"), 10, false);
    }

    double right() const { return W - kRightMargin; }
    double bottom() const { return H - kBottomMargin; }
    double plotW() const { return W - kPlotLeft - kRightMargin; }
    double plotH() const { return H - kPlotTop - kBottomMargin; }

    void setFont(const QString &face, double points, bool bold)
    {
        m_font = QFont(face);
        m_font.setPixelSize(std::max(1, int(std::lround(pointsToTwips(points)))));
        m_font.setBold(bold);
    }
    const QFont &font() const { return m_font; }
    double textHeight(const QString &text) const
    {
        Q_UNUSED(text);
        return QFontMetricsF(m_font).height();
    }
    double textWidth(const QString &text) const
    {
        return QFontMetricsF(m_font).horizontalAdvance(text);
    }

    // Text in the picture's font with its top-left corner at (x, y).
    void print(double x, double y, const QString &text, const QColor &colour)
    {
        p.setFont(m_font);
        p.setPen(colour);
        p.drawText(QPointF(x, y + QFontMetricsF(m_font).ascent()), text);
    }

    void line(double x1, double y1, double x2, double y2, const QColor &colour, Qt::PenStyle style)
    {
        p.setPen(pen(colour, style));
        p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    }

    static QPen pen(const QColor &colour, Qt::PenStyle style)
    {
        QPen pen(colour, 1, style);
        pen.setCosmetic(true);
        return pen;
    }

    // A font of its own, size pixels high, with its metrics; made once per
    // size for the whole chart (hundreds of labels share three sizes).
    struct SizedFont
    {
        QFont font;
        QFontMetricsF metrics{font};
    };
    const SizedFont &sizedFont(int size)
    {
        auto found = m_sized.find(size);
        if (found == m_sized.end()) {
            QFont font;
            font.setPixelSize(size * ui::kTwipsPerPixel);
            found = m_sized.emplace(size, SizedFont{font, QFontMetricsF(font)}).first;
        }
        return found->second;
    }

    QPainter &p;
    const double W;
    const double H;

private:
    QFont m_font;
    std::map<int, SizedFont> m_sized;
};

// Text in a font of its own, size pixels high, turned by angle degrees
// (counter-clockwise; -90 runs downward), its top-left corner at (x, y).
// Unless noShift, it is moved left by its own width (so it ends at x), or
// for turned text by the height of a sample text.
void DrawTextAt(Surface &s, double x, double y, const QString &text, double angle, bool noShift,
                int size, const QColor &colour)
{
    const Surface::SizedFont &sized = s.sizedFont(size);
    const QFontMetricsF &metrics = sized.metrics;
    if (!noShift)
        x -= angle != 0 ? metrics.height() : metrics.horizontalAdvance(text);
    s.p.setFont(sized.font);
    s.p.setPen(colour);
    if (angle == 0) {
        s.p.drawText(QPointF(x, y + metrics.ascent()), text);
        return;
    }
    const QTransform turned = s.p.transform();
    s.p.translate(x, y);
    s.p.rotate(-angle);
    s.p.drawText(QPointF(0, metrics.ascent()), text);
    s.p.setTransform(turned);
}

// x of data row i (0 = first) with n rows.
double pointX(const Surface &s, int i, int n)
{
    const double step = n - 1 >= 1 ? s.plotW() / (n - 1) : s.plotW();
    return kPlotLeft + i * step;
}

// The category labels, running downward from y, each with its top edge
// 180 twips right of its point: as DrawTextAt with angle -90 and noShift
// draws them one by one. Turned text is slow to draw glyph by glyph, so the
// labels are drawn level into a strip that is then turned as a whole.
void DrawCategoryLabels(Surface &s, const ChartData &chart, int n, double y)
{
    if (n == 0)
        return;
    const Surface::SizedFont &sized = s.sizedFont(12);
    const QTransform toPixels = s.p.transform();
    // A label longer than the room below the axis ends in "…" rather than
    // running off the picture.
    const double room = std::max(0.0, s.H - y - 3 * ui::kTwipsPerPixel);
    QStringList labels;
    labels.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString &label = chart.labels.at(i);
        labels << (sized.metrics.horizontalAdvance(label) > room
                           ? sized.metrics.elidedText(label, Qt::ElideRight, room)
                           : label);
    }
    // Strip extent in device pixels: x of every label's top edge, and the
    // longest label.
    double longest = 0;
    for (int i = 0; i < n; ++i)
        longest = std::max(longest, sized.metrics.horizontalAdvance(labels.at(i)));
    const double height = sized.metrics.height();
    const QPointF first = toPixels.map(QPointF(pointX(s, 0, n) + 180 - height, y));
    const QPointF last = toPixels.map(QPointF(pointX(s, n - 1, n) + 180, y + longest));
    const int left = int(std::floor(first.x()));
    const int top = int(std::floor(first.y()));
    const QSize turnedSize(int(std::ceil(last.x())) - left + 1, int(std::ceil(last.y())) - top + 1);
    if (turnedSize.width() <= 0 || turnedSize.height() <= 0)
        return;

    // Level strip: width = the turned strip's height, height = its width.
    // Turning it clockwise puts the level strip's top at the right.
    QImage level(turnedSize.height(), turnedSize.width(), QImage::Format_ARGB32_Premultiplied);
    level.fill(Qt::transparent);
    {
        QPainter painter(&level);
        painter.setRenderHints(s.p.renderHints());
        const double scale = toPixels.m11();
        painter.scale(scale, scale);
        painter.setFont(sized.font);
        painter.setPen(kBlue);
        const double stripWidth = turnedSize.width() / scale;
        for (int i = 0; i < n; ++i) {
            const double edge = toPixels.map(QPointF(pointX(s, i, n) + 180, y)).x() - left;
            const double levelTop = stripWidth - edge / scale;
            painter.drawText(QPointF((toPixels.map(QPointF(0, y)).y() - top) / scale,
                                     levelTop + sized.metrics.ascent()),
                             labels.at(i));
        }
    }
    const QImage turned = level.transformed(QTransform().rotate(90));
    s.p.save();
    s.p.resetTransform();
    s.p.drawImage(QPoint(left, top), turned);
    s.p.restore();
}

void DrawWatermark(Surface &s)
{
    s.setFont(QStringLiteral("黑体"), 50, true);
    const double lineHeight = s.textHeight(QStringLiteral("A")) + 180;
    for (int i = 0; i <= 10; i += 2)
        s.print(120, i * lineHeight, kMakerName, kWatermark);
    s.setFont(QStringLiteral("宋体"), 10, false);
}

void DrawChartTitle(Surface &s, const QString &title)
{
    if (title.isEmpty()) {
        s.setFont(s.font().family(), 10, false);
        return;
    }
    const QStringList lines = title.split(QStringLiteral("\r\n"));
    const QString face = s.font().family();
    double y = 0;
    for (int i = 0; i < lines.size(); ++i) {
        s.setFont(face, i == 0 ? 18 : 10, i == 0);
        const double lineHeight = s.textHeight(QStringLiteral("H"));
        if (i == 0)
            y = std::round((kPlotTop - lineHeight) / 5);
        const double x = std::round((s.W - s.textWidth(lines.at(i))) / 2);
        s.print(x, y, lines.at(i), i == 0 ? kBlack : kRed);
        y = std::round(y + lineHeight + 90);
    }
    s.setFont(face, 10, false);
}

// Axes, category lines and labels, value lines and labels of the left axis
// for the axis maximum m; returns the top value (0 when m is not positive,
// and then nothing is drawn).
double DrawValueAxis(Surface &s, const ChartData &chart, double m, bool negative)
{
    if (m <= 0)
        return 0;
    DrawChartTitle(s, chart.title);
    const double bottom = s.bottom();
    const double right = s.right();
    s.line(kPlotLeft, bottom, right, bottom, kBlack, Qt::SolidLine);
    s.line(kPlotLeft, kPlotTop, kPlotLeft, bottom, kBlack, Qt::SolidLine);

    const int n = chart.rowCount();
    QVector<QLineF> categoryLines;
    categoryLines.reserve(n);
    // No line on the last row: the plot's right edge is there.
    for (int i = 0; i < n - 1; ++i) {
        const double x = pointX(s, i, n);
        categoryLines.append(QLineF(x, kPlotTop, x, bottom));
    }
    s.p.setPen(Surface::pen(kCategoryLine, Qt::DotLine));
    s.p.drawLines(categoryLines);
    DrawCategoryLabels(s, chart, n, bottom + 20);

    const double u = TickUnit(m);
    const int ticks = negative ? 20 : 10;
    const double h = s.plotH() / ticks;
    // Each label is centred on its line, so a point reads against the
    // label beside it.
    const double halfLabel = s.sizedFont(12).metrics.height() / 2;
    for (int i = 1; i <= ticks; ++i) {
        const double y = bottom - i * h;
        s.line(820, y, right, y, kValueLine, Qt::DotLine);
        DrawTextAt(s, 780, y - halfLabel, records::plainNumber(TickValue(i, u, negative)), 0, false,
                   12, kBlue);
    }
    return 10 * u;
}

// The right axis of the columns from secondColumn on; returns its top value,
// 0 when there is none.
double DrawSecondaryAxis(Surface &s, const ChartData &chart, int secondColumn)
{
    if (secondColumn < 1 || secondColumn >= chart.columnCount)
        return 0;
    double m2 = 0;
    for (const ChartSeries &series : chart.series) {
        if (series.column < secondColumn)
            continue;
        for (double v : series.values)
            m2 = std::max(m2, v);
    }
    if (m2 <= 0)
        return 0;
    m2 *= 1.1;
    const double right = s.right();
    s.line(right, kPlotTop, right, s.bottom(), kBlack, Qt::DotLine);
    const double u2 = SecondTickUnit(m2);
    const double h = s.plotH() / 10;
    const double halfLabel = s.sizedFont(12).metrics.height() / 2;
    for (int i = 1; i <= 10; ++i) {
        const double y = s.bottom() - i * h;
        s.line(right, y, right + 90, y, kRed, Qt::DotLine);
        DrawTextAt(s, right + 20, y - halfLabel, records::plainNumber(i * u2), 0, true, 12, kRed);
    }
    return 10 * u2;
}

// Lines, markers and value labels.
void DrawSeries(Surface &s, const ChartData &chart, double top, double secondTop, bool negative,
                int secondColumn)
{
    const int n = chart.rowCount();
    if (n == 0)
        return;
    if (secondColumn == 0)
        secondColumn = 55555;
    const double primary = negative ? 2 * top : top;
    const double plotH = s.plotH();
    const double floor = s.bottom() - 10;

    auto pointOf = [&](const ChartSeries &series, int i) {
        double scale = series.column >= secondColumn ? secondTop : primary;
        if (scale == 0)
            scale = 1;
        double y = kPlotTop + plotH - series.values.at(i) * plotH / scale;
        if (negative)
            y -= plotH / 2;
        return QPointF(pointX(s, i, n), y);
    };

    for (const ChartSeries &series : chart.series) {
        s.p.setPen(Surface::pen(SeriesColour(series.column, chart.lastColumn), Qt::SolidLine));
        QPointF previous = pointOf(series, 0);
        for (int i = 1; i < n; ++i) {
            const QPointF point = pointOf(series, i);
            // Runs of zero along the baseline are left out.
            if (previous.y() < floor || point.y() < floor)
                s.p.drawLine(previous, point);
            previous = point;
        }
    }

    const double charHeight = s.textHeight(QStringLiteral("中"));
    for (const ChartSeries &series : chart.series) {
        for (int i = 0; i < n; ++i) {
            const QPointF point = pointOf(series, i);
            if (point.y() < floor) {
                s.p.setPen(Surface::pen(kRed, Qt::DashLine));
                s.p.setBrush(kRed);
                s.p.drawEllipse(point, 20, 20);
                s.p.setBrush(Qt::NoBrush);
            }
            // The first label starts at its point, clear of the value axis;
            // the others end at theirs.
            DrawTextAt(s, point.x(), point.y() - charHeight, series.texts.at(i), 0, i == 0, 11,
                       kBlack);
        }
    }
}

// The legend at the right: for each series its title, and below it a
// swatch in the series' colour. The swatch keeps clear of the title, however
// tall the font draws it.
void DrawLegend(Surface &s, const ChartData &chart)
{
    const int items = chart.columnCount - chart.fixedColumnCount + 1;
    const double itemHeight = std::min(600.0, std::round(s.H / std::max(1, items)));
    const double titleHeight = s.sizedFont(13).metrics.height();
    constexpr double gap = 45; // three pixels
    const double swatchHeight = std::clamp(itemHeight - titleHeight - 2 * gap, gap, 200.0);
    const double titleOffset
            = std::max(0.0, std::round((itemHeight - titleHeight - gap - swatchHeight) / 2));
    double y = std::max(0.0, (s.H - chart.columnCount * itemHeight) / 2);
    const double x1 = s.W - kLegendMargin + 200;
    const double x2 = s.W - 300;
    for (const ChartSeries &series : chart.series) {
        const QColor colour = SeriesColour(series.column, chart.lastColumn);
        const double top = y + titleOffset + titleHeight + gap;
        s.p.setPen(Surface::pen(colour, Qt::SolidLine));
        s.p.setBrush(colour);
        s.p.drawRect(QRectF(QPointF(x1, top), QPointF(x2, top + swatchHeight)));
        s.p.setBrush(Qt::NoBrush);
        DrawTextAt(s, x1, y + titleOffset, series.title, 0, true, 13, kBlack);
        y += itemHeight;
    }
}

} // namespace

ChartData ChartFromGrid(const grid::Grid &grid)
{
    ChartData chart;
    chart.drawable = grid.rows() >= 2 && grid.cols() >= 2;
    if (!chart.drawable)
        return chart;
    chart.title = grid.tag();
    chart.columnCount = grid.cols();
    chart.lastColumn = grid.cols() - 1;
    chart.fixedColumnCount = grid.fixedCols();
    const int labelColumn = grid.fixedCols() - 1;
    const int firstRow = grid.fixedRows();
    for (int r = firstRow; r < grid.rows(); ++r)
        chart.labels << grid.textMatrix(r, labelColumn);
    for (int c = grid.fixedCols(); c < grid.cols(); ++c) {
        ChartSeries series;
        series.column = c;
        series.title = grid.textMatrix(firstRow - 1, c);
        for (int r = firstRow; r < grid.rows(); ++r) {
            series.texts << grid.textMatrix(r, c);
            series.values << store::leadingNumber(series.texts.constLast());
        }
        chart.series << series;
    }
    return chart;
}

QColor SeriesColour(int n, int last)
{
    if (last < n)
        last = n;
    const int g = last > 0 ? n * 255 / last : 255;
    return QColor(std::min(255 - g, 255), std::min(g, 255), std::max(255 - g, 0));
}

double TickUnit(double m)
{
    const double u = std::trunc((m < 2 ? m * 1.1 : m + 9) / 10);
    return u == 0 ? 0.1 : u;
}

double SecondTickUnit(double m)
{
    return std::trunc((m + 9) / 10);
}

ScaleChoice ChooseScales(const QVector<ColumnRange> &columns, bool limitScales)
{
    ScaleChoice choice;
    choice.smallest = kNoSmallest;
    for (int i = 0; i < columns.size(); ++i) {
        const ColumnRange &column = columns.at(i);
        if (i > 0 && limitScales) {
            const double ratio = choice.largest != 0   ? column.largest / choice.largest
                                 : column.largest == 0 ? 1
                                                       : std::numeric_limits<double>::infinity();
            if (!(ratio >= 0.1 && ratio <= 10)) {
                choice.secondColumn = column.column;
                break;
            }
        }
        choice.largest = std::max(choice.largest, column.largest);
        choice.smallest = std::min(choice.smallest, column.smallest);
    }
    return choice;
}

double TickValue(int i, double u, bool negative)
{
    return (negative ? i - 10 : i) * u;
}

void DrawChart(QPainter &painter, const QSize &size, const ChartData &chart, bool limitScales)
{
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (!chart.drawable || size.isEmpty()) {
        painter.restore();
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.scale(1.0 / ui::kTwipsPerPixel, 1.0 / ui::kTwipsPerPixel);
    Surface s(painter, size);

    // The range of every column: the largest from 0 up, the smallest from a
    // huge number down, as the grid's block range gives them.
    QVector<ColumnRange> ranges;
    for (const ChartSeries &series : chart.series) {
        ColumnRange range{series.column, 0, kNoSmallest};
        for (double v : series.values) {
            range.largest = std::max(range.largest, v);
            range.smallest = std::min(range.smallest, v);
        }
        if (series.values.isEmpty())
            range.smallest = 0;
        ranges << range;
    }
    const ScaleChoice scales = ChooseScales(ranges, limitScales);
    const bool negative = scales.smallest < 0;
    // Net returns below zero must fit on the axis as well as the sales above.
    const double m = std::max(scales.largest, negative ? -scales.smallest : 0.0) * 1.1;

    DrawWatermark(s);
    const double top = DrawValueAxis(s, chart, m, negative);
    const double secondTop = DrawSecondaryAxis(s, chart, scales.secondColumn);
    DrawSeries(s, chart, top, secondTop, negative, scales.secondColumn);
    DrawLegend(s, chart);
    painter.restore();
}

QImage ChartImage(const ChartData &chart, const QSize &size)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawChart(painter, image.size(), chart);
    return image;
}

} // namespace analysis
