#pragma once

#include <QByteArray>
#include <QString>

namespace ui {

// What the window remembers between runs for the whole program (not per
// account set): the main window's place and the folder each file dialog
// was last used in. Kept in 界面.ini in the program folder.

// The folder the file dialog named by caption last chose a file in; empty
// when it was never used.
QString lastFolder(const QString &caption);
void rememberFolder(const QString &caption, const QString &chosenFile);

// Where a file dialog opens: the file name of suggested in the folder last
// used by this dialog, else in the suggested folder when one is given,
// else in the user's documents folder.
QString dialogStartPath(const QString &caption, const QString &suggested);
// The same for a dialog that opens a file: the folder last used, else the
// folder given, else the documents folder.
QString dialogStartFolder(const QString &caption, const QString &folder);

// The main window's saved geometry; empty before the first close.
QByteArray savedWindowGeometry();
void saveWindowGeometry(const QByteArray &geometry);

} // namespace ui
