#include "formatting.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>

namespace store {

namespace {

const QDate kNullDay(1900, 1, 1);

// Adds one to a string of decimal digits.
void incrementDigits(QString &digits)
{
    for (int i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != QLatin1Char('9')) {
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits[i] = QLatin1Char('0');
    }
    digits.prepend(QLatin1Char('1'));
}

// The value with two decimals, rounded half away from zero on its
// 15-significant-digit decimal form. A plain binary rounding would show the
// price 2.675 as 2.67 and 1.005 as 1.00 because neither is exact in binary;
// users typed 2.675 and expect 2.68. No thousands separators, no exponent,
// and never "-0.00".
QString hundredthsText(QString hundredths, bool negative)
{
    const bool zero = hundredths == QLatin1String("0");
    if (hundredths.size() < 3)
        hundredths = QString(3 - hundredths.size(), QLatin1Char('0')) + hundredths;
    hundredths.insert(hundredths.size() - 2, QLatin1Char('.'));
    if (negative && !zero)
        hundredths.prepend(QLatin1Char('-'));
    return hundredths;
}

QString fixedTwoDecimals(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    // Fast path for the usual amounts: away from a half hundredth, rounding
    // the binary value gives the same digits as rounding its decimal form
    // (below 1e9 hundredths the two differ by far less than the margin).
    const double scaled = std::fabs(value) * 100.0;
    if (scaled < 1e9) {
        const double whole = std::floor(scaled);
        const double fraction = scaled - whole;
        if (std::fabs(fraction - 0.5) > 1e-6) {
            qint64 rest = qint64(whole) + (fraction > 0.5 ? 1 : 0);
            const bool negative = value < 0 && rest != 0;
            char text[32];
            char *p = text + sizeof text;
            int digits = 0;
            do {
                *--p = char('0' + rest % 10);
                rest /= 10;
                if (++digits == 2)
                    *--p = '.';
            } while (rest > 0 || digits < 3);
            if (negative)
                *--p = '-';
            return QString::fromLatin1(p, int(text + sizeof text - p));
        }
    }
    // "d.dddddddddddddde±XX": fifteen significant digits and the exponent.
    const QString scientific = QString::number(std::fabs(value), 'e', 14);
    const int ePos = scientific.indexOf(QLatin1Char('e'));
    QString digits = scientific.left(ePos);
    digits.remove(QLatin1Char('.'));
    const int exponent = scientific.mid(ePos + 1).toInt();

    // The value times 100 is digits × 10^(exponent + 2 - 14).
    const int shift = exponent - 12;
    QString hundredths;
    if (shift >= 0) {
        hundredths = digits + QString(shift, QLatin1Char('0'));
    } else {
        const int keep = digits.size() + shift;
        if (keep < 0) {
            hundredths = QStringLiteral("0");
        } else {
            hundredths = digits.left(keep);
            const bool roundUp = digits.at(keep) >= QLatin1Char('5');
            if (hundredths.isEmpty())
                hundredths = QStringLiteral("0");
            if (roundUp)
                incrementDigits(hundredths);
        }
    }
    while (hundredths.size() > 1 && hundredths.startsWith(QLatin1Char('0')))
        hundredths.remove(0, 1);
    return hundredthsText(hundredths, value < 0);
}

bool isNumericType(int typeId)
{
    return isIntegerType(typeId) || isByteType(typeId) || typeId == QMetaType::Double
           || typeId == QMetaType::Float;
}

} // namespace

bool isIntegerType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool isByteType(int typeId)
{
    return typeId == QMetaType::Char || typeId == QMetaType::SChar || typeId == QMetaType::UChar;
}

QDateTime nullDate()
{
    return QDateTime(kNullDay, QTime(0, 0));
}

// Only the day counts: a value on 1900-01-01 never stands for a real
// business date, whatever its time part.
bool isNullDate(const QDateTime &value)
{
    return value.isValid() && value.date() == kNullDay;
}

QString FormatCell(const QVariant &value, bool dateOnly)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return fixedTwoDecimals(value.toDouble());
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDateTime dt = value.typeId() == QMetaType::QDate
                                     ? QDateTime(value.toDate(), QTime(0, 0))
                                     : value.toDateTime();
        if (!dt.isValid() || isNullDate(dt))
            return QString();
        return dt.toString(dateOnly ? QStringLiteral("yyyy.MM.dd")
                                    : QStringLiteral("yyyy.MM.dd HH:mm"));
    }
    case QMetaType::Bool:
        return BoolMark(value);
    default:
        return value.toString();
    }
}

// A text counts by its number when it is one ("1", "0.0"); any other text,
// like NULL, shows no mark.
QString BoolMark(const QVariant &value)
{
    static const QString mark = QStringLiteral("√");
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? mark : QString();
    if (isNumericType(value.typeId()))
        return value.toDouble() != 0 ? mark : QString();
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok && number != 0 ? mark : QString();
}

// Four fields d:h:m:s. Below 60 hours the leading field is 0 and the hours
// run on past 24 (90061 → 0:25:1:1); from 60 hours on the leading field is
// the day count and the hours are those of the last day (216000 → 2:12:0:0),
// so a long estimate reads as days. At most two leading "0:" are dropped, so
// the shortest form is minutes:seconds. A negative duration gets a leading
// minus sign.
QString FormatSeconds(qint64 seconds)
{
    const bool negative = seconds < 0;
    quint64 rest = negative ? quint64(0) - quint64(seconds) : quint64(seconds);
    quint64 days = 0;
    if (rest >= 60u * 3600u) {
        days = rest / 86400u;
        rest %= 86400u;
    }
    const quint64 hours = rest / 3600u;
    const quint64 minutes = rest / 60u % 60u;
    const quint64 secs = rest % 60u;
    QString text = QStringLiteral("%1:%2:%3:%4").arg(days).arg(hours).arg(minutes).arg(secs);
    for (int i = 0; i < 2 && text.startsWith(QLatin1String("0:")); ++i)
        text.remove(0, 2);
    return negative ? QLatin1Char('-') + text : text;
}

QString SplitAt(QString &text, const QString &separator, bool fromLeft)
{
    if (separator.isEmpty())
        return QString();
    const int pos = fromLeft ? text.indexOf(separator) : text.lastIndexOf(separator);
    if (pos < 0)
        return QString();
    const QString before = text.left(pos);
    const QString after = text.mid(pos + separator.size());
    if (fromLeft) {
        text = after;
        return before;
    }
    text = before;
    return after;
}

// Meant for character keys: the code is the typed character (backspace is
// 8). Qt's Key_Backspace is kept as well so a key-press handler may pass
// QKeyEvent::key() for it; digits and the point have the same codes there.
int KeyNumericOnly(int keyCode)
{
    if (keyCode == 8 || keyCode == Qt::Key_Backspace || keyCode == '.')
        return keyCode;
    if (keyCode >= '0' && keyCode <= '9')
        return keyCode;
    return 0;
}

// Like the old Val(): leading white space is skipped, then an optional sign,
// digits with at most one point and an optional exponent are read; reading
// stops at the first character that does not fit. A number too large to hold
// counts as no number.
double leadingNumber(const QString &text)
{
    const int n = text.size();
    int i = 0;
    while (i < n && text.at(i).isSpace())
        ++i;
    const int start = i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    int end = i;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            ++j;
        const int expStart = j;
        while (j < n && text.at(j) >= QLatin1Char('0') && text.at(j) <= QLatin1Char('9'))
            ++j;
        if (j > expStart)
            end = j;
    }
    // What was scanned is ASCII only; an import reads it for every number
    // cell, so it is read without a QString of its own.
    char ascii[64];
    const int length = end - start;
    if (length >= int(sizeof ascii)) {
        bool ok = false;
        const double value = text.mid(start, length).toDouble(&ok);
        return ok && std::isfinite(value) ? value : 0;
    }
    for (int k = 0; k < length; ++k)
        ascii[k] = char(text.at(start + k).unicode());
    const char *from = ascii[0] == '+' ? ascii + 1 : ascii;
    double value = 0;
    const auto read = std::from_chars(from, ascii + length, value);
    if (read.ec != std::errc() || read.ptr != ascii + length || !std::isfinite(value))
        return 0;
    return value;
}

} // namespace store
