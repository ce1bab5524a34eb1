#pragma once

#include <QFontMetrics>
#include <QHash>
#include <QString>

namespace grid {

// Pixel widths of cell texts in one font, each distinct text measured once.
//
// Fitting a full grid means 350,000 texts, and shaping each one costs a few
// microseconds. Most of them are numbers, so when the font gives every digit
// the same advance and no digit pair is kerned (the usual tabular figures),
// texts that differ only in their digits share one measurement: "1234.50"
// and "9876.00" are both measured as "0000.00". A character next to a digit
// joins that scheme only after it has been checked to sit beside every digit
// alike. The result is the width QFontMetrics gives for the text itself.
class TextWidths
{
public:
    explicit TextWidths(const QFont &font);
    int width(const QString &text);

private:
    bool neighbourFits(QChar c);
    int measure(const QString &text);

    QFontMetrics m_metrics;
    bool m_tabularDigits = false;
    QHash<QChar, bool> m_neighbours;
    QHash<QString, int> m_widths;
};

} // namespace grid
