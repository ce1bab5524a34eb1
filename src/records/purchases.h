#pragma once

#include "trades.h"

#include <QDate>
#include <QString>

namespace grid {
class Grid;
}

namespace records {

// The purchase list on the second record tab, and deleting from it.

// Column titles of the purchase list.
const QStringList &purchaseListTitles();

// The filter text of the purchase tab's filter bar: empty or a run of
// conditions, each beginning with " AND " (see tradeFilter).
QString PurchaseFilter(const FilterBar &bar);

// The statement of the purchase list for the date range start..end (whole days,
// either order) and a filter text.
QString purchaseListSql(const QDate &start, const QDate &end, const QString &filter);

// Fills grid with the purchases from start to end narrowed by the filter bar:
// tag "Pur", report title "采购表".
void LoadPurchaseList(grid::Grid &grid, const QDate &start, const QDate &end, const FilterBar &bar);

// Deletes the purchases of the selected grid rows after asking
// "您确定要删除选中的采购记录？". Nothing happens without data rows.
void DeleteSelectedPurchases(grid::Grid &grid);

} // namespace records
