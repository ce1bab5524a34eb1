#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace store {

// Whole-number value types: 16, 32 and 64 bits, signed or not.
bool isIntegerType(int typeId);
// 8-bit types (characters and bytes), which may also carry a small number.
bool isByteType(int typeId);

// The null date: stands for "no date" and shows as empty text.
QDateTime nullDate();
bool isNullDate(const QDateTime &value);

// Grid text of a value: doubles "0.00" (rounded half away from zero on the
// decimal value, so 2.675 → 2.68), dates "yyyy.MM.dd" or
// "yyyy.MM.dd HH:mm" (the null date empty), booleans as BoolMark, else text.
QString FormatCell(const QVariant &value, bool dateOnly);
// "√" for true or a non-zero number, else empty.
QString BoolMark(const QVariant &value);
// Duration as [h:]m:s without leading zeros (7 → 0:7, 3600 → 1:0:0,
// 90061 → 25:1:1); from 60 hours on as d:h:m:s with the day count first.
QString FormatSeconds(qint64 seconds);
// Splits text at the first (fromLeft) or last separator; see the helpers doc.
QString SplitAt(QString &text, const QString &separator, bool fromLeft);
// Keeps backspace (8), '.' and digits; every other key code becomes 0.
int KeyNumericOnly(int keyCode);

template<typename T>
void SwapIfGreater(T &a, T &b)
{
    if (b < a) {
        T t = a;
        a = b;
        b = t;
    }
}

// The leading decimal number of a text, 0 when there is none ("12kg" → 12,
// "12.5元" → 12.5, "-3" → -3, "abc" → 0). Leading spaces are skipped.
double leadingNumber(const QString &text);

} // namespace store
