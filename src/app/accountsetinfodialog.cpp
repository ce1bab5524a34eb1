#include "accountsetinfodialog.h"

#include "store/accountsets.h"
#include "store/maintenance.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/dialogkeys.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace app {

namespace {

struct BoxField
{
    int index;
    const char *label;
};

// Boxes in the order they are laid out, with their labels.
const BoxField kBoxes[] = {
        {0, "套账名称："},  {1, "所属企业："},  {2, "联系地址："},
        {3, "联系电话："},  {4, "企业传真："},  {5, "企业网址："},
        {10, "创建日期："}, {11, "最近访问："}, {12, "数据文件："},
};

} // namespace

AccountSetInfoDialog::AccountSetInfoDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("套账信息"));

    TXT.fill(nullptr, 13);
    auto *layout = new QGridLayout(this);
    int row = 0;
    for (const BoxField &field : kBoxes) {
        auto *edit = new QLineEdit(this);
        edit->setMinimumWidth(280);
        edit->setReadOnly(field.index >= 10);
        TXT[field.index] = edit;
        layout->addWidget(new QLabel(QString::fromUtf8(field.label), this), row, 0);
        layout->addWidget(edit, row, 1);
        ++row;
    }
    // The automatic backups: where they are, and a switch for this set.
    m_backupFolder = new QLineEdit(QDir::toNativeSeparators(store::AutoBackupFolder()), this);
    m_backupFolder->setReadOnly(true);
    auto *openFolder = new QPushButton(QStringLiteral("打开"), this);
    openFolder->setAutoDefault(false);
    connect(openFolder, &QPushButton::clicked, this, [] {
        QDir().mkpath(store::AutoBackupFolder());
        ui::ShellOpen(store::AutoBackupFolder());
    });
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_backupFolder, 1);
    folderRow->addWidget(openFolder);
    layout->addWidget(new QLabel(QStringLiteral("自动备份："), this), row, 0);
    layout->addLayout(folderRow, row, 1);
    ++row;
    m_autoBackup = new QCheckBox(QStringLiteral("关闭套账时自动备份（每个套账保留最近%1份）")
                                         .arg(store::kAutoBackupsKept),
                                 this);
    layout->addWidget(m_autoBackup, row, 1);
    ++row;

    auto *buttons = new QHBoxLayout;
    for (const QString &caption : {QStringLiteral("确    定"), QStringLiteral("取    消")}) {
        auto *button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        Com.append(button);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons, row, 0, 1, 2);
    Com[0]->setToolTip(QStringLiteral("拥有所有权限才能修改套账信息"));
    connect(Com[0], &QPushButton::clicked, this, &AccountSetInfoDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    ui::prepareDialog(this, Com[0], Com[1]);

    m_session.renew();
    const int index = store::CurrentAccountIndex;
    const bool haveSet = index >= 0 && index < store::AccountSets.size();
    Com[0]->setEnabled(haveSet && store::CurrentRights.contains(QStringLiteral("所有权限")));
    if (haveSet) {
        const store::AccountSet &entry = store::AccountSets.at(index);
        TXT[0]->setText(entry.Name);
        TXT[1]->setText(entry.Company);
        TXT[10]->setText(store::dateText(entry.Created.date()));
        TXT[11]->setText(store::dateTimeText(entry.LastAccess));
        TXT[12]->setText(entry.FileName);

        const store::AccountSetInfo info = store::LoadAccountSetInfo();
        TXT[0]->setText(info.name);
        TXT[1]->setText(info.company);
        TXT[2]->setText(info.address);
        TXT[3]->setText(info.phone);
        TXT[4]->setText(info.fax);
        TXT[5]->setText(info.web);
        m_autoBackup->setChecked(store::AutoBackupEnabled());
    }
    m_autoBackup->setEnabled(Com[0]->isEnabled());

    // Only the lines printed in report headers count as a change; the
    // account-set name is not printed there. Connected after filling, so
    // that loading the boxes is not taken for an edit.
    m_changed = false;
    for (int i = 1; i <= 5; ++i)
        connect(TXT[i], &QLineEdit::textChanged, this, [this] { m_changed = true; });
}

void AccountSetInfoDialog::confirm()
{
    // The window is modeless; storing after another set was opened would
    // give that set this one's name, company and contact lines, and after a
    // logout anyone at the desk could change them.
    if (!m_session.checkBeforeSaving()) {
        close();
        return;
    }
    store::AccountSetInfo info;
    info.name = TXT[0]->text();
    info.company = TXT[1]->text();
    info.address = TXT[2]->text();
    info.phone = TXT[3]->text();
    info.fax = TXT[4]->text();
    info.web = TXT[5]->text();
    // A write the database refuses changes nothing; the window stays open
    // with the typed texts.
    if (!store::SaveAccountSetInfo(info, m_changed)) {
        store::prompts().message(QStringLiteral("记录保存失败，数据没有写入！"));
        return;
    }
    if (m_autoBackup->isChecked() != store::AutoBackupEnabled())
        store::SetAutoBackupEnabled(m_autoBackup->isChecked());
    if (ui::ShellHost *host = ui::shellHost())
        host->UpdateMainCaption();
    close();
}

AccountSetInfoDialog *ShowAccountSetInfoDialog(QWidget *parent)
{
    auto *dialog = new AccountSetInfoDialog(parent);
    dialog->show();
    return dialog;
}

} // namespace app
