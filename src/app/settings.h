#pragma once

#include <QDate>

#include <array>

namespace app {

// The main window's state that each account set keeps: the splitter bar
// position of every analysis tab (twips from the left of the tab's frame)
// and the dates of the analysis and list date pickers.
struct WindowSettings
{
    std::array<double, 4> splitterLeft{};
    std::array<QDate, 8> analysisDates; // DTP 0 … 7
    std::array<QDate, 4> listDates;     // SDTP 0 … 3
};

// Parameter keys: 分割线_i, 日期设定_DTPi, 日期设定_SDTPi.
QString splitterKey(int tab);
QString analysisDateKey(int index);
QString listDateKey(int index);

// Reads the current account set's stored state into settings. A key that
// was never written (or holds no usable value) leaves its field unchanged;
// a stored date with a time gives only its date. The end date of a range
// (odd pickers) that was the day the settings were saved (the last access)
// becomes today: the user had left it at today.
void LoadSettings(WindowSettings &settings, const QDate &today = QDate::currentDate());

// Writes 最近访问 := now and the whole state into the current account set:
// 17 parameters.
void SaveSettings(const WindowSettings &settings);

} // namespace app
