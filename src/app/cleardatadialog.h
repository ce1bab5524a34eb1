#pragma once

#include "store/session.h"

#include <QVector>
#include <QWidget>

class QCheckBox;
class QPushButton;

namespace app {

// The window "清空数据": seven boxes for the kinds of records to clear. A box
// whose records others point to is ticked with them and cannot be unticked
// while they are ticked. Modeless.
class ClearDataDialog : public QWidget
{
    Q_OBJECT

public:
    explicit ClearDataDialog(QWidget *parent = nullptr);

    // Boxes 0 sales … 6 fund accounts (store::ClearBox).
    QCheckBox *box(int index) const { return Chk.at(index); }
    // Buttons: 0 "确   定", 1 "取   消".
    QPushButton *button(int index) const { return Com.at(index); }

    // Button 0: clears the ticked records in one step, compacts the set and
    // closes. When another set was opened or another login made since the
    // window was shown, says so and clears nothing.
    void confirm();

private:
    // A click on a box: keeps a required box ticked and applies the rules.
    void boxClicked(int index);
    QVector<bool> ticked() const;

    QVector<QCheckBox *> Chk;
    QVector<QPushButton *> Com;
    store::SessionStamp m_session;
};

// Shows a clear-data window, modeless.
ClearDataDialog *ShowClearDataDialog(QWidget *parent = nullptr);

} // namespace app
