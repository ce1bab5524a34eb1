#pragma once

#include "mainlayout.h"
#include "records/trades.h"
#include "ui/shellhost.h"

#include <QMainWindow>
#include <QMap>

#include <array>
#include <functional>

class QAction;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QRadioButton;

namespace grid {
class Grid;
class TotalsLine;
} // namespace grid

namespace app {

class ChartPicture;
class SplitBar;
class TabControl;

// The main window MF: the record tabs with their lists and commands, the
// analysis tabs inside the third record tab, the menus, the rights of the
// logged-in user and the layout. Its controls are kept in indexed arrays
// under their old names, so that a command's index / 20 is its record tab.
// The work of the lists, dialogs and analyses is not done here: each
// command goes to the registry of commands.h.
class MainWindow : public QMainWindow, public ui::ShellHost
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Record tabs: frame Frm(i) and grid MSF(i) per tab; tab 2 holds SST1.
    TabControl *SST = nullptr;
    QMap<int, QFrame *> Frm;
    QMap<int, grid::Grid *> MSF;
    // Analysis tabs: frame, grid, splitter bar and chart picture per tab.
    TabControl *SST1 = nullptr;
    QMap<int, QFrame *> Frm1;
    QMap<int, grid::Grid *> MSF1;
    QMap<int, SplitBar *> SplitLine;
    QMap<int, ChartPicture *> Pic;
    // Analysis periods DTP(2i), DTP(2i+1); grouping Op(0…5); measures
    // Op1(0…6), receivables or payables Op1(7…8); product and salesman boxes
    // COB(0…2).
    QMap<int, QDateEdit *> DTP;
    QMap<int, QRadioButton *> Op;
    QMap<int, QRadioButton *> Op1;
    QMap<int, QComboBox *> COB;
    // Filter bars of the sales (0) and purchase (1) lists: dates SDTP(0…3),
    // condition boxes CB(0…5) and CB(21…26), condition panels CPic(0…1),
    // keyword boxes SKey(0…1).
    QMap<int, QDateEdit *> SDTP;
    QMap<int, QComboBox *> CB;
    QMap<int, QFrame *> CPic;
    QMap<int, QLineEdit *> SKey;
    // The 合计 lines under the sales (0) and purchase (1) lists and under
    // the analysis grids.
    QMap<int, grid::TotalsLine *> ListTotals;
    QMap<int, grid::TotalsLine *> AnalysisTotals;
    // Command buttons by index (20 × record tab + position).
    QMap<int, QPushButton *> Com;

    // Menus.
    QAction *mLogin = nullptr;
    QAction *mLogout = nullptr;
    QAction *mExit = nullptr;
    QMap<int, QAction *> mAcc;
    QAction *mCompact = nullptr;
    QAction *mDataAdjust = nullptr;
    QMap<int, QAction *> mReplace;
    // 打印销售单 (0) and 打印采购单 (1) of the 记录 menu.
    QMap<int, QAction *> mNote;
    QAction *mModiPSD = nullptr;
    QAction *mAccSet = nullptr;
    QAction *mAbout = nullptr;

    // The window seam for dialogs and lists.
    void SelectAccountSet(int index, bool relayout) override;
    void UpdateMainCaption() override;
    void ApplyRights() override;
    void SaveSettings() override;
    void ReloadCurrentList() override;
    int currentRecordTab() const override;
    void ClearRecordGrids() override;
    void ClearAnalysisGrids() override;
    void ShowCurrentRecordTab() override;
    void ShowCurrentAnalysisTab() override;

    // Restores the splitter bars and date pickers of the current set.
    void LoadSettings();

    // Handlers.
    void SST_Click(int previousTab);
    void SST1_Click(int previousTab);
    void MSF_DblClick(int index);
    void Com_Click(int index);
    // A choice in a field box of a filter bar (CB 0, 3, 21, 24).
    void CB_Click(int index);
    void mLogin_Click();
    void mLogout_Click();
    void mModiPSD_Click();
    void mExit_Click();
    // Lays the controls out for the window's present size.
    void Form_Resize();
    // Exit: saves the settings and drops the scratch tables.
    void Form_Unload();

    // The filter bar and the date range of the sales (0) or purchase (1) list.
    records::FilterBar filterBar(int tab) const;
    QDate listStart(int tab) const;
    QDate listEnd(int tab) const;
    // The grid of the visible record tab (none on the analysis tab).
    grid::Grid *currentGrid() const;
    // True while keyword box i still shows its grey placeholder.
    bool keywordIsPlaceholder(int box) const;
    // Splitter bar position of analysis tab i in twips from its frame's left.
    int splitterLeft(int tab) const;
    void setSplitterLeft(int tab, int twips);
    // The layout computed last (twips).
    const MainLayout &layoutTwips() const { return m_layout; }

    // Closes the program as 退出 does, asking nothing: used when the session
    // ends (SIGTERM, SIGHUP). Settings are saved, scratch tables dropped and
    // every set let go; dialogs still open go with the program.
    void ExitWithoutQuestions();

    // What ending the program does after Form_Unload (quits the event loop
    // unless replaced, e.g. by tests).
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildMenus();
    void buildRecordTabs();
    void buildListFrame(int tab);
    void buildFilterBar(int tab, QWidget *row, QLayout *rowLayout);
    void buildAnalysisTabs(QFrame *host);
    QPushButton *addCommand(int index, QWidget *parent);
    // Runs the registered action of a menu item or command by name.
    void runMenuAction(const QString &name);
    // Says that a command's work is not part of the program.
    void tellNotProvided();
    void showAbout();
    void showGridMenu(int tab, const QPoint &globalPos);
    void showPictureMenu(int tab, const QPoint &globalPos);
    // The pop-up menu of the sales and purchase lists: the delivery note.
    void showListMenu(int tab, const QPoint &globalPos);
    void showFrames(const QMap<int, QFrame *> &frames, int visible);
    // Places the list grid of a record tab below its condition panel while
    // that shows.
    void placeListGrid(int tab);
    // 条件▼ reads 条件▼* while a condition is set and its panel is hidden.
    void showConditionState(int tab);
    static int filterBase(int tab) { return tab == 0 ? 0 : 21; }
    // A list command by key: a button position of the current list, or one
    // of the three below.
    static constexpr int kFindKey = -1;
    static constexpr int kRefreshKey = -2;
    // 收款… or 付款…, on the customer or vendor list only.
    static constexpr int kSettleKey = -3;
    void runListKey(int position);
    // The status bar names the newest automatic backup of the open set.
    void showLastAutoBackup();
    QLabel *m_backupNote = nullptr;
    // "有 N 种产品库存不足" for a logged-in user while products are at or
    // below their floor; a click lists them.
    void showLowStock();
    QToolButton *m_lowStockNote = nullptr;

    QWidget *m_central = nullptr;
    MainLayout m_layout;
    SplitterPositions m_splitLeft{{-1, -1, -1, -1, -1}};
    bool m_loaded = false;
    bool m_unloaded = false;
    std::function<void()> m_quit;
};

} // namespace app
