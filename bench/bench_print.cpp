// Figures of printing on the sales list of the last generated year (the
// 29,164 rows a 12-column grid takes): opening the print preview on it with
// its page count and first page, drawing one preview page, and printing 100
// pages of it to one PDF file through the preview's page-range command.

#include "dataset.h"
#include "measure.h"

#include "grid/grid.h"
#include "print/previewsettings.h"
#include "print/printers.h"
#include "print/printpreview.h"
#include "records/sales.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>

namespace bench {

namespace {

// Answers the printer chooser with the PDF printer and its file dialog with
// a fixed path.
class PrintingPrompts : public AnsweringPrompts
{
public:
    QString pdfPath;
    QString choosePrinter(const QStringList &, const QString &) override
    {
        return print::kPdfPrinterName;
    }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        return pdfPath;
    }
};

int pdfPageCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"));
    return int(QString::fromLatin1(file.readAll()).count(page));
}

// A full-HD screen less the preview's room for the taskbar.
constexpr int kPreviewWidth = 1893;
constexpr int kPreviewHeight = 1051;

} // namespace

void printFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("print_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    PrintingPrompts prompts;
    prompts.pdfPath = QDir(context.folder).filePath(QStringLiteral("bench_print.pdf"));
    store::setPrompts(&prompts);

    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);
    grid::Grid grid;
    grid.resize(1200, 700);
    records::LoadSalesList(grid, QDate(last.year(), 1, 1), last, records::FilterBar());
    report(QStringLiteral("print_rows"), grid.dataRows(), QStringLiteral("rows"));

    // Opening: settings, title and footer, page count, the first page drawn
    // and shown at the size of a full-HD screen.
    QPointer<print::PrintPreview> preview;
    const WallAndCpu open = medianWallAndCpuMs(
            context.runs, [&] { delete preview; },
            [&] {
                preview = print::ShowPrintPreview(grid);
                preview->resize(kPreviewWidth, kPreviewHeight);
                QCoreApplication::processEvents();
            });
    report(QStringLiteral("print_preview_pages"), preview->pageCount(), QStringLiteral("pages"));
    report(QStringLiteral("print_preview_open_ms"), open.wall, QStringLiteral("ms"));
    report(QStringLiteral("print_preview_open_cpu_ms"), open.cpu, QStringLiteral("ms"));

    // One page: the scroll bar moves, the page is composed and painted.
    int page = 1;
    const WallAndCpu draw = medianWallAndCpuMs(
            context.runs * 4, [&] { page = page % preview->pageCount() + 1; },
            [&] {
                preview->pageBar()->setValue(page);
                preview->picture()->repaint();
            });
    report(QStringLiteral("print_preview_page_ms"), draw.wall, QStringLiteral("ms"));
    report(QStringLiteral("print_preview_page_cpu_ms"), draw.cpu, QStringLiteral("ms"));

    // The most crowded page the preview takes: 1,000 rows on one sheet.
    preview->box(print::kRowsPerPageBox)->setText(QString::number(print::kMaxRowsPerPage));
    const WallAndCpu crowded
            = medianWallAndCpuMs(context.runs, {}, [&] { preview->DrawOnePaper(); });
    report(QStringLiteral("print_preview_page_1000_rows_ms"), crowded.wall, QStringLiteral("ms"));
    report(QStringLiteral("print_preview_page_1000_rows_cpu_ms"), crowded.cpu,
           QStringLiteral("ms"));
    preview->box(print::kRowsPerPageBox)->setText(QStringLiteral("25"));

    // 100 pages into one PDF file, the preview following page by page.
    const WallAndCpu pdf = medianWallAndCpuMs(
            context.runs, [&] { QFile::remove(prompts.pdfPath); },
            [&] { preview->PrintBatch(101, 200); });
    report(QStringLiteral("print_pdf_100_pages_ms"), pdf.wall, QStringLiteral("ms"));
    report(QStringLiteral("print_pdf_100_pages_cpu_ms"), pdf.cpu, QStringLiteral("ms"));
    report(QStringLiteral("print_pdf_100_pages_written"), pdfPageCount(prompts.pdfPath),
           QStringLiteral("pages"));
    report(QStringLiteral("print_pdf_100_pages_kb"), QFile(prompts.pdfPath).size() / 1024.0,
           QStringLiteral("KB"));

    // The same pages composed into the file alone, without the preview.
    QVector<int> pages;
    for (int p = 101; p <= 200; ++p)
        pages << p;
    const print::ReportJob job = preview->reportJob();
    const WallAndCpu fileOnly = medianWallAndCpuMs(
            context.runs, {}, [&] { print::PrintReportToPdf(prompts.pdfPath, job, pages); });
    report(QStringLiteral("print_pdf_100_pages_file_only_ms"), fileOnly.wall, QStringLiteral("ms"));
    report(QStringLiteral("print_pdf_100_pages_file_only_cpu_ms"), fileOnly.cpu,
           QStringLiteral("ms"));

    delete preview;
    store::setPrompts(nullptr);
}

} // namespace bench
