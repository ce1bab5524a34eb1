#include "deliverynote.h"

#include "pagecomposer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace print {

namespace {

const QString kDigits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
const QString kPlaces = QStringLiteral("仟佰拾");

// Whole cents of an amount, half a cent rounded away from zero. The tiny
// offset absorbs the binary error of amounts such as 100.07.
qint64 centsOf(double amount)
{
    return qint64(std::llround(amount * 100 + (amount < 0 ? -1e-7 : 1e-7)));
}

// A group of four figures (1 to 9999) in capitals: 仟, 佰 and 拾 after their
// figures, one 零 for a run of empty places inside the group, none at its
// ends (1001 → 壹仟零壹, 1010 → 壹仟零壹拾, 100 → 壹佰).
QString groupInCapitals(int group)
{
    QString text;
    bool zeroPending = false;
    for (int place = 0, divisor = 1000; place < 4; ++place, divisor /= 10) {
        const int digit = group / divisor % 10;
        if (digit == 0) {
            zeroPending = !text.isEmpty();
            continue;
        }
        if (zeroPending)
            text += kDigits.at(0);
        zeroPending = false;
        text += kDigits.at(digit);
        if (place < 3)
            text += kPlaces.at(place);
    }
    return text;
}

// Whole yuan (1 to 99,999,999,999) in capitals, read in groups of four:
// 亿, 万, then the units. An empty group, or a group below a thousand after
// a higher one, is bridged with one 零 (10,000,010 → 壹仟万零壹拾).
QString yuanInCapitals(qint64 yuan)
{
    const int groups[] = {int(yuan / 100000000), int(yuan / 10000 % 10000), int(yuan % 10000)};
    const QString units[] = {QStringLiteral("亿"), QStringLiteral("万"), QString()};
    QString text;
    bool zeroPending = false;
    for (int i = 0; i < 3; ++i) {
        const int group = groups[i];
        if (group == 0) {
            zeroPending = !text.isEmpty();
            continue;
        }
        if (!text.isEmpty() && (zeroPending || group < 1000))
            text += kDigits.at(0);
        zeroPending = false;
        text += groupInCapitals(group) + units[i];
    }
    return text;
}

} // namespace

QString amountFigures(double amount)
{
    if (!std::isfinite(amount))
        return QString::number(amount);
    const qint64 cents = centsOf(amount);
    const qint64 whole = std::llabs(cents) / 100;
    QString digits = QString::number(whole);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return (cents < 0 ? QStringLiteral("-") : QString()) + digits + QLatin1Char('.')
           + QStringLiteral("%1").arg(std::llabs(cents) % 100, 2, 10, QLatin1Char('0'));
}

QString amountInCapitals(double amount)
{
    // Compared in cents, so that an amount a fraction of a cent below the
    // limit, which shows as the limit, is written in figures too.
    const bool tooLarge = !std::isfinite(amount) || std::fabs(amount) >= 2 * kLargestCapitalsAmount
                          || std::llabs(centsOf(amount)) >= qint64(kLargestCapitalsAmount) * 100;
    if (tooLarge)
        return amountFigures(amount) + QStringLiteral("（金额过大，不能用大写表示，以数字为准）");
    const qint64 cents = centsOf(amount);
    if (cents == 0)
        return QStringLiteral("零元整");
    const qint64 all = std::llabs(cents);
    const qint64 yuan = all / 100;
    const int jiao = int(all / 10 % 10);
    const int fen = int(all % 10);

    QString text = cents < 0 ? QStringLiteral("负") : QString();
    if (yuan > 0)
        text += yuanInCapitals(yuan) + QStringLiteral("元");
    if (jiao == 0 && fen == 0)
        return text + QStringLiteral("整");
    if (jiao > 0)
        text += kDigits.at(jiao) + QStringLiteral("角");
    else if (yuan > 0)
        text += kDigits.at(0); // 壹佰元零柒分: the empty 角 is written
    if (fen > 0)
        text += kDigits.at(fen) + QStringLiteral("分");
    return text;
}

namespace {

// The sum of one figure over the note's lines.
double sumOfLines(const QVector<DeliveryNoteLine> &lines, double DeliveryNoteLine::*figure)
{
    double sum = 0;
    for (const DeliveryNoteLine &line : lines)
        sum += line.*figure;
    return sum;
}

} // namespace

double DeliveryNote::total() const
{
    return sumOfLines(lines, &DeliveryNoteLine::amount);
}

double DeliveryNote::paid() const
{
    return sumOfLines(lines, &DeliveryNoteLine::paid);
}

double DeliveryNote::quantity() const
{
    return sumOfLines(lines, &DeliveryNoteLine::quantity);
}

QFont deliveryNoteFont(const QString &family)
{
    QFont font;
    const QStringList families = reportFontFamilies(family);
    if (!families.isEmpty())
        font.setFamilies(families);
    font.setPointSizeF(10);
    return font;
}

namespace {

// Heights in rows of the note's parts: the company, title and partner lines
// above the table; the totals, capitals, payment and signature lines below
// it on the last page; the foot of every page.
constexpr double kHeadRows = 4.6;
constexpr double kTotalsRows = 4.6;
constexpr double kFootRows = 1.2;

double rowHeight(const QFont &font, const QPaintDevice *device)
{
    return QFontMetricsF(font, device).height() * 1.5;
}

// A quantity with up to three decimals and no trailing zeros.
QString quantityText(double quantity)
{
    QString text = QString::number(std::round(quantity * 1000) / 1000, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QFont withPoints(const QFont &font, double points, bool bold)
{
    QFont changed = font;
    changed.setPointSizeF(points);
    changed.setBold(bold);
    return changed;
}

// Draws text in the cell from left to right on the row at top: numbers flush
// right and made smaller until they fit, other texts cut with "…".
void drawCell(QPainter &painter, const QString &text, double left, double right, double top,
              double height, bool number, double inset)
{
    if (text.isEmpty())
        return;
    const double room = std::max(right - left - 2 * inset, 1.0);
    QFont font = painter.font();
    QFontMetricsF metrics(font, painter.device());
    QString shown = text;
    if (number) {
        for (int step = 0; step < 8 && metrics.horizontalAdvance(shown) > room; ++step) {
            font = scaledFont(font, 0.9);
            metrics = QFontMetricsF(font, painter.device());
        }
    }
    if (metrics.horizontalAdvance(shown) > room)
        shown = metrics.elidedText(shown, Qt::ElideRight, room);
    painter.save();
    painter.setFont(font);
    const double width = metrics.horizontalAdvance(shown);
    const double x = number ? right - inset - width : left + inset;
    const double y = top + (height - metrics.height()) / 2 + metrics.ascent();
    painter.drawText(QPointF(x, y), shown);
    painter.restore();
}

// Draws a text with its top-left corner at (x, top), returning its width.
double drawAt(QPainter &painter, const QString &text, double x, double top)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    painter.drawText(QPointF(x, top + metrics.ascent()), text);
    return metrics.horizontalAdvance(text);
}

void drawCentred(QPainter &painter, const QString &text, const PageFrame &frame, double top)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    drawAt(painter, text, frame.left + (frame.width - metrics.horizontalAdvance(text)) / 2, top);
}

void drawFlushRight(QPainter &painter, const QString &text, const PageFrame &frame, double top)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    drawAt(painter, text, frame.left + frame.width - metrics.horizontalAdvance(text), top);
}

} // namespace

int NotePages::lineCount(int page, int lines) const
{
    if (page < 1 || page > pages)
        return 0;
    // The lines before the last page may run out a page early: the totals
    // then stand on a page of their own.
    const int rest = std::max(0, lines - firstLine(page));
    return page < pages ? std::min(rest, fullPage) : rest;
}

NotePages deliveryNotePages(int lines, const Paper &paper, const QFont &font)
{
    // A printer's resolution, so that the fonts measure as they print.
    constexpr double dotsPerInch = 1200;
    QImage reference(1, 1, QImage::Format_Mono);
    reference.setDotsPerMeterX(int(std::lround(dotsPerInch / kMmPerInch * 1000)));
    reference.setDotsPerMeterY(reference.dotsPerMeterX());
    const PageFrame frame = printerFrame(paper, dotsPerInch);
    NotePages layout;
    const double row = rowHeight(font, &reference);
    const double rows = row > 0 ? frame.height / row : 0;
    layout.rows = rows;
    // The table's caption row takes one row of the room left.
    const double room = rows - kHeadRows - kFootRows - 1;
    layout.fullPage = std::max(1, int(std::floor(room)));
    layout.lastPage = std::clamp(int(std::floor(room - kTotalsRows)), 1, layout.fullPage);
    if (lines > layout.lastPage)
        layout.pages = 1 + (lines - layout.lastPage + layout.fullPage - 1) / layout.fullPage;
    return layout;
}

void paintDeliveryNotePage(QPainter &painter, const DeliveryNote &note, const NotePages &pages,
                           const PageFrame &frame, const QFont &font, int page)
{
    const int lineTotal = int(note.lines.size());
    // The rows share the printable height as the page split measured it.
    const double row = frame.height / std::max(pages.rows, 1.0);
    const double inset = 40 * frame.unitsPerTwip;
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 10;
    const double left = frame.left;
    const double right = frame.left + frame.width;

    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(QPen(Qt::black, std::max(1.0, frame.unitsPerMm / 10)));

    // Company and title, the number and date beside the title.
    double y = frame.top;
    painter.setFont(withPoints(font, points + 4, true));
    drawCentred(painter, note.company, frame, y);
    y += row * 1.3;
    painter.setFont(withPoints(font, points + 6, true));
    drawCentred(painter, note.title, frame, y);
    painter.setFont(font);
    drawFlushRight(painter, QStringLiteral("单号：") + note.number, frame, y + row * 0.2);
    y += row * 1.5;

    // The partner.
    const double third = frame.width / 3;
    drawAt(painter, note.partnerTitle + QStringLiteral("：") + note.partnerName, left, y);
    drawAt(painter, QStringLiteral("联系人：") + note.contact, left + 1.4 * third, y);
    drawFlushRight(painter, QStringLiteral("电话：") + note.phone, frame, y);
    y += row * 0.9;
    drawAt(painter, QStringLiteral("地址：") + note.address, left, y);
    drawFlushRight(painter,
                   QStringLiteral("日期：") + note.date.toString(QStringLiteral("yyyy-MM-dd")),
                   frame, y);
    y = frame.top + row * kHeadRows;

    // The table: columns in fixed proportions, the named fields between the
    // product and its unit.
    QStringList titles = {QStringLiteral("序号"), QStringLiteral("产品")};
    QVector<double> weights = {0.6, 2.6};
    for (const QString &name : note.fieldNames) {
        titles << name;
        weights << 1.3;
    }
    titles << QStringLiteral("单位") << QStringLiteral("数量") << QStringLiteral("单价")
           << QStringLiteral("金额");
    weights << 0.7 << 1.0 << 1.1 << 1.4;
    double weightSum = 0;
    for (double w : std::as_const(weights))
        weightSum += w;
    QVector<double> edges = {left};
    for (double w : std::as_const(weights))
        edges << edges.last() + frame.width * w / weightSum;
    edges.last() = right;
    const int columns = int(titles.size());
    const int firstNumber = columns - 3;

    const auto drawRow = [&](const QStringList &cells, bool bold) {
        painter.setFont(withPoints(font, points, bold));
        for (int c = 0; c < columns; ++c)
            drawCell(painter, cells.value(c), edges[c], edges[c + 1], y, row, c >= firstNumber,
                     inset);
        for (double x : std::as_const(edges))
            painter.drawLine(QLineF(x, y, x, y + row));
        y += row;
        painter.drawLine(QLineF(left, y, right, y));
    };
    painter.drawLine(QLineF(left, y, right, y));
    drawRow(titles, true);
    const int first = pages.firstLine(page);
    const int count = pages.lineCount(page, lineTotal);
    for (int i = first; i < first + count; ++i) {
        const DeliveryNoteLine &line = note.lines.at(i);
        QStringList cells = {QString::number(i + 1), line.product};
        for (int f = 0; f < note.fieldNames.size(); ++f)
            cells << line.fields.value(f);
        cells << line.unit << quantityText(line.quantity) << amountFigures(line.price)
              << amountFigures(line.amount);
        drawRow(cells, false);
    }

    if (page == pages.pages) {
        QStringList totals(columns);
        totals[1] = QStringLiteral("合计");
        totals[firstNumber] = quantityText(note.quantity());
        totals[columns - 1] = amountFigures(note.total());
        drawRow(totals, true);
        y += row * 0.3;
        painter.setFont(font);
        drawAt(painter, QStringLiteral("合计金额（人民币大写）：") + amountInCapitals(note.total()),
               left, y);
        drawFlushRight(painter, QStringLiteral("￥") + amountFigures(note.total()), frame, y);
        y += row;
        const double owed = note.total() - note.paid();
        drawAt(painter, note.paidTitle + QStringLiteral("：") + amountFigures(note.paid()), left,
               y);
        drawAt(painter, QStringLiteral("欠款：") + amountFigures(owed), left + third, y);
        drawAt(painter, note.staffTitle + QStringLiteral("：") + note.staff, left + 2 * third, y);
        y += row * 1.6;
        const QString blank = QStringLiteral("________________");
        drawAt(painter, QStringLiteral("制单：") + blank, left, y);
        drawAt(painter, QStringLiteral("送货：") + blank, left + third, y);
        drawAt(painter, QStringLiteral("收货：") + blank, left + 2 * third, y);
    }

    // The foot, at the bottom of the printable area.
    const double foot = frame.top + frame.height - row * 0.8;
    painter.setFont(withPoints(font, std::max(points - 1, 1.0), false));
    painter.setPen(kFooterColor);
    drawAt(painter, note.companyLines, left, foot);
    drawFlushRight(painter, QStringLiteral("第%1页 共%2页").arg(page).arg(pages.pages), frame,
                   foot);
    painter.restore();
}

} // namespace print
