#include "printers.h"

#include "pagecomposer.h"

#include "store/accountsets.h"
#include "store/maintenance.h"
#include "store/params.h"
#include "store/savefile.h"
#include "ui/progress.h"
#include "ui/qtprompts.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <algorithm>
#include <memory>

namespace print {

namespace {

QString currentPrinter;
bool currentPrinterSet = false;

// A printer that exists and is not in an error state.
bool printerReady(const QString &name)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    return !info.isNull() && info.state() != QPrinter::Error;
}

// The printer font size that prints the text as high as the screen shows
// it; the report size when the screen height is unknown.
double printerFontSize(const ReportJob &job, const QPaintDevice *device, double dotsPerInch)
{
    const QFont body = ReportFonts::forPreview(job.font).body;
    if (job.screenTextHeight <= 0 || dotsPerInch <= 0)
        return body.pointSizeF();
    return matchPrinterFontSize(job.screenTextHeight, [&](double size) {
        QFont font = body;
        font.setPointSizeF(size);
        return QFontMetricsF(font, device).height() * kTwipsPerInch / dotsPerInch;
    });
}

// The page job of a grid report. The printer font is matched to the
// screen once, on the surface of the first page printed.
PageJob reportPageJob(const ReportJob &job)
{
    PageJob pages;
    pages.paper = job.paper;
    pages.rotated = job.rotated;
    pages.title = job.title;
    auto fontSize = std::make_shared<double>(0);
    pages.drawPage = [job, fontSize](QPainter &painter, const PageSurface &surface, int page) {
        if (*fontSize <= 0)
            *fontSize = printerFontSize(job, painter.device(), surface.dotsPerInch);
        const ReportFonts fonts = ReportFonts::forPrinter(job.font, *fontSize);
        PageInput input;
        input.grid = job.grid;
        input.rowsPerPage = job.rowsPerPage;
        input.page = page;
        input.pageCount = job.pageCount;
        input.title = job.title;
        input.subtitle = job.subtitle;
        input.footer = job.footer;
        input.operatorName = job.operatorName;
        input.date = job.date;
        const PageDrawing drawing
                = layoutPage(input, surface.frame, fonts, painter.device(), surface.bottom);
        paintPage(painter, drawing, fonts, std::max(1.0, surface.dotsPerInch / 254)); // 0.1 mm
    };
    return pages;
}

// Height of the page below the drawing origin, in device units.
double pageBottom(const QPageLayout &layout, double dotsPerInch, double originMm)
{
    return (layout.fullRect(QPageLayout::Millimeter).height() - originMm) * dotsPerInch
           / kMmPerInch;
}

// A PDF file name for the report, in the home folder: the title
// without the characters a file name cannot hold.
QString suggestedPdfPath(const QString &title)
{
    QString name = title.trimmed();
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.isSpace())
            c = QLatin1Char('_');
    }
    if (name.isEmpty())
        name = QStringLiteral("报表");
    return QDir::home().filePath(name.left(60) + QStringLiteral(".pdf"));
}

// Prints each page as a print job of its own, as printers were always fed.
int printOnPrinter(const QString &printerName, const PageJob &job, const QVector<int> &pages,
                   const PageHook &beforePage)
{
    const QPageLayout layout = paperPageLayout(job.paper, job.rotated);
    int printed = 0;
    for (int page : pages) {
        if (beforePage && !beforePage(page))
            break;
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(printerName);
        printer.setPageSize(layout.pageSize());
        printer.setPageOrientation(layout.orientation());
        printer.setDocName(job.title + QStringLiteral(" 第%1页").arg(page));
        QPainter painter;
        if (!printer.isValid() || !painter.begin(&printer)) {
            store::prompts().message(kPrinterFailedText);
            break;
        }
        const double dpi = printer.resolution();
        job.drawPage(painter,
                     {printerFrame(job.paper, dpi, job.rotated),
                      double(printer.pageRect(QPrinter::DevicePixel).height()), dpi},
                     page);
        if (!painter.end()) {
            store::prompts().message(kPrinterFailedText);
            break;
        }
        ++printed;
        if (pages.size() > 1)
            ui::ProgressStep(1, QStringLiteral("pages"));
    }
    return printed;
}

} // namespace

QStringList printerNames()
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.removeAll(kPdfPrinterName);
    names << kPdfPrinterName;
    return names;
}

QString currentPrinterName()
{
    if (!currentPrinterSet) {
        currentPrinter = QPrinterInfo::defaultPrinterName();
        currentPrinterSet = true;
    }
    return currentPrinter;
}

void setCurrentPrinterName(const QString &name)
{
    currentPrinter = name;
    currentPrinterSet = true;
}

QString ChoosePrinter()
{
    store::PendingAccountChoice.clear();
    const QStringList names = printerNames();
    QString preselected = currentPrinterName();
    const QString stored = store::GetVar(kDefaultPrinterKey);
    if (names.contains(stored))
        preselected = stored;
    if (!names.contains(preselected))
        preselected = names.value(0);

    const QString chosen = store::prompts().choosePrinter(names, preselected);
    if (chosen.isEmpty())
        return QString();
    store::PendingAccountChoice = chosen;
    if (names.contains(chosen)) {
        store::SetVar(kDefaultPrinterKey, chosen);
        setCurrentPrinterName(chosen);
    }
    if (chosen != kPdfPrinterName && !printerReady(chosen)) {
        store::prompts().message(kPrinterFailedText);
        return QString();
    }
    return chosen;
}

QPageSize paperPageSize(double widthMm, double heightMm)
{
    const QSizeF size(widthMm, heightMm);
    const QPageSize::PageSizeId id
            = QPageSize::id(size, QPageSize::Millimeter, QPageSize::ExactMatch);
    if (id != QPageSize::Custom)
        return QPageSize(id);
    return QPageSize(size, QPageSize::Millimeter, kPaperFormName, QPageSize::ExactMatch);
}

QPageLayout paperPageLayout(const Paper &paper, bool rotated)
{
    return QPageLayout(paperPageSize(paper.width, paper.height),
                       rotated ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(),
                       QPageLayout::Millimeter);
}

bool PrintPagesToPdf(const QString &path, const PageJob &job, const QVector<int> &pages,
                     const PageHook &beforePage, QString *error)
{
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QString cannotWrite = QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(path)
                                + QStringLiteral("\n请检查文件夹是否存在、是否允许写入。");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(cannotWrite);

    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("Korvo进销存"));
    writer.setTitle(job.title);
    const QPageLayout layout = paperPageLayout(job.paper, job.rotated);
    writer.setPageLayout(layout);
    const double dpi = writer.resolution();

    QPainter painter;
    if (!painter.begin(&writer)) {
        file.cancelWriting();
        return fail(cannotWrite);
    }
    // A PDF page has no unprintable edge; the drawing origin is put where a
    // printer's would be, so the margins land where the user set them.
    constexpr double originMm = 5;
    painter.translate(originMm * dpi / kMmPerInch, originMm * dpi / kMmPerInch);
    const PageSurface surface{printerFrame(job.paper, dpi, job.rotated),
                              pageBottom(layout, dpi, originMm), dpi};

    int printed = 0;
    for (int page : pages) {
        if (beforePage && !beforePage(page))
            break;
        if (printed > 0)
            writer.newPage();
        job.drawPage(painter, surface, page);
        ++printed;
        if (pages.size() > 1)
            ui::ProgressStep(1, QStringLiteral("pages"));
    }
    painter.end();
    // A file without a page is no report: nothing is written, and the
    // caller is not told it was.
    if (printed == 0) {
        file.cancelWriting();
        return fail(QStringLiteral("没有打印任何一页，文件未写入：")
                    + QDir::toNativeSeparators(path));
    }
    if (!store::CommitSaveFile(file))
        return fail(cannotWrite);
    return true;
}

bool PrintReportToPdf(const QString &path, const ReportJob &job, const QVector<int> &pages,
                      const PageHook &beforePage, QString *error)
{
    return PrintPagesToPdf(path, reportPageJob(job), pages, beforePage, error);
}

int PrintReport(const QString &printerName, const ReportJob &job, const QVector<int> &pages,
                const PageHook &beforePage)
{
    return PrintPages(printerName, reportPageJob(job), pages, beforePage);
}

int PrintPages(const QString &printerName, const PageJob &job, const QVector<int> &pages,
               const PageHook &beforePage)
{
    if (printerName.isEmpty() || pages.isEmpty())
        return 0;
    int printed = 0;
    const bool showProgress = pages.size() > 1;
    if (printerName == kPdfPrinterName) {
        QString path = store::prompts().saveFileName(QStringLiteral("打印到PDF文件"),
                                                     QStringLiteral("PDF文件 (*.pdf)"),
                                                     suggestedPdfPath(job.title));
        if (path.isEmpty())
            return 0;
        if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            path += QStringLiteral(".pdf");
        // A link named like a PDF may still lead to an account set.
        if (store::IsProtectedOutputPath(path)) {
            store::prompts().message(store::kProtectedOutputMessage);
            return 0;
        }
        path = store::ResolvedOutputPath(path);
        if (showProgress)
            ui::ProgressStart(QStringLiteral("正在打印"), int(pages.size()));
        const PageHook counting = [&](int page) {
            if (beforePage && !beforePage(page))
                return false;
            ++printed;
            return true;
        };
        QString error;
        const bool written = PrintPagesToPdf(path, job, pages, counting, &error);
        if (showProgress)
            ui::ProgressClose();
        if (!written) {
            store::prompts().message(error);
            return 0;
        }
        return printed;
    }
    if (showProgress)
        ui::ProgressStart(QStringLiteral("正在打印"), int(pages.size()));
    printed = printOnPrinter(printerName, job, pages, beforePage);
    if (showProgress)
        ui::ProgressClose();
    return printed;
}

} // namespace print
