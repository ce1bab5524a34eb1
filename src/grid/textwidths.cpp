#include "textwidths.h"

#include <QFontMetricsF>

namespace grid {

namespace {

QString pair(QChar a, QChar b)
{
    const QChar chars[2] = {a, b};
    return QString(chars, 2);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

TextWidths::TextWidths(const QFont &font)
    : m_metrics(font)
{
    // Exact (fractional) advances decide whether digits are interchangeable.
    const QFontMetricsF exact(font);
    const qreal zero = exact.horizontalAdvance(QStringLiteral("0"));
    const qreal zeroZero = exact.horizontalAdvance(QStringLiteral("00"));
    bool tabular = zero > 0;
    for (char a = '0'; a <= '9' && tabular; ++a) {
        tabular = exact.horizontalAdvance(QString(QLatin1Char(a))) == zero;
        for (char b = '0'; b <= '9' && tabular; ++b)
            tabular = exact.horizontalAdvance(pair(QLatin1Char(a), QLatin1Char(b))) == zeroZero;
    }
    if (!tabular)
        return;
    for (char d = '0'; d <= '9'; ++d)
        m_code[int(d)] = 1;
    quint8 next = 2;
    for (const char c : {'.', '-', ':', ' ', '+', ',', '/', '%', 'e', 'E', '(', ')', '*', '#'}) {
        const QChar ch = QLatin1Char(c);
        const qreal before = exact.horizontalAdvance(pair(QLatin1Char('0'), ch));
        const qreal after = exact.horizontalAdvance(pair(ch, QLatin1Char('0')));
        bool fits = true;
        for (char d = '1'; d <= '9' && fits; ++d) {
            fits = exact.horizontalAdvance(pair(QLatin1Char(d), ch)) == before
                   && exact.horizontalAdvance(pair(ch, QLatin1Char(d))) == after;
        }
        if (fits && next <= 15)
            m_code[int(c)] = next++;
    }
}

int TextWidths::measure(const QString &text)
{
    const auto found = m_texts.constFind(text);
    if (found != m_texts.constEnd())
        return found.value();
    const int w = m_metrics.horizontalAdvance(text);
    m_texts.insert(text, w);
    return w;
}

int TextWidths::width(const QString &text)
{
    const qsizetype n = text.size();
    if (n == 0)
        return 0;
    // A text of at most 16 coded characters packs into 64 bits, four per
    // character; codes are never 0, so the length is part of the key.
    if (n <= 16 && m_code[int('0')] != 0) {
        const QChar *chars = text.constData();
        quint64 shape = 0;
        qsizetype i = 0;
        for (; i < n; ++i) {
            const char16_t u = chars[i].unicode();
            const quint8 code = u < 128 ? m_code[u] : 0;
            if (code == 0)
                break;
            shape = (shape << 4) | code;
        }
        if (i == n) {
            if (shape == m_lastShape)
                return m_lastShapeWidth;
            auto found = m_shapes.constFind(shape);
            if (found == m_shapes.constEnd()) {
                QString sample = text;
                for (QChar &c : sample) {
                    if (c.unicode() < 128 && isDigit(char(c.unicode())))
                        c = QLatin1Char('0');
                }
                found = m_shapes.insert(shape, m_metrics.horizontalAdvance(sample));
            }
            m_lastShape = shape;
            m_lastShapeWidth = found.value();
            return m_lastShapeWidth;
        }
    }
    return measure(text);
}

int TextWidths::storedWidth(const QString &text)
{
    // Short texts are measured as quickly as they are found.
    if (text.size() < 4)
        return width(text);
    const QChar *data = text.constData();
    if (m_stored.empty())
        m_stored.resize(size_t(1) << kStoredBits);
    const quintptr address = reinterpret_cast<quintptr>(data);
    Stored &slot
            = m_stored[size_t((quint64(address) * 0x9E3779B97F4A7C15ULL) >> (64 - kStoredBits))];
    if (slot.data != data || slot.size != text.size())
        slot = {data, text.size(), width(text)};
    return slot.width;
}

} // namespace grid
