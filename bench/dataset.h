#pragma once

#include <QString>

namespace grid {
class Grid;
}

namespace bench {

// How many rows of each kind the generated account set holds.
struct DataSetSize
{
    int sales = 100000;
    int purchases = 20000;
    int products = 1000;
    int customers = 500;
    int vendors = 100;
    int accounts = 10;
    int staff = 20; // including the template's two rows
};

// First and last day (inclusive) of the generated records.
inline constexpr char kFirstDay[] = "2022-01-01";
inline constexpr char kLastDay[] = "2024-12-31";

// Builds an account set at path from the template schema and fills it with
// generated but realistic data (Chinese names, prices, dates over three
// years). Deterministic: the same size gives the same file contents.
bool buildDataSet(const QString &path, const DataSetSize &size, QString *error);

// Rows of the import figures (sales of new names: 1,000 products, 500
// customers, 20 accounts, 20 staff).
inline constexpr int kImportRows = 30000;
// A grid in the sales list's layout holding the generated import rows as the
// list would show them; export writes it to the files that are imported.
void fillImportGrid(grid::Grid &grid);

} // namespace bench
