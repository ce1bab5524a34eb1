#include "accountsetcommands.h"

#include "accountsetchooser.h"

#include "store/accountsets.h"
#include "store/formatting.h"
#include "store/session.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

namespace app {

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
    // The analyses shown were made from the set left behind; they must not
    // stand beside the new set's name.
    host->ClearAnalysisGrids();
    host->ShowCurrentRecordTab();
    host->ShowCurrentAnalysisTab();
}

} // namespace app
