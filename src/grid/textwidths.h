#pragma once

#include <QFontMetrics>
#include <QHash>
#include <QString>

#include <vector>

namespace grid {

// Pixel widths of cell texts in one font, each distinct text measured once.
//
// Fitting a full grid means 350,000 texts, and shaping each one costs a few
// microseconds. Most of them are numbers and dates, so when the font gives
// every digit the same advance and kerns no digit against a digit (tabular
// figures, the usual case), texts that differ only in their digits share one
// measurement: "1234.50" and "9876.00" are both measured as "0000.00". The
// characters that may stand next to a digit in such a text (point, minus,
// colon, space and a few more) are each checked first to sit beside every
// digit alike; a text with any other character is measured as it is. So the
// width given is always the one QFontMetrics gives for the text itself.
class TextWidths
{
public:
    explicit TextWidths(const QFont &font);
    int width(const QString &text);
    // The width of a text that stays alive and unchanged while this object
    // is in use, such as a grid cell during one fitting pass. Cells sharing
    // one string (a price or a day repeated down a column) are then found by
    // the string's address alone.
    int storedWidth(const QString &text);

private:
    int measure(const QString &text);

    QFontMetrics m_metrics;
    // Code (1..15) of each ASCII character in a number or date text; 0 for
    // characters that make a text be measured as it is. Digits share code 1.
    quint8 m_code[128] = {};
    QHash<quint64, int> m_shapes;
    QHash<QString, int> m_texts;
    quint64 m_lastShape = 0;
    int m_lastShapeWidth = 0;
    struct Stored
    {
        const QChar *data = nullptr;
        qsizetype size = 0;
        int width = 0;
    };
    static constexpr int kStoredBits = 12;
    std::vector<Stored> m_stored;
};

} // namespace grid
