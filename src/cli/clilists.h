#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace cli {

struct Invocation;

// True when the logged-in user holds every token (an empty token: any
// right at all, as a window command without a right of its own needs);
// otherwise says which are missing.
bool holdsRights(const QStringList &tokens);

// The date range of a list or analysis: --from and --to when given, else
// the dates the window restores for it. False (and a message) when a date
// does not read.
bool listRange(const Invocation &inv, int tab, QDate *start, QDate *end);

// Replaces start and end by --from and --to where they are given. False
// (and a message) when one of them does not read as a date.
bool applyDateOptions(const Invocation &inv, QDate *start, QDate *end);

// Fills grid with the list of a record tab exactly as the tab loads it
// (without filter-bar conditions).
void loadList(int tab, grid::Grid &grid, const QDate &start, const QDate &end);

// A grid as the main window makes one, to load lists into.
grid::Grid *newListGrid();

// The commands that work on a record list; each returns the exit code.
int runExport(const Invocation &inv);
int runPrint(const Invocation &inv);
int runImport(const Invocation &inv);

// The file that writing out changes (links followed), or empty after
// telling the user that out leads to one of the program's own files.
QString outputTarget(const QString &out);

// True, after telling the user, when an operation on the set has failed
// since store::FailedOperations() gave failures: the command then writes
// nothing.
bool failedSince(int failures);

// Writes a loaded grid to the file named by out, by its extension: .csv as
// CSV, .xlsx as a workbook through the export code, .pdf printed with the
// set's stored preview settings. Returns the exit code.
int writeGrid(const grid::Grid &grid, const QString &out, bool allowPdf);

// Splits a --map text "产品=A,客户=B,数量=C" into column titles and columnTexts;
// a columnsText may itself hold commas (A,"-",B). False with a reason when a part
// before the first "=" has no title.
bool parseMapOption(const QString &text, QStringList *titles, QStringList *columnTexts,
                    QString *error);

} // namespace cli
