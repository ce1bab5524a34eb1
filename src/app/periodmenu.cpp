#include "periodmenu.h"

#include "store/access.h"
#include "store/engine.h"
#include "store/session.h"

#include <QDateEdit>
#include <QMenu>
#include <QToolButton>

#include <algorithm>

namespace app {

namespace {

QDate quarterStart(const QDate &day)
{
    return QDate(day.year(), (day.month() - 1) / 3 * 3 + 1, 1);
}

// Earliest and latest date of the sales and purchases; invalid dates when
// no set is open or it holds none.
QPair<QDate, QDate> recordDates()
{
    QDate earliest;
    QDate latest;
    if (store::CurrentAccountFile.isEmpty())
        return {};
    // The first row by date keeps the column's date type, which an
    // aggregate of it would lose.
    auto edge = [](const char *table, const char *order) {
        store::RecordSet rs;
        store::OpenQuery(rs, QStringLiteral("SELECT TOP 1 Dat FROM %1 ORDER BY Dat %2")
                                     .arg(QString::fromLatin1(table), QString::fromLatin1(order)));
        return rs.recordCount() > 0 ? rs.valueAt(0, 0).toDateTime().date() : QDate();
    };
    for (const char *table : {"Sale", "Pur"}) {
        const QDate first = edge(table, "ASC");
        const QDate last = edge(table, "DESC");
        if (first.isValid() && (!earliest.isValid() || first < earliest))
            earliest = first;
        if (last.isValid() && (!latest.isValid() || last > latest))
            latest = last;
    }
    return {earliest, latest};
}

} // namespace

QStringList periodCaptions()
{
    return {QStringLiteral("今天"), QStringLiteral("本周"),   QStringLiteral("本月"),
            QStringLiteral("上月"), QStringLiteral("本季度"), QStringLiteral("本年"),
            QStringLiteral("上年"), QStringLiteral("全部")};
}

QPair<QDate, QDate> periodRange(Period period, const QDate &today, const QDate &earliest,
                                const QDate &latest)
{
    const QDate monthStart(today.year(), today.month(), 1);
    switch (period) {
    case Period::Today:
        return {today, today};
    case Period::ThisWeek: {
        const QDate monday = today.addDays(1 - today.dayOfWeek());
        return {monday, monday.addDays(6)};
    }
    case Period::ThisMonth:
        return {monthStart, monthStart.addMonths(1).addDays(-1)};
    case Period::LastMonth:
        return {monthStart.addMonths(-1), monthStart.addDays(-1)};
    case Period::ThisQuarter: {
        const QDate start = quarterStart(today);
        return {start, start.addMonths(3).addDays(-1)};
    }
    case Period::ThisYear:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    case Period::LastYear:
        return {QDate(today.year() - 1, 1, 1), QDate(today.year() - 1, 12, 31)};
    case Period::All:
        break;
    }
    const QDate first = earliest.isValid() ? std::min(earliest, today) : today;
    const QDate last = latest.isValid() ? std::max(latest, today) : today;
    return {first, last};
}

QToolButton *newPeriodButton(QWidget *parent, QDateEdit *from, QDateEdit *to)
{
    auto *button = new QToolButton(parent);
    // A narrow arrow: the command row of the lists has little room to spare.
    button->setText(QStringLiteral("期间"));
    button->setArrowType(Qt::DownArrow);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    button->setToolTip(
            QStringLiteral("选择时间段：今天、本周、本月、上月、本季度、本年、上年、全部"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setFocusPolicy(Qt::TabFocus);
    auto *menu = new QMenu(button);
    const QStringList captions = periodCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        menu->addAction(captions.at(i), button, [from, to, i] {
            const auto period = Period(i);
            QPair<QDate, QDate> range;
            if (period == Period::All) {
                const QPair<QDate, QDate> dates = recordDates();
                range = periodRange(period, QDate::currentDate(), dates.first, dates.second);
            } else {
                range = periodRange(period, QDate::currentDate());
            }
            from->setDate(range.first);
            to->setDate(range.second);
        });
    }
    button->setMenu(menu);
    return button;
}

} // namespace app
