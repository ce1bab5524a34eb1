#pragma once

#include <QString>

namespace grid {

class Grid;

// Most data rows a grid of this many columns takes: rows × columns stays
// within 350,000 cells with two rows to spare for the header rows
// (29,164 for 12 columns, 34,998 for 10).
int LoadGridRowLimit(int columns);

// Tells the user that only shown of total rows fit in the grid.
void ShowRowLimitMessage(int total, int shown);

// The statement LoadGrid runs: a non-empty statement as it is; a tag with a
// space in it (a complete statement) as it is; otherwise
// "SELECT * FROM <tag>" with " WHERE <where>" and " ORDER BY <order>" when
// given.
QString LoadGridSql(const QString &tag, const QString &where, const QString &order,
                    const QString &statement);

// Fills the grid's data rows from the current account set by its column keys
// (row 0): an empty key gives the running number under the title "序号",
// "field:table:keyField:resultField" looks the field's value up in another
// table, any other key is a field written by PutCell. Loads at most
// LoadGridRowLimit rows and says so when there are more; shows progress
// above 100 rows; fits the columns from the title row at the end. A query
// that fails leaves the grid with its header rows only.
void LoadGrid(Grid &grid, const QString &where, const QString &order, bool dateOnly,
              const QString &statement = QString());

// Deletes grid rows first..last (either order; kept within the data rows)
// and, when the grid has an ID column and its tag names an existing table,
// their records by ID. With ask, asks "您确定要删除第a-b行数据？" first
// (a, b counted from the first data row). The rows below move up and keep
// their running numbers. True when rows were deleted.
bool DeleteGridRows(Grid &grid, int firstRow, int lastRow, bool ask);

} // namespace grid
