#pragma once

#include "trades.h"

#include <QDate>
#include <QString>

namespace grid {
class Grid;
}

namespace records {

// The sales list on the first record tab, and deleting from it.

// Column titles of the sales list.
const QStringList &salesListTitles();

// The filter text of the sales tab's filter bar: empty or a run of
// conditions, each beginning with " AND " (see tradeFilter).
QString SalesFilter(const FilterBar &bar);

// The statement of the sales list for the date range start..end (whole days,
// either order) and a filter text.
QString salesListSql(const QDate &start, const QDate &end, const QString &filter);

// Fills grid with the sales from start to end narrowed by the filter bar:
// tag "Sale", report title "销售单".
void LoadSalesList(grid::Grid &grid, const QDate &start, const QDate &end, const FilterBar &bar);

// Deletes the sales of the selected grid rows after asking
// "您确定要删除选中的销售记录？". Nothing happens without data rows.
void DeleteSelectedSales(grid::Grid &grid);

} // namespace records
