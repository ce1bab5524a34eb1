#include "commands.h"

#include "accountsetchooser.h"
#include "accountsetcommands.h"
#include "accountsetinfodialog.h"
#include "mainwindow.h"
#include "newaccountsetdialog.h"

#include "records/accountdialog.h"
#include "records/accounts.h"
#include "records/customerdialog.h"
#include "records/customers.h"
#include "records/productdialog.h"
#include "records/productfieldsdialog.h"
#include "records/products.h"
#include "records/purchasedialog.h"
#include "records/purchases.h"
#include "records/saledialog.h"
#include "records/sales.h"
#include "records/staff.h"
#include "records/staffdialog.h"
#include "records/vendordialog.h"
#include "records/vendors.h"

#include "grid/grid.h"

#include <QComboBox>
#include <QDateEdit>

namespace app {

namespace {

// The date range and the filter bar of the sales or purchase tab of the
// main window that shows grid. False when grid is not in a main window.
bool readListBar(const grid::Grid &grid, int tab, QDate &start, QDate &end, records::FilterBar &bar)
{
    const auto *window = qobject_cast<const MainWindow *>(grid.window());
    if (!window)
        return false;
    const QDateEdit *from = window->SDTP.value(2 * tab);
    const QDateEdit *to = window->SDTP.value(2 * tab + 1);
    const int base = tab == kSalesTab ? 0 : 21;
    QStringList texts;
    for (int i = base; i <= base + 5; ++i) {
        const QComboBox *box = window->CB.value(i);
        texts << (box ? box->currentText() : QString());
    }
    if (!from || !to)
        return false;
    start = from->date();
    end = to->date();
    bar = {texts.at(0), texts.at(1), texts.at(2), texts.at(3), texts.at(4), texts.at(5)};
    return true;
}

} // namespace

// Every part of the program that does the work of a main-window command
// registers it here. A command missing from this list does nothing yet.
void registerCommands()
{
    Commands &registry = commands();

    // Sales and purchases: the list of the tab's dates and filter bar, the
    // edit dialog and deletion.
    registry.setListLoader(kSalesTab, [](grid::Grid &grid) {
        QDate start;
        QDate end;
        records::FilterBar bar;
        if (readListBar(grid, kSalesTab, start, end, bar))
            records::LoadSalesList(grid, start, end, bar);
    });
    registry.setRecordDeleter(kSalesTab,
                              [](grid::Grid &grid) { records::DeleteSelectedSales(grid); });
    registry.setRecordEditor(kSalesTab,
                             [](QWidget *parent, int id) { records::ShowSaleDialog(id, parent); });

    registry.setListLoader(kPurchaseTab, [](grid::Grid &grid) {
        QDate start;
        QDate end;
        records::FilterBar bar;
        if (readListBar(grid, kPurchaseTab, start, end, bar))
            records::LoadPurchaseList(grid, start, end, bar);
    });
    registry.setRecordDeleter(kPurchaseTab,
                              [](grid::Grid &grid) { records::DeleteSelectedPurchases(grid); });
    registry.setRecordEditor(
            kPurchaseTab, [](QWidget *parent, int id) { records::ShowPurchaseDialog(id, parent); });

    // Master lists: list, delete, edit dialog (id 0 from 添加记录 opens it
    // empty, without proposing a number).
    registry.setListLoader(3, [](grid::Grid &grid) { records::LoadProductList(grid); });
    registry.setRecordDeleter(3, [](grid::Grid &grid) { records::DeleteSelectedProducts(grid); });
    registry.setRecordEditor(
            3, [](QWidget *parent, int id) { records::showProductDialog(id, id != 0, parent); });
    registry.setAction(QStringLiteral("Com67"),
                       [](MainWindow &window) { records::showProductFieldsDialog(&window); });

    registry.setListLoader(4, [](grid::Grid &grid) { records::LoadCustomerList(grid); });
    registry.setRecordDeleter(4, [](grid::Grid &grid) { records::DeleteSelectedCustomers(grid); });
    registry.setRecordEditor(
            4, [](QWidget *parent, int id) { records::showCustomerDialog(id, id != 0, parent); });

    registry.setListLoader(5, [](grid::Grid &grid) { records::LoadVendorList(grid); });
    registry.setRecordDeleter(5, [](grid::Grid &grid) { records::DeleteSelectedVendors(grid); });
    registry.setRecordEditor(
            5, [](QWidget *parent, int id) { records::showVendorDialog(id, parent); });

    registry.setListLoader(6, [](grid::Grid &grid) { records::LoadFundAccountList(grid); });
    registry.setRecordDeleter(6,
                              [](grid::Grid &grid) { records::DeleteSelectedFundAccounts(grid); });
    registry.setRecordEditor(
            6, [](QWidget *parent, int id) { records::showAccountDialog(id, parent); });

    // The staff dialog is loaded with ID 0 for a new member too, so that its
    // rights tree is built empty.
    registry.setListLoader(kStaffTab, [](grid::Grid &grid) { records::LoadStaffList(grid); });
    registry.setRecordDeleter(kStaffTab,
                              [](grid::Grid &grid) { records::DeleteSelectedStaff(grid); });
    registry.setRecordEditor(kStaffTab,
                             [](QWidget *parent, int id) { records::ShowStaffDialog(id, parent); });

    // Account sets.
    registry.setAction(QStringLiteral("mAcc0"),
                       [](MainWindow &window) { ChooseAccountSet(&window); });
    registry.setAction(QStringLiteral("mAcc1"),
                       [](MainWindow &window) { ShowNewAccountSetDialog(&window); });
    registry.setAction(QStringLiteral("mAcc2"),
                       [](MainWindow &window) { ShowAccountSetChooser(&window); });
    registry.setAction(QStringLiteral("mAccSet"),
                       [](MainWindow &window) { ShowAccountSetInfoDialog(&window); });
}

} // namespace app
