#pragma once

#include <QDate>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace print {

inline constexpr double kTwipsPerInch = 1440;
inline constexpr double kMmPerInch = 25.4;

// The sheet of a report: paper size and the four margins, in millimetres.
struct Paper
{
    double width = 297;
    double height = 210;
    double left = 10;
    double right = 10;
    double top = 10;
    double bottom = 10;
};

// Pages of a report of dataRows rows at rowsPerPage rows a page: the rows
// divided by the rows per page, rounded up, so 26 rows at 25 a page give 2
// pages and 0 rows give 0. A rowsPerPage below 1 gives one page that holds
// the header only.
int pageCount(int dataRows, int rowsPerPage);

// How far the page scroll bar moves on a click beside its thumb: 1 below ten
// pages, else a tenth of the pages rounded half to even (95 → 10, 85 → 8).
int largeChange(int pages);

// The pages one print command prints, in order: a reversed range is swapped
// (5 to 3 prints 3, 4, 5) and the range is kept within the report's pages
// (1 to pages; a report of no pages still prints its one header page).
QVector<int> batchPages(int first, int last, int pages);

// Grid row of the first data row of page (1-based).
int firstDataRow(int rowsPerPage, int page, int fixedRows);

// Where the paper picture goes in its frame: as large as fits in the frame's
// size less border, in the paper's proportions, centred. A
// paper side below 1 mm counts as 1 mm.
QRect paperPicture(const QSize &frame, double paperWidthMm, double paperHeightMm, int border);

// The printable area of a page on a drawing surface, in the surface's units,
// with the surface's scale of twips and millimetres.
struct PageFrame
{
    double left = 0;
    double top = 0;
    double width = 0;  // printable width W
    double height = 0; // printable height H
    double unitsPerTwip = 1;
    double unitsPerMm = 1;
};

// The preview picture (pixels, 15 twips each): margins scaled from the
// paper to the picture and rounded. Width and height are never negative,
// whatever the margins.
PageFrame previewFrame(const QSize &picture, const Paper &paper);
// A printer page at dotsPerInch: left and top 5 mm inside the margins,
// because a printer's drawing origin is its printable area, which begins
// about that far from the sheet's edge. A rotated page is printed across
// the sheet, so its width is the paper's height and its height the paper's
// width; the margins stay where they are on the page as it is read.
PageFrame printerFrame(const Paper &paper, double dotsPerInch, bool rotated = false);

// Right edges of the printed columns, indexed by grid column: the columns
// from firstPrinted on share the printable width in the proportions of
// widths (their grid widths), each edge rounded; entries before
// firstPrinted are left. When the printed widths add up to nothing the
// columns share the width equally.
QVector<double> columnRightEdges(const QVector<int> &widths, int firstPrinted, double left,
                                 double width);

// Breaks a text into the lines printed below each other: carriage returns
// are dropped, line feeds start a new line, and each line takes the longest
// prefix whose width (measured by width()) does not exceed wrapWidth, but
// always at least one character, so a narrow column cannot stall the
// printing. A character pair that forms one character is never split. At
// most maxLines lines are returned (the rest would fall below the page).
QStringList wrapLines(const QString &text, double wrapWidth,
                      const std::function<double(const QString &)> &width, int maxLines = 1 << 30);

// True for a text that reads as one number, an amount or a date (digits with
// signs, separators, a decimal point, a per cent sign, date and time marks):
// such a text is never cut when printed.
bool isNumberText(const QString &text);

// The footer line "制表人：… 制表日期：YYYY年MM月DD日 … 第n页 共m页".
QString footerInfoText(const QString &operatorName, const QDate &date, int page, int pages);

// The printer font size whose text height matches targetHeight (the height
// of the report font on screen, in the same unit as heightAt): from 15 in
// steps of 0.3, down while the height is above the target, or up until it
// reaches the target and then one step back; at most 101 steps, never
// below one step.
double matchPrinterFontSize(double targetHeight, const std::function<double(double)> &heightAt);

} // namespace print
