#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

class QPushButton;

namespace grid {
class Grid;
}

namespace app {

inline const QString kAccountSetChooserCaption = QStringLiteral("选择套账");

// The window "选择套账": every account set in a grid with a tick column; the
// set in use is ticked and shown in red. Its buttons choose (for the choose
// command that waits for it), leave, or delete the ticked set. Modeless.
class AccountSetChooser : public QWidget
{
    Q_OBJECT

public:
    // Grid columns.
    enum Column { IdColumn, NumberColumn, TickColumn, NameColumn, LastAccessColumn, FileColumn };

    explicit AccountSetChooser(QWidget *parent = nullptr);

    grid::Grid *grid() const { return MSF; }
    // Buttons: 0 "选    择", 1 "退    出", 2 "删    除".
    QPushButton *button(int index) const { return Com.at(index); }

    void choose();
    void quit();
    void deleteChosen();

private:
    void fill();
    // The first ticked data row, -1 when none. Sets PendingAccountChoice to
    // the row's place in the list (as a grid row number in list order), or
    // empties it when no row is ticked.
    int takeChoice();

    grid::Grid *MSF = nullptr;
    QVector<QPushButton *> Com;
};

// Shows an account-set chooser, modeless (menu 删除套账 shows it this way
// and nothing waits for it).
AccountSetChooser *ShowAccountSetChooser(QWidget *parent = nullptr);

} // namespace app
