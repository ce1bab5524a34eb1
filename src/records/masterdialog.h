#pragma once

#include "store/session.h"

#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

namespace records {

// What the master-record dialogs share: a window that deletes itself on
// close, a read-only number box, the text boxes and the 确定 / 取消 buttons.
// 确定 stores the dialog, stays open when nothing could be stored (so the
// typed data is not lost) and otherwise closes it. A dialog left open while
// another account set was opened, or another login made, stores nothing and
// closes.
class MasterDialog : public QWidget
{
    Q_OBJECT

public:
    // The boxes in index order, nullptr where there is none.
    QLineEdit *box(int index) const { return TXT.value(index); }
    // The read-only number box.
    QLineEdit *idBox() const { return m_idBox; }
    // Buttons: 0 确定, 1 取消.
    QPushButton *button(int index) const { return Com.value(index); }

protected:
    // Plain boxes are ordinary line edits; long ones hold texts of any length
    // (see newMasterBox).
    enum class Boxes { Long, Plain };

    // listTab: the record tab whose list is reloaded after 确定 stored the
    // dialog, or -1 when saving reloads it itself.
    MasterDialog(const QString &caption, int listTab, Boxes boxes, QWidget *parent);

    // Stores the dialog for 确定; false when nothing could be stored.
    virtual bool saveShown() = 0;

    // A new box of this dialog's kind, not yet placed.
    QLineEdit *newBox();
    // Makes the read-only number box and places it with its label at
    // (row, column), the box one column right of the label.
    void addIdBox(QGridLayout *layout, const QString &caption, int row, int column);
    // Appends a box and places it with its label like addIdBox.
    QLineEdit *addBox(QGridLayout *layout, const QString &caption, int row, int column);
    // Makes buttons 0 and 1 with these captions, right-aligned in the
    // returned row; 确定 stores and closes, 取消 closes. 确定 is the default
    // button (Enter), 取消 answers Esc, and Tab walks the boxes as laid out.
    QHBoxLayout *newButtonRow(const QString &ok, const QString &cancel);
    // Names and addresses of firms run long: every box gets room for twenty
    // Chinese characters, so the dialog opens wide enough to show them.
    void widenBoxesForNames();

    // Texts of the boxes in index order, and filling them from texts.
    QStringList boxTexts() const;
    void setBoxTexts(const QStringList &texts);

    QVector<QLineEdit *> TXT;
    QLineEdit *m_idBox = nullptr;
    QVector<QPushButton *> Com;
    // The account set and login the dialog was filled under.
    store::SessionStamp m_session;

private:
    void confirm();

    int m_listTab;
    Boxes m_boxes;
};

// Opens a fresh Dialog as the one instance of its kind: an open one is
// closed first, so it cannot lend its texts or its number to the next
// record. load(dialog) runs before the window shows; the window is then
// raised and activated.
template<typename Dialog, typename Load>
Dialog *showSingleWindow(QWidget *parent, Load load)
{
    static QPointer<Dialog> open;
    if (open)
        open->close();
    open = new Dialog(parent);
    load(*open);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

// showSingleWindow for a dialog with boxes; typing starts in the first box
// that takes it, not in the read-only number.
template<typename Dialog, typename Load>
Dialog *showMasterDialog(QWidget *parent, Load load)
{
    return showSingleWindow<Dialog>(parent, load);
}

} // namespace records
