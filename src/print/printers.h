#pragma once

#include "pagelayout.h"

#include "store/prompts.h"

#include <QDate>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QPainter;

namespace grid {
class Grid;
}

namespace print {

// The pseudo-printer that writes a PDF file, so that a machine without a
// printer can still print.
inline const QString kPdfPrinterName = QStringLiteral("PDF 文件");
// Name of a paper size that is no standard size.
inline const QString kPaperFormName = QStringLiteral("Korvo格式");
// The printer last confirmed in the chooser.
inline const QString kDefaultPrinterKey = QStringLiteral("默认打印机");
inline const QString kPrinterFailedText = QStringLiteral("没有正常连接打印机！");

// Device names of the installed printers in the system's order, then the
// PDF pseudo-printer.
QStringList printerNames();

// The program's current printer: the system's default printer until the
// user confirms another in the chooser (empty when there is none).
QString currentPrinterName();
void setCurrentPrinterName(const QString &name);

// Asks for a printer with the chooser "选择", opened on the stored
// 默认打印机 when it is still installed, else on the current printer, else
// on the first entry. A confirmed choice is stored under 默认打印机 and
// becomes the current printer; a printer that is not ready then says
// "没有正常连接打印机！". Returns the chosen name, empty when the choice was
// cancelled or the printer is not ready (nothing is to be printed).
QString ChoosePrinter();

// The paper of widthMm × heightMm: the standard size of exactly these
// measures (210 × 297 is A4), else a custom size named "Korvo格式".
QPageSize paperPageSize(double widthMm, double heightMm);
// The page layout of a report: its paper, landscape when rotated, no margins
// (the report keeps its own).
QPageLayout paperPageLayout(const Paper &paper, bool rotated);

// Everything a printed report needs besides the printer and the pages.
struct ReportJob
{
    const grid::Grid *grid = nullptr;
    Paper paper;
    int rowsPerPage = 25;
    int pageCount = 1;
    bool rotated = false;
    store::FontChoice font;
    // Height of the text "1" in the report font on screen, in twips; the
    // printer font is sized to print at that height.
    double screenTextHeight = 0;
    QString title;
    QString subtitle;
    QString footer;
    QString operatorName;
    QDate date;
};

// Called before each page is printed, with its number; false stops the
// printing there.
using PageHook = std::function<bool(int page)>;

// Where a page is drawn on a printer or PDF surface: the printable area
// within the margins (printerFrame), the height of the surface below the
// drawing origin and its resolution, all in device units.
struct PageSurface
{
    PageFrame frame;
    double bottom = 0;
    double dotsPerInch = 0;
};

// Any document printed page by page: its paper, orientation and title (the
// print job's name and the PDF's title), and how one page is drawn.
struct PageJob
{
    Paper paper;
    bool rotated = false;
    QString title;
    std::function<void(QPainter &, const PageSurface &, int page)> drawPage;
};

// Prints the pages of a job on the named printer as PrintReport does: each
// page a print job of its own, the PDF pseudo-printer asking for a file and
// writing one PDF. Returns the number of pages printed (0: cancelled or
// failed, the user has been told).
int PrintPages(const QString &printerName, const PageJob &job, const QVector<int> &pages,
               const PageHook &beforePage = {});

// Writes the pages of a job into one PDF file at path, as PrintReportToPdf.
bool PrintPagesToPdf(const QString &path, const PageJob &job, const QVector<int> &pages,
                     const PageHook &beforePage = {}, QString *error = nullptr);

// Prints the pages on the named printer, each page a print job of its own.
// The PDF pseudo-printer asks for a file name and writes all the pages into
// one PDF file. Shows progress for more than one page. Returns the number
// of pages printed: 0 when the file name was cancelled or the printer
// failed (the user has been told).
int PrintReport(const QString &printerName, const ReportJob &job, const QVector<int> &pages,
                const PageHook &beforePage = {});

// Writes the pages into one PDF file at path, replacing it only when the
// whole file was written. False with a Chinese reason in *error when the
// file cannot be written or no page was printed (no pages asked for, or
// beforePage stopped before the first); nothing is written then. An empty
// report still has its one page: ask for batchPages' pages.
bool PrintReportToPdf(const QString &path, const ReportJob &job, const QVector<int> &pages,
                      const PageHook &beforePage = {}, QString *error = nullptr);

} // namespace print
