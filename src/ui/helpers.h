#pragma once

#include <QString>

class QComboBox;
class QWidget;

namespace ui {

// Screen positions and sizes of the old layout are in twips: 15 per pixel.
inline constexpr int kTwipsPerPixel = 15;
inline int twips(int pixels)
{
    return pixels * kTwipsPerPixel;
}
// Pixels of a twips value, rounded to the nearest pixel.
int pixels(int twips);

// Fills a master-list box with "00012|name" entries (ID in five digits, the
// field's value) from table ordered by field, then selects the first entry
// whose leading number equals that of the saved default "默认值_" + table;
// nothing is selected when none matches. Signals are held back while the
// box is refilled; selecting the default emits them as usual.
void FillIdNameCombo(QComboBox *combo, const QString &table, const QString &field);

// Fills a box with an empty first entry (item data 0, selected) and then the
// Name of every row of table ordered by Name, with the row's ID as item
// data. A missing table leaves the box empty. No change signals are sent.
void FillNameCombo(QComboBox *combo, const QString &table);

// Fills a box with the distinct values of field in table, in order, and
// selects the one equal to the saved default "默认值_" + table (exact match).
// file names the account set; empty means the current one.
void FillComboDistinct(QComboBox *combo, const QString &table, const QString &field,
                       const QString &file = QString());

// True when a visible window has exactly this title.
bool FormIsOpen(const QString &caption);

// Runs the event loop until no visible window has this title any more; it
// returns at once when none is open. Lets a routine open a modeless dialog
// and go on only after the user has closed it.
void WaitFormClosed(const QString &caption);

// Keeps the window above all ordinary windows, without moving or resizing it.
void SetTopMost(QWidget *window);

// Asks the desktop to open a file, folder or address (web or mail) with its
// usual program. False when nothing could be started.
bool ShellOpen(const QString &path);

// Lets the event loop run n + 1 times.
void YieldTimes(int n);

// The mouse position in twips relative to the top-left corner of
// mainWindow (of the screen when it is null).
void CursorPosition(int &x, int &y, QWidget *mainWindow);

} // namespace ui
