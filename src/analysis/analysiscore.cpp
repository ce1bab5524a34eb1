#include "analysiscore.h"

#include "periods.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/formatting.h"
#include "store/params.h"
#include "store/session.h"

#include <cmath>

namespace analysis {

namespace {

constexpr int kValueColumn = 2;

// The company of the open set: from the set list, or from the set itself
// when the list does not hold it (the command-line tool, a set not listed).
QString currentCompany()
{
    const int index = store::CurrentAccountIndex;
    if (index < 0 || index >= store::AccountSets.size())
        return store::GetVar(store::kKeyCompany);
    return store::AccountSets.at(index).Company;
}

} // namespace

void wholeDayRange(QDate &start, QDate &end)
{
    store::SwapIfGreater(start, end);
    end = end.addDays(1);
}

QString idNumberText(const QString &idText)
{
    const double number = store::leadingNumber(idText);
    if (number == 0 || !std::isfinite(number))
        return QString();
    return QString::number(qint64(number));
}

QString analysisTitle(const QString &heading, const QString &details)
{
    return currentCompany() + heading + QStringLiteral("\r\n") + QStringLiteral("分析：")
           + store::CurrentUser + details;
}

QString valueText(double value, ValueKind kind)
{
    return kind == ValueKind::Quantity ? quantityText(value) : amountText(value);
}

bool shownAsZero(double value, ValueKind kind)
{
    const QString text = valueText(value, kind);
    return text == QLatin1String("0") || text == QLatin1String("0.00")
           || text == QLatin1String("-0.00");
}

void setupResultGrid(grid::Grid &grid, const QString &labelKey, const QString &labelTitle,
                     const QString &valueKey, const QString &valueTitle)
{
    grid::SetupGridColumns(grid, {QString(), labelKey, valueKey},
                           {QStringLiteral("序号"), labelTitle, valueTitle});
}

void appendResultRow(grid::Grid &grid, const QString &label, const QString &value)
{
    const int row = grid.rows();
    grid.setRows(row + 1);
    grid.setTextMatrix(row, 0, QString::number(row - grid.fixedRows() + 1));
    grid.setTextMatrix(row, 1, label);
    grid.setTextMatrix(row, kValueColumn, value);
}

bool loadResultRows(grid::Grid &grid, const QString &sql, const QString &labelField,
                    const QString &valueField, ValueKind kind)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    if (!rs.isOpen()) {
        store::CloseQuery(conn, rs);
        return false;
    }
    const int label = rs.fieldIndex(labelField);
    const int value = rs.fieldIndex(valueField);
    const int maxRows = grid::LoadGridRowLimit(grid.cols());
    int count = rs.recordCount();
    if (count > maxRows) {
        grid::ShowRowLimitMessage(count, maxRows);
        count = maxRows;
    }
    grid::GridBatch batch(grid);
    for (int r = 0; r < count; ++r) {
        const QVariant number = rs.valueAt(r, value);
        const QString text = number.isValid() && !number.isNull()
                                     ? valueText(number.toDouble(), kind)
                                     : QString();
        appendResultRow(grid, rs.valueAt(r, label).toString(), text);
    }
    store::CloseQuery(conn, rs);
    return true;
}

ChartData finishAnalysis(grid::Grid &grid, const QString &title, const QString &note)
{
    grid.setColAlignment(kValueColumn, grid::kAlignRightBottom);
    // Fitted with only the running number fixed: the fitting leaves the
    // columns left of the last fixed one at width 0.
    grid.setFixedCols(1);
    grid::FitGridColumns(grid, grid.fixedRows() - 1);
    grid.setFixedCols(2);
    grid.setTag(title);
    // Printing and export name the report after the title's first line.
    grid.setReportTitle(title.section(QStringLiteral("\r\n"), 0, 0));
    const ChartData chart = ChartFromGrid(grid);
    grid.setFixedCols(1);
    if (!note.isEmpty()) {
        const int row = grid.rows();
        grid.setRows(row + 1);
        grid.setTextMatrix(row, 1, note);
        grid::FitGridColumns(grid, grid.fixedRows() - 1);
    }
    return chart;
}

ChartData failAnalysis(grid::Grid &grid)
{
    grid.setRows(grid.fixedRows());
    if (grid.fixedCols() > 1)
        grid.setFixedCols(1);
    return ChartData();
}

bool buildScratchTable(const QString &table, const QStringList &statements)
{
    if (!store::DropTable(table))
        return false;
    for (const QString &sql : statements) {
        if (!store::ExecSQL(sql))
            return false;
    }
    return true;
}

} // namespace analysis
