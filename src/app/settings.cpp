#include "settings.h"

#include "store/accountsets.h"
#include "store/formatting.h"
#include "store/params.h"

#include <cmath>

namespace app {

QString splitterKey(int tab)
{
    return QStringLiteral("分割线_") + QString::number(tab);
}

QString analysisDateKey(int index)
{
    return QStringLiteral("日期设定_DTP") + QString::number(index);
}

QString listDateKey(int index)
{
    return QStringLiteral("日期设定_SDTP") + QString::number(index);
}

namespace {

void loadDate(const QString &key, QDate &date)
{
    const QString text = store::GetVar(key);
    if (text.isEmpty())
        return;
    const QDate stored = store::parseStoredDateTime(text).date();
    if (stored.isValid())
        date = stored;
}

} // namespace

void LoadSettings(WindowSettings &settings, const QDate &today)
{
    for (int i = 0; i < int(settings.splitterLeft.size()); ++i) {
        const QString text = store::GetVar(splitterKey(i));
        if (text.isEmpty())
            continue;
        const double left = store::leadingNumber(text);
        if (std::isfinite(left))
            settings.splitterLeft[i] = left;
    }
    for (int i = 0; i < int(settings.analysisDates.size()); ++i)
        loadDate(analysisDateKey(i), settings.analysisDates[i]);
    for (int i = 0; i < int(settings.listDates.size()); ++i)
        loadDate(listDateKey(i), settings.listDates[i]);

    // The settings are saved together with the last access. An end date
    // that was the day of saving was left at "today": it means today again,
    // or a sale saved today would be missing from tomorrow's list.
    const QDate savedOn = store::parseStoredDateTime(store::GetVar(store::kKeyLastAccess)).date();
    if (!savedOn.isValid() || !today.isValid())
        return;
    auto followToday = [&](QDate &end) {
        if (end == savedOn)
            end = today;
    };
    for (int i = 1; i < int(settings.analysisDates.size()); i += 2)
        followToday(settings.analysisDates[i]);
    for (int i = 1; i < int(settings.listDates.size()); i += 2)
        followToday(settings.listDates[i]);
}

void SaveSettings(const WindowSettings &settings)
{
    store::SetVar(store::kKeyLastAccess, store::dateTimeText(QDateTime::currentDateTime()));
    for (int i = 0; i < int(settings.splitterLeft.size()); ++i)
        store::SetVar(splitterKey(i), QString::number(float(settings.splitterLeft[i])));
    for (int i = 0; i < int(settings.analysisDates.size()); ++i)
        store::SetVar(analysisDateKey(i), store::dateText(settings.analysisDates[i]));
    for (int i = 0; i < int(settings.listDates.size()); ++i)
        store::SetVar(listDateKey(i), store::dateText(settings.listDates[i]));
}

} // namespace app
