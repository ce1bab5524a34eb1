#include "mergewindow.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "store/prompts.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <utility>

namespace records {

namespace {

// The texts as the product window shows them; the other targets replace
// 产品 by their own word.
const QString kCaption = QStringLiteral("产品合并替换");
const QString kMergedLabel = QStringLiteral("请选择被合并替换的产品：");
const QString kKeptLabel = QStringLiteral("请选择替换为产品：");
const QString kNote = QStringLiteral(
        "备注：此功能用于消除重复设置的产品记录，将被替换的记录用设定的某记录代替，删除冗余记录。"
        "例：产品A和产品B实际是同一个产品，将B选为被合并产品，A选为合并后的产品，则B产品将被删除，"
        "采购和销售信息替换为A产品。");

} // namespace

MergeWindow::MergeWindow(const MergeTarget &target, QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_target(target)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    resize(640, 480);

    auto *layout = new QGridLayout(this);
    for (int i = 0; i < 2; ++i) {
        Label.append(new QLabel(i == 0 ? kMergedLabel : kKeptLabel, this));
        layout->addWidget(Label[i], 0, i);
        auto *g = new grid::Grid(this);
        g->setMinimumSize(280, 260);
        MSF.append(g);
        layout->addWidget(g, 1, i);
        connect(g, &grid::Grid::mouseUp, this,
                [this, i](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
                    gridClicked(i, button, x, y);
                });
    }
    Label.append(new QLabel(kNote, this));
    Label[2]->setWordWrap(true);
    layout->addWidget(Label[2], 2, 0, 1, 2);
    layout->setRowStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    Com.append(new QPushButton(QStringLiteral("确    定"), this));
    Com.append(new QPushButton(QStringLiteral("取    消"), this));
    for (QPushButton *button : std::as_const(Com)) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons, 3, 0, 1, 2);
    connect(Com[0], &QPushButton::clicked, this, &MergeWindow::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);

    ReplaceDisp();
    LoadNameMSF(*MSF[0]);
    LoadNameMSF(*MSF[1]);
}

void MergeWindow::ReplaceDisp()
{
    setWindowTitle(adaptMergeText(kCaption, m_target.word));
    Label[0]->setText(adaptMergeText(kMergedLabel, m_target.word));
    Label[1]->setText(adaptMergeText(kKeptLabel, m_target.word));
    Label[2]->setText(adaptMergeText(kNote, m_target.word));
}

void MergeWindow::LoadNameMSF(grid::Grid &grid)
{
    grid::SetupGridColumns(grid,
                           {QStringLiteral("ID"), QString(), QString(), QStringLiteral("Name")},
                           {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("选择"),
                            QStringLiteral("名称")});
    grid.setTag(m_target.table);
    grid::LoadGrid(grid, QString(), QStringLiteral("Name"), true);
    grid.setColAlignment(kMergeTickColumn, grid::kAlignCenterCenter);
}

void MergeWindow::gridClicked(int index, Qt::MouseButton button, int x, int y)
{
    if (button != Qt::LeftButton)
        return;
    // Any number of records may be merged away, but only one can be kept.
    grid::ToggleTickColumn(*MSF[index], kMergeTickColumn, x, y, index == 0);
}

bool MergeWindow::ReplaceName()
{
    // The marked numbers are rows of the set the grids came from, and the
    // merge right was the opening user's.
    if (!m_session.checkBeforeSaving())
        return false;
    const QString word = m_target.word;
    const QVector<qint64> merged = markedIds(*MSF[0], kMergeTickColumn);
    if (merged.isEmpty()) {
        store::prompts().message(adaptMergeText(QStringLiteral("请选择被合并替换的产品！"), word));
        return false;
    }
    const QVector<qint64> kept = markedIds(*MSF[1], kMergeTickColumn);
    if (kept.isEmpty()) {
        store::prompts().message(adaptMergeText(QStringLiteral("请选择替换为产品！"), word));
        return false;
    }

    ui::ProgressStart(QStringLiteral("正在合并替换..."), merged.size());
    const MergeResult result = records::ReplaceName(m_target.table, merged, kept.first(), true);
    ui::ProgressClose();

    const QString keptBack = QStringLiteral("当前登录的员工不能被合并替换");
    switch (result.outcome) {
    case MergeResult::Outcome::Merged:
        if (ui::ShellHost *host = ui::shellHost())
            host->ReloadCurrentList();
        if (!result.keptBack.isEmpty())
            store::prompts().message(keptBack + QStringLiteral("，已保留。"));
        return true;
    case MergeResult::Outcome::NothingToMerge:
        store::prompts().message(
                result.keptBack.isEmpty() ? adaptMergeText(
                        QStringLiteral("被合并替换的产品不能与替换为的产品相同！"), word)
                                          : keptBack + QStringLiteral("！"));
        return false;
    case MergeResult::Outcome::KeptMissing:
        // The lists show what is in the table now, so a new choice can be made.
        store::prompts().message(
                adaptMergeText(QStringLiteral("替换为的产品已不存在，请重新选择！"), word));
        LoadNameMSF(*MSF[0]);
        LoadNameMSF(*MSF[1]);
        return false;
    case MergeResult::Outcome::Failed:
        break;
    }
    store::prompts().message(QStringLiteral("合并替换失败，数据没有改动！"));
    return false;
}

void MergeWindow::confirm()
{
    // The window stays open when nothing was merged, so the marks can be
    // corrected instead of chosen again.
    if (ReplaceName() || !m_session.isCurrent())
        close();
}

MergeWindow *ShowMergeWindow(int menuIndex, QWidget *parent)
{
    const MergeTarget *target = mergeTargetForMenu(menuIndex);
    if (!target)
        return nullptr;
    static QPointer<MergeWindow> open;
    if (open)
        open->close();
    open = new MergeWindow(*target, parent);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace records
