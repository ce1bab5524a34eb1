#include "mainwindow.h"

#include "chartpicture.h"
#include "commands.h"
#include "maintenancecommands.h"
#include "periodmenu.h"
#include "settings.h"
#include "splitbar.h"
#include "startup.h"
#include "tabcontrol.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "grid/gridtotals.h"
#include "records/logindialog.h"
#include "records/passworddialog.h"
#include "records/products.h"
#include "records/rights.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/formatting.h"
#include "store/maintenance.h"
#include "store/prompts.h"
#include "store/serverlinks.h"
#include "store/session.h"
#include "ui/combofinder.h"
#include "ui/helpers.h"
#include "ui/windowmemory.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace app {

namespace {

const QColor kPlaceholderColor(128, 128, 128);
const QString kKeywordPlaceholder = QStringLiteral("输入关键词");

int px(int twips)
{
    return ui::pixels(twips);
}

QRect toPixels(const QRect &twips)
{
    return QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height()));
}

// A grid before any list or analysis has filled it: the two header rows
// and the two fixed columns of the list layout, and no data.
grid::Grid *newEmptyGrid(QWidget *parent)
{
    auto *grid = new grid::Grid(parent);
    grid->setCols(2);
    grid->setRows(2);
    grid->setFixedRows(2);
    grid->setFixedCols(2);
    grid->setColWidth(0, 0);
    return grid;
}

QDateEdit *newDatePicker(QWidget *parent, const QDate &date)
{
    auto *picker = new QDateEdit(date, parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    // Room for the whole date beside the drop-down arrow.
    picker->setMinimumWidth(picker->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00"))
                            + 36);
    return picker;
}

// A condition box: a drop-down whose text is one of its items or, for the
// value boxes, typed. Field and operator boxes take no typing but keep
// their designed first text, which need not be one of the items.
QComboBox *newConditionBox(QWidget *parent, const QString &text, const QStringList &items,
                           bool typing, int widthPixels)
{
    auto *box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setEditText(text);
    box->lineEdit()->setReadOnly(!typing);
    box->setFixedWidth(widthPixels);
    return box;
}

struct Choice
{
    QString label;
    QString word;
};

// A field chooser: the entries read as their labels only, the first one
// chosen, each carrying its table or field name as data.
QComboBox *newChoiceBox(QWidget *parent, const QList<Choice> &choices, int widthPixels)
{
    QComboBox *box = newConditionBox(parent, QString(), {}, false, widthPixels);
    for (const Choice &choice : choices)
        box->addItem(choice.label, choice.word);
    box->setCurrentIndex(0);
    return box;
}

// The chosen field as the filter reads it: the label, a blank and the name.
QString choiceText(const QComboBox *box)
{
    const QString word = box->currentData().toString();
    return word.isEmpty() ? box->currentText() : box->currentText() + QLatin1Char(' ') + word;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_quit([] { QCoreApplication::quit(); })
{
    setObjectName(QStringLiteral("MF"));
    setWindowTitle(kDesignTitle);
    m_central = new QWidget(this);
    setCentralWidget(m_central);
    buildMenus();
    buildRecordTabs();
    // The designed size, larger where the screen allows, so that a whole
    // command row fits.
    QSize size(px(12000), px(8400));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.expandedTo(screen->availableSize() * 0.85)
                       .boundedTo(screen->availableSize())
                       .boundedTo(QSize(1280, 860));
    resize(size);
}

MainWindow::~MainWindow()
{
    if (ui::shellHost() == this)
        ui::setShellHost(nullptr);
}

// ---------------------------------------------------------------- building

void MainWindow::buildMenus()
{
    // Items whose work is registered in the commands registry carry their
    // control name as the property "command"; the others are the window's
    // own.
    auto addCommandItem = [this](QMenu *menu, const QString &caption, const QString &name) {
        QAction *item = menu->addAction(caption, this, [this, name] { runMenuAction(name); });
        item->setProperty("command", name);
        return item;
    };

    QMenu *system = menuBar()->addMenu(QStringLiteral("系统"));
    mLogin = system->addAction(QStringLiteral("登录"), this, &MainWindow::mLogin_Click);
    mLogout = system->addAction(QStringLiteral("注销"), this, &MainWindow::mLogout_Click);
    system->addSeparator();
    mExit = system->addAction(QStringLiteral("退出"), this, &MainWindow::mExit_Click);

    QMenu *sets = menuBar()->addMenu(QStringLiteral("套账操作"));
    const QStringList setItems
            = {QStringLiteral("选择套账"), QStringLiteral("新建套账"), QStringLiteral("删除套账"),
               QStringLiteral("清空数据"), QStringLiteral("备份套账"), QStringLiteral("导入套账")};
    for (int i = 0; i < setItems.size(); ++i) {
        if (i == 2 || i == 4)
            sets->addSeparator();
        mAcc[i] = addCommandItem(sets, setItems.at(i), QStringLiteral("mAcc%1").arg(i));
    }
    // Sets on a database server: linking one, and moving a whole set there
    // and back.
    sets->addSeparator();
    // The item made last (mAcc9) is listed second, beside linking one.
    const QStringList serverItems
            = {QStringLiteral("连接服务器套账…"), QStringLiteral("在服务器上新建套账…"),
               QStringLiteral("上传当前套账到服务器…"), QStringLiteral("下载为本地套账…")};
    const int serverIndexes[]
            = {kServerSetItems, kServerSetItems + 3, kServerSetItems + 1, kServerSetItems + 2};
    for (int i = 0; i < serverItems.size(); ++i) {
        const int index = serverIndexes[i];
        mAcc[index] = addCommandItem(sets, serverItems.at(i), QStringLiteral("mAcc%1").arg(index));
    }

    // The list commands by key, for the list shown; each runs only where
    // its button is enabled, so it needs the same right.
    QMenu *lists = menuBar()->addMenu(QStringLiteral("记录"));
    const struct
    {
        const char *caption;
        int position;
        QList<QKeySequence> keys;
    } listKeys[] = {
            {"添加记录", 1, {QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_N)}},
            {"修改记录", 2, {QKeySequence(Qt::Key_F2)}},
            {"删除记录", 3, {}},
            {"打印表格", 4, {QKeySequence(Qt::CTRL | Qt::Key_P)}},
            {"查找", kFindKey, {QKeySequence(Qt::CTRL | Qt::Key_F)}},
            {"刷新", kRefreshKey, {QKeySequence(Qt::Key_F5)}},
            {"收款/付款…", kSettleKey, {}},
    };
    for (const auto &key : listKeys) {
        const int position = key.position;
        QAction *item = lists->addAction(QString::fromUtf8(key.caption), this,
                                         [this, position] { runListKey(position); });
        item->setShortcuts(key.keys);
        item->setProperty("listKey", position);
        if (position == 3) {
            // Delete and Enter belong to the text boxes too: they act on the
            // list only while it has the focus (see buildListFrame), and the
            // menu only names them.
            item->setShortcut(QKeySequence(Qt::Key_Delete));
            item->setShortcutContext(Qt::WidgetShortcut);
        }
    }

    // Delivery notes of the selected sales or purchases, with the print
    // right of their list.
    lists->addSeparator();
    mNote[kSalesTab] = addCommandItem(lists, QStringLiteral("打印销售单"), kSaleNoteAction);
    mNote[kPurchaseTab] = addCommandItem(lists, QStringLiteral("打印采购单"), kPurchaseNoteAction);

    QMenu *tools = menuBar()->addMenu(QStringLiteral("工具"));
    mCompact
            = addCommandItem(tools, QStringLiteral("压缩及整理数据库"), QStringLiteral("mCompact"));
    mDataAdjust = addCommandItem(tools, QStringLiteral("数据整理"), QStringLiteral("mDataAdjust"));
    tools->addSeparator();
    const QStringList merges = {QStringLiteral("产品合并替换"), QStringLiteral("客户合并替换"),
                                QStringLiteral("供应商合并替换"), QStringLiteral("账号合并替换"),
                                QStringLiteral("销售员合并替换")};
    for (int i = 0; i < merges.size(); ++i)
        mReplace[i] = addCommandItem(tools, merges.at(i), QStringLiteral("mReplace%1").arg(i));

    QMenu *settings = menuBar()->addMenu(QStringLiteral("设置"));
    mModiPSD = settings->addAction(QStringLiteral("修改密码"), this, &MainWindow::mModiPSD_Click);
    mAccSet = addCommandItem(settings, QStringLiteral("套账信息"), QStringLiteral("mAccSet"));

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助"));
    mAbout = help->addAction(QStringLiteral("关于Korvo进销存"), this, &MainWindow::showAbout);
}

QPushButton *MainWindow::addCommand(int index, QWidget *parent)
{
    const CommandButton *definition = commandButton(index);
    auto *button = new QPushButton(definition ? definition->caption : QString(), parent);
    button->setProperty("rightTag", definition ? definition->right : QString());
    button->setFixedHeight(px(330));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QPushButton::clicked, this, [this, index] { Com_Click(index); });
    Com[index] = button;
    return button;
}

void MainWindow::buildRecordTabs()
{
    SST = new TabControl(recordTabCaptions(), m_central);
    for (int tab = 0; tab < kRecordTabCount; ++tab) {
        auto *frame = new QFrame(SST);
        frame->setProperty("rightTag", recordTabRight(tab));
        frame->hide();
        Frm[tab] = frame;
        if (tab == kAnalysisTab)
            buildAnalysisTabs(frame);
        else
            buildListFrame(tab);
    }
    connect(SST, &TabControl::tabClicked, this, &MainWindow::SST_Click);
}

void MainWindow::buildListFrame(int tab)
{
    QFrame *frame = Frm[tab];
    auto *row = new QWidget(frame);
    row->setObjectName(QStringLiteral("commandRow"));
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 1, 0, 1);
    rowLayout->setSpacing(2);
    for (int position = 1; position <= 6; ++position)
        rowLayout->addWidget(addCommand(20 * tab + position, row));
    if (tab == kProductTab)
        rowLayout->addWidget(addCommand(67, row));
    if (tab == kCustomerTab || tab == kVendorTab)
        rowLayout->addWidget(addCommand(20 * tab + kSettlePosition, row));
    if (tab == kSalesTab || tab == kPurchaseTab)
        buildFilterBar(tab, row, rowLayout);
    rowLayout->addStretch(1);

    grid::Grid *grid = newEmptyGrid(frame);
    MSF[tab] = grid;
    connect(grid, &grid::Grid::doubleClicked, this, [this, tab] { MSF_DblClick(tab); });
    const struct
    {
        QKeySequence key;
        int position;
    } gridKeys[] = {{QKeySequence(Qt::Key_Delete), 3},
                    {QKeySequence(Qt::Key_Return), 2},
                    {QKeySequence(Qt::Key_Enter), 2}};
    for (const auto &key : gridKeys) {
        auto *shortcut
                = new QShortcut(key.key, grid, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        const int position = key.position;
        connect(shortcut, &QShortcut::activated, this, [this, position] { runListKey(position); });
    }
    if (tab == kSalesTab || tab == kPurchaseTab) {
        connect(grid, &grid::Grid::rightClicked, this,
                [this, tab](const QPoint &pos) { showListMenu(tab, pos); });
        ListTotals[tab] = new grid::TotalsLine(
                grid, tab == kSalesTab ? QStringLiteral("未收金额") : QStringLiteral("未付金额"),
                frame);
    }
    connect(grid, &grid::Grid::mouseDown, this,
            [grid](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
                if (button == Qt::LeftButton)
                    grid::GridHeaderClick(*grid, x, y);
            });
}

void MainWindow::buildFilterBar(int tab, QWidget *row, QLayout *rowLayout)
{
    const int base = filterBase(tab);
    const QDate today = QDate::currentDate();
    QDateEdit *from = newDatePicker(row, QDate(today.year(), 1, 1));
    QDateEdit *to = newDatePicker(row, today);
    SDTP[2 * tab] = from;
    SDTP[2 * tab + 1] = to;
    rowLayout->addWidget(from);
    rowLayout->addWidget(new QLabel(QStringLiteral("至"), row));
    rowLayout->addWidget(to);
    rowLayout->addWidget(newPeriodButton(row, from, to));
    rowLayout->addWidget(addCommand(20 * tab + 7, row));
    rowLayout->addWidget(addCommand(20 * tab + 8, row));

    auto *keyword = new QLineEdit(kKeywordPlaceholder, row);
    QPalette grey = keyword->palette();
    grey.setColor(QPalette::Text, kPlaceholderColor);
    keyword->setPalette(grey);
    keyword->setFixedWidth(px(1800));
    keyword->installEventFilter(this);
    // Enter in the box is the same as pressing 搜索, when that is allowed.
    connect(keyword, &QLineEdit::returnPressed, this, [this, tab] {
        if (Com.value(20 * tab + 10)->isEnabled())
            Com_Click(20 * tab + 10);
    });
    SKey[tab] = keyword;
    rowLayout->addWidget(keyword);
    rowLayout->addWidget(addCommand(20 * tab + 10, row));

    // The condition panel lies over the top of the grid while it is shown.
    auto *panel = new QFrame(Frm[tab]);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    panel->hide();
    CPic[tab] = panel;
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(4, 3, 4, 3);
    panelLayout->setSpacing(3);

    // The field choices show their Chinese label; the table or field name
    // the filter needs rides along as the entry's data.
    const QList<Choice> textFields
            = {{QStringLiteral("产品"), QStringLiteral("Pro")},
               tab == kSalesTab ? Choice{QStringLiteral("客户"), QStringLiteral("Cus")}
                                : Choice{QStringLiteral("供应商"), QStringLiteral("Vendor")},
               {QStringLiteral("账号"), QStringLiteral("Acc")},
               {tab == kSalesTab ? QStringLiteral("销售员") : QStringLiteral("采购员"),
                QStringLiteral("Staff")},
               {QStringLiteral("备注"), QStringLiteral("Memo")}};
    CB[base] = newChoiceBox(panel, textFields, px(1700));
    CB[base + 1]
            = newConditionBox(panel, QStringLiteral("包含"),
                              {QStringLiteral("包含"), QStringLiteral("等于")}, false, px(900));
    CB[base + 2] = newConditionBox(panel, QString(), {}, true, px(2000));
    // Typing lists the names the text finds (by name, initials, or for
    // products a code kept in a named field); the typed text stays the
    // filter's value.
    new ui::ComboFinder(CB[base + 2], ui::ComboFinder::Entries::Name, true, [this, base] {
        return CB.value(base)->currentData().toString() == QLatin1String("Pro")
                       ? records::productCodes()
                       : QHash<qint64, QStringList>();
    });
    CB[base + 3] = newChoiceBox(panel,
                                {{QStringLiteral("售价"), QStringLiteral("Price")},
                                 {QStringLiteral("数量"), QStringLiteral("Num")},
                                 {QStringLiteral("应收"), QStringLiteral("Pay")},
                                 {QStringLiteral("已收"), QStringLiteral("Pay1")}},
                                px(1500));
    CB[base + 4] = newConditionBox(
            panel, QStringLiteral("等于"),
            {QStringLiteral("大于"), QStringLiteral("等于"), QStringLiteral("小于")}, false,
            px(900));
    CB[base + 5] = newConditionBox(panel, QString(), {}, true, px(1400));
    for (int i = base; i <= base + 5; ++i) {
        QComboBox *box = CB[i];
        box->lineEdit()->installEventFilter(this);
        box->lineEdit()->setProperty("cbIndex", i);
        connect(box, &QComboBox::activated, this, [this, i] { CB_Click(i); });
    }
    // Typed keys reach the number box through its drop-down, and text can
    // be pasted: the validator keeps it to digits and the point either way.
    CB[base + 5]->lineEdit()->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9.]*")), CB[base + 5]));
    for (int i : {base + 2, base + 5})
        connect(CB[i], &QComboBox::editTextChanged, this, [this, tab] { showConditionState(tab); });
    panelLayout->addWidget(CB[base]);
    panelLayout->addWidget(CB[base + 1]);
    panelLayout->addWidget(CB[base + 2]);
    panelLayout->addSpacing(8);
    panelLayout->addWidget(CB[base + 3]);
    panelLayout->addWidget(CB[base + 4]);
    panelLayout->addWidget(CB[base + 5]);
    panelLayout->addSpacing(8);
    panelLayout->addWidget(addCommand(20 * tab + 9, panel));
    panel->adjustSize();
}

void MainWindow::buildAnalysisTabs(QFrame *host)
{
    SST1 = new TabControl(analysisTabCaptions(), host);
    const QDate today = QDate::currentDate();
    auto *grouping = new QButtonGroup(this);
    QButtonGroup *measures[] = {new QButtonGroup(this), new QButtonGroup(this),
                                new QButtonGroup(this), nullptr, new QButtonGroup(this)};

    for (int tab = 0; tab < kAnalysisTabCount; ++tab) {
        auto *frame = new QFrame(SST1);
        frame->hide();
        Frm1[tab] = frame;

        // Controls above the grid: the period, the boxes and the command on
        // the first line, the options on the second.
        auto *controls = new QWidget(frame);
        controls->setObjectName(QStringLiteral("analysisControls"));
        auto *lines = new QVBoxLayout(controls);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(0);
        auto *first = new QHBoxLayout;
        auto *second = new QHBoxLayout;
        first->setSpacing(3);
        second->setSpacing(6);
        lines->addLayout(first);
        lines->addLayout(second);

        // Debts are counted from long ago, not from this year's start.
        DTP[2 * tab] = newDatePicker(controls, tab == kBalanceTab ? QDate(2000, 1, 1)
                                                                  : QDate(today.year(), 1, 1));
        DTP[2 * tab + 1] = newDatePicker(controls, today);
        first->addWidget(new QLabel(QStringLiteral("时间："), controls));
        first->addWidget(DTP[2 * tab]);
        first->addWidget(new QLabel(QStringLiteral("至"), controls));
        first->addWidget(DTP[2 * tab + 1]);
        first->addWidget(newPeriodButton(controls, DTP[2 * tab], DTP[2 * tab + 1]));

        auto addBox = [&](int index, const QString &label) {
            auto *box = new QComboBox(controls);
            box->setMinimumWidth(px(1800));
            COB[index] = box;
            first->addSpacing(6);
            first->addWidget(new QLabel(label, controls));
            first->addWidget(box);
        };
        if (tab == 0) {
            addBox(0, QStringLiteral("产品："));
            addBox(1, QStringLiteral("人员："));
        } else if (tab == 1) {
            addBox(2, QStringLiteral("产品："));
        }
        first->addSpacing(6);
        first->addWidget(addCommand(41 + tab, controls));
        first->addStretch(1);

        auto addOption = [&](QMap<int, QRadioButton *> &array, int index, const QString &caption,
                             QButtonGroup *group, bool checked) {
            auto *option = new QRadioButton(caption, controls);
            option->setChecked(checked);
            group->addButton(option);
            array[index] = option;
            second->addWidget(option);
        };
        if (tab == 0) {
            const QStringList groups
                    = {QStringLiteral("按年"), QStringLiteral("按月"),   QStringLiteral("按周"),
                       QStringLiteral("按日"), QStringLiteral("按产品"), QStringLiteral("按人员")};
            for (int i = 0; i < groups.size(); ++i)
                addOption(Op, i, groups.at(i), grouping, i == 1);
            second->addSpacing(16);
            addOption(Op1, 0, QStringLiteral("按金额"), measures[0], true);
            addOption(Op1, 1, QStringLiteral("按数量"), measures[0], false);
        } else if (tab == 1) {
            // The stock tab's choice does not change the analysis (stock is
            // counted in quantities); the customer tab has three measures.
            addOption(Op1, 2, QStringLiteral("按数量"), measures[1], true);
            addOption(Op1, 3, QStringLiteral("按金额"), measures[1], false);
        } else if (tab == 2) {
            addOption(Op1, 4, QStringLiteral("按金额"), measures[2], true);
            addOption(Op1, 5, QStringLiteral("按数量"), measures[2], false);
            addOption(Op1, 6, QStringLiteral("按均价"), measures[2], false);
        } else if (tab == kBalanceTab) {
            addOption(Op1, 7, QStringLiteral("客户应收"), measures[4], true);
            addOption(Op1, 8, QStringLiteral("供应商应付"), measures[4], false);
        }
        second->addStretch(1);

        grid::Grid *grid = newEmptyGrid(frame);
        MSF1[tab] = grid;
        AnalysisTotals[tab] = new grid::TotalsLine(grid, QString(), frame);
        connect(grid, &grid::Grid::rightClicked, this,
                [this, tab](const QPoint &pos) { showGridMenu(tab, pos); });

        auto *bar = new SplitBar(frame);
        SplitLine[tab] = bar;
        connect(bar, &SplitBar::dragged, this,
                [this, tab](int x) { setSplitterLeft(tab, ui::twips(x)); });

        auto *picture = new ChartPicture(frame);
        Pic[tab] = picture;
        connect(picture, &ChartPicture::contextMenuWanted, this,
                [this, tab](const QPoint &pos) { showPictureMenu(tab, pos); });
    }
    connect(SST1, &TabControl::tabClicked, this, &MainWindow::SST1_Click);
}

// ---------------------------------------------------------------- seam

void MainWindow::SelectAccountSet(int index, bool relayout)
{
    const QString leaving = store::CurrentAccountFile;
    if (!store::MakeAccountSetCurrent(index))
        return;
    if (leaving != store::CurrentAccountFile)
        BackupOnClose(leaving);
    if (!isVisible()) {
        // Maximised the first time, afterwards where the user left it.
        if (!restoreGeometry(ui::savedWindowGeometry()))
            showMaximized();
        else
            show();
    }
    showLastAutoBackup();
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    LoadSettings();
    if (relayout)
        Form_Resize();
    store::CurrentUserID = 0;
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    UpdateMainCaption();
    ApplyRights();
    records::ShowLoginDialog(this);
}

void MainWindow::UpdateMainCaption()
{
    const int index = store::CurrentAccountIndex;
    const QString name = index >= 0 && index < store::AccountSets.size()
                                 ? store::AccountSets.at(index).Name
                                 : QString();
    setWindowTitle(MainCaption(windowTitle(), name, store::CurrentUser));
}

void MainWindow::showLastAutoBackup()
{
    if (!m_backupNote) {
        m_backupNote = new QLabel(this);
        statusBar()->addWidget(m_backupNote);
    }
    const QString file = store::CurrentAccountFile;
    if (file.isEmpty() || !store::AutoBackupEnabled(file)) {
        m_backupNote->setText(file.isEmpty() ? QString() : QStringLiteral("自动备份已关闭"));
        return;
    }
    const QStringList backups = store::AutoBackupsOf(file);
    m_backupNote->setText(
            backups.isEmpty() ? QStringLiteral("关闭套账时自动备份到“%1”，尚无备份")
                                        .arg(QDir::toNativeSeparators(store::AutoBackupFolder()))
                              : QStringLiteral("上次自动备份：%1（%2）")
                                        .arg(QFileInfo(backups.last())
                                                     .lastModified()
                                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                             QDir::toNativeSeparators(backups.last())));
}

void MainWindow::showLowStock()
{
    if (!m_lowStockNote) {
        // A tool button, not a command button: it is a note to click on.
        m_lowStockNote = new QToolButton(this);
        m_lowStockNote->setAutoRaise(true);
        m_lowStockNote->setStyleSheet(QStringLiteral("color: #b00000;"));
        m_lowStockNote->setCursor(Qt::PointingHandCursor);
        statusBar()->addPermanentWidget(m_lowStockNote);
        connect(m_lowStockNote, &QToolButton::clicked, this, [] {
            const QVector<records::LowStock> low = records::lowStockProducts();
            store::prompts().message(low.isEmpty() ? QStringLiteral("没有库存不足的产品。")
                                                   : QStringLiteral("库存不足的产品：\n")
                                                             + records::lowStockListText(low));
        });
    }
    const int count = store::CurrentUser.isEmpty() || store::CurrentAccountFile.isEmpty()
                              ? 0
                              : int(records::lowStockProducts().size());
    m_lowStockNote->setText(QStringLiteral("有 %1 种产品库存不足").arg(count));
    m_lowStockNote->setVisible(count > 0);
}

void MainWindow::ApplyRights()
{
    showLowStock();
    const RightsPlan plan = planRights(store::CurrentUser, store::CurrentRights);
    SST->setEnabled(plan.recordTabsEnabled);
    for (auto it = Com.cbegin(); it != Com.cend(); ++it)
        it.value()->setEnabled(plan.buttons.value(it.key(), false));
    for (auto it = MSF.cbegin(); it != MSF.cend(); ++it) {
        const bool open = plan.grids.value(it.key(), false);
        it.value()->setEnabled(open);
        if (!open)
            it.value()->setRows(it.value()->fixedRows());
    }
    for (QAction *item : std::as_const(mReplace))
        item->setEnabled(plan.adminMenus);
    for (int i = 2; i <= 5; ++i)
        mAcc[i]->setEnabled(plan.adminMenus);
    // Only a file set can go to a server, only a server set come back.
    const bool onServer = store::isServerLink(store::CurrentAccountFile);
    mAcc[kServerSetItems + 1]->setEnabled(plan.adminMenus && !onServer);
    mAcc[kServerSetItems + 2]->setEnabled(plan.adminMenus && onServer);
    for (auto it = mNote.cbegin(); it != mNote.cend(); ++it)
        it.value()->setEnabled(plan.buttons.value(20 * it.key() + 4, false)
                               && plan.grids.value(it.key(), false));
    // Compaction and tidying rewrite or delete records of the whole set.
    mCompact->setEnabled(plan.adminMenus);
    mDataAdjust->setEnabled(plan.adminMenus);
}

void MainWindow::SaveSettings()
{
    if (store::CurrentAccountFile.isEmpty())
        return;
    WindowSettings settings;
    // The set keeps the bars and dates of the first four tabs; the balance
    // tab starts each run where it was made (its end day is today).
    for (int i = 0; i < int(settings.splitterLeft.size()); ++i)
        settings.splitterLeft[i] = splitterLeft(i);
    for (int i = 0; i < 8; ++i)
        settings.analysisDates[i] = DTP[i]->date();
    for (int i = 0; i < 4; ++i)
        settings.listDates[i] = SDTP[i]->date();
    app::SaveSettings(settings);
}

void MainWindow::LoadSettings()
{
    if (store::CurrentAccountFile.isEmpty())
        return;
    WindowSettings settings;
    for (int i = 0; i < int(settings.splitterLeft.size()); ++i)
        settings.splitterLeft[i] = m_splitLeft[i];
    for (int i = 0; i < 8; ++i)
        settings.analysisDates[i] = DTP[i]->date();
    for (int i = 0; i < 4; ++i)
        settings.listDates[i] = SDTP[i]->date();
    app::LoadSettings(settings);
    for (int i = 0; i < int(settings.splitterLeft.size()); ++i)
        m_splitLeft[i] = int(settings.splitterLeft[i]);
    for (int i = 0; i < 8; ++i)
        DTP[i]->setDate(settings.analysisDates[i]);
    for (int i = 0; i < 4; ++i)
        SDTP[i]->setDate(settings.listDates[i]);
    // The bars take their places; the grids and charts follow them.
    Form_Resize();
}

void MainWindow::ReloadCurrentList()
{
    SST_Click(0);
}

int MainWindow::currentRecordTab() const
{
    return SST->currentIndex();
}

void MainWindow::ClearRecordGrids()
{
    for (grid::Grid *grid : std::as_const(MSF))
        grid->setRows(grid->fixedRows());
}

void MainWindow::ClearAnalysisGrids()
{
    for (grid::Grid *grid : std::as_const(MSF1))
        grid->setRows(grid->fixedRows());
    for (ChartPicture *picture : std::as_const(Pic))
        picture->clear();
}

void MainWindow::ShowCurrentRecordTab()
{
    SST_Click(SST->currentIndex());
}

void MainWindow::ShowCurrentAnalysisTab()
{
    SST1_Click(SST1->currentIndex());
}

// ---------------------------------------------------------------- handlers

void MainWindow::Form_Load()
{
    LoadSettings();
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    // Each tab handler runs exactly once, whether or not the tab is already
    // the selected one.
    if (SST->currentIndex() == 0)
        SST_Click(0);
    else
        SST->setCurrentIndex(0);
    if (SST1->currentIndex() == 0)
        SST1_Click(0);
    else
        SST1->setCurrentIndex(0);
}

void MainWindow::showFrames(const QMap<int, QFrame *> &frames, int visible)
{
    for (auto it = frames.cbegin(); it != frames.cend(); ++it) {
        if (it.key() != visible)
            it.value()->hide();
    }
    if (QFrame *frame = frames.value(visible))
        frame->show();
}

void MainWindow::SST_Click(int)
{
    const int tab = SST->currentIndex();
    showFrames(Frm, tab);
    if (tab == kAnalysisTab) {
        SST1_Click(0);
        return;
    }
    grid::Grid *grid = MSF.value(tab);
    if (!grid)
        return;
    if (!records::HasRight(store::CurrentRights, recordTabRight(tab))) {
        grid->setRows(grid->fixedRows());
        return;
    }
    commands().loadList(tab, *this, *grid);
}

void MainWindow::SST1_Click(int)
{
    const int tab = SST1->currentIndex();
    showFrames(Frm1, tab);
    if (store::CurrentAccountFile.isEmpty())
        return;
    if (tab == 0) {
        ui::FillNameCombo(COB[0], QStringLiteral("Pro"));
        ui::FillNameCombo(COB[1], QStringLiteral("Staff"));
    } else if (tab == 1) {
        ui::FillNameCombo(COB[2], QStringLiteral("Pro"));
    }
}

void MainWindow::MSF_DblClick(int index)
{
    grid::Grid *grid = MSF.value(index);
    if (!grid || grid->dataRows() == 0 || grid->row() < grid->fixedRows())
        return;
    QPushButton *edit = Com.value(20 * index + 2);
    if (!edit || !edit->isEnabled())
        return;
    const int id = int(store::leadingNumber(grid->textMatrix(grid->row(), 0)));
    if (!commands().editRecord(index, this, id))
        tellNotProvided();
}

void MainWindow::Com_Click(int index)
{
    const int tab = index / 20;
    grid::Grid *grid = MSF.value(tab);
    const Commands &registry = commands();
    // Commands whose work is not part of the program yet say so.
    bool handled = true;
    switch (buttonRole(index)) {
    case ButtonRole::Add:
        handled = registry.editRecord(tab, this, 0);
        break;
    case ButtonRole::Edit:
        MSF_DblClick(tab);
        break;
    case ButtonRole::Delete:
        if (grid)
            handled = registry.deleteRecords(tab, *grid);
        break;
    case ButtonRole::Print:
        if (grid)
            handled = registry.printGrid(*grid);
        break;
    case ButtonRole::Export:
        if (grid)
            handled = registry.exportGrid(*grid);
        break;
    case ButtonRole::Import:
        if (grid)
            handled = registry.importGrid(*grid);
        break;
    case ButtonRole::Refresh:
        SST_Click(0);
        break;
    case ButtonRole::Condition:
        if (QFrame *panel = CPic.value(tab)) {
            panel->setVisible(panel->isHidden());
            placeListGrid(tab);
            showConditionState(tab);
        }
        break;
    case ButtonRole::Clear:
        CB[filterBase(tab) + 2]->setEditText(QString());
        CB[filterBase(tab) + 5]->setEditText(QString());
        break;
    case ButtonRole::Search:
        if (grid) {
            // While the box still shows its placeholder there is nothing to
            // look for.
            const QString keyword = keywordIsPlaceholder(tab) ? QString() : SKey[tab]->text();
            grid::SearchGrid(*grid, keyword);
        }
        break;
    case ButtonRole::Analysis:
        handled = registry.runAnalysis(*this, index % 20 - 1);
        break;
    case ButtonRole::Fields:
        runMenuAction(QStringLiteral("Com67"));
        break;
    case ButtonRole::Settle:
        runMenuAction(QStringLiteral("Com%1").arg(index));
        break;
    case ButtonRole::None:
        break;
    }
    if (!handled)
        tellNotProvided();
}

void MainWindow::runListKey(int position)
{
    const int tab = SST->currentIndex();
    QFrame *frame = Frm.value(tab);
    if (tab == kAnalysisTab || !frame || !frame->isVisible())
        return;
    if (position == kFindKey) {
        if (QLineEdit *keyword = SKey.value(tab)) {
            keyword->setFocus(Qt::ShortcutFocusReason);
            keyword->selectAll();
        }
        return;
    }
    if (position == kSettleKey) {
        if (tab != kCustomerTab && tab != kVendorTab) {
            store::prompts().message(
                    QStringLiteral("收款请在“客户设置”页、付款请在“供应商设置”页选中一行后使用。"));
            return;
        }
        position = kSettlePosition;
    }
    const bool listRefresh = tab == kSalesTab || tab == kPurchaseTab;
    if (position == kRefreshKey) {
        if (!listRefresh) {
            ReloadCurrentList();
            return;
        }
        position = 7;
    }
    const int index = 20 * tab + position;
    QPushButton *button = Com.value(index);
    if (button && button->isEnabled())
        Com_Click(index);
}

void MainWindow::CB_Click(int index)
{
    const int base = index < 21 ? 0 : 21;
    const int field = index - base;
    if (field == 0) {
        QComboBox *value = CB[base + 2];
        QComboBox *op = CB[base + 1];
        value->clear();
        value->setEditText(QString());
        // The entry's data names the master table, or Memo for the remark.
        const QString table = CB[base]->currentData().toString();
        if (table == QLatin1String("Memo")) {
            op->setEnabled(false);
            op->setCurrentIndex(0);
            op->setEditText(QStringLiteral("包含"));
        } else {
            op->setEnabled(true);
        }
        ui::FillNameCombo(value, table);
        if (auto *finder
            = value->findChild<ui::ComboFinder *>(QString(), Qt::FindDirectChildrenOnly))
            finder->refresh();
        value->setFocus();
    } else if (field == 3) {
        CB[base + 5]->setFocus();
    }
}

void MainWindow::mLogin_Click()
{
    if (store::CurrentAccountFile.isEmpty())
        return;
    records::ShowLoginDialog(this);
}

void MainWindow::mLogout_Click()
{
    store::CurrentUserID = 0;
    store::CurrentUser.clear();
    store::CurrentRights.clear();
    UpdateMainCaption();
    ApplyRights();
}

void MainWindow::mModiPSD_Click()
{
    if (store::CurrentUser.isEmpty()) {
        store::prompts().message(QStringLiteral("您尚未登录！"));
        return;
    }
    records::ShowPasswordDialog(this);
}

void MainWindow::mExit_Click()
{
    close();
}

void MainWindow::ExitWithoutQuestions()
{
    // The window may never have been shown (the first set not made yet):
    // the close event still runs, and Form_Unload does only what applies.
    close();
}

void MainWindow::runMenuAction(const QString &name)
{
    if (!commands().runAction(name, *this))
        tellNotProvided();
}

void MainWindow::tellNotProvided()
{
    store::prompts().message(kNotProvided);
}

void MainWindow::showAbout()
{
    auto *box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("关于Korvo进销存"));
    box->setIcon(QMessageBox::Information);
    box->setText(QStringLiteral("Korvo进销存 %1").arg(kVersionText));
    box->setInformativeText(
            QStringLiteral("版本：%1\n小型商贸企业的进货、销售和库存管理。").arg(kVersionText));
    box->setModal(false);
    box->show();
}

void MainWindow::showGridMenu(int tab, const QPoint &globalPos)
{
    auto *menu = new QMenu(QStringLiteral("表格"), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("导出表格"), this, [this, tab] {
        grid::Grid *grid = MSF1.value(tab);
        if (grid && !commands().exportGrid(*grid))
            tellNotProvided();
    });
    menu->popup(globalPos);
}

void MainWindow::showPictureMenu(int tab, const QPoint &globalPos)
{
    auto *menu = new QMenu(QStringLiteral("图片"), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("保存图片"), this, [this, tab] {
        ChartPicture *picture = Pic.value(tab);
        if (picture && !commands().savePicture(*picture))
            tellNotProvided();
    });
    menu->popup(globalPos);
}

void MainWindow::showListMenu(int tab, const QPoint &globalPos)
{
    QAction *note = mNote.value(tab);
    if (!note)
        return;
    auto *menu = new QMenu(QStringLiteral("列表"), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *item = menu->addAction(note->text(), note, &QAction::trigger);
    item->setEnabled(note->isEnabled());
    menu->popup(globalPos);
}

// ---------------------------------------------------------------- layout

records::FilterBar MainWindow::filterBar(int tab) const
{
    const int base = filterBase(tab);
    records::FilterBar bar;
    bar.textField = choiceText(CB.value(base));
    bar.textOperator = CB.value(base + 1)->currentText();
    bar.textValue = CB.value(base + 2)->currentText();
    bar.numberField = choiceText(CB.value(base + 3));
    bar.numberOperator = CB.value(base + 4)->currentText();
    bar.numberValue = CB.value(base + 5)->currentText();
    return bar;
}

QDate MainWindow::listStart(int tab) const
{
    return SDTP.value(2 * tab)->date();
}

QDate MainWindow::listEnd(int tab) const
{
    return SDTP.value(2 * tab + 1)->date();
}

grid::Grid *MainWindow::currentGrid() const
{
    return MSF.value(SST->currentIndex());
}

bool MainWindow::keywordIsPlaceholder(int box) const
{
    const QLineEdit *keyword = SKey.value(box);
    return keyword && keyword->palette().color(QPalette::Text) != QColor(Qt::black);
}

int MainWindow::splitterLeft(int tab) const
{
    if (m_layout.frm1.width() > 0)
        return m_layout.splitLine[tab].x();
    return m_splitLeft[tab];
}

void MainWindow::setSplitterLeft(int tab, int twips)
{
    twips = std::max(0, twips);
    m_splitLeft[tab]
            = m_layout.frm1.width() > 0 ? boundSplitterLeft(twips, m_layout.frm1.width()) : twips;
    Form_Resize();
}

void MainWindow::Form_Resize()
{
    // The status bar takes its line off the bottom of the window.
    const QSize outer = frameGeometry().size() - QSize(0, statusBar()->sizeHint().height());
    m_layout = computeMainLayout(ui::twips(outer.width()), ui::twips(outer.height()), m_splitLeft);
    for (int i = 0; i < kAnalysisTabCount; ++i)
        m_splitLeft[i] = m_layout.splitLine[i].x();

    SST->setGeometry(toPixels(m_layout.sst));
    const QRect frame = toPixels(m_layout.frm);
    for (auto it = Frm.cbegin(); it != Frm.cend(); ++it) {
        QFrame *f = it.value();
        f->setGeometry(frame);
        if (QWidget *row
            = f->findChild<QWidget *>(QStringLiteral("commandRow"), Qt::FindDirectChildrenOnly))
            row->setGeometry(0, 0, frame.width(), px(360));
        if (QFrame *panel = CPic.value(it.key())) {
            panel->adjustSize();
            panel->move(0, px(360));
        }
        placeListGrid(it.key());
    }
    SST1->setGeometry(toPixels(m_layout.sst1));
    const QRect analysisFrame = toPixels(m_layout.frm1);
    for (int i = 0; i < kAnalysisTabCount; ++i) {
        QFrame *f = Frm1[i];
        f->setGeometry(analysisFrame);
        if (QWidget *controls = f->findChild<QWidget *>(QStringLiteral("analysisControls"),
                                                        Qt::FindDirectChildrenOnly))
            controls->setGeometry(0, 0, analysisFrame.width(), px(600));
        // The 合计 line takes the bottom of the grid's place.
        const QRect place = toPixels(m_layout.msf1[i]);
        const int line = std::min(AnalysisTotals[i]->sizeHint().height(), place.height() / 2);
        MSF1[i]->setGeometry(place.adjusted(0, 0, 0, -line));
        AnalysisTotals[i]->setGeometry(place.left(), place.bottom() + 1 - line, place.width(),
                                       line);
        SplitLine[i]->setGeometry(toPixels(m_layout.splitLine[i]));
        Pic[i]->setGeometry(toPixels(m_layout.pic[i]));
    }
}

void MainWindow::placeListGrid(int tab)
{
    grid::Grid *grid = MSF.value(tab);
    if (!grid)
        return;
    // While the condition panel shows, the list starts below it instead of
    // lying under it.
    QRect place = toPixels(m_layout.msf);
    const QFrame *panel = CPic.value(tab);
    if (panel && !panel->isHidden())
        place.setTop(std::min(place.bottom(), place.top() + panel->height()));
    // The 合计 line takes the bottom of the list's place.
    if (grid::TotalsLine *totals = ListTotals.value(tab)) {
        const int line = std::min(totals->sizeHint().height(), place.height() / 2);
        totals->setGeometry(place.left(), place.bottom() + 1 - line, place.width(), line);
        place.setBottom(place.bottom() - line);
    }
    grid->setGeometry(place);
}

void MainWindow::showConditionState(int tab)
{
    QPushButton *button = Com.value(20 * tab + 8);
    const QFrame *panel = CPic.value(tab);
    if (!button || !panel)
        return;
    const int base = filterBase(tab);
    const bool inForce = !CB.value(base + 2)->currentText().isEmpty()
                         || !CB.value(base + 5)->currentText().isEmpty();
    const bool marked = inForce && panel->isHidden();
    button->setText(marked ? QStringLiteral("条件▼*") : QStringLiteral("条件▼"));
    button->setToolTip(marked ? QStringLiteral("列表按所设条件筛选") : QString());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// ---------------------------------------------------------------- exit

void MainWindow::Form_Unload()
{
    if (store::CurrentAccountFile.isEmpty())
        return;
    SaveSettings();
    ui::saveWindowGeometry(saveGeometry());
    store::DropTablesByPrefix(QStringLiteral("T_"));
    BackupOnClose(store::CurrentAccountFile);
    // Every set is let go: logs folded back, files complete by themselves.
    store::Registry::closeAll();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
    if (m_quit)
        m_quit();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        for (int i : SKey.keys()) {
            QLineEdit *keyword = SKey[i];
            if (watched == keyword && keywordIsPlaceholder(i)) {
                keyword->clear();
                QPalette black = keyword->palette();
                black.setColor(QPalette::Text, Qt::black);
                keyword->setPalette(black);
            }
        }
    }
    const QVariant cbIndex = watched->property("cbIndex");
    if (cbIndex.isValid()) {
        const int index = cbIndex.toInt();
        const int field = index < 21 ? index : index - 21;
        QComboBox *box = CB.value(index);
        // The field and operator boxes open their list on a click anywhere.
        if (event->type() == QEvent::MouseButtonPress && box && field != 2 && field != 5
            && box->isEnabled()) {
            box->showPopup();
            return true;
        }
        // The number value box takes digits, the point and backspace only.
        if (event->type() == QEvent::KeyPress && field == 5) {
            const QString text = static_cast<QKeyEvent *>(event)->text();
            if (text.size() == 1 && (text.at(0).unicode() >= 32 || text.at(0).unicode() == 8)
                && store::KeyNumericOnly(text.at(0).unicode()) == 0)
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace app
