#include "pagelayout.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace print {

int pageCount(int dataRows, int rowsPerPage)
{
    if (rowsPerPage < 1)
        return 1;
    if (dataRows <= 0)
        return 0;
    // Whole-number division rounded up: the same as adding 0.99999 and
    // cutting for every page size a user types, without losing the last
    // page when the rows are a tiny fraction of a page.
    return int((qint64(dataRows) + rowsPerPage - 1) / rowsPerPage);
}

int largeChange(int pages)
{
    if (pages < 10)
        return 1;
    return int(std::nearbyint(pages / 10.0)); // the default rounding is half to even
}

QVector<int> batchPages(int first, int last, int pages)
{
    if (last < first)
        std::swap(first, last);
    const int lastPage = std::max(pages, 1);
    first = std::clamp(first, 1, lastPage);
    last = std::clamp(last, 1, lastPage);
    QVector<int> list;
    list.reserve(last - first + 1);
    for (int page = first; page <= last; ++page)
        list << page;
    return list;
}

int firstDataRow(int rowsPerPage, int page, int fixedRows)
{
    return int(std::clamp<qint64>(qint64(rowsPerPage) * (page - 1) + fixedRows, 0,
                                  std::numeric_limits<int>::max()));
}

QRect paperPicture(const QSize &frame, double paperWidthMm, double paperHeightMm, int border)
{
    const double width = std::max(paperWidthMm, 1.0);
    const double height = std::max(paperHeightMm, 1.0);
    const int roomWidth = std::max(frame.width() - border, 1);
    const int roomHeight = std::max(frame.height() - border, 1);
    int w = roomWidth;
    int h = int(std::lround(w * height / width));
    if (h > roomHeight) {
        h = roomHeight;
        w = int(std::lround(h * width / height));
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
    return QRect((frame.width() - w) / 2, (frame.height() - h) / 2, w, h);
}

PageFrame previewFrame(const QSize &picture, const Paper &paper)
{
    const double paperWidth = std::max(paper.width, 1.0);
    const double paperHeight = std::max(paper.height, 1.0);
    PageFrame frame;
    frame.left = std::lround(paper.left * picture.width() / paperWidth);
    const double right = std::lround(paper.right * picture.width() / paperWidth);
    frame.top = std::lround(paper.top * picture.height() / paperHeight);
    const double bottom = std::lround(paper.bottom * picture.height() / paperHeight);
    frame.width = std::max(0.0, picture.width() - frame.left - right);
    frame.height = std::max(0.0, picture.height() - frame.top - bottom);
    frame.unitsPerTwip = 1.0 / 15;
    frame.unitsPerMm = picture.height() / paperHeight;
    return frame;
}

PageFrame printerFrame(const Paper &paper, double dotsPerInch, bool rotated)
{
    const double paperWidth = rotated ? paper.height : paper.width;
    const double paperHeight = rotated ? paper.width : paper.height;
    PageFrame frame;
    frame.unitsPerMm = dotsPerInch / kMmPerInch;
    frame.unitsPerTwip = dotsPerInch / kTwipsPerInch;
    frame.left = (paper.left - 5) * frame.unitsPerMm;
    frame.top = (paper.top - 5) * frame.unitsPerMm;
    frame.width = std::max(0.0, (paperWidth - paper.left - paper.right) * frame.unitsPerMm);
    frame.height = std::max(0.0, (paperHeight - paper.top - paper.bottom) * frame.unitsPerMm);
    return frame;
}

QVector<double> columnRightEdges(const QVector<int> &widths, int firstPrinted, double left,
                                 double width)
{
    const int cols = int(widths.size());
    firstPrinted = std::max(firstPrinted, 0);
    double total = 0;
    for (int c = firstPrinted; c < cols; ++c)
        total += std::max(widths.at(c), 0);
    const bool equal = total <= 0;
    if (equal)
        total = std::max(cols - firstPrinted, 1);

    QVector<double> edges(cols, left);
    double sum = 0;
    for (int c = firstPrinted; c < cols; ++c) {
        sum += equal ? 1.0 : std::max(widths.at(c), 0);
        edges[c] = std::round(left + sum * width / total);
    }
    return edges;
}

namespace {

// Characters in the prefix of length n, moved back by one when it would
// end between the two halves of a surrogate pair.
int wholeCharacters(const QString &text, int n)
{
    if (n > 0 && n < text.size() && text.at(n - 1).isHighSurrogate() && text.at(n).isLowSurrogate())
        return n > 1 ? n - 1 : n + 1;
    return n;
}

// Length of the longest prefix of part that fits, at least one character.
// The widths grow with the prefix, so the length is found by doubling and
// then halving; the part is never measured whole unless it is short, which
// keeps a cell of thousands of characters quick.
int fittingPrefix(const QString &part, double wrapWidth,
                  const std::function<double(const QString &)> &width)
{
    const int n = int(part.size());
    int fits = 0; // longest length known to fit
    int over = n; // shortest length known not to fit
    for (int probe = 1;; probe *= 2) {
        const int length = std::min(probe, n);
        if (width(part.left(length)) > wrapWidth) {
            over = length;
            break;
        }
        fits = length;
        if (length == n)
            return n;
    }
    while (over - fits > 1) {
        const int middle = fits + (over - fits) / 2;
        if (width(part.left(middle)) <= wrapWidth)
            fits = middle;
        else
            over = middle;
    }
    return wholeCharacters(part, std::max(fits, 1));
}

} // namespace

QStringList wrapLines(const QString &text, double wrapWidth,
                      const std::function<double(const QString &)> &width, int maxLines)
{
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    QStringList lines;
    if (plain.isEmpty())
        return lines;
    const QStringList parts = plain.split(QLatin1Char('\n'));
    for (const QString &part : parts) {
        QString rest = part;
        while (!rest.isEmpty()) {
            if (int(lines.size()) >= maxLines)
                return lines;
            const int n = fittingPrefix(rest, wrapWidth, width);
            lines << rest.left(n);
            rest.remove(0, n);
        }
    }
    return lines;
}

bool isNumberText(const QString &text)
{
    static const QString marks = QStringLiteral("+-.,:/% ");
    bool digit = false;
    for (const QChar c : text) {
        if (c.isDigit())
            digit = true;
        else if (!marks.contains(c))
            return false;
    }
    return digit;
}

QString footerInfoText(const QString &operatorName, const QDate &date, int page, int pages)
{
    return QStringLiteral("制表人：") + operatorName + QStringLiteral("    制表日期：")
           + date.toString(QStringLiteral("yyyy年MM月dd日")) + QStringLiteral("     第")
           + QString::number(page) + QStringLiteral("页 共") + QString::number(pages)
           + QStringLiteral("页");
}

double matchPrinterFontSize(double targetHeight, const std::function<double(double)> &heightAt)
{
    constexpr double start = 15;
    constexpr double step = 0.3;
    constexpr int maxSteps = 101;
    double size = start;
    if (heightAt(size) >= targetHeight) {
        // Down until the height is no longer above the target.
        for (int i = 0; i < maxSteps && size - step > step / 2; ++i) {
            if (heightAt(size) <= targetHeight)
                break;
            size -= step;
        }
        return size;
    }
    // Up until the target is reached, then back by the step that overshot.
    for (int i = 0; i < maxSteps; ++i) {
        size += step;
        if (heightAt(size) >= targetHeight) {
            size -= step;
            break;
        }
    }
    return size;
}

} // namespace print
