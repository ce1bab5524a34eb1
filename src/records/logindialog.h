#pragma once

#include <QVector>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace records {

// The login window "请输入用户名及密码": user name, password and the name of
// the current account set. Modeless and kept above other windows.
class LoginDialog : public QWidget
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget *parent = nullptr);

    // Boxes: 0 user name, 1 password, 2 current account set (read-only).
    QLineEdit *box(int index) const { return TXT.at(index); }
    QPushButton *loginButton() const { return m_login; }

    // The button: checks the name and password and logs in.
    void login();
    // Fills the boxes for the current account set: the last user name, an
    // empty password and the set's name.
    void loadForCurrentAccountSet();
    // The account-set file the boxes were filled for.
    QString accountFile() const { return m_accountFile; }

protected:
    // Remembers the typed user name for the next opening, also after a
    // failed try.
    void closeEvent(QCloseEvent *event) override;

private:
    QVector<QLineEdit *> TXT;
    QPushButton *m_login = nullptr;
    QString m_accountFile;
};

// Shows the one login window (creating it when none is open), modeless.
LoginDialog *ShowLoginDialog(QWidget *parent = nullptr);

} // namespace records
