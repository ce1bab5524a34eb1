#include "enginedetail.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <cstdio>

namespace store::detail {

namespace {

int digitsAt(const char *s, int length, int pos, int count)
{
    if (pos + count > length)
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

// Parses the stored date text 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM' or
// 'YYYY-MM-DD HH:MM:SS[.fff]' (a 'T' may separate date and time). Written by
// hand because record sets parse every date cell they show.
bool parseStoredDate(const char *s, int length, int parts[7])
{
    while (length > 0 && s[length - 1] == ' ')
        --length;
    if (length < 10 || s[4] != '-' || s[7] != '-')
        return false;
    parts[0] = digitsAt(s, length, 0, 4);
    parts[1] = digitsAt(s, length, 5, 2);
    parts[2] = digitsAt(s, length, 8, 2);
    parts[3] = parts[4] = parts[5] = parts[6] = 0;
    if (parts[0] < 0 || parts[1] < 0 || parts[2] < 0)
        return false;
    if (length == 10)
        return true;
    if ((s[10] != ' ' && s[10] != 'T') || length < 16 || s[13] != ':')
        return false;
    parts[3] = digitsAt(s, length, 11, 2);
    parts[4] = digitsAt(s, length, 14, 2);
    if (parts[3] < 0 || parts[4] < 0)
        return false;
    if (length == 16)
        return true;
    if (length < 19 || s[16] != ':')
        return false;
    parts[5] = digitsAt(s, length, 17, 2);
    if (parts[5] < 0)
        return false;
    if (length == 19)
        return true;
    if (s[19] != '.' || length < 21)
        return false;
    int ms = 0, scale = 100;
    for (int i = 20; i < length; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        ms += (s[i] - '0') * scale;
        scale /= 10;
    }
    parts[6] = ms;
    return true;
}

QString storedDateText(const QDateTime &value)
{
    const QDateTime local = value.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(),
                  d.day(), t.hour(), t.minute(), t.second());
    return QString::fromLatin1(buffer);
}

// A date given as a number: a Julian day number (SQLite's julianday()) when
// it is that large, else days since 1899-12-30 (the count Jet stores).
QDateTime dateFromNumber(double number)
{
    if (!std::isfinite(number))
        return QDateTime();
    qint64 day;
    double fraction;
    if (number >= 1000000.0) {
        const double shifted = number + 0.5;
        day = qint64(std::floor(shifted));
        fraction = shifted - double(day);
    } else {
        const double whole = std::floor(number);
        day = QDate(1899, 12, 30).toJulianDay() + qint64(whole);
        fraction = number - whole;
    }
    const QDate date = QDate::fromJulianDay(day);
    const int ms = int(std::llround(fraction * 86400000.0));
    return QDateTime(date, QTime(0, 0).addMSecs(qMin(ms, 86399999)));
}

} // namespace store::detail
