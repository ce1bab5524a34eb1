#pragma once

#include "chart.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace analysis {

// What the analyses share: a date range, a scratch table made by SQL, a
// result grid of three columns (序号, a label, a value), a two-line title
// and the chart of the grid.

// Turns two chosen days into the range start <= Dat < end: swapped when the
// first is later, the end moved on by one day (so the end day counts whole).
void wholeDayRange(QDate &start, QDate &end);

// The leading number of an ID text from a box (0 for all), as SQL text; the
// empty text for 0. Only a number can reach a statement this way.
QString idNumberText(const QString &idText);

// Two title lines joined by CR LF: the current account set's company and
// heading, then "分析：" + the user + details.
QString analysisTitle(const QString &heading, const QString &details);

// How the value column shows its numbers.
enum class ValueKind {
    Amount,   // "0.00"
    Quantity, // exact: "12", "2.5"
};
QString valueText(double value, ValueKind kind);
// True when the value shows as zero.
bool shownAsZero(double value, ValueKind kind);

// Lays the grid out for a result: 序号, labelTitle, valueTitle over the keys
// "", labelKey, valueKey; the running number and the label fixed.
void setupResultGrid(grid::Grid &grid, const QString &labelKey, const QString &labelTitle,
                     const QString &valueKey, const QString &valueTitle);
// Appends a data row with the next running number.
void appendResultRow(grid::Grid &grid, const QString &label, const QString &value);
// Appends the rows of a query, its labelField as the label and valueField
// as the value (a NULL value shows empty). Keeps within the grid's row limit
// and says so, as the list grids do. False when the query failed.
bool loadResultRows(grid::Grid &grid, const QString &sql, const QString &labelField,
                    const QString &valueField, ValueKind kind);

// The end of every analysis: values right-aligned, columns fitted, the title
// as the grid's tag, the chart taken with the label column fixed, then only
// the running number fixed. A note is added as the grid's last row, in the
// label column and without a running number, after the chart is taken (so
// it is printed and exported, but not charted).
ChartData finishAnalysis(grid::Grid &grid, const QString &title, const QString &note = QString());
// The end of an analysis whose statements failed: the grid keeps only its
// header rows and the chart is empty (not drawable), never half drawn.
ChartData failAnalysis(grid::Grid &grid);

// Drops the scratch table and runs the statements that build it, stopping
// at the first that fails. False when one failed.
bool buildScratchTable(const QString &table, const QStringList &statements);

} // namespace analysis
