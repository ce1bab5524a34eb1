#pragma once

#include <QString>

namespace ui {

// The one application font: it holds both Latin letters and Chinese, so
// digits and names share one baseline in the grids.
inline const QString kApplicationFontFamily = QStringLiteral("Noto Sans CJK SC");

// Makes the program Chinese whatever the system language: the default
// locale becomes Chinese (China), so calendars and number texts of Qt's
// widgets are Chinese; Qt's own translations (qtbase_zh_CN) are loaded, so
// standard buttons and file dialogs read 确定, 取消, 是, 否; and the
// application font becomes kApplicationFontFamily when it is installed.
// Call once after the application object exists. Returns false when the
// translation file could not be loaded (the rest is done all the same).
bool UseChineseDesktop();

} // namespace ui
