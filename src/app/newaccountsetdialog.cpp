#include "newaccountsetdialog.h"

#include "store/accountsets.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/dialogkeys.h"
#include "ui/shellhost.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace app {

NewAccountSetDialog::NewAccountSetDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("新建套账"));

    auto *layout = new QGridLayout(this);
    const QStringList labels = {QStringLiteral("所属企业："), QStringLiteral("套账名称：")};
    for (int i = 0; i < labels.size(); ++i) {
        auto *edit = new QLineEdit(this);
        edit->setMinimumWidth(240);
        TXT.append(edit);
        layout->addWidget(new QLabel(labels.at(i), this), i, 0);
        layout->addWidget(edit, i, 1);
    }

    auto *buttons = new QHBoxLayout;
    for (const QString &caption : {QStringLiteral("确    定"), QStringLiteral("取    消")}) {
        auto *button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        Com.append(button);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons, labels.size(), 0, 1, 2);

    connect(Com[0], &QPushButton::clicked, this, &NewAccountSetDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    ui::prepareDialog(this, Com[0], Com[1]);
}

void NewAccountSetDialog::confirm()
{
    // Texts are taken as typed: a company or name with spaces stays as it is.
    const QString company = TXT[0]->text();
    const QString name = TXT[1]->text();
    if (company.isEmpty()) {
        store::prompts().message(QStringLiteral("请填写套账所属企业名称！"));
        return;
    }
    if (name.isEmpty()) {
        store::prompts().message(QStringLiteral("请填写套账名称！"));
        return;
    }

    // With no set in use, the program has no main window yet: the first set
    // is opened whatever the answer, or the program would end on closing this
    // dialog with the new set unused.
    const bool firstSet = store::CurrentAccountIndex < 0;
    QString error;
    const int position = store::CreateAccountSet(company, name, &error);
    if (position < 0) {
        store::prompts().message(error);
        return;
    }

    const bool openNow
            = store::prompts().question(QStringLiteral("新套账生成完成，现在马上调用？"));
    if (openNow || firstSet) {
        if (ui::ShellHost *host = ui::shellHost()) {
            host->ClearRecordGrids();
            host->ClearAnalysisGrids();
            host->SelectAccountSet(position, false);
            host->ShowCurrentAnalysisTab();
        } else {
            store::MakeAccountSetCurrent(position);
        }
    } else if (store::CurrentAccountIndex >= 0
               && store::CurrentAccountIndex < store::AccountSets.size()) {
        // The set in use stays current.
        store::CurrentAccountFile = store::AccountSets.at(store::CurrentAccountIndex).FileName;
    }
    close();
}

NewAccountSetDialog *ShowNewAccountSetDialog(QWidget *parent)
{
    auto *dialog = new NewAccountSetDialog(parent);
    dialog->show();
    return dialog;
}

} // namespace app
