#pragma once

#include <QVector>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace records {

// The change-password window "修改登录密码" for the logged-in user.
class PasswordDialog : public QWidget
{
    Q_OBJECT

public:
    explicit PasswordDialog(QWidget *parent = nullptr);

    // Boxes: 0 new password, 1 new password again, 2 current password.
    QLineEdit *box(int index) const { return TXT.at(index); }
    // Buttons: 0 "修  改", 1 "取  消".
    QPushButton *button(int index) const { return Com.at(index); }

    // "修  改": checks the boxes and stores the new password.
    void change();

private:
    QVector<QLineEdit *> TXT;
    QVector<QPushButton *> Com;
};

// Shows the one change-password window (creating it when none is open).
PasswordDialog *ShowPasswordDialog(QWidget *parent = nullptr);

} // namespace records
