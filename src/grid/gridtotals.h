#pragma once

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QVector>

namespace grid {

class Grid;

// One summed column of a totals line.
struct ColumnTotal
{
    int column = -1;
    QString title;         // the column's title
    bool quantity = false; // shown with up to three decimals, else as money
    qint64 thousandths = 0;
};

// The sums under a grid: how many data rows it shows (rows with a running
// number; a note row below a result is not counted) and, per summed column,
// the sum of its cells read as numbers. The cells are summed as the grid
// shows them, in thousandths, so that the line agrees to the cent with the
// column a user adds up; a cell that is not a number counts 0.
struct GridTotals
{
    int rows = 0;
    QVector<ColumnTotal> columns;
};

// The sums of the columns whose keys (row 0) are keys, in that order; keys
// the grid does not have are left out. A quantity column is one keyed Num
// or titled with 数量.
GridTotals gridTotals(const Grid &grid, const QStringList &keys);

// A sum as the line shows it: money with thousands separators and two
// decimals, a quantity with up to three decimals.
QString totalText(qint64 thousandths, bool quantity);

// The line of a sales or purchase list: "合计：N 行", then 数量, 应收金额 (or
// 应付金额) and 已收金额 (已付金额) with their sums, and the difference of the
// last two under differenceTitle.
QString listTotalsText(const GridTotals &totals, const QString &differenceTitle);

// The line of an analysis grid: the rows and the sum of its value column
// (the last column) when that holds amounts or quantities that add up
// (销售金额, 销售数量, 交易金额, 购买数量, 利润); empty for stock levels and
// average prices, and for a grid without data rows.
QString analysisTotalsText(const Grid &grid);

// A line under a grid that follows it: recomputed whenever the grid's rows
// are loaded, removed or changed (once per burst of changes, when the
// event loop next runs). Exports and printouts of the grid do not see it.
class TotalsLine : public QLabel
{
    Q_OBJECT

public:
    // A list's line sums Num, Pay and Pay1 and names their difference
    // differenceTitle; an analysis line (differenceTitle empty) sums the
    // value column when it adds up.
    TotalsLine(Grid *grid, const QString &differenceTitle, QWidget *parent = nullptr);

    // Recomputes the line now.
    void refresh();

private:
    void scheduleRefresh();

    QPointer<Grid> m_grid;
    QString m_differenceTitle;
    bool m_scheduled = false;
};

} // namespace grid
