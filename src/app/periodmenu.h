#pragma once

#include <QDate>
#include <QPair>
#include <QStringList>

class QDateEdit;
class QToolButton;
class QWidget;

namespace app {

// The periods offered beside every pair of date pickers, so that "this
// month" is one click instead of a dozen key presses.
enum class Period { Today, ThisWeek, ThisMonth, LastMonth, ThisQuarter, ThisYear, LastYear, All };

// Captions of the periods, in the order of the enum.
QStringList periodCaptions();

// First and last day of a period around today. Weeks begin on Monday. For
// All the range runs from the earliest to the latest record date given
// (today where none is given).
QPair<QDate, QDate> periodRange(Period period, const QDate &today, const QDate &earliest = {},
                                const QDate &latest = {});

// A small button whose menu sets both pickers to one of the periods; All
// spans every sale and purchase of the open account set.
QToolButton *newPeriodButton(QWidget *parent, QDateEdit *from, QDateEdit *to);

} // namespace app
