#pragma once

#include <QString>

namespace print {

// Amounts from this many yuan on (1 千亿) are written in figures only: the
// capitals of a delivery note stop at 亿 in the groups of four they are
// read in.
inline constexpr double kLargestCapitalsAmount = 1e11;

// An amount of money in figures with thousands separators and two decimals,
// "1,234.56", "-0.05"; rounded to the cent.
QString amountFigures(double amount);

// An amount of money in Chinese capitals (人民币大写) as written on receipts
// and delivery notes, rounded to the cent: 壹仟贰佰叁拾肆元伍角陆分, 零元整
// for zero, 整 after whole yuan, 零 where a place of the figures is empty
// (壹仟零壹元整, 壹佰元零柒分), 负 before a negative amount. An amount too
// large for capitals (from 1 千亿 on) or not a number comes back in figures
// with a note saying so.
QString amountInCapitals(double amount);

} // namespace print
