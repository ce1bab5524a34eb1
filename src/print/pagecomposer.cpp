#include "pagecomposer.h"

#include "grid/grid.h"
#include "ui/qtprompts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace print {

namespace {

const QString kSongFace = QStringLiteral("AR PL UMing CN");
const QString kSansFace = QStringLiteral("WenQuanYi Zen Hei");

bool installed(const QString &family)
{
    return QFontDatabase::hasFamily(family);
}

} // namespace

QString reportFontFamily(const QString &chosen)
{
    static const QStringList song
            = {QStringLiteral("宋体"),     QStringLiteral("新宋体"), QStringLiteral("仿宋"),
               QStringLiteral("楷体"),     QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
               QStringLiteral("FangSong"), QStringLiteral("KaiTi"),  QStringLiteral("明朝")};
    static const QStringList sans = {QStringLiteral("黑体"),
                                     QStringLiteral("微软雅黑"),
                                     QStringLiteral("等线"),
                                     QStringLiteral("SimHei"),
                                     QStringLiteral("Microsoft YaHei"),
                                     QStringLiteral("DengXian")};
    const QString face = chosen.trimmed();
    QString wanted;
    if (face.isEmpty() || song.contains(face, Qt::CaseInsensitive)
        || face.startsWith(QLatin1String("Noto Serif CJK"), Qt::CaseInsensitive)
        || face.startsWith(QLatin1String("Source Han Serif"), Qt::CaseInsensitive))
        wanted = kSongFace;
    else if (sans.contains(face, Qt::CaseInsensitive)
             || face.startsWith(QLatin1String("Noto Sans CJK"), Qt::CaseInsensitive)
             || face.startsWith(QLatin1String("Source Han Sans"), Qt::CaseInsensitive))
        wanted = kSansFace;
    if (!wanted.isEmpty() && installed(wanted))
        return wanted;
    return face;
}

QStringList reportFontFamilies(const QString &chosen)
{
    QStringList families;
    const QString face = reportFontFamily(chosen);
    if (!face.isEmpty())
        families << face;
    if (installed(kSongFace) && !families.contains(kSongFace))
        families << kSongFace;
    return families;
}

QFont scaledFont(const QFont &font, double scale)
{
    QFont scaled = font;
    if (scale == 1)
        return scaled;
    if (font.pointSizeF() > 0)
        scaled.setPointSizeF(font.pointSizeF() * scale);
    else if (font.pixelSize() > 0)
        scaled.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
    return scaled;
}

QFont ReportFonts::title() const
{
    QFont font = body;
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + 4);
    return font;
}

QFont ReportFonts::header() const
{
    QFont font = body;
    font.setBold(true);
    return font;
}

ReportFonts ReportFonts::forPreview(const store::FontChoice &font)
{
    ReportFonts fonts;
    fonts.body = ui::toQFont(font);
    const QStringList families = reportFontFamilies(font.family);
    if (!families.isEmpty())
        fonts.body.setFamilies(families);
    fonts.color = ui::fontColor(font);
    fonts.titleColor = fonts.color;
    return fonts;
}

ReportFonts ReportFonts::forPrinter(const store::FontChoice &font, double pointSize)
{
    ReportFonts fonts = forPreview(font);
    if (pointSize > 0)
        fonts.body.setPointSizeF(pointSize);
    fonts.titleColor = Qt::black;
    return fonts;
}

namespace {

// Below this the table font of a page is not made smaller: a number that
// still does not fit is cut with "…" rather than printed too small to read.
constexpr double kSmallestFontScale = 0.5;

// A cell's text on one line: line breaks become blanks.
QString cellLine(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString line = text;
    line.remove(QLatin1Char('\r'));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

// Lays the lines of one text out below each other from (x, y).
void addWrapped(PageDrawing &page, const QString &text, TextStyle style, double x, double y,
                double wrapWidth, const QFontMetricsF &metrics, double surfaceBottom)
{
    if (text.isEmpty())
        return;
    // Most texts fit on one line: one measurement, no copies.
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))
        && metrics.horizontalAdvance(text) <= wrapWidth) {
        page.texts.append({QPointF(x, y), text, style});
        return;
    }
    const double lineHeight = std::max(metrics.height(), 1.0);
    const int room = std::max(1, int(std::ceil((surfaceBottom - y) / lineHeight)));
    const QStringList lines = wrapLines(
            text, wrapWidth, [&](const QString &s) { return metrics.horizontalAdvance(s); }, room);
    for (const QString &line : lines) {
        page.texts.append({QPointF(x, y), line, style});
        y += lineHeight;
    }
}

} // namespace

PageDrawing layoutPage(const PageInput &input, const PageFrame &frame, const ReportFonts &fonts,
                       const QPaintDevice *device, double surfaceBottom)
{
    PageDrawing page;
    const double left = frame.left;
    const double top = frame.top;
    const double width = frame.width;
    const double inset = 30 * frame.unitsPerTwip;
    const int rowsPerPage = std::max(input.rowsPerPage, 0);

    const QFontMetricsF bodyMetrics(fonts.body, device);
    const QFontMetricsF titleMetrics(fonts.title(), device);

    // Title, subtitle, caption row, data rows, footer.
    const bool subtitled = !input.subtitle.isEmpty();
    const double lines = double(rowsPerPage) + (subtitled ? 4 : 3);
    const double rowHeight = frame.height / lines;
    const double textOffset = std::round((rowHeight - bodyMetrics.height()) / 2);

    page.texts.append(
            {QPointF((width - titleMetrics.horizontalAdvance(input.title)) / 2 + left, top),
             input.title, TextStyle::Title});
    double y = std::round(top + rowHeight);
    if (subtitled) {
        page.texts.append(
                {QPointF((width - bodyMetrics.horizontalAdvance(input.subtitle)) / 2 + left,
                         y + textOffset),
                 input.subtitle, TextStyle::Subtitle});
        y = std::round(y + rowHeight);
    }
    page.lines.append(QLineF(left, y, left + width, y));

    if (const grid::Grid *grid = input.grid) {
        const int rows = grid->rows();
        const int cols = grid->cols();
        const int fixedRows = grid->fixedRows();
        const int firstPrinted = std::max(grid->fixedCols() - 1, 0);
        QVector<int> widths(cols);
        for (int c = 0; c < cols; ++c)
            widths[c] = grid->colWidth(c);
        const QVector<double> edges = columnRightEdges(widths, firstPrinted, left, width);
        const qint64 first = firstDataRow(rowsPerPage, input.page, fixedRows);

        // The grid rows of the page, the caption row first.
        QVector<int> pageRows;
        for (qint64 i = 1; i <= qint64(rowsPerPage) + 1; ++i) {
            const qint64 row = i == 1 ? fixedRows - 1 : first + i - 2;
            if (row > rows - 1)
                break;
            pageRows << int(row); // -1: a grid without a caption row
        }
        // The printed columns: left edge, right edge.
        QVector<QPair<int, QPair<double, double>>> columns;
        double previousEdge = left;
        for (int c = firstPrinted; c < cols; ++c) {
            if (widths.at(c) <= 0 && edges.at(c) == previousEdge)
                continue;
            columns.append({c, {previousEdge, edges.at(c)}});
            previousEdge = edges.at(c);
        }

        // Every cell keeps to one line inside its cell. A number is never
        // cut: when one is wider than its column the page's table font is
        // made smaller until every number of the page fits. numberRoom gives
        // the smallest share of its width that a number has room for at a
        // scale of the table font (1 when all fit).
        const auto numberRoom = [&](double scale) {
            const QFontMetricsF cell(scaledFont(fonts.body, scale), device);
            QFont captionFont = scaledFont(fonts.body, scale);
            captionFont.setBold(true);
            const QFontMetricsF caption(captionFont, device);
            double share = 1;
            for (int row : std::as_const(pageRows)) {
                if (row < 0)
                    continue;
                const QFontMetricsF &metrics = row == pageRows.first() ? caption : cell;
                for (const auto &column : std::as_const(columns)) {
                    const QString text = cellLine(grid->cellText(row, column.first));
                    const double room = column.second.second - column.second.first - 2 * inset;
                    const double textWidth = metrics.horizontalAdvance(text);
                    if (textWidth > room && isNumberText(text))
                        share = std::min(share, std::max(room, 0.0) / textWidth);
                }
            }
            return share;
        };
        // Font sizes do not scale their text widths exactly: shrink until
        // the numbers fit, a few steps at most.
        page.fontScale = 1;
        for (int step = 0; step < 6; ++step) {
            const double share = numberRoom(page.fontScale);
            if (share >= 1 || page.fontScale <= kSmallestFontScale)
                break;
            page.fontScale = std::max(kSmallestFontScale, page.fontScale * share * 0.98);
        }
        const QFont body = scaledFont(fonts.body, page.fontScale);
        QFont bold = body;
        bold.setBold(true);
        const QFontMetricsF cellMetrics(body, device);
        const QFontMetricsF captionMetrics(bold, device);
        const double cellOffset = std::round((rowHeight - cellMetrics.height()) / 2);

        for (int row : std::as_const(pageRows)) {
            if (row < 0)
                continue;
            const bool header = row == pageRows.first();
            const QFontMetricsF &metrics = header ? captionMetrics : cellMetrics;
            const TextStyle style = header ? TextStyle::Header : TextStyle::Body;
            const double bottom = y + rowHeight;
            page.lines.append(QLineF(left, y, left, bottom));
            for (const auto &column : std::as_const(columns)) {
                const double columnLeft = column.second.first;
                const double edge = column.second.second;
                const double room = edge - columnLeft - 2 * inset;
                QString text = cellLine(grid->cellText(row, column.first));
                if (metrics.horizontalAdvance(text) > room)
                    text = metrics.elidedText(text, Qt::ElideRight, std::max(room, 0.0));
                double x = columnLeft + inset;
                if (column.first == firstPrinted)
                    x = (edge - columnLeft - metrics.horizontalAdvance(text)) / 2 + columnLeft
                        + inset;
                if (!text.isEmpty())
                    page.texts.append({QPointF(x, y + cellOffset), text, style});
                page.lines.append(QLineF(edge, y, edge, bottom));
            }
            y = std::round(y + rowHeight);
            page.lines.append(QLineF(left, y, left + width, y));
            ++page.tableRows;
        }
    }
    page.tableBottom = y;

    page.footerTop = y + frame.unitsPerMm;
    // An empty list still prints its one page: "第1页 共1页", not "共0页".
    const QString info = footerInfoText(input.operatorName, input.date, input.page,
                                        std::max(input.pageCount, input.page));
    const double infoWidth = bodyMetrics.horizontalAdvance(info);
    page.texts.append(
            {QPointF(left + width - infoWidth, page.footerTop), info, TextStyle::FooterInfo});
    addWrapped(page, input.footer, TextStyle::Footer, left, page.footerTop,
               width - infoWidth - 750 * frame.unitsPerTwip, bodyMetrics, surfaceBottom);
    return page;
}

void paintPage(QPainter &painter, const PageDrawing &page, const ReportFonts &fonts,
               double lineWidth)
{
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(QPen(Qt::black, lineWidth));
    painter.drawLines(page.lines);

    // One font at a time: every text of a style in one go.
    const struct
    {
        TextStyle style;
        QFont font;
        QColor color;
    } styles[] = {
            {TextStyle::Title, fonts.title(), fonts.titleColor},
            {TextStyle::Subtitle, fonts.body, fonts.color},
            {TextStyle::Header, fonts.header(), fonts.color},
            {TextStyle::Body, fonts.body, fonts.color},
            {TextStyle::FooterInfo, fonts.body, fonts.color},
            {TextStyle::Footer, fonts.body, kFooterColor},
    };
    for (const auto &s : styles) {
        const bool table = s.style == TextStyle::Header || s.style == TextStyle::Body;
        const QFont font = table ? scaledFont(s.font, page.fontScale) : s.font;
        painter.setFont(font);
        painter.setPen(s.color);
        const double ascent = QFontMetricsF(font, painter.device()).ascent();
        for (const PageText &text : page.texts) {
            if (text.style == s.style)
                painter.drawText(QPointF(text.topLeft.x(), text.topLeft.y() + ascent), text.text);
        }
    }
    painter.restore();
}

} // namespace print
