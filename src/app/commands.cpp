#include "commands.h"

#include "records/rights.h"

namespace app {

namespace {

// The rights area of each record tab; the analysis tab has none.
QString tabArea(int tab)
{
    static const QStringList areas
            = {QStringLiteral("销售数据"), QStringLiteral("采购数据"), QString(),
               QStringLiteral("产品数据"), QStringLiteral("客户数据"), QStringLiteral("供应商数据"),
               QStringLiteral("账号数据"), QStringLiteral("员工数据")};
    return tab >= 0 && tab < areas.size() ? areas.at(tab) : QString();
}

QVector<CommandButton> buildCommandButtons()
{
    // Positions 1 to 6 are the same on every list; the rights are the tab's
    // area followed by the action.
    const QStringList listCaptions
            = {QStringLiteral("添加记录"), QStringLiteral("修改记录"), QStringLiteral("删除记录"),
               QStringLiteral("打印表格"), QStringLiteral("导出记录"), QStringLiteral("导入记录")};
    const QStringList listActions
            = {QStringLiteral("添加"), QStringLiteral("修改"), QStringLiteral("删除"),
               QStringLiteral("打印"), QStringLiteral("导出"), QStringLiteral("导入")};
    const QStringList filterCaptions = {QStringLiteral("刷新"), QStringLiteral("条件▼"),
                                        QStringLiteral("清除"), QStringLiteral("搜索")};

    QVector<CommandButton> buttons;
    for (int tab = 0; tab < kRecordTabCount; ++tab) {
        if (tab == kAnalysisTab) {
            // 往来分析 asks for the view right of the side chosen when it runs.
            const QStringList analyses = {QStringLiteral("销量分析"), QStringLiteral("库存分析"),
                                          QStringLiteral("客户分析"), QStringLiteral("利润分析"),
                                          QStringLiteral("往来分析")};
            for (int i = 0; i < analyses.size(); ++i)
                buttons.append({20 * tab + 1 + i, analyses.at(i), QString()});
            continue;
        }
        const QString area = tabArea(tab);
        for (int p = 0; p < listCaptions.size(); ++p)
            buttons.append({20 * tab + 1 + p, listCaptions.at(p), area + listActions.at(p)});
        if (tab == kSalesTab || tab == kPurchaseTab) {
            for (int p = 0; p < filterCaptions.size(); ++p)
                buttons.append(
                        {20 * tab + 7 + p, filterCaptions.at(p), area + QStringLiteral("查看")});
        }
        if (tab == kProductTab)
            buttons.append({67, QStringLiteral("增删字段"), records::kAllRights});
        // Receipts change 已收金额 of sales as the sale dialog does, and need
        // the same right; payments likewise for purchases.
        if (tab == kCustomerTab)
            buttons.append({20 * tab + kSettlePosition, QStringLiteral("收款…"),
                            QStringLiteral("销售数据修改")});
        if (tab == kVendorTab)
            buttons.append({20 * tab + kSettlePosition, QStringLiteral("付款…"),
                            QStringLiteral("采购数据修改")});
    }
    return buttons;
}

} // namespace

const QVector<CommandButton> &commandButtons()
{
    static const QVector<CommandButton> buttons = buildCommandButtons();
    return buttons;
}

const CommandButton *commandButton(int index)
{
    for (const CommandButton &button : commandButtons()) {
        if (button.index == index)
            return &button;
    }
    return nullptr;
}

const QStringList &recordTabCaptions()
{
    static const QStringList captions
            = {QStringLiteral("销售记录"),     QStringLiteral("采购记录"),
               QStringLiteral("数据分析"),     QStringLiteral("产品设置"),
               QStringLiteral("客户设置"),     QStringLiteral("供应商设置"),
               QStringLiteral("资金账号设置"), QStringLiteral("员工设置")};
    return captions;
}

const QStringList &analysisTabCaptions()
{
    static const QStringList captions
            = {QStringLiteral("销售分析"), QStringLiteral("库存分析"), QStringLiteral("客户分析"),
               QStringLiteral("利润分析"), QStringLiteral("往来分析")};
    return captions;
}

QString recordTabRight(int tab)
{
    const QString area = tabArea(tab);
    return area.isEmpty() ? QString() : area + QStringLiteral("查看");
}

RightsPlan planRights(const QString &user, const QString &rights)
{
    RightsPlan plan;
    plan.recordTabsEnabled = !user.isEmpty();
    for (const CommandButton &button : commandButtons())
        plan.buttons.insert(button.index, records::HasRight(rights, button.right));
    plan.grids.resize(kRecordTabCount);
    for (int tab = 0; tab < kRecordTabCount; ++tab) {
        const QString right = recordTabRight(tab);
        // A list without a view right is open to everyone logged in.
        plan.grids[tab]
                = plan.recordTabsEnabled && (right.isEmpty() || records::HasRight(rights, right));
    }
    plan.adminMenus = rights.contains(records::kAllRights);
    return plan;
}

ButtonRole buttonRole(int index)
{
    const int tab = index / 20;
    const int position = index % 20;
    if (tab == kAnalysisTab)
        return position >= 1 && position <= kAnalysisTabCount ? ButtonRole::Analysis
                                                              : ButtonRole::None;
    if (index == 67)
        return ButtonRole::Fields;
    if (index == 20 * kCustomerTab + kSettlePosition || index == 20 * kVendorTab + kSettlePosition)
        return ButtonRole::Settle;
    if (tab < 0 || tab >= kRecordTabCount)
        return ButtonRole::None;
    static const ButtonRole roles[]
            = {ButtonRole::Add,    ButtonRole::Edit,   ButtonRole::Delete,  ButtonRole::Print,
               ButtonRole::Export, ButtonRole::Import, ButtonRole::Refresh, ButtonRole::Condition,
               ButtonRole::Clear,  ButtonRole::Search};
    const int last = (tab == kSalesTab || tab == kPurchaseTab) ? 10 : 6;
    if (position < 1 || position > last)
        return ButtonRole::None;
    return roles[position - 1];
}

void Commands::setListLoader(int tab, ListLoader loader)
{
    m_loaders.insert(tab, std::move(loader));
}

void Commands::setRecordEditor(int tab, RecordEditor editor)
{
    m_editors.insert(tab, std::move(editor));
}

void Commands::setRecordDeleter(int tab, GridHandler handler)
{
    m_deleters.insert(tab, std::move(handler));
}

void Commands::setGridPrinter(GridHandler handler)
{
    m_printer = std::move(handler);
}

void Commands::setGridExporter(GridHandler handler)
{
    m_exporter = std::move(handler);
}

void Commands::setGridImporter(GridHandler handler)
{
    m_importer = std::move(handler);
}

void Commands::setAnalysis(int analysisTab, AnalysisHandler handler)
{
    m_analyses.insert(analysisTab, std::move(handler));
}

void Commands::setPictureSaver(PictureHandler handler)
{
    m_pictureSaver = std::move(handler);
}

void Commands::setAction(const QString &name, Action action)
{
    m_actions.insert(name, std::move(action));
}

bool Commands::loadList(int tab, MainWindow &window, grid::Grid &grid) const
{
    const ListLoader loader = m_loaders.value(tab);
    if (!loader)
        return false;
    loader(window, grid);
    return true;
}

bool Commands::editRecord(int tab, QWidget *parent, int id) const
{
    const RecordEditor editor = m_editors.value(tab);
    if (!editor)
        return false;
    editor(parent, id);
    return true;
}

bool Commands::deleteRecords(int tab, grid::Grid &grid) const
{
    const GridHandler handler = m_deleters.value(tab);
    if (!handler)
        return false;
    handler(grid);
    return true;
}

bool Commands::printGrid(grid::Grid &grid) const
{
    if (!m_printer)
        return false;
    m_printer(grid);
    return true;
}

bool Commands::exportGrid(grid::Grid &grid) const
{
    if (!m_exporter)
        return false;
    m_exporter(grid);
    return true;
}

bool Commands::importGrid(grid::Grid &grid) const
{
    if (!m_importer)
        return false;
    m_importer(grid);
    return true;
}

bool Commands::runAnalysis(MainWindow &window, int analysisTab) const
{
    const AnalysisHandler handler = m_analyses.value(analysisTab);
    if (!handler)
        return false;
    handler(window, analysisTab);
    return true;
}

bool Commands::savePicture(ChartPicture &picture) const
{
    if (!m_pictureSaver)
        return false;
    m_pictureSaver(picture);
    return true;
}

bool Commands::runAction(const QString &name, MainWindow &window) const
{
    const Action action = m_actions.value(name);
    if (!action)
        return false;
    action(window);
    return true;
}

bool Commands::handlesButton(int index) const
{
    const int tab = index / 20;
    switch (buttonRole(index)) {
    case ButtonRole::Add:
    case ButtonRole::Edit:
        return bool(m_editors.value(tab));
    case ButtonRole::Delete:
        return bool(m_deleters.value(tab));
    case ButtonRole::Print:
        return bool(m_printer);
    case ButtonRole::Export:
        return bool(m_exporter);
    case ButtonRole::Import:
        return bool(m_importer);
    case ButtonRole::Refresh:
    case ButtonRole::Condition:
    case ButtonRole::Clear:
    case ButtonRole::Search:
        return true;
    case ButtonRole::Analysis:
        return bool(m_analyses.value(index % 20 - 1));
    case ButtonRole::Fields:
        return handlesAction(QStringLiteral("Com67"));
    case ButtonRole::Settle:
        return handlesAction(QStringLiteral("Com%1").arg(index));
    case ButtonRole::None:
        break;
    }
    return false;
}

bool Commands::handlesAction(const QString &name) const
{
    return bool(m_actions.value(name));
}

QStringList Commands::unregistered() const
{
    QStringList missing;
    for (int tab = 0; tab < kRecordTabCount; ++tab) {
        if (tab == kAnalysisTab)
            continue;
        const QString caption = recordTabCaptions().at(tab);
        if (!m_loaders.value(tab))
            missing << caption + QStringLiteral(":列表");
        if (!m_editors.value(tab))
            missing << caption + QStringLiteral(":编辑窗口");
        if (!m_deleters.value(tab))
            missing << caption + QStringLiteral(":删除");
    }
    if (!m_printer)
        missing << QStringLiteral("打印表格");
    if (!m_exporter)
        missing << QStringLiteral("导出记录");
    if (!m_importer)
        missing << QStringLiteral("导入记录");
    for (int i = 0; i < kAnalysisTabCount; ++i) {
        if (!m_analyses.value(i))
            missing << analysisTabCaptions().at(i);
    }
    if (!m_pictureSaver)
        missing << QStringLiteral("保存图片");
    for (const QString &name : actionNames()) {
        if (!m_actions.value(name))
            missing << name;
    }
    return missing;
}

void Commands::clear()
{
    *this = Commands();
}

Commands &commands()
{
    static Commands registry;
    return registry;
}

const QStringList &actionNames()
{
    static const QStringList names = {
            QStringLiteral("mAcc0"),     QStringLiteral("mAcc1"),       QStringLiteral("mAcc2"),
            QStringLiteral("mAcc3"),     QStringLiteral("mAcc4"),       QStringLiteral("mAcc5"),
            QStringLiteral("mAcc6"),     QStringLiteral("mAcc7"),       QStringLiteral("mAcc8"),
            QStringLiteral("mCompact"),  QStringLiteral("mDataAdjust"), QStringLiteral("mReplace0"),
            QStringLiteral("mReplace1"), QStringLiteral("mReplace2"),   QStringLiteral("mReplace3"),
            QStringLiteral("mReplace4"), QStringLiteral("mAccSet"),     kSaleNoteAction,
            kPurchaseNoteAction,         QStringLiteral("Com67"),       QStringLiteral("Com87"),
            QStringLiteral("Com107")};
    return names;
}

} // namespace app
