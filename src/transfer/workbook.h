#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace transfer {

// Reading Excel workbooks: .xlsx (a ZIP of XML parts) and the older .xls
// (BIFF in a compound file). The kind is told by the file's first bytes, so a
// workbook saved under the other extension still opens.

// Why reading a workbook failed; each has the message the import shows.
enum class SheetError {
    None,
    CannotOpen,   // the file is missing or unreadable
    NoSuchSheet,  // no worksheet of that name
    ColumnBeyond, // a column outside the worksheet
    NotWorkbook,  // the file is not an Excel workbook
    Unreadable,   // a workbook whose content cannot be trusted (see the detail)
};

// The message of an error: "无法打开Excel文件，请检查后重新输入文件名及路径！",
// "输入表格名称有误，无法打开表格，请重新输入！", "输入表格列号超界，请重新输入！",
// "文件类型不对，请选择Excel文档！", "Excel文件无法读取！"; empty for None.
QString sheetErrorMessage(SheetError error);

// A worksheet row as read: only the cells that hold something, by column,
// so that a row whose one cell is at column XFD costs one cell, not 16,384.
class SheetRow
{
public:
    SheetRow() = default;
    // A row of texts from column A on (a CSV record).
    explicit SheetRow(const QStringList &texts);

    // The text of column (counted from 1); empty when the row has none there.
    QString cell(int column) const;
    // Gives column its text. False, changing nothing, when the row already
    // has a text in that column.
    bool setCell(int column, const QString &text);
    // The texts of columns 1 … the last one that has a text.
    QStringList texts() const;

private:
    bool m_dense = false;
    QVector<int> m_columns; // ascending; unused in a dense row
    QStringList m_texts;
};

// True when the file name ends in .xls or .xlsx (case ignored).
bool isWorkbookName(const QString &fileName);

// Names of the worksheets in workbook order. False (and the error) when the
// file does not open as a workbook.
bool workbookSheets(const QString &fileName, QStringList *names, SheetError *error);

// Most columns a worksheet of this file has: 16,384 for .xlsx, 256 for .xls.
int workbookColumnLimit(const QString &fileName);

// The cells of rows first..last (counted from 1) of the worksheet, as the
// sheet shows them: texts as they are, numbers in plain decimal ("12.5"),
// dates as "yyyy-MM-dd" (with " HH:mm:ss" when they carry a time), booleans
// as TRUE/FALSE, formulas as their computed values, empty cells empty.
// rows[i] holds row first + i; rows past the sheet's last are left out.
// Cells are placed by their own references, so rows may come in any order.
// When columns is given, only those columns are kept (an import keeps what
// its mapping names), so memory follows the cells used.
// Fails with Unreadable, and *detail (when given) as the message to show,
// for a workbook whose content cannot be trusted: a text reference that
// points nowhere, a cell given twice, a formula without a computed value, a
// package that unpacks to far more than its size or declares entities.
bool readSheetRows(const QString &fileName, const QString &sheet, int first, int last,
                   QVector<SheetRow> *rows, SheetError *error, QString *detail = nullptr,
                   const QVector<int> &columns = {});

// One part of an .xlsx package, such as "xl/styles.xml". False when the file
// is not a ZIP package or has no such part.
bool readWorkbookPart(const QString &fileName, const QString &part, QByteArray *data);

} // namespace transfer
