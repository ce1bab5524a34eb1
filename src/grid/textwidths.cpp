#include "textwidths.h"

namespace grid {

namespace {

QString pair(QChar a, QChar b)
{
    const QChar chars[2] = {a, b};
    return QString(chars, 2);
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

TextWidths::TextWidths(const QFont &font)
    : m_metrics(font)
{
    const int zero = m_metrics.horizontalAdvance(QStringLiteral("0"));
    m_tabularDigits = zero > 0;
    for (char a = '0'; a <= '9' && m_tabularDigits; ++a) {
        if (m_metrics.horizontalAdvance(QString(QLatin1Char(a))) != zero)
            m_tabularDigits = false;
        for (char b = '0'; b <= '9' && m_tabularDigits; ++b) {
            if (m_metrics.horizontalAdvance(pair(QLatin1Char(a), QLatin1Char(b))) != 2 * zero)
                m_tabularDigits = false;
        }
    }
}

bool TextWidths::neighbourFits(QChar c)
{
    const auto found = m_neighbours.constFind(c);
    if (found != m_neighbours.constEnd())
        return found.value();
    const int before = m_metrics.horizontalAdvance(pair(QLatin1Char('0'), c));
    const int after = m_metrics.horizontalAdvance(pair(c, QLatin1Char('0')));
    bool fits = true;
    for (char d = '1'; d <= '9' && fits; ++d) {
        fits = m_metrics.horizontalAdvance(pair(QLatin1Char(d), c)) == before
               && m_metrics.horizontalAdvance(pair(c, QLatin1Char(d))) == after;
    }
    m_neighbours.insert(c, fits);
    return fits;
}

int TextWidths::measure(const QString &text)
{
    const auto found = m_widths.constFind(text);
    if (found != m_widths.constEnd())
        return found.value();
    const int w = m_metrics.horizontalAdvance(text);
    m_widths.insert(text, w);
    return w;
}

int TextWidths::width(const QString &text)
{
    if (text.isEmpty())
        return 0;
    if (!m_tabularDigits)
        return measure(text);
    const int n = int(text.size());
    const QChar *chars = text.constData();
    bool hasDigit = false;
    for (int i = 0; i < n; ++i) {
        if (!isDigit(chars[i]))
            continue;
        hasDigit = true;
        if ((i > 0 && !isDigit(chars[i - 1]) && !neighbourFits(chars[i - 1]))
            || (i + 1 < n && !isDigit(chars[i + 1]) && !neighbourFits(chars[i + 1])))
            return measure(text);
    }
    if (!hasDigit)
        return measure(text);
    QString shape = text;
    QChar *out = shape.data();
    for (int i = 0; i < n; ++i) {
        if (isDigit(out[i]))
            out[i] = QLatin1Char('0');
    }
    return measure(shape);
}

} // namespace grid
