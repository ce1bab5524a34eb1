#pragma once

#include <QDate>
#include <QString>

namespace analysis {

// The groupings of the sales analysis, numbered as the option buttons.
enum class Grouping { Year = 0, Month = 1, Week = 2, Day = 3, Product = 4, Salesman = 5 };

// True for the groupings whose rows are periods of time.
bool isPeriodGrouping(Grouping grouping);

// Periods of the date groupings, as [start, next start). Weeks begin on
// Monday, so a Sunday belongs to the week of the Monday before it. Pure.
QDate YearStart(const QDate &day);
QDate NextYearStart(const QDate &day);
QDate MonthStart(const QDate &day);
QDate NextMonthStart(const QDate &day);
QDate WeekStart(const QDate &day);
QDate NextWeekStart(const QDate &day);
// The start of the period of grouping that holds day, and the start of the
// period after it (a day is its own period).
QDate periodStart(Grouping grouping, const QDate &day);
QDate nextPeriodStart(Grouping grouping, const QDate &periodStart);

// A quantity as the analyses show it: a whole number plainly ("0", "-12"),
// a fraction with up to three decimals and no trailing zeros ("2.5",
// "0.125"). Sums of quantities are kept exact, so 2.5 kg never shows as 3.
QString quantityText(double quantity);
// An amount with two decimals ("0.00"), rounded half away from zero.
QString amountText(double amount);

// A date as the analyses label their rows and titles: "YYYY-MM-DD".
QString dayText(const QDate &day);

} // namespace analysis
