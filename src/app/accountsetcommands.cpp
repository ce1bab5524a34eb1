#include "accountsetcommands.h"

#include "accountsetchooser.h"
#include "newaccountsetdialog.h"

#include "store/accountsets.h"
#include "store/formatting.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/helpers.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QStringList>

namespace app {

void LoadAccountSets(QWidget *parent)
{
    store::CurrentAccountIndex = -1;
    const QStringList files = store::ListAccountSetFiles();
    if (files.isEmpty()) {
        store::prompts().message(QStringLiteral("没有任何进销存套账,请建立新套账！"));
        ShowNewAccountSetDialog(parent);
        return;
    }

    ui::ProgressStart(QStringLiteral("正在初化化套账列表..."), files.size());
    store::BuildAccountSetList(files, [](int) { ui::ProgressStep(1); });
    if (ui::ShellHost *host = ui::shellHost())
        host->SelectAccountSet(store::CurrentAccountIndex, false);
    else
        store::MakeAccountSetCurrent(store::CurrentAccountIndex);
    ui::ProgressClose();
}

void ChooseAccountSet(QWidget *parent)
{
    ShowAccountSetChooser(parent);
    ui::WaitFormClosed(kAccountSetChooserCaption);

    if (store::PendingAccountChoice.isEmpty())
        return;
    // The choice is a grid row number; data rows start below two header rows.
    const double row = store::leadingNumber(store::PendingAccountChoice);
    const int position = static_cast<int>(row) - 2;
    if (row < 2 || position >= store::AccountSets.size() || position == store::CurrentAccountIndex)
        return;

    ui::ShellHost *host = ui::shellHost();
    if (!host) {
        store::MakeAccountSetCurrent(position);
        return;
    }
    host->SelectAccountSet(position, true);
    host->ClearRecordGrids();
    host->ShowCurrentRecordTab();
    host->ShowCurrentAnalysisTab();
}

} // namespace app
