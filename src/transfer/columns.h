#pragma once

#include <QString>

namespace transfer {

// Spreadsheet column letters of a column number: 1 → A, 26 → Z, 27 → AA,
// 52 → AZ, 53 → BA, 702 → ZZ. Valid from 1 to 702; any other number gives "".
QString ColumnLetters(int number);

// Column number of spreadsheet letters, trimmed and upper-cased: one letter
// its place (A = 1), two letters 26 × first + second; a result below 1
// becomes 1 (so digits and other characters name column A); three or more
// characters, or none, give 0.
int ColumnNumber(const QString &letters);

} // namespace transfer
