#include "exporter.h"

#include "columns.h"
#include "csv.h"

#include "grid/grid.h"
#include "store/maintenance.h"
#include "store/prompts.h"
#include "store/savefile.h"
#include "store/workfiles.h"
#include "ui/progress.h"

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
    if (fileName.right(3).toLower() == QLatin1String("csv"))
        return ExportCsv(grid, target);
    return ExportExcel(grid, target, sheetName);
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
                const lxw_error result
                        = text.isEmpty()
                                  ? worksheet_write_blank(sheet, lxw_row_t(w), lxw_col_t(k), format)
                                  : worksheet_write_string(sheet, lxw_row_t(w), lxw_col_t(k),
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
