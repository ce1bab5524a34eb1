#include "periods.h"

#include "store/formatting.h"

#include <QVariant>

#include <cmath>

namespace analysis {

bool isPeriodGrouping(Grouping grouping)
{
    return grouping == Grouping::Year || grouping == Grouping::Month || grouping == Grouping::Week
           || grouping == Grouping::Day;
}

QDate YearStart(const QDate &day)
{
    return QDate(day.year(), 1, 1);
}

QDate NextYearStart(const QDate &day)
{
    return QDate(day.year() + 1, 1, 1);
}

QDate MonthStart(const QDate &day)
{
    return QDate(day.year(), day.month(), 1);
}

QDate NextMonthStart(const QDate &day)
{
    return MonthStart(day).addMonths(1);
}

QDate WeekStart(const QDate &day)
{
    return day.addDays(1 - day.dayOfWeek());
}

QDate NextWeekStart(const QDate &day)
{
    return WeekStart(day).addDays(7);
}

QDate periodStart(Grouping grouping, const QDate &day)
{
    switch (grouping) {
    case Grouping::Year:
        return YearStart(day);
    case Grouping::Month:
        return MonthStart(day);
    case Grouping::Week:
        return WeekStart(day);
    default:
        return day;
    }
}

QDate nextPeriodStart(Grouping grouping, const QDate &periodStart)
{
    switch (grouping) {
    case Grouping::Year:
        return NextYearStart(periodStart);
    case Grouping::Month:
        return NextMonthStart(periodStart);
    case Grouping::Week:
        return NextWeekStart(periodStart);
    default:
        return periodStart.addDays(1);
    }
}

QString quantityText(double quantity)
{
    // Thousandths, rounded half away from zero; the tiny offset absorbs the
    // binary error of sums such as 0.1 + 0.2.
    const double thousandths = std::round(quantity * 1000.0 + (quantity < 0 ? -1e-7 : 1e-7));
    if (thousandths == 0)
        return QStringLiteral("0");
    QString text = QString::number(thousandths / 1000.0, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString amountText(double amount)
{
    return store::FormatCell(QVariant(amount), false);
}

QString dayText(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace analysis
