#pragma once

#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

class QWidget;

namespace grid {
class Grid;
}

namespace app {

class MainWindow;
class ChartPicture;

// The actions of 打印销售单 and 打印采购单.
// The menu items mAcc6 … mAcc9 (server sets) follow the six of 套账操作.
inline constexpr int kServerSetItems = 6;
inline const QString kSaleNoteAction = QStringLiteral("mSaleNote");
inline const QString kPurchaseNoteAction = QStringLiteral("mPurchaseNote");

// What the window says for a command whose work is not part of the program.
inline const QString kNotProvided = QStringLiteral("此功能尚未提供。");

// Record tabs of the main window, in tab order.
inline constexpr int kRecordTabCount = 8;
inline constexpr int kSalesTab = 0;
inline constexpr int kPurchaseTab = 1;
inline constexpr int kAnalysisTab = 2;
inline constexpr int kProductTab = 3;
inline constexpr int kCustomerTab = 4;
inline constexpr int kVendorTab = 5;
inline constexpr int kStaffTab = 7;
// The 收款… and 付款… buttons: position 7 of the customer and vendor lists.
inline constexpr int kSettlePosition = 7;
// Analysis tabs inside the analysis record tab.
inline constexpr int kAnalysisTabCount = 5;
// The receivables and payables tab, the last one.
inline constexpr int kBalanceTab = 4;

// One command button of the main window. The index is 20 × record tab +
// position, so index / 20 is the tab the button sits on; right is the token
// the user needs for it (empty: any logged-in user with some right).
struct CommandButton
{
    int index;
    QString caption;
    QString right;
};

// Every command button, tab by tab, position by position.
const QVector<CommandButton> &commandButtons();
// The button of that index; nullptr when there is none.
const CommandButton *commandButton(int index);

// Captions of the record tabs and the analysis tabs.
const QStringList &recordTabCaptions();
const QStringList &analysisTabCaptions();
// The view right a record tab's list needs (its frame's tag); empty for the
// analysis tab.
QString recordTabRight(int tab);

// What the rights of a user open in the main window.
struct RightsPlan
{
    bool recordTabsEnabled = false;
    QMap<int, bool> buttons; // by command index
    QVector<bool> grids;     // by record tab; false empties the grid
    bool adminMenus = false; // merge items, 删除套账 … 导入套账, compaction, tidying
};

// Decides what ApplyRights enables for the logged-in user (empty: logged
// out) with these rights: the record tabs only when logged in; a button when
// the rights grant its token; a list when the tabs are on and the rights
// grant its view right; the merge, account-set maintenance, compaction and
// tidying menus only with 所有权限.
RightsPlan planRights(const QString &user, const QString &rights);

// What a command button does, by its position on the tab.
enum class ButtonRole {
    Add,       // 添加记录
    Edit,      // 修改记录
    Delete,    // 删除记录
    Print,     // 打印表格
    Export,    // 导出记录
    Import,    // 导入记录
    Refresh,   // 刷新
    Condition, // 条件▼
    Clear,     // 清除
    Search,    // 搜索
    Analysis,  // 销量分析 … 利润分析
    Fields,    // 增删字段
    Settle,    // 收款… on the customer list, 付款… on the vendor list
    None,
};
ButtonRole buttonRole(int index);

// The one place where the main window sends every command whose work lives
// in the lists, dialogs, analyses, printing, transfer and maintenance code.
// Those parts register a handler here; for a command without a handler the
// window says kNotProvided. Registration happens once at start-up, in
// registerCommands().
class Commands
{
public:
    using GridHandler = std::function<void(grid::Grid &)>;
    // Fills a record tab's grid; the window gives the list's date range and
    // filter bar.
    using ListLoader = std::function<void(MainWindow &, grid::Grid &)>;
    // Opens a record's edit dialog over parent; id 0 opens it for a new
    // record.
    using RecordEditor = std::function<void(QWidget *parent, int id)>;
    // Runs the analysis of an analysis tab with that tab's controls.
    using AnalysisHandler = std::function<void(MainWindow &, int analysisTab)>;
    using PictureHandler = std::function<void(ChartPicture &)>;
    // Menu items and the like; the window is the parent for their dialogs.
    using Action = std::function<void(MainWindow &)>;

    // Per record tab: fills the tab's grid with its list.
    void setListLoader(int tab, ListLoader loader);
    // Per record tab: the edit dialog of the tab's records.
    void setRecordEditor(int tab, RecordEditor editor);
    // Per record tab: deletes the selected rows of the tab's grid.
    void setRecordDeleter(int tab, GridHandler handler);
    // The same for every list: print preview, export, import of a grid.
    void setGridPrinter(GridHandler handler);
    void setGridExporter(GridHandler handler);
    void setGridImporter(GridHandler handler);
    // Per analysis tab: the analysis of its command button.
    void setAnalysis(int analysisTab, AnalysisHandler handler);
    // 保存图片 of a chart picture's pop-up menu.
    void setPictureSaver(PictureHandler handler);
    // Menu items and other commands, by control name: mAcc0 … mAcc5,
    // mCompact, mDataAdjust, mReplace0 … mReplace4, mAccSet, mSaleNote,
    // mPurchaseNote, Com67.
    void setAction(const QString &name, Action action);

    // Running a command: false when no handler is registered (nothing ran).
    bool loadList(int tab, MainWindow &window, grid::Grid &grid) const;
    bool editRecord(int tab, QWidget *parent, int id) const;
    bool deleteRecords(int tab, grid::Grid &grid) const;
    bool printGrid(grid::Grid &grid) const;
    bool exportGrid(grid::Grid &grid) const;
    bool importGrid(grid::Grid &grid) const;
    bool runAnalysis(MainWindow &window, int analysisTab) const;
    bool savePicture(ChartPicture &picture) const;
    bool runAction(const QString &name, MainWindow &window) const;

    // Whether a command has its work: the command button of that index
    // (the filter-bar buttons are the window's own), a menu item or other
    // command by name, and the 导出表格 and 保存图片 pop-up items.
    bool handlesButton(int index) const;
    bool handlesAction(const QString &name) const;
    bool handlesGridExport() const { return bool(m_exporter); }
    bool handlesPictureSave() const { return bool(m_pictureSaver); }

    // Names of the commands that have no handler yet (for the about box's
    // details and the tests).
    QStringList unregistered() const;
    // Removes every handler.
    void clear();

private:
    QMap<int, ListLoader> m_loaders;
    QMap<int, RecordEditor> m_editors;
    QMap<int, GridHandler> m_deleters;
    GridHandler m_printer;
    GridHandler m_exporter;
    GridHandler m_importer;
    QMap<int, AnalysisHandler> m_analyses;
    PictureHandler m_pictureSaver;
    QMap<QString, Action> m_actions;
};

// The program's registry.
Commands &commands();

// Names of every action the menus and buttons ask for by name.
const QStringList &actionNames();

// Registers the handlers of every part that exists so far.
void registerCommands();

} // namespace app
