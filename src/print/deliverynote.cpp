#include "deliverynote.h"

#include <cmath>

namespace print {

namespace {

const QString kDigits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
const QString kPlaces = QStringLiteral("仟佰拾");

// Whole cents of an amount, half a cent rounded away from zero. The tiny
// offset absorbs the binary error of amounts such as 100.07.
qint64 centsOf(double amount)
{
    return qint64(std::llround(amount * 100 + (amount < 0 ? -1e-7 : 1e-7)));
}

// A group of four figures (1 to 9999) in capitals: 仟, 佰 and 拾 after their
// figures, one 零 for a run of empty places inside the group, none at its
// ends (1001 → 壹仟零壹, 1010 → 壹仟零壹拾, 100 → 壹佰).
QString groupInCapitals(int group)
{
    QString text;
    bool zeroPending = false;
    for (int place = 0, divisor = 1000; place < 4; ++place, divisor /= 10) {
        const int digit = group / divisor % 10;
        if (digit == 0) {
            zeroPending = !text.isEmpty();
            continue;
        }
        if (zeroPending)
            text += kDigits.at(0);
        zeroPending = false;
        text += kDigits.at(digit);
        if (place < 3)
            text += kPlaces.at(place);
    }
    return text;
}

// Whole yuan (1 to 99,999,999,999) in capitals, read in groups of four:
// 亿, 万, then the units. An empty group, or a group below a thousand after
// a higher one, is bridged with one 零 (10,000,010 → 壹仟万零壹拾).
QString yuanInCapitals(qint64 yuan)
{
    const int groups[] = {int(yuan / 100000000), int(yuan / 10000 % 10000), int(yuan % 10000)};
    const QString units[] = {QStringLiteral("亿"), QStringLiteral("万"), QString()};
    QString text;
    bool zeroPending = false;
    for (int i = 0; i < 3; ++i) {
        const int group = groups[i];
        if (group == 0) {
            zeroPending = !text.isEmpty();
            continue;
        }
        if (!text.isEmpty() && (zeroPending || group < 1000))
            text += kDigits.at(0);
        zeroPending = false;
        text += groupInCapitals(group) + units[i];
    }
    return text;
}

} // namespace

QString amountFigures(double amount)
{
    if (!std::isfinite(amount))
        return QString::number(amount);
    const qint64 cents = centsOf(amount);
    const qint64 whole = std::llabs(cents) / 100;
    QString digits = QString::number(whole);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return (cents < 0 ? QStringLiteral("-") : QString()) + digits + QLatin1Char('.')
           + QStringLiteral("%1").arg(std::llabs(cents) % 100, 2, 10, QLatin1Char('0'));
}

QString amountInCapitals(double amount)
{
    // Compared in cents, so that an amount a fraction of a cent below the
    // limit, which shows as the limit, is written in figures too.
    const bool tooLarge = !std::isfinite(amount) || std::fabs(amount) >= 2 * kLargestCapitalsAmount
                          || std::llabs(centsOf(amount)) >= qint64(kLargestCapitalsAmount) * 100;
    if (tooLarge)
        return amountFigures(amount) + QStringLiteral("（金额过大，不能用大写表示，以数字为准）");
    const qint64 cents = centsOf(amount);
    if (cents == 0)
        return QStringLiteral("零元整");
    const qint64 all = std::llabs(cents);
    const qint64 yuan = all / 100;
    const int jiao = int(all / 10 % 10);
    const int fen = int(all % 10);

    QString text = cents < 0 ? QStringLiteral("负") : QString();
    if (yuan > 0)
        text += yuanInCapitals(yuan) + QStringLiteral("元");
    if (jiao == 0 && fen == 0)
        return text + QStringLiteral("整");
    if (jiao > 0)
        text += kDigits.at(jiao) + QStringLiteral("角");
    else if (yuan > 0)
        text += kDigits.at(0); // 壹佰元零柒分: the empty 角 is written
    if (fen > 0)
        text += kDigits.at(fen) + QStringLiteral("分");
    return text;
}

} // namespace print
