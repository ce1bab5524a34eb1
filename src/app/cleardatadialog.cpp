#include "cleardatadialog.h"

#include "store/maintenance.h"
#include "store/prompts.h"
#include "ui/dialogkeys.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

ClearDataDialog::ClearDataDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("清空数据"));

    auto *layout = new QVBoxLayout(this);
    const QStringList &captions = store::clearBoxCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        auto *check = new QCheckBox(captions.at(i), this);
        Chk.append(check);
        layout->addWidget(check);
        connect(check, &QCheckBox::clicked, this, [this, i] { boxClicked(i); });
    }
    auto *buttons = new QHBoxLayout;
    for (const QString &caption : {QStringLiteral("确   定"), QStringLiteral("取   消")}) {
        auto *button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        Com.append(button);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(Com[0], &QPushButton::clicked, this, &ClearDataDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    ui::prepareDialog(this, Com[0], Com[1]);
    m_session.renew();
}

QVector<bool> ClearDataDialog::ticked() const
{
    QVector<bool> states;
    for (const QCheckBox *check : Chk)
        states << check->isChecked();
    return states;
}

void ClearDataDialog::boxClicked(int index)
{
    QVector<bool> states = ticked();
    if (!states.at(index) && store::clearBoxRequired(states, index))
        states[index] = true;
    store::applyClearRules(states);
    for (int i = 0; i < Chk.size(); ++i) {
        Chk[i]->setChecked(states.at(i));
        // A box that a ticked box needs is shown ticked and locked.
        Chk[i]->setEnabled(!store::clearBoxRequired(states, i));
    }
}

void ClearDataDialog::confirm()
{
    // Modeless: clearing after another set was opened would empty that set.
    if (!m_session.checkBeforeSaving()) {
        close();
        return;
    }
    ui::ProgressStart(QStringLiteral("正在删除数据..."), 10);
    ui::ProgressStep(1);
    const store::ClearResult result = store::ClearData(ticked(), [] { ui::ProgressStep(1); });
    ui::ProgressStep(2);
    ui::ProgressClose();
    if (!result.error.isEmpty())
        store::prompts().message(result.error);
    if (result.cleared) {
        if (ui::ShellHost *host = ui::shellHost())
            host->ReloadCurrentList();
    }
    close();
}

ClearDataDialog *ShowClearDataDialog(QWidget *parent)
{
    auto *dialog = new ClearDataDialog(parent);
    dialog->show();
    return dialog;
}

} // namespace app
