#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace grid {

class Grid;

// The list layout every record grid shares: row 0 holds the field keys
// (height 0, never shown), row 1 the titles; column 0 the record ID (fitted
// to width 0), column 1 the running number "序号"; data from row 2 on.
inline constexpr int kKeyRow = 0;
inline constexpr int kTitleRow = 1;
inline constexpr int kIdColumn = 0;
inline constexpr int kNumberColumn = 1;

// Alignment codes of the layout: left-top for every column after setup,
// left-bottom for the running number, right-bottom for numbers.
inline constexpr int kAlignLeftTop = 0;
inline constexpr int kAlignLeftBottom = 2;
inline constexpr int kAlignCenterCenter = 4;
inline constexpr int kAlignRightBottom = 8;

// Colours are given as the program stores them: 0x00BBGGRR (red in the low
// byte), so 255 is red and 65793 is red 1, green 1, blue 1.
QColor vbColor(qint64 value);
qint64 toVbColor(const QColor &color);

// Lays the grid out for a list: columns = keys, two fixed rows with the keys
// in row 0 (height 0) and the titles in row 1, two fixed columns, no data
// rows; alignment 0 everywhere but 2 for column 1. Does nothing when the two
// lists differ in length.
void SetupGridColumns(Grid &grid, const QStringList &keys, const QStringList &titles);

// Writes one value into a cell by its column key (row 0):
// - key "Cor": the value is a colour and becomes the cell's background
//   (0 means 65793, near black); no text is written;
// - integers: plain, or two digits ("07") when the key has two characters
//   and begins with "C"; doubles: "0.00"; both right-align the column
//   (code 8) when written into the first data row;
// - dates and booleans through store::FormatCell with dateOnly;
// - texts unchanged, anything else as plain text; NULL writes nothing.
void PutCell(Grid &grid, int row, int col, const QVariant &value, bool dateOnly);

// Sets every column's width from its content: the widest text from firstRow
// (row 0 when there are no data rows) to the last row, the title row when
// wider, plus 100 twips (50 for an empty column), at most half the grid's
// width, plus 20. Columns left of the last fixed column (the ID column) get
// width 0. Shows the progress window above 200 rows.
void FitGridColumns(Grid &grid, int firstRow);

// A click at (x, y), in twips from the grid's top-left corner: in the title
// row over the fixed columns it refits the columns from the title row, over
// another column it sorts by that column. Below the titles nothing happens.
void GridHeaderClick(Grid &grid, int x, int y);

// The column under x (twips, as the mouse signals give it), walking the
// fixed columns and then the columns in view; -1 past the last column.
int ColumnAtX(const Grid &grid, int x);

// Sorts the data rows by col: ascending unless its title ends with "△",
// numerically when the column's alignment is 4 or more, else as
// case-sensitive text. The title gets "△" (ascending) or "▽" (descending);
// every other mark in the title row goes. Then renumbers the rows.
void SortGridByColumn(Grid &grid, int col);

// Writes 1, 2, 3 … into the first fixed column titled "序号".
void RenumberGrid(Grid &grid);

// Finds the next data row after the current one (wrapping around) with a
// non-fixed cell containing keyword (case-sensitive); scrolls it to the top,
// makes it current and selects the whole row. Without a match shows
// "没有查到匹配的记录！". An empty keyword or an empty grid does nothing.
void SearchGrid(Grid &grid, const QString &keyword);

// Sets or clears "√" marks in a tick column after a click at (x, y):
// below the titles on the selected rows, on the title of the tick column on
// every data row (a title click elsewhere goes to GridHeaderClick). With a
// single selected row the click counts only inside the tick column. With
// multiple false only the current row is marked; with multiple true every
// row of the range gets "√" when its first row was empty, else loses it.
void ToggleTickColumn(Grid &grid, int col, int x, int y, bool multiple);

// The numeric range of a block of cells (leading numbers; empty cells count
// as 0): returns the largest, starting from 0, and gives the smallest,
// starting from 99999999999. Rows and columns are put in order first and
// kept inside the grid.
double GridBlockRange(const Grid &grid, int firstCol, int lastCol, int firstRow, int lastRow,
                      double &smallest);

// Text colour of every cell of a row; background colour of one cell.
// Colours in the stored form (see vbColor).
void PaintGridRow(Grid &grid, int row, qint64 color);
void PaintGridCell(Grid &grid, int row, int col, qint64 color);

} // namespace grid
