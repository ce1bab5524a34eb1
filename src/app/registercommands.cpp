#include "commands.h"

#include "accountsetchooser.h"
#include "accountsetcommands.h"
#include "accountsetinfodialog.h"
#include "chartpicture.h"
#include "cleardatadialog.h"
#include "deliverynotes.h"
#include "maintenancecommands.h"
#include "mainwindow.h"
#include "newaccountsetdialog.h"
#include "serverdialogs.h"

#include "analysis/analyses.h"
#include "analysis/picture.h"
#include "grid/grid.h"
#include "print/printpreview.h"
#include "records/accountdialog.h"
#include "records/accounts.h"
#include "records/customerdialog.h"
#include "records/customers.h"
#include "records/mergewindow.h"
#include "records/productdialog.h"
#include "records/productfieldsdialog.h"
#include "records/products.h"
#include "records/purchasedialog.h"
#include "records/purchases.h"
#include "records/rights.h"
#include "records/saledialog.h"
#include "records/sales.h"
#include "records/settlementdialog.h"
#include "records/staff.h"
#include "records/staffdialog.h"
#include "records/vendordialog.h"
#include "records/vendors.h"
#include "store/prompts.h"
#include "store/session.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"

#include <QComboBox>
#include <QDateEdit>
#include <QRadioButton>

namespace app {

namespace {

// Shows an analysis's chart in the tab's picture, drawn again at every size.
void showChart(MainWindow &window, int tab, const analysis::ChartData &chart)
{
    ChartPicture *picture = window.Pic.value(tab);
    if (!picture)
        return;
    if (!chart.drawable) {
        picture->clear();
        return;
    }
    picture->setDrawing([chart](QPainter &painter, const QSize &size) {
        analysis::DrawChart(painter, size, chart);
    });
}

// The record ID kept with the chosen entry of an analysis box, as text.
QString chosenId(const QComboBox *box)
{
    return box ? QString::number(box->currentData().toLongLong()) : QString();
}

bool checked(const QRadioButton *option)
{
    return option && option->isChecked();
}

// The index of the first chosen grouping option, 0 when none is chosen.
int SelectedGrouping(const MainWindow &window)
{
    for (int i = 0; i <= 5; ++i) {
        if (checked(window.Op.value(i)))
            return i;
    }
    return 0;
}

} // namespace

// Every part of the program that does the work of a main-window command
// registers it here. A command missing from this list does nothing yet.
void registerCommands()
{
    Commands &registry = commands();

    // Sales and purchases: the list of the tab's date range and filter bar,
    // deletion and the edit dialogs.
    registry.setListLoader(kSalesTab, [](MainWindow &window, grid::Grid &grid) {
        records::LoadSalesList(grid, window.listStart(kSalesTab), window.listEnd(kSalesTab),
                               window.filterBar(kSalesTab));
    });
    registry.setRecordDeleter(kSalesTab,
                              [](grid::Grid &grid) { records::DeleteSelectedSales(grid); });
    registry.setRecordEditor(kSalesTab,
                             [](QWidget *parent, int id) { records::ShowSaleDialog(id, parent); });
    registry.setListLoader(kPurchaseTab, [](MainWindow &window, grid::Grid &grid) {
        records::LoadPurchaseList(grid, window.listStart(kPurchaseTab),
                                  window.listEnd(kPurchaseTab), window.filterBar(kPurchaseTab));
    });
    registry.setRecordDeleter(kPurchaseTab,
                              [](grid::Grid &grid) { records::DeleteSelectedPurchases(grid); });
    registry.setRecordEditor(
            kPurchaseTab, [](QWidget *parent, int id) { records::ShowPurchaseDialog(id, parent); });

    // Master lists: list, delete, edit dialog (id 0 from 添加记录 opens it
    // empty, without proposing a number).
    registry.setListLoader(3,
                           [](MainWindow &, grid::Grid &grid) { records::LoadProductList(grid); });
    registry.setRecordDeleter(3, [](grid::Grid &grid) { records::DeleteSelectedProducts(grid); });
    registry.setRecordEditor(
            3, [](QWidget *parent, int id) { records::showProductDialog(id, id != 0, parent); });
    registry.setAction(QStringLiteral("Com67"),
                       [](MainWindow &window) { records::showProductFieldsDialog(&window); });

    registry.setListLoader(4,
                           [](MainWindow &, grid::Grid &grid) { records::LoadCustomerList(grid); });
    registry.setRecordDeleter(4, [](grid::Grid &grid) { records::DeleteSelectedCustomers(grid); });
    registry.setRecordEditor(
            4, [](QWidget *parent, int id) { records::showCustomerDialog(id, id != 0, parent); });

    // 收款… and 付款…: the ticked or current customer (vendor) of the list.
    registry.setAction(QStringLiteral("Com87"), [](MainWindow &window) {
        records::showSettlementDialog(records::receiptKind(), *window.MSF[kCustomerTab], &window);
    });
    registry.setAction(QStringLiteral("Com107"), [](MainWindow &window) {
        records::showSettlementDialog(records::paymentKind(), *window.MSF[kVendorTab], &window);
    });

    registry.setListLoader(5,
                           [](MainWindow &, grid::Grid &grid) { records::LoadVendorList(grid); });
    registry.setRecordDeleter(5, [](grid::Grid &grid) { records::DeleteSelectedVendors(grid); });
    registry.setRecordEditor(
            5, [](QWidget *parent, int id) { records::showVendorDialog(id, parent); });

    registry.setListLoader(
            6, [](MainWindow &, grid::Grid &grid) { records::LoadFundAccountList(grid); });
    registry.setRecordDeleter(6,
                              [](grid::Grid &grid) { records::DeleteSelectedFundAccounts(grid); });
    registry.setRecordEditor(
            6, [](QWidget *parent, int id) { records::showAccountDialog(id, parent); });

    // The staff dialog is loaded with ID 0 for a new member too, so that its
    // rights tree is built empty.
    registry.setListLoader(kStaffTab,
                           [](MainWindow &, grid::Grid &grid) { records::LoadStaffList(grid); });
    registry.setRecordDeleter(kStaffTab,
                              [](grid::Grid &grid) { records::DeleteSelectedStaff(grid); });
    registry.setRecordEditor(kStaffTab,
                             [](QWidget *parent, int id) { records::ShowStaffDialog(id, parent); });

    // Merge and replace, tools menu items 0 … 4.
    for (int i = 0; i < 5; ++i) {
        registry.setAction(QStringLiteral("mReplace%1").arg(i),
                           [i](MainWindow &window) { records::ShowMergeWindow(i, &window); });
    }

    // 打印表格 of every list: the print preview of the tab's grid.
    registry.setGridPrinter([](grid::Grid &grid) { print::ShowPrintPreview(grid, grid.window()); });
    // 打印销售单 and 打印采购单: the note of the records selected in the list.
    registry.setAction(kSaleNoteAction, [](MainWindow &window) {
        PrintDeliveryNote(NoteKind::Sale, *window.MSF[kSalesTab], &window);
    });
    registry.setAction(kPurchaseNoteAction, [](MainWindow &window) {
        PrintDeliveryNote(NoteKind::Purchase, *window.MSF[kPurchaseTab], &window);
    });
    // Export and import of every list; the analysis grids' 导出表格 reaches
    // the same exporter.
    registry.setGridExporter(
            [](grid::Grid &grid) { transfer::ExportGrid(grid, transfer::exportSheetName(grid)); });
    registry.setGridImporter(
            [](grid::Grid &grid) { transfer::ImportRecords(grid, grid.window()); });

    // Account sets.
    registry.setAction(QStringLiteral("mAcc0"),
                       [](MainWindow &window) { ChooseAccountSet(&window); });
    registry.setAction(QStringLiteral("mAcc1"),
                       [](MainWindow &window) { ShowNewAccountSetDialog(&window); });
    registry.setAction(QStringLiteral("mAcc2"),
                       [](MainWindow &window) { ShowAccountSetChooser(&window); });
    registry.setAction(QStringLiteral("mAcc6"),
                       [](MainWindow &window) { ConnectServerAccountSet(&window); });
    registry.setAction(QStringLiteral("mAcc7"),
                       [](MainWindow &window) { UploadCurrentAccountSet(&window); });
    registry.setAction(QStringLiteral("mAcc8"),
                       [](MainWindow &window) { DownloadCurrentAccountSet(&window); });
    registry.setAction(QStringLiteral("mAcc9"),
                       [](MainWindow &window) { NewServerAccountSet(&window); });
    registry.setAction(QStringLiteral("mAccSet"),
                       [](MainWindow &window) { ShowAccountSetInfoDialog(&window); });

    // Data maintenance: clearing, backup and import of a set, compaction and
    // tidying.
    registry.setAction(QStringLiteral("mAcc3"),
                       [](MainWindow &window) { ShowClearDataDialog(&window); });
    registry.setAction(QStringLiteral("mAcc4"), [](MainWindow &) { BackupCurrentAccountSet(); });
    registry.setAction(QStringLiteral("mAcc5"), [](MainWindow &) { ImportAccountSetBackup(); });
    registry.setAction(QStringLiteral("mCompact"),
                       [](MainWindow &) { CompactAccountSet(store::CurrentAccountFile); });
    registry.setAction(QStringLiteral("mDataAdjust"), [](MainWindow &) { TidyOrphanSales(); });

    // Analyses: each takes its tab's dates and options, fills the tab's grid
    // and hands its chart to the tab's picture. The pickers keep the days
    // the user chose.
    registry.setAnalysis(0, [](MainWindow &w, int tab) {
        QDate start = w.DTP[0]->date();
        QDate end = w.DTP[1]->date();
        showChart(w, tab,
                  analysis::AnalyseSales(*w.MSF1[tab], analysis::Grouping(SelectedGrouping(w)),
                                         checked(w.Op1.value(0)), start, end, chosenId(w.COB[0]),
                                         chosenId(w.COB[1])));
    });
    registry.setAnalysis(1, [](MainWindow &w, int tab) {
        showChart(w, tab,
                  analysis::AnalyseStock(*w.MSF1[tab], w.DTP[2]->date(), w.DTP[3]->date(),
                                         chosenId(w.COB[2]), checked(w.Op1.value(3))));
    });
    registry.setAnalysis(2, [](MainWindow &w, int tab) {
        QDate start = w.DTP[4]->date();
        QDate end = w.DTP[5]->date();
        const int measure = checked(w.Op1.value(4)) ? 0 : checked(w.Op1.value(5)) ? 1 : 2;
        showChart(w, tab, analysis::AnalyseCustomers(*w.MSF1[tab], start, end, measure));
    });
    registry.setAnalysis(3, [](MainWindow &w, int tab) {
        QDate start = w.DTP[6]->date();
        QDate end = w.DTP[7]->date();
        showChart(w, tab, analysis::AnalyseProfit(*w.MSF1[tab], start, end));
    });
    // Receivables need the view right of sales, payables that of purchases.
    registry.setAnalysis(kBalanceTab, [](MainWindow &w, int tab) {
        const bool payables = checked(w.Op1.value(8));
        const QString right
                = payables ? QStringLiteral("采购数据查看") : QStringLiteral("销售数据查看");
        if (!records::HasRight(store::CurrentRights, right)) {
            store::prompts().message(QStringLiteral("您没有%1权限，不能分析%2。")
                                             .arg(right, payables ? QStringLiteral("应付账款")
                                                                  : QStringLiteral("应收账款")));
            return;
        }
        QDate start = w.DTP[2 * kBalanceTab]->date();
        QDate end = w.DTP[2 * kBalanceTab + 1]->date();
        showChart(w, tab, analysis::AnalyseBalances(*w.MSF1[tab], payables, start, end));
    });
    registry.setPictureSaver([](ChartPicture &picture) { analysis::SavePicture(picture.image()); });
}

} // namespace app
