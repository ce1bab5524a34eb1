#pragma once

#include <QString>

namespace grid {
class Grid;
}

namespace transfer {

// Export of what a grid shows: rows with a height and columns with a width
// (the hidden key row and ID column are left out), header rows included,
// cell texts as displayed.

// The sheet name of a grid: its report title (the lists), or else the first
// line of its tag (the analysis grids' two-line title).
QString exportSheetName(const grid::Grid &grid);

// Asks for a file name and writes the grid: a name ending in "csv" (case
// ignored) as CSV, any other as an Excel workbook (.xlsx) with the sheet
// name. "表格中没有数据！" for a grid without rows or columns; an existing file
// is replaced only after "该文件已存在，是否覆盖？" is answered Yes, and a file
// that cannot be replaced gives "该文件无法覆盖，请确认该文件没被其他软件打开！".
// A name that leads (through links or "..") to an account set, its log, the
// template or an automatic backup is refused with store::kProtectedOutputMessage
// before anything is asked; a link is written through to its target.
// True when a file was written.
bool ExportGrid(const grid::Grid &grid, const QString &sheetName);

// Writes the grid as CSV: UTF-8 with a byte-order mark, one line per shown
// row ending in CR LF, the shown cells as csvField gives them separated by
// commas. The file is written under a work name and renamed at the end, so
// a failure never leaves half a file under the name. "文件保存出错！" and
// false on failure.
bool ExportCsv(const grid::Grid &grid, const QString &fileName);

// Writes the grid as an .xlsx workbook of one worksheet named sheetName
// (characters a sheet name may not hold become "_", at most 31 characters):
// the shown cells as texts from A1 on, column widths from the title row
// (twips ÷ 123), header rows bold on the colour (255, 192, 128), thin borders
// on every cell of the used range. Written under a work name and renamed;
// "文件保存出错！" and false on failure.
bool ExportExcel(const grid::Grid &grid, const QString &fileName, const QString &sheetName);

// A sheet name Excel accepts, made from any text.
QString safeSheetName(const QString &name);

} // namespace transfer
