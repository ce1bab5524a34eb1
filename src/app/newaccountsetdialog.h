#pragma once

#include <QVector>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace app {

// The window "新建套账": company and name of a new account set, made from the
// empty template. Modeless.
class NewAccountSetDialog : public QWidget
{
    Q_OBJECT

public:
    explicit NewAccountSetDialog(QWidget *parent = nullptr);

    // Boxes: 0 company (所属企业), 1 account-set name (套账名称).
    QLineEdit *box(int index) const { return TXT.at(index); }
    // Buttons: 0 "确    定", 1 "取    消".
    QPushButton *button(int index) const { return Com.at(index); }

    // Button 0: creates the set and asks whether to open it now.
    void confirm();

private:
    QVector<QLineEdit *> TXT;
    QVector<QPushButton *> Com;
};

// Shows a new-account-set window, modeless.
NewAccountSetDialog *ShowNewAccountSetDialog(QWidget *parent = nullptr);

} // namespace app
