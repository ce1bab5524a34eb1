#include "exporter.h"

#include "columns.h"
#include "csv.h"

#include "grid/grid.h"
#include "store/maintenance.h"
#include "store/prompts.h"
#include "store/savefile.h"
#include "store/workfiles.h"
#include "ui/progress.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QVector>

#include <xlsxwriter.h>

#include <cstdio>

namespace transfer {

namespace {

const QString kSaveError = QStringLiteral("文件保存出错！");

// Longest text a worksheet cell holds.
constexpr int kMaxCellText = 32767;

QVector<int> shownRows(const grid::Grid &grid)
{
    QVector<int> rows;
    for (int r = 0; r < grid.rows(); ++r)
        if (grid.rowHeight(r) >= 1)
            rows << r;
    return rows;
}

QVector<int> shownColumns(const grid::Grid &grid)
{
    QVector<int> columns;
    for (int c = 0; c < grid.cols(); ++c)
        if (grid.colWidth(c) >= 1)
            columns << c;
    return columns;
}

// What a column of the grid holds, told by the texts the grid shows: money
// and quantities as "0.00", dates as "yyyy.MM.dd" (with " HH:mm" when they
// carry a time). Anything else, and whole numbers (order numbers such as
// 0000012, telephone numbers, postcodes), stays text.
enum class CellKind { Text, Number, Date, DateTime };

bool digitsAt(const QString &text, int from, int count)
{
    for (int i = from; i < from + count; ++i)
        if (!text.at(i).isDigit() || text.at(i).unicode() > '9')
            return false;
    return true;
}

CellKind kindOfText(const QString &text)
{
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const int start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (point > start && point == text.size() - 3 && digitsAt(text, start, int(point) - start)
        && digitsAt(text, int(point) + 1, 2))
        return CellKind::Number;
    const bool date = text.size() >= 10 && digitsAt(text, 0, 4) && text.at(4) == QLatin1Char('.')
                      && digitsAt(text, 5, 2) && text.at(7) == QLatin1Char('.')
                      && digitsAt(text, 8, 2);
    if (date && text.size() == 10)
        return CellKind::Date;
    if (date && text.size() == 16 && text.at(10) == QLatin1Char(' ') && digitsAt(text, 11, 2)
        && text.at(13) == QLatin1Char(':') && digitsAt(text, 14, 2))
        return CellKind::DateTime;
    return CellKind::Text;
}

// The kind of every shown column: the kind all its non-empty data cells
// share, Text when they differ (a memo that happens to read "12.50" among
// other memos stays text).
QVector<CellKind> columnKinds(const grid::Grid &grid, const QVector<int> &rows,
                              const QVector<int> &columns)
{
    QVector<CellKind> kinds;
    for (const int c : columns) {
        bool any = false;
        CellKind kind = CellKind::Text;
        for (const int r : rows) {
            if (r < grid.fixedRows())
                continue;
            const QString text = grid.cellText(r, c);
            if (text.isEmpty())
                continue;
            const CellKind cell = kindOfText(text);
            if (any && cell != kind) {
                kind = CellKind::Text;
                break;
            }
            kind = cell;
            any = true;
            if (kind == CellKind::Text)
                break;
        }
        kinds << kind;
    }
    return kinds;
}

// Writes a data cell of a number or date column as a number or date, so that
// sums and pivot tables work in the spreadsheet; a text that is no valid
// date after all is written as text.
lxw_error writeTypedCell(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, const QString &text,
                         CellKind kind, lxw_format *format)
{
    if (kind == CellKind::Number)
        return worksheet_write_number(sheet, row, column, text.toDouble(), format);
    lxw_datetime when = {};
    when.year = text.left(4).toInt();
    when.month = text.mid(5, 2).toInt();
    when.day = text.mid(8, 2).toInt();
    if (kind == CellKind::DateTime) {
        when.hour = text.mid(11, 2).toInt();
        when.min = text.mid(14, 2).toInt();
    }
    if (!QDate::isValid(when.year, when.month, when.day) || when.hour > 23 || when.min > 59)
        return LXW_ERROR_PARAMETER_VALIDATION;
    return worksheet_write_datetime(sheet, row, column, &when, format);
}

// The file an export of fileName writes (links followed), or empty after
// telling the user that the name leads to one of the program's own files.
QString exportTarget(const QString &fileName)
{
    if (store::IsProtectedOutputPath(fileName)) {
        store::prompts().message(store::kProtectedOutputMessage);
        return QString();
    }
    return store::ResolvedOutputPath(fileName);
}

} // namespace

QString exportSheetName(const grid::Grid &grid)
{
    if (!grid.reportTitle().isEmpty())
        return grid.reportTitle();
    QString title = grid.tag();
    const int lineEnd = int(title.indexOf(QRegularExpression(QStringLiteral("[\r\n]"))));
    return lineEnd >= 0 ? title.left(lineEnd) : title;
}

QString safeSheetName(const QString &name)
{
    QString safe;
    for (const QChar c : name) {
        if (QStringLiteral("[]:*?/\\").contains(c) || c.category() == QChar::Other_Control)
            safe += QLatin1Char('_');
        else
            safe += c;
    }
    safe = safe.trimmed();
    while (safe.startsWith(QLatin1Char('\'')))
        safe.remove(0, 1);
    safe = safe.left(31);
    while (safe.endsWith(QLatin1Char('\'')))
        safe.chop(1);
    return safe.isEmpty() ? QStringLiteral("Sheet1") : safe;
}

bool ExportGrid(const grid::Grid &grid, const QString &sheetName)
{
    store::Prompts &prompts = store::prompts();
    if (grid.rows() == 0 || grid.cols() == 0) {
        prompts.message(QStringLiteral("表格中没有数据！"));
        return false;
    }
    const QString fileName = prompts.saveFileName(
            QStringLiteral("导出表格"),
            QStringLiteral("CSV (逗号分隔)(*.csv)|*.csv|MS Excel文件 (*.xlsx)|*.xlsx"), sheetName);
    if (fileName.isEmpty())
        return false;
    // Checked before the question: no answer may let a spreadsheet replace
    // an account set.
    const QString target = exportTarget(fileName);
    if (target.isEmpty())
        return false;
    const QFileInfo info(target);
    if (info.exists()) {
        if (!prompts.question(QStringLiteral("该文件已存在，是否覆盖？")))
            return false;
        // The old file is replaced only when the new one is complete; here
        // it is only checked that it can be replaced.
        if (info.isDir() || !info.isWritable()) {
            prompts.message(QStringLiteral("该文件无法覆盖，请确认该文件没被其他软件打开！"));
            return false;
        }
    }
    const bool written = fileName.right(3).toLower() == QLatin1String("csv")
                                 ? ExportCsv(grid, target)
                                 : ExportExcel(grid, target, sheetName);
    // Say where the file went, as a backup does.
    if (written)
        prompts.message(QStringLiteral("表格已导出到：") + QDir::toNativeSeparators(target));
    return written;
}

bool ExportCsv(const grid::Grid &grid, const QString &fileName)
{
    const QString target = exportTarget(fileName);
    if (target.isEmpty())
        return false;
    const QVector<int> rows = shownRows(grid);
    const QVector<int> columns = shownColumns(grid);
    ui::ProgressStart(QStringLiteral("正在导出数据至CSV格式文件……"), grid.rows());
    // Written beside the file and renamed over it only when complete: a full
    // disk leaves the old file as it was.
    QSaveFile file(target);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        file.write("\xEF\xBB\xBF");
        QString line;
        int done = 0;
        for (const int r : rows) {
            line.clear();
            for (int k = 0; k < columns.size(); ++k) {
                if (k > 0)
                    line += QLatin1Char(',');
                line += csvField(grid.cellText(r, columns.at(k)));
            }
            line += QStringLiteral("\r\n");
            file.write(line.toUtf8());
            ui::ProgressStep(r + 1 - done);
            done = r + 1;
        }
        ok = store::CommitSaveFile(file);
    }
    ui::ProgressClose();
    if (!ok)
        store::prompts().message(kSaveError);
    return ok;
}

bool ExportExcel(const grid::Grid &grid, const QString &fileName, const QString &sheetName)
{
    const QString target = exportTarget(fileName);
    if (target.isEmpty())
        return false;
    const QVector<int> rows = shownRows(grid);
    const QVector<int> columns = shownColumns(grid);
    const QString work = store::workFileBeside(target, QStringLiteral("new"));
    ui::ProgressStart(QStringLiteral("正在将数据导出到EXCEL文件 …"), grid.rows());

    bool ok = false;
    lxw_workbook *book = workbook_new(QFile::encodeName(work).constData());
    if (book) {
        lxw_worksheet *sheet
                = workbook_add_worksheet(book, safeSheetName(sheetName).toUtf8().constData());
        lxw_format *body = workbook_add_format(book);
        format_set_border(body, LXW_BORDER_THIN);
        lxw_format *header = workbook_add_format(book);
        format_set_border(header, LXW_BORDER_THIN);
        format_set_bold(header);
        format_set_pattern(header, LXW_PATTERN_SOLID);
        format_set_bg_color(header, 0xFFC080); // red 255, green 192, blue 128
        // Numbers and dates show as the grid shows them.
        lxw_format *typed[4] = {};
        const QList<QPair<CellKind, const char *>> numberFormats
                = {{CellKind::Number, "0.00"},
                   {CellKind::Date, "yyyy.mm.dd"},
                   {CellKind::DateTime, "yyyy.mm.dd hh:mm"}};
        for (const auto &[kind, code] : numberFormats) {
            lxw_format *format = workbook_add_format(book);
            format_set_border(format, LXW_BORDER_THIN);
            format_set_num_format(format, code);
            typed[int(kind)] = format;
        }
        const QVector<CellKind> kinds = columnKinds(grid, rows, columns);
        ok = sheet != nullptr;
        if (ok) {
            for (int k = 0; k < columns.size(); ++k)
                worksheet_set_column(sheet, lxw_col_t(k), lxw_col_t(k),
                                     double(grid.colWidth(columns.at(k)) / 123), nullptr);
        }
        int done = 0;
        for (int w = 0; ok && w < rows.size(); ++w) {
            const int r = rows.at(w);
            lxw_format *format = r < grid.fixedRows() ? header : body;
            for (int k = 0; ok && k < columns.size(); ++k) {
                const QString text = grid.cellText(r, columns.at(k)).left(kMaxCellText);
                lxw_error result = LXW_ERROR_PARAMETER_VALIDATION;
                if (text.isEmpty())
                    result = worksheet_write_blank(sheet, lxw_row_t(w), lxw_col_t(k), format);
                else if (r >= grid.fixedRows() && kinds.at(k) != CellKind::Text)
                    result = writeTypedCell(sheet, lxw_row_t(w), lxw_col_t(k), text, kinds.at(k),
                                            typed[int(kinds.at(k))]);
                if (result != LXW_NO_ERROR && !text.isEmpty())
                    result = worksheet_write_string(sheet, lxw_row_t(w), lxw_col_t(k),
                                                    text.toUtf8().constData(), format);
                ok = result == LXW_NO_ERROR;
            }
            ui::ProgressStep(r + 1 - done);
            done = r + 1;
        }
        // Closing writes the file; it must be called to free the workbook
        // even after a failure.
        const lxw_error closed = workbook_close(book);
        ok = ok && closed == LXW_NO_ERROR;
    }
    ok = ok && store::replaceFileWith(work, target);
    if (!ok)
        QFile::remove(work);
    ui::ProgressClose();
    if (!ok)
        store::prompts().message(kSaveError);
    return ok;
}

} // namespace transfer
