#pragma once

#include "importer.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace transfer {

// The column mapping of a table as the parameter table keeps it: under
// "导入映射_" + table + "_" + column title the column columnsText, under
// "导入映射_" + table + "_T0" … "_T2" the three row settings.
struct StoredMapping
{
    QHash<QString, QString> columnTexts; // by column title
    QStringList rowTexts;                // T0, T1, T2; empty texts when never stored
};

// The key family of a table's mapping: "导入映射_" + table + "_".
QString mappingPrefix(const QString &table);

// The table's stored mapping. Keys are compared by their exact prefix (a
// table name or title holding "_" or "%" matches nothing else).
StoredMapping loadMapping(const QString &table);

// Replaces the table's stored mapping: the entries with a non-empty columnsText and
// the three row settings, in one transaction.
void saveMapping(const QString &table, const QVector<MapEntry> &entries,
                 const QStringList &rowTexts);

// The mapping entries of a list grid: one per column after the fixed
// columns, its title (the last fixed row) as caption, no columnsText.
QVector<MapEntry> gridMapEntries(const grid::Grid &grid);

// The rows an import takes from the first and last row settings: their
// leading numbers rounded, swapped when the first is the larger, the first
// at least 1. False when that is more than kImportRowLimit rows.
bool importRowRange(const QString &firstText, const QString &lastText, int *first, int *last);

} // namespace transfer
