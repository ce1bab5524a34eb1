#include "columns.h"

namespace transfer {

namespace {

// A = 1 … Z = 26; any other character counts by its distance from A, as the
// plain letter arithmetic gives it (and is then caught by the "below 1" rule
// or gives a number beyond ZZ).
int letterValue(QChar c)
{
    return c.unicode() - QLatin1Char('A').unicode() + 1;
}

} // namespace

QString ColumnLetters(int number)
{
    if (number < 1 || number > 26 * 27)
        return QString();
    const int high = (number - 1) / 26; // ⌊(n − 0.5) ÷ 26⌋ for whole n
    const int low = number - 26 * high;
    QString letters;
    if (high > 0)
        letters += QChar(QLatin1Char('A').unicode() + high - 1);
    letters += QChar(QLatin1Char('A').unicode() + low - 1);
    return letters;
}

int ColumnNumber(const QString &letters)
{
    const QString text = letters.trimmed().toUpper();
    int number = 0;
    if (text.size() == 1)
        number = letterValue(text.at(0));
    else if (text.size() == 2)
        number = 26 * letterValue(text.at(0)) + letterValue(text.at(1));
    else
        return 0;
    return number < 1 ? 1 : number;
}

} // namespace transfer
