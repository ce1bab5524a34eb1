#pragma once

#include "pagelayout.h"

#include "store/prompts.h"

#include <QColor>
#include <QDate>
#include <QFont>
#include <QLineF>
#include <QPointF>
#include <QString>
#include <QVector>

class QPainter;
class QPaintDevice;

namespace grid {
class Grid;
}

namespace print {

// What one page of a grid report shows.
struct PageInput
{
    const grid::Grid *grid = nullptr;
    int rowsPerPage = 25; // below 1: the header row only
    int page = 1;
    int pageCount = 1;
    QString title;
    QString subtitle; // an analysis's second title line; empty for a list
    QString footer;
    QString operatorName;
    QDate date;
};

// The face a report prints in for the face the user chose. The Chinese
// names of a Windows system map to the like faces installed here: 宋体 and
// the other Song and Ming faces to AR PL UMing CN, 黑体 and the sans faces to
// WenQuanYi Zen Hei; no face at all gives the Song face. Noto and Source Han
// CJK faces are replaced the same way, because they draw a Kangxi radical
// and its ideograph with one glyph, and a PDF written with them gives the
// radical back when its text is copied (页 becomes ⻚). Any other face is
// kept, and so is every face whose replacement is not installed.
QString reportFontFamily(const QString &chosen);
// The font families of a report in the order they are tried for each
// character: the face of reportFontFamily, then the Song face, so that
// Chinese text in a Latin face never falls back to a face that copies
// wrongly.
QStringList reportFontFamilies(const QString &chosen);

// The report font on one surface: the body font as the user chose it, the
// colour of its text and of the title (black on paper).
struct ReportFonts
{
    QFont body;
    QColor color;
    QColor titleColor;

    QFont title() const;  // bold, four points larger
    QFont header() const; // bold

    // The report font as the preview shows it.
    static ReportFonts forPreview(const store::FontChoice &font);
    // The report font on a printer, at the printer size given.
    static ReportFonts forPrinter(const store::FontChoice &font, double pointSize);
};

enum class TextStyle {
    Title,
    Subtitle,   // centred below the title, in the report font
    Header,     // the caption row, always bold
    Body,       // data rows
    FooterInfo, // 制表人 … 第n页 共m页
    Footer,     // the footer text, dark grey
};

// One piece of text at its top-left corner.
struct PageText
{
    QPointF topLeft;
    QString text;
    TextStyle style;
};

// A composed page: its texts and ruled lines, and where the table ended.
struct PageDrawing
{
    QVector<PageText> texts;
    QVector<QLineF> lines;
    int tableRows = 0;      // rows drawn, the caption row included
    double tableBottom = 0; // the line under the last row drawn
    double footerTop = 0;   // top of the footer texts
    double fontScale = 1;   // the table's font, as a part of the report font
};

// font made scale times as large.
QFont scaledFont(const QFont &font, double scale);

// Footer text colour, dark grey.
inline const QColor kFooterColor = QColor(0x33, 0x33, 0x33);

// Lays one page of the grid out on a surface (device, for measuring text):
// the title centred at the top, the subtitle (when there is one) centred on
// a line of its own below it, the caption row in bold and the page's data
// rows as a ruled table whose columns, from the 序号 column on, share the
// printable width in the grid's proportions, then the footer info flush
// right below the last row and the footer text wrapped beside it. A cell's
// text stays inside its cell on one line: a text too long for it ends in
// "…"; a number is never cut while the page's table font can be made
// smaller (down to half) to fit it. Footer lines that would fall below
// surfaceBottom are left out. Columns of width 0 (hidden on
// screen) are not printed. A page beyond the grid's last row shows the title,
// the caption row and the footer.
PageDrawing layoutPage(const PageInput &input, const PageFrame &frame, const ReportFonts &fonts,
                       const QPaintDevice *device, double surfaceBottom);

// Draws a laid-out page: texts with a transparent background, lines of
// lineWidth in the surface's units.
void paintPage(QPainter &painter, const PageDrawing &page, const ReportFonts &fonts,
               double lineWidth);

} // namespace print
