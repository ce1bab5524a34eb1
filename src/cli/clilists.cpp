#include "clilists.h"

#include "cliargs.h"
#include "cliprompts.h"

#include "app/commands.h"
#include "app/deliverynotes.h"
#include "app/settings.h"
#include "grid/grid.h"
#include "print/deliverynotepreview.h"
#include "print/previewsettings.h"
#include "print/printers.h"
#include "print/printpreview.h"
#include "records/accounts.h"
#include "records/customers.h"
#include "records/products.h"
#include "records/purchases.h"
#include "records/rights.h"
#include "records/sales.h"
#include "records/staff.h"
#include "records/trades.h"
#include "records/vendors.h"
#include "store/access.h"
#include "store/maintenance.h"
#include "store/prompts.h"
#include "store/session.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"
#include "transfer/workbook.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <functional>
#include <memory>

namespace cli {

namespace {

// What the window needs to run a list's command button at position (打印表格,
// 导出记录, 导入记录 are the buttons 4, 5 and 6 of the tab): the list's view
// right to load its rows, and the button's own right.
bool holdsListRights(int tab, int position)
{
    const app::CommandButton *button = app::commandButton(20 * tab + position);
    return holdsRights({app::recordTabRight(tab), button ? button->right : records::kAllRights});
}

int listTabOf(const Invocation &inv)
{
    const int tab = listTab(inv.words.first());
    if (tab < 0)
        printError(QStringLiteral("未知列表：%1（可用：%2）")
                           .arg(inv.words.first(), listWords().join(QLatin1Char(' '))));
    return tab;
}

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

} // namespace

bool holdsRights(const QStringList &tokens)
{
    QStringList missing;
    for (const QString &token : tokens) {
        if (!records::HasRight(store::CurrentRights, token) && !missing.contains(token))
            missing << token;
    }
    if (missing.isEmpty())
        return true;
    if (store::CurrentRights.isEmpty())
        printError(QStringLiteral("没有权限：%1 没有任何权限。").arg(store::CurrentUser));
    else
        printError(
                QStringLiteral("没有权限：需要“%1”。").arg(missing.join(QStringLiteral("”、“"))));
    return false;
}

bool listRange(const Invocation &inv, int tab, QDate *start, QDate *end)
{
    // What the window shows before its settings are read, then the stored
    // dates of the tab's pickers.
    const QDate today = QDate::currentDate();
    app::WindowSettings settings;
    settings.listDates.fill(today);
    settings.listDates[0] = settings.listDates[2] = QDate(today.year(), 1, 1);
    app::LoadSettings(settings);
    const int pair = (tab == 1) ? 1 : 0;
    *start = settings.listDates[2 * pair];
    *end = settings.listDates[2 * pair + 1];
    return applyDateOptions(inv, start, end);
}

bool applyDateOptions(const Invocation &inv, QDate *start, QDate *end)
{
    for (const QString &option : {QStringLiteral("--from"), QStringLiteral("--to")}) {
        if (!inv.options.contains(option))
            continue;
        const QDate date = parseDate(inv.options.value(option));
        if (!date.isValid()) {
            printError(QStringLiteral("日期无效：%1（应为 yyyy-MM-dd）")
                               .arg(inv.options.value(option)));
            return false;
        }
        *(option == QLatin1String("--from") ? start : end) = date;
    }
    return true;
}

grid::Grid *newListGrid()
{
    auto *grid = new grid::Grid;
    grid->setCols(2);
    grid->setRows(2);
    grid->setFixedRows(2);
    grid->setFixedCols(2);
    grid->setColWidth(0, 0);
    grid->resize(1200, 800);
    return grid;
}

void loadList(int tab, grid::Grid &grid, const QDate &start, const QDate &end)
{
    const records::FilterBar noConditions;
    switch (tab) {
    case 0:
        records::LoadSalesList(grid, start, end, noConditions);
        break;
    case 1:
        records::LoadPurchaseList(grid, start, end, noConditions);
        break;
    case 3:
        records::LoadProductList(grid);
        break;
    case 4:
        records::LoadCustomerList(grid);
        break;
    case 5:
        records::LoadVendorList(grid);
        break;
    case 6:
        records::LoadFundAccountList(grid);
        break;
    case 7:
        records::LoadStaffList(grid);
        break;
    default:
        break;
    }
}

QString outputTarget(const QString &out)
{
    if (store::IsProtectedOutputPath(out)) {
        printError(store::kProtectedOutputMessage);
        return QString();
    }
    return store::ResolvedOutputPath(out);
}

bool failedSince(int failures)
{
    if (store::FailedOperations() == failures)
        return false;
    printError(QStringLiteral("套账数据读取失败（文件可能已损坏），没有写入任何文件。"));
    return true;
}

int writeGrid(const grid::Grid &grid, const QString &out, bool allowPdf)
{
    const QString suffix = suffixOf(out);
    const QString target = outputTarget(out);
    if (target.isEmpty())
        return kDataError;
    if (suffix == QLatin1String("pdf") && allowPdf) {
        // The preview reads the set's stored paper, margins, rows per page,
        // font, rotation, title and footer, as it does in the window.
        auto *preview = new print::PrintPreview(const_cast<grid::Grid *>(&grid));
        const print::ReportJob job = preview->reportJob();
        // An empty list prints its one page of titles, as in the window.
        const QVector<int> pages = print::batchPages(1, job.pageCount, job.pageCount);
        QString error;
        const bool written = print::PrintReportToPdf(target, job, pages, {}, &error);
        delete preview;
        if (!written) {
            printError(error.isEmpty() ? QStringLiteral("文件保存出错！") : error);
            return kDataError;
        }
        // No page at all writes no file; that is not a printout.
        if (pages.isEmpty()) {
            printError(QStringLiteral("没有可打印的页面，没有写入文件。"));
            return kDataError;
        }
        return kDone;
    }
    if (suffix != QLatin1String("csv") && suffix != QLatin1String("xlsx")) {
        printError(allowPdf ? QStringLiteral("输出文件应为 .csv、.xlsx 或 .pdf：%1").arg(out)
                            : QStringLiteral("输出文件应为 .csv 或 .xlsx：%1").arg(out));
        return kUsage;
    }
    auto *prompts = dynamic_cast<CliPrompts *>(&store::prompts());
    if (prompts)
        prompts->fileName = target;
    // The window's export: its checks, its messages, its file format.
    if (!transfer::ExportGrid(grid, transfer::exportSheetName(grid)))
        return kDataError;
    return kDone;
}

namespace {

// The list of the command's first word, loaded as its tab loads it, after
// checking the right of the tab's button at position and then the command's
// own arguments (check gives an exit code). Null with *code set when a check
// fails or a date does not read.
std::unique_ptr<grid::Grid> checkedList(const Invocation &inv, int position,
                                        const std::function<int()> &check, int *code)
{
    const int tab = listTabOf(inv);
    *code = tab < 0 ? kUsage : !holdsListRights(tab, position) ? kRefused : check();
    QDate start;
    QDate end;
    if (*code == kDone && !listRange(inv, tab, &start, &end))
        *code = kUsage;
    if (*code != kDone)
        return nullptr;
    std::unique_ptr<grid::Grid> grid(newListGrid());
    const int failures = store::FailedOperations();
    loadList(tab, *grid, start, end);
    // A list that could not be read is not an empty list: nothing is
    // written from it.
    if (failedSince(failures)) {
        *code = kDataError;
        return nullptr;
    }
    return grid;
}

} // namespace

int runExport(const Invocation &inv)
{
    const QString out = inv.options.value(QStringLiteral("--out"));
    int code = kDone;
    const std::unique_ptr<grid::Grid> grid = checkedList(
            inv, 5,
            [&out] {
                if (out.isEmpty()) {
                    printError(QStringLiteral("请用 --out 指定输出文件。"));
                    return kUsage;
                }
                if (suffixOf(out) != QLatin1String("csv")
                    && suffixOf(out) != QLatin1String("xlsx")) {
                    printError(QStringLiteral("输出文件应为 .csv 或 .xlsx：%1").arg(out));
                    return kUsage;
                }
                return kDone;
            },
            &code);
    return grid ? writeGrid(*grid, out, false) : code;
}

namespace {

// The record numbers of --ids: positive whole numbers separated by commas
// (also Chinese ones) or blanks. Empty after telling the user when the text
// holds anything else.
QList<int> noteIds(const QString &text)
{
    QList<int> ids;
    static const QRegularExpression separators(QStringLiteral("[,，\\s]+"));
    for (const QString &part : text.split(separators, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = part.toInt(&ok);
        if (!ok || id < 1) {
            printError(QStringLiteral("--ids 应为以逗号分隔的记录编号，例如 12,13：%1").arg(text));
            return {};
        }
        ids << id;
    }
    if (ids.isEmpty())
        printError(QStringLiteral("请用 --ids 指定要打印的记录编号，例如 --ids 12,13。"));
    return ids;
}

// print sale-note / purchase-note: the delivery note of the records --ids
// names, on the note paper the set remembers, to the PDF file of --out.
int runNotePrint(const Invocation &inv, app::NoteKind kind)
{
    const int tab = kind == app::NoteKind::Sale ? 0 : 1;
    if (!holdsListRights(tab, 4))
        return kRefused;
    const QString out = inv.options.value(QStringLiteral("--out"));
    if (suffixOf(out) != QLatin1String("pdf")) {
        printError(QStringLiteral("请用 --out 指定一个 .pdf 文件。"));
        return kUsage;
    }
    const QList<int> ids = noteIds(inv.options.value(QStringLiteral("--ids")));
    if (ids.isEmpty())
        return kUsage;
    print::DeliveryNote note;
    QString error;
    if (!app::ReadDeliveryNote(kind, ids, &note, &error)) {
        printError(error);
        return kDataError;
    }
    const QString target = outputTarget(out);
    if (target.isEmpty())
        return kDataError;
    const print::Paper paper = print::notePaper(print::LoadNotePaperName());
    const int pages = print::deliveryNotePageCount(note, paper);
    if (!print::PrintPagesToPdf(target, print::deliveryNoteJob(note, paper),
                                print::batchPages(1, pages, pages), {}, &error)) {
        printError(error);
        return kDataError;
    }
    return kDone;
}

} // namespace

int runPrint(const Invocation &inv)
{
    const QString word = inv.words.first();
    if (word == QLatin1String("sale-note"))
        return runNotePrint(inv, app::NoteKind::Sale);
    if (word == QLatin1String("purchase-note"))
        return runNotePrint(inv, app::NoteKind::Purchase);
    if (inv.options.contains(QStringLiteral("--ids"))) {
        printError(QStringLiteral("--ids 只用于 sale-note 和 purchase-note。"));
        return kUsage;
    }
    const QString out = inv.options.value(QStringLiteral("--out"));
    int code = kDone;
    const std::unique_ptr<grid::Grid> grid = checkedList(
            inv, 4,
            [&out] {
                if (suffixOf(out) == QLatin1String("pdf"))
                    return kDone;
                printError(QStringLiteral("请用 --out 指定一个 .pdf 文件。"));
                return kUsage;
            },
            &code);
    return grid ? writeGrid(*grid, out, true) : code;
}

bool parseMapOption(const QString &text, QStringList *titles, QStringList *columnTexts,
                    QString *error)
{
    // Split at the commas outside double quotes (plain or typographic); a
    // piece holding "=" outside quotes starts the next column, any other
    // piece continues the columnsText before it.
    QStringList pieces;
    QString piece;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QChar(0x201C) || c == QChar(0x201D))
            quoted = !quoted;
        if (!quoted && (c == QLatin1Char(',') || c == QChar(0xFF0C))) {
            pieces << piece;
            piece.clear();
            continue;
        }
        piece += c;
    }
    pieces << piece;
    for (const QString &part : std::as_const(pieces)) {
        int equals = -1;
        bool inQuotes = false;
        for (int i = 0; i < part.size(); ++i) {
            const QChar c = part.at(i);
            if (c == QLatin1Char('"') || c == QChar(0x201C) || c == QChar(0x201D))
                inQuotes = !inQuotes;
            if (!inQuotes && c == QLatin1Char('=')) {
                equals = i;
                break;
            }
        }
        if (equals >= 0) {
            const QString title = part.left(equals).trimmed();
            if (title.isEmpty()) {
                *error = QStringLiteral("映射中缺少列标题：%1").arg(part);
                return false;
            }
            *titles << title;
            *columnTexts << part.mid(equals + 1).trimmed();
        } else if (!titles->isEmpty()) {
            (*columnTexts)[columnTexts->size() - 1] += QLatin1Char(',') + part.trimmed();
        } else if (!part.trimmed().isEmpty()) {
            *error = QStringLiteral("映射应写成 列标题=列，例如 产品=A：%1").arg(part);
            return false;
        }
    }
    return true;
}

int runImport(const Invocation &inv)
{
    const QString file = QFileInfo(inv.words.at(1)).absoluteFilePath();
    int code = kDone;
    const std::unique_ptr<grid::Grid> grid = checkedList(
            inv, 6,
            [&inv, &file] {
                if (QFileInfo(file).isFile())
                    return kDone;
                printError(QStringLiteral("文件不存在：%1").arg(inv.words.at(1)));
                return kDataError;
            },
            &code);
    if (!grid)
        return code;
    const QString table = grid->tag();

    QVector<transfer::MapEntry> entries = transfer::gridMapEntries(*grid);
    const transfer::StoredMapping stored = transfer::loadMapping(table);
    QString firstText = stored.rowTexts.value(0);
    QString lastText = stored.rowTexts.value(1);
    if (firstText.isEmpty())
        firstText = QStringLiteral("2");
    if (lastText.isEmpty())
        lastText = QStringLiteral("100");
    if (inv.options.contains(QStringLiteral("--map"))) {
        QStringList titles;
        QStringList columnTexts;
        QString error;
        if (!parseMapOption(inv.options.value(QStringLiteral("--map")), &titles, &columnTexts,
                            &error)) {
            printError(error);
            return kUsage;
        }
        for (int i = 0; i < titles.size(); ++i) {
            bool found = false;
            for (transfer::MapEntry &entry : entries) {
                if (entry.caption == titles.at(i)) {
                    entry.columnsText = columnTexts.at(i);
                    found = true;
                }
            }
            if (!found) {
                QStringList captions;
                for (const transfer::MapEntry &entry : std::as_const(entries))
                    captions << entry.caption;
                printError(QStringLiteral("列表没有列“%1”。可用的列：%2")
                                   .arg(titles.at(i), captions.join(QStringLiteral("、"))));
                return kUsage;
            }
        }
    } else {
        for (transfer::MapEntry &entry : entries)
            entry.columnsText = stored.columnTexts.value(entry.caption);
    }
    bool anyColumns = false;
    for (const transfer::MapEntry &entry : std::as_const(entries))
        anyColumns = anyColumns || !transfer::normaliseColumnsText(entry.columnsText).isEmpty();
    if (!anyColumns) {
        printError(
                QStringLiteral("没有列映射：请用 --map 指定，或先在程序的“导入数据映射”中保存。"));
        return kUsage;
    }

    if (inv.options.contains(QStringLiteral("--rows"))) {
        int first = 0;
        int last = 0;
        if (!parseRowRange(inv.options.value(QStringLiteral("--rows")), first, last)) {
            printError(QStringLiteral("行范围应写成 起始行-结束行，例如 2-100。"));
            return kUsage;
        }
        firstText = QString::number(first);
        lastText = QString::number(last);
    }
    int first = 0;
    int last = 0;
    if (!transfer::importRowRange(firstText, lastText, &first, &last)) {
        printError(QStringLiteral("一次性导入数据不得超过3万条记录，请重新设置！"));
        return kUsage;
    }

    int written = 0;
    bool imported = false;
    if (transfer::isWorkbookName(file)) {
        QString sheet = inv.options.value(QStringLiteral("--sheet"));
        QStringList sheets;
        transfer::SheetError sheetError{};
        if (!transfer::workbookSheets(file, &sheets, &sheetError)) {
            printError(transfer::sheetErrorMessage(sheetError));
            return kDataError;
        }
        if (sheet.isEmpty() && !sheets.isEmpty())
            sheet = sheets.first();
        imported = transfer::ImportExcel(*grid, entries, file, sheet, first, last, &written);
    } else {
        imported = transfer::ImportCsv(*grid, entries, file, first, last, &written);
    }
    printOut(QStringLiteral("写入了 %1 条记录。\n").arg(written));
    return imported ? kDone : kDataError;
}

} // namespace cli
