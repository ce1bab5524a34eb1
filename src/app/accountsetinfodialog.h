#pragma once

#include "store/session.h"

#include <QVector>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace app {

// The window "套账信息": name, company and contact lines of the current
// account set, which appear on printouts. Only a user with 所有权限 may store
// them. Modeless.
class AccountSetInfoDialog : public QWidget
{
    Q_OBJECT

public:
    explicit AccountSetInfoDialog(QWidget *parent = nullptr);

    // Boxes 0-5 editable (name, company, address, telephone, fax, web
    // address), 10-12 display only (created, last access, data file).
    QLineEdit *box(int index) const { return TXT.value(index); }
    // Buttons: 0 "确    定", 1 "取    消".
    QPushButton *button(int index) const { return Com.at(index); }
    // Where the automatic backups of the sets go, and whether this set gets
    // them.
    QLineEdit *backupFolderBox() const { return m_backupFolder; }
    QCheckBox *autoBackupBox() const { return m_autoBackup; }
    // Set once the company or a contact line has been edited.
    bool companyChanged() const { return m_changed; }

    // Button 0: stores the boxes and closes. When another account set has
    // been opened or another login made since the window was filled, it says
    // so and closes without storing: the texts belong to the set it was
    // opened on, and only its user was allowed to change them.
    void confirm();

private:
    QVector<QLineEdit *> TXT; // indexed as above; unused indices are null
    QVector<QPushButton *> Com;
    QLineEdit *m_backupFolder = nullptr;
    QCheckBox *m_autoBackup = nullptr;
    bool m_changed = false;
    store::SessionStamp m_session; // set and login the boxes were filled under
};

// Shows an account-set information window, modeless.
AccountSetInfoDialog *ShowAccountSetInfoDialog(QWidget *parent = nullptr);

} // namespace app
