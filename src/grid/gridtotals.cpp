#include "gridtotals.h"

#include "grid.h"
#include "gridmodel.h"

#include <QTimer>

#include <cmath>
#include <cstdlib>

namespace grid {

namespace {

const QString kNumberTitle = QStringLiteral("序号");

// A shown number in thousandths: its text without thousands separators, 0
// when it is no number. The grid's own forms ("-1234.50", "2.5") are read
// digit by digit, since a long list has tens of thousands of them; anything
// else goes through the general conversion.
qint64 cellThousandths(const QString &text)
{
    if (text.isEmpty())
        return 0;
    qint64 whole = 0;
    qint64 fraction = 0;
    int decimals = -1; // -1: before the point
    bool negative = false;
    bool digits = false;
    bool plain = text.size() <= 15; // within the range of qint64 thousandths
    for (int i = 0; plain && i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= u'0' && c <= u'9') {
            digits = true;
            if (decimals < 0)
                whole = whole * 10 + (c - u'0');
            else if (decimals < 3)
                fraction = fraction * 10 + (c - u'0'), ++decimals;
            else
                plain = false; // more decimals than thousandths hold
        } else if (c == u'-' && i == 0) {
            negative = true;
        } else if (c == u'.' && decimals < 0) {
            decimals = 0;
        } else if (c != u',' || decimals >= 0) {
            plain = false;
        }
    }
    if (plain && digits) {
        for (int d = std::max(decimals, 0); d < 3; ++d)
            fraction *= 10;
        const qint64 value = whole * 1000 + fraction;
        return negative ? -value : value;
    }
    QString cleaned = text;
    cleaned.remove(QLatin1Char(','));
    bool ok = false;
    const double value = cleaned.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 9e12)
        return 0;
    return std::llround(value * 1000);
}

int titleRow(const Grid &grid)
{
    return std::max(grid.fixedRows() - 1, 0);
}

// The column of the running numbers, -1 when the grid has none.
int numberColumn(const Grid &grid)
{
    for (int c = 0; c < grid.cols(); ++c) {
        if (grid.cellText(titleRow(grid), c) == kNumberTitle)
            return c;
    }
    return -1;
}

} // namespace

GridTotals gridTotals(const Grid &grid, const QStringList &keys)
{
    GridTotals totals;
    for (const QString &key : keys) {
        for (int c = 0; c < grid.cols(); ++c) {
            if (grid.cellText(0, c) != key)
                continue;
            ColumnTotal column;
            column.column = c;
            column.title = grid.cellText(titleRow(grid), c);
            column.quantity
                    = key == QLatin1String("Num") || column.title.contains(QStringLiteral("数量"));
            totals.columns << column;
            break;
        }
    }
    const int numbers = numberColumn(grid);
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        if (numbers >= 0 && grid.cellText(r, numbers).isEmpty())
            continue;
        ++totals.rows;
        for (ColumnTotal &column : totals.columns)
            column.thousandths += cellThousandths(grid.cellText(r, column.column));
    }
    return totals;
}

QString totalText(qint64 thousandths, bool quantity)
{
    const bool negative = thousandths < 0;
    const qint64 magnitude = std::llabs(thousandths);
    if (quantity) {
        QString text = QString::number(magnitude / 1000);
        const qint64 fraction = magnitude % 1000;
        if (fraction != 0) {
            QString decimals = QStringLiteral("%1").arg(fraction, 3, 10, QLatin1Char('0'));
            while (decimals.endsWith(QLatin1Char('0')))
                decimals.chop(1);
            text += QLatin1Char('.') + decimals;
        }
        return negative ? QLatin1Char('-') + text : text;
    }
    // Money to the cent, half a cent away from zero.
    const qint64 cents = (magnitude + 5) / 10;
    if (cents == 0)
        return QStringLiteral("0.00");
    QString whole = QString::number(cents / 100);
    for (int i = int(whole.size()) - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char(','));
    return (negative ? QStringLiteral("-") : QString()) + whole + QLatin1Char('.')
           + QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QString listTotalsText(const GridTotals &totals, const QString &differenceTitle)
{
    QStringList parts = {QStringLiteral("合计：%1 行").arg(totals.rows)};
    for (const ColumnTotal &column : totals.columns)
        parts << column.title + QStringLiteral("：")
                         + totalText(column.thousandths, column.quantity);
    // The amounts due and paid are the last two columns summed.
    const int count = int(totals.columns.size());
    if (!differenceTitle.isEmpty() && count >= 2) {
        const ColumnTotal &due = totals.columns.at(count - 2);
        const ColumnTotal &paid = totals.columns.at(count - 1);
        if (!due.quantity && !paid.quantity)
            parts << differenceTitle + QStringLiteral("：")
                             + totalText(due.thousandths - paid.thousandths, false);
    }
    return parts.join(QStringLiteral("　　"));
}

QString analysisTotalsText(const Grid &grid)
{
    if (grid.dataRows() == 0 || grid.cols() < 2)
        return QString();
    const int valueColumn = grid.cols() - 1;
    const QString title = grid.cellText(titleRow(grid), valueColumn);
    const bool adds = title.contains(QStringLiteral("金额"))
                      || title.contains(QStringLiteral("数量")) || title == QStringLiteral("利润");
    if (!adds)
        return QString();
    const GridTotals totals = gridTotals(grid, {grid.cellText(0, valueColumn)});
    if (totals.columns.isEmpty())
        return QString();
    const ColumnTotal &sum = totals.columns.first();
    return QStringLiteral("合计：%1 行　　%2：%3")
            .arg(totals.rows)
            .arg(sum.title, totalText(sum.thousandths, sum.quantity));
}

TotalsLine::TotalsLine(Grid *grid, const QString &differenceTitle, QWidget *parent)
    : QLabel(parent)
    , m_grid(grid)
    , m_differenceTitle(differenceTitle)
{
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setContentsMargins(4, 0, 4, 0);
    if (!grid)
        return;
    GridModel *model = grid->model();
    connect(model, &QAbstractItemModel::modelReset, this, &TotalsLine::scheduleRefresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TotalsLine::scheduleRefresh);
    connect(model, &QAbstractItemModel::rowsInserted, this, &TotalsLine::scheduleRefresh);
    connect(model, &QAbstractItemModel::dataChanged, this, &TotalsLine::scheduleRefresh);
    connect(model, &QAbstractItemModel::layoutChanged, this, &TotalsLine::scheduleRefresh);
    connect(model, &QAbstractItemModel::headerDataChanged, this, &TotalsLine::scheduleRefresh);
    refresh();
}

void TotalsLine::scheduleRefresh()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        refresh();
    });
}

void TotalsLine::refresh()
{
    if (!m_grid) {
        clear();
        return;
    }
    const Grid &grid = *m_grid;
    if (m_differenceTitle.isEmpty()) {
        setText(analysisTotalsText(grid));
        return;
    }
    const GridTotals totals = gridTotals(
            grid, {QStringLiteral("Num"), QStringLiteral("Pay"), QStringLiteral("Pay1")});
    // A grid before its list is loaded has none of the columns.
    setText(totals.columns.isEmpty() ? QString() : listTotalsText(totals, m_differenceTitle));
}

} // namespace grid
