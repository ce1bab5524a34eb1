#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include "workbook.h"

#include <memory>

class QWidget;

namespace grid {
class Grid;
}

namespace store {
class RowInserter;
}

namespace transfer {

// Import of rows into a list's table from a CSV file or an Excel worksheet,
// as the mapping dialog states it.

// Most rows one import takes.
inline constexpr int kImportRowLimit = 30000;

// One mapping entry: the list column's title and its column columnsText, a text
// such as `A` or `A,"-",B` naming the spreadsheet columns and constants the
// field is made of.
struct MapEntry
{
    QString caption;
    QString columnsText;
};

// A columnsText as it is used: typographic quotes “ ” and the full-width comma ，
// become plain ones, surrounding blanks go, and one leading and one trailing
// comma are removed.
QString normaliseColumnsText(const QString &columnsText);

// One part of a columnsText: a constant (a text in double quotes) or a column
// number (letters A … ZZ as ColumnNumber reads them, or a plain whole number
// counting from 1). An empty part is left out.
struct ColumnsPart
{
    bool constant = false;
    QString text;   // the constant
    int column = 0; // the column; 0 for letters beyond ZZ
};

// The parts of a normalised columnsText, split at the commas that stand outside
// double quotes; carriage returns and line feeds are removed from each part
// and blanks trimmed.
QVector<ColumnsPart> columnsTextParts(const QString &columnsText);

// The date a cell gives: "2026.03.01", "2026-3-1", "2026/03/01",
// "2026年3月1日", "20260301", each optionally followed by a time "10:20" or
// "10:20:30". An invalid QDateTime when the text is none of these.
QDateTime parseImportDate(const QString &text);

// The rights an imported staff row gets: of the rights named in the imported
// text, only those the importing user holds (所有权限 only from a holder of
// 所有权限), in catalogue order joined by ";".
QString importedRights(const QString &imported, const QString &userRights);

// Turns master names into IDs for one import: the table's names are read
// once, a name without a row creates one (with only its Name) and is
// remembered, so 30,000 rows naming 500 customers cost one query and 500
// inserts. An empty name stands for "其他". Blanks at the ends of a name are
// dropped and ASCII letters match in either case ("steel" finds the row
// "STEEL", whose spelling is kept); otherwise names are matched as written
// (quotes and all) and bound, never placed into SQL text.
class NameIds
{
public:
    NameIds();
    ~NameIds();
    NameIds(const NameIds &) = delete;
    NameIds &operator=(const NameIds &) = delete;

    // The ID of the row of table named name; 0 and *error when the table
    // cannot be read or the row cannot be added.
    qint64 id(const QString &table, const QString &name, QString *error = nullptr);

private:
    struct Table
    {
        QHash<QString, qint64> ids;
        std::unique_ptr<store::RowInserter> inserter;
    };
    QHash<QString, std::shared_ptr<Table>> m_tables;
};

// The ID of the row of table whose Name is name, creating the row when there
// is none (one look-up, no cache).
qint64 NameToId(const QString &table, const QString &name);

// Where imported rows come from: rows of cells, row firstRow first. Rows
// before firstRow or after the last are missing.
struct ImportSource
{
    int firstRow = 1;
    QVector<SheetRow> rows;
    int columnLimit = 0; // most columns of the source; 0 for no limit (CSV)
};

// What an import did.
struct ImportOutcome
{
    int written = 0; // rows added to the table
    QString message; // why it stopped early; empty when it ran to the end
};

// Adds rows first..last of source to the list grid's table (its tag) by the
// mapping. Each entry's text is its parts joined (constants as they are,
// columns as the row's cells), without tabs; an entry without a columnsText gives
// the empty text (so an unmapped reference names 其他). A row whose mapped cells are all
// empty, or a row past the end of the source, ends the import. Each entry is
// written into the field of the grid column titled as its caption (row 0
// holds the field): Memo cut to 50 characters, 邮编 to 6, the references
// AID, CID, PID, SID and VID as the ID of the named row of Acc, Cus, Pro,
// Staff or Vendor, number fields as the text's leading number, date fields
// as parseImportDate gives (empty: the null date), other fields as text.
// All rows are written in one transaction, all or nothing: a row refused
// (a date that is no date, a number beyond any number such as 1e309 or
// NaN, a failed write) refuses the file, and neither the rows before it nor
// the master rows their names created are kept.
ImportOutcome importRows(const grid::Grid &grid, const QVector<MapEntry> &mapping,
                         const ImportSource &source, int first, int last);

// Reads the CSV file and imports rows first..last of it; "CSV文件导入错误！"
// for a name not ending in .csv, a file that is not readable text, or one
// that no encoding decodes or that ends inside a quoted field (with the
// line). Shows the progress window and any message, and reloads the visible
// list. *written (when given) is the number of rows this import wrote,
// whatever else writes to the table at the same time.
bool ImportCsv(const grid::Grid &grid, const QVector<MapEntry> &mapping, const QString &fileName,
               int first, int last, int *written = nullptr);
// The same from worksheet sheet of an Excel workbook; its errors are shown
// with the messages of sheetErrorMessage, or the detail of a workbook that
// cannot be trusted.
bool ImportExcel(const grid::Grid &grid, const QVector<MapEntry> &mapping, const QString &fileName,
                 const QString &sheet, int first, int last, int *written = nullptr);

// The open dialog for an import file and, for a workbook, the worksheet
// chooser. False when nothing was chosen (a cancelled dialog, a workbook
// that does not open: "无法打开XLS文件！").
bool ChooseImportFile(QString *fileName, QString *sheet, QWidget *parent = nullptr);

// The import of the list grid: file, worksheet, mapping dialog.
void ImportRecords(grid::Grid &grid, QWidget *parent = nullptr);

} // namespace transfer
