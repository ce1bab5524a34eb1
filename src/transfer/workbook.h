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
};

// The message of an error: "无法打开Excel文件，请检查后重新输入文件名及路径！",
// "输入表格名称有误，无法打开表格，请重新输入！", "输入表格列号超界，请重新输入！",
// "文件类型不对，请选择Excel文档！"; empty for None.
QString sheetErrorMessage(SheetError error);

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
// as TRUE/FALSE, empty cells empty. rows[i] holds row first + i; its field k
// is column k + 1; rows past the sheet's end are left out. Only the asked
// rows are read, however long the sheet is.
bool readSheetRows(const QString &fileName, const QString &sheet, int first, int last,
                   QVector<QStringList> *rows, SheetError *error);

// One part of an .xlsx package, such as "xl/styles.xml". False when the file
// is not a ZIP package or has no such part.
bool readWorkbookPart(const QString &fileName, const QString &part, QByteArray *data);

} // namespace transfer
