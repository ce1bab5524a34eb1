#include "gridops.h"

#include "grid.h"
#include "textwidths.h"

#include "store/formatting.h"
#include "store/prompts.h"
#include "ui/helpers.h"
#include "ui/progress.h"

#include <algorithm>
#include <cmath>

namespace grid {

namespace {

const QString kTick = QStringLiteral("√");
const QString kAscendingMark = QStringLiteral("△");
const QString kDescendingMark = QStringLiteral("▽");
const QString kNumberTitle = QStringLiteral("序号");

// "0" or, for two-character keys beginning with C, "00".
QString integerText(qlonglong value, bool twoDigits)
{
    if (!twoDigits)
        return QString::number(value);
    const QString digits = QString::number(value < 0 ? -value : value);
    const QString padded = digits.size() < 2 ? QLatin1Char('0') + digits : digits;
    return value < 0 ? QLatin1Char('-') + padded : padded;
}

} // namespace

QColor vbColor(qint64 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

qint64 toVbColor(const QColor &color)
{
    return qint64(color.red()) | (qint64(color.green()) << 8) | (qint64(color.blue()) << 16);
}

void SetupGridColumns(Grid &grid, const QStringList &keys, const QStringList &titles)
{
    if (keys.size() != titles.size())
        return;
    GridBatch batch(grid);
    const int columns = int(keys.size());
    grid.setCols(columns);
    grid.setRows(3);
    grid.setFixedRows(2);
    grid.setFixedCols(std::min(2, columns));
    grid.setRows(2);
    grid.setRowHeight(kKeyRow, 0);
    for (int c = 0; c < columns; ++c) {
        grid.setTextMatrix(kKeyRow, c, keys.at(c));
        grid.setTextMatrix(kTitleRow, c, titles.at(c));
        grid.setColAlignment(c, kAlignLeftTop);
    }
    grid.setColAlignment(kNumberColumn, kAlignLeftBottom);
}

void PutCell(Grid &grid, int row, int col, const QVariant &value, bool dateOnly)
{
    if (!value.isValid() || value.isNull())
        return;
    const QString &key = grid.cellText(kKeyRow, col);
    if (key == QLatin1String("Cor")) {
        qint64 color = 0;
        if (value.typeId() == QMetaType::QString)
            color = qint64(store::leadingNumber(value.toString()));
        else if (value.canConvert<double>())
            color = std::llround(value.toDouble());
        grid.setCellBackColor(row, col, vbColor(color == 0 ? 65793 : color));
        return;
    }
    const int type = value.typeId();
    if (store::isIntegerType(type)) {
        const bool twoDigits = key.size() == 2 && key.startsWith(QLatin1Char('C'));
        grid.setTextMatrix(row, col, integerText(value.toLongLong(), twoDigits));
        if (row == grid.fixedRows())
            grid.setColAlignment(col, kAlignRightBottom);
    } else if (type == QMetaType::Double) {
        grid.setTextMatrix(row, col, store::FormatCell(value, dateOnly));
        if (row == grid.fixedRows())
            grid.setColAlignment(col, kAlignRightBottom);
    } else if (type == QMetaType::QString) {
        grid.setTextMatrix(row, col, value.toString());
    } else if (type == QMetaType::QDateTime || type == QMetaType::QDate
               || type == QMetaType::Bool) {
        grid.setTextMatrix(row, col, store::FormatCell(value, dateOnly));
    } else {
        grid.setTextMatrix(row, col, value.toString());
    }
}

void FitGridColumns(Grid &grid, int firstRow)
{
    const int rows = grid.rows();
    const int cols = grid.cols();
    const bool progress = rows > 200;
    if (progress)
        ui::ProgressStart(QStringLiteral("正在做交易数据表格进行格式设置……"), cols);
    TextWidths widths(grid.font());
    const int start = grid.dataRows() == 0 ? 0 : std::clamp(firstRow, 0, rows);
    const int titleRow = grid.fixedRows() - 1;
    const double halfWidth = grid.widthTwips() / 2.0;
    QVector<int> colWidths(cols);
    for (int c = 0; c < cols; ++c) {
        double w = 0;
        if (c >= grid.fixedCols() - 1) {
            int widest = 0;
            for (int r = start; r < rows; ++r)
                widest = std::max(widest, widths.storedWidth(grid.cellText(r, c)));
            w = double(widest) * ui::kTwipsPerPixel;
            if (w != 0 && titleRow >= 0)
                w = std::max(w,
                             double(widths.width(grid.cellText(titleRow, c))) * ui::kTwipsPerPixel);
            w = w != 0 ? w + 100 : 50;
            if (halfWidth < w)
                w = halfWidth;
            w += 20;
        }
        colWidths[c] = int(std::lround(w));
        if (progress)
            ui::ProgressStep(1);
    }
    grid.setColWidths(colWidths);
    if (progress)
        ui::ProgressClose();
}

int ColumnAtX(const Grid &grid, int x)
{
    int right = 0;
    for (int c = 0; c < grid.fixedCols(); ++c) {
        right += grid.colWidth(c);
        if (x < right)
            return c;
    }
    for (int c = grid.leftCol(); c < grid.cols(); ++c) {
        right += grid.colWidth(c);
        if (right > x)
            return c;
    }
    return -1;
}

void GridHeaderClick(Grid &grid, int x, int y)
{
    if (y >= grid.fixedRowsHeight())
        return;
    int sum = grid.fixedColsWidth();
    if (x <= sum) {
        FitGridColumns(grid, grid.fixedRows() - 1);
        return;
    }
    for (int c = grid.leftCol(); c < grid.cols(); ++c) {
        sum += grid.colWidth(c);
        if (sum > x) {
            SortGridByColumn(grid, c);
            return;
        }
    }
}

void SortGridByColumn(Grid &grid, int col)
{
    const int titleRow = grid.fixedRows() - 1;
    if (titleRow < 0 || col < 0 || col >= grid.cols())
        return;
    const bool numeric = grid.colAlignment(col) >= 4;
    const bool ascending = !grid.cellText(titleRow, col).endsWith(kAscendingMark);
    GridBatch batch(grid);
    for (int c = 0; c < grid.cols(); ++c) {
        QString title = grid.cellText(titleRow, c);
        if (title.contains(kAscendingMark) || title.contains(kDescendingMark)) {
            title.remove(kAscendingMark);
            title.remove(kDescendingMark);
            grid.setTextMatrix(titleRow, c, std::move(title));
        }
    }
    grid.setCol(col);
    grid.sortDataRows(col, numeric, ascending);
    grid.setTextMatrix(titleRow, col,
                       grid.cellText(titleRow, col)
                               + (ascending ? kAscendingMark : kDescendingMark));
    RenumberGrid(grid);
}

void RenumberGrid(Grid &grid)
{
    const int titleRow = grid.fixedRows() - 1;
    if (titleRow < 0)
        return;
    for (int c = 0; c < grid.fixedCols(); ++c) {
        if (grid.cellText(titleRow, c) != kNumberTitle)
            continue;
        GridBatch batch(grid);
        for (int r = grid.fixedRows(); r < grid.rows(); ++r)
            grid.setTextMatrix(r, c, QString::number(r - grid.fixedRows() + 1));
        return;
    }
}

void SearchGrid(Grid &grid, const QString &keyword)
{
    const int first = grid.fixedRows();
    const int count = grid.dataRows();
    if (keyword.isEmpty() || count == 0)
        return;
    int r = grid.row() + 1;
    for (int visited = 0; visited < count; ++visited, ++r) {
        if (r >= grid.rows() || r < first)
            r = first;
        for (int c = grid.fixedCols(); c < grid.cols(); ++c) {
            if (!grid.cellText(r, c).contains(keyword, Qt::CaseSensitive))
                continue;
            grid.setTopRow(r);
            grid.setRow(r);
            grid.setCol(0);
            grid.setRowSel(r);
            grid.setColSel(grid.cols() - 1);
            return;
        }
    }
    store::prompts().message(QStringLiteral("没有查到匹配的记录！"));
}

void ToggleTickColumn(Grid &grid, int col, int x, int y, bool multiple)
{
    const int first = grid.fixedRows();
    if (grid.dataRows() == 0 || col < 0 || col >= grid.cols())
        return;
    const bool inTickColumn = ColumnAtX(grid, x) == col;
    int top;
    int bottom;
    if (y < grid.fixedRowsHeight()) {
        if (!inTickColumn) {
            GridHeaderClick(grid, x, y);
            return;
        }
        top = first;
        bottom = grid.rows() - 1;
    } else {
        top = grid.row();
        bottom = grid.rowSel();
        if (top == bottom && !inTickColumn)
            return;
    }
    // The range's first row decides the new mark, whichever way it was
    // dragged; it is then walked top to bottom.
    const int decidingRow = top;
    store::SwapIfGreater(top, bottom);
    top = std::max(top, first);
    bottom = std::min(bottom, grid.rows() - 1);
    if (!multiple) {
        for (int r = first; r < grid.rows(); ++r)
            grid.setTextMatrix(r, col, r == grid.row() ? kTick : QString());
        return;
    }
    const QString mark = grid.cellText(decidingRow, col).isEmpty() ? kTick : QString();
    for (int r = top; r <= bottom; ++r)
        grid.setTextMatrix(r, col, mark);
}

double GridBlockRange(const Grid &grid, int firstCol, int lastCol, int firstRow, int lastRow,
                      double &smallest)
{
    store::SwapIfGreater(firstCol, lastCol);
    store::SwapIfGreater(firstRow, lastRow);
    firstCol = std::max(firstCol, 0);
    lastCol = std::min(lastCol, grid.cols() - 1);
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, grid.rows() - 1);
    double largest = 0;
    smallest = 99999999999.0;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c) {
            const double value = store::leadingNumber(grid.cellText(r, c));
            largest = std::max(largest, value);
            smallest = std::min(smallest, value);
        }
    }
    return largest;
}

void PaintGridRow(Grid &grid, int row, qint64 color)
{
    for (int c = 0; c < grid.cols(); ++c)
        grid.setCellForeColor(row, c, vbColor(color));
}

void PaintGridCell(Grid &grid, int row, int col, qint64 color)
{
    grid.setCellBackColor(row, col, vbColor(color));
}

} // namespace grid
