#include "accountsetchooser.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "store/accountsets.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/dialogkeys.h"
#include "ui/shellhost.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

namespace {

const QString kTick = QStringLiteral("√");
constexpr qint64 kRed = 255;

int positionOfFile(const QString &fileName)
{
    for (int i = 0; i < store::AccountSets.size(); ++i) {
        if (store::AccountSets.at(i).FileName == fileName)
            return i;
    }
    return -1;
}

} // namespace

AccountSetChooser::AccountSetChooser(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kAccountSetChooserCaption);
    resize(640, 320);

    auto *layout = new QVBoxLayout(this);
    MSF = new grid::Grid(this);
    MSF->resize(620, 260);
    layout->addWidget(MSF, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const QStringList captions
            = {QStringLiteral("选    择"), QStringLiteral("退    出"), QStringLiteral("删    除")};
    for (const QString &caption : captions) {
        auto *button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        Com.append(button);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    connect(Com[0], &QPushButton::clicked, this, &AccountSetChooser::choose);
    connect(Com[1], &QPushButton::clicked, this, &AccountSetChooser::quit);
    ui::prepareDialog(this, Com[0], Com[1]);
    connect(Com[2], &QPushButton::clicked, this, &AccountSetChooser::deleteChosen);
    connect(MSF, &grid::Grid::mouseUp, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
                if (button == Qt::LeftButton)
                    grid::ToggleTickColumn(*MSF, TickColumn, x, y, false);
            });

    // A choice left over from an earlier chooser (or the printer chooser,
    // which shares the text) must not count when this one is closed through
    // its frame.
    store::PendingAccountChoice.clear();
    fill();
}

void AccountSetChooser::fill()
{
    const QStringList columns = {QStringLiteral("ID"),           QStringLiteral("序号"),
                                 QStringLiteral("选择"),         QStringLiteral("套账名称"),
                                 QStringLiteral("最近访问时间"), QStringLiteral("数据库文件名")};
    grid::SetupGridColumns(*MSF, columns, columns);
    {
        grid::GridBatch batch(*MSF);
        const int first = MSF->fixedRows();
        MSF->setRows(first + store::AccountSets.size());
        for (int i = 0; i < store::AccountSets.size(); ++i) {
            const store::AccountSet &entry = store::AccountSets.at(i);
            const int row = first + i;
            MSF->setTextMatrix(row, NumberColumn, QString::number(i + 1));
            MSF->setTextMatrix(row, NameColumn, store::accountSetDisplayName(entry));
            MSF->setTextMatrix(row, LastAccessColumn, store::dateTimeText(entry.LastAccess));
            MSF->setTextMatrix(row, FileColumn, entry.FileName);
        }
    }
    grid::FitGridColumns(*MSF, grid::kTitleRow);
    MSF->setColAlignment(TickColumn, grid::kAlignCenterCenter);
    const int current = store::CurrentAccountIndex;
    if (current >= 0 && current < store::AccountSets.size()) {
        const int row = MSF->fixedRows() + current;
        grid::PaintGridRow(*MSF, row, kRed);
        MSF->setTextMatrix(row, TickColumn, kTick);
    }
}

int AccountSetChooser::takeChoice()
{
    store::PendingAccountChoice.clear();
    for (int row = MSF->fixedRows(); row < MSF->rows(); ++row) {
        if (MSF->textMatrix(row, TickColumn).isEmpty())
            continue;
        // The grid may have been sorted by a title click, so the row's place
        // in the list is found by its file, and handed on as the row number
        // the set has in list order.
        const int position = positionOfFile(MSF->textMatrix(row, FileColumn));
        if (position >= 0)
            store::PendingAccountChoice = QString::number(position + MSF->fixedRows());
        return row;
    }
    return -1;
}

void AccountSetChooser::choose()
{
    const int row = takeChoice();
    // A set whose file does not open cannot be chosen; it can be deleted.
    const int position = row < 0 ? -1 : positionOfFile(MSF->textMatrix(row, FileColumn));
    if (position >= 0 && store::AccountSets.at(position).Damaged) {
        store::PendingAccountChoice.clear();
        store::prompts().message(store::kDamagedSetRefusal);
        return;
    }
    close();
}

void AccountSetChooser::quit()
{
    takeChoice();
    if (ui::ShellHost *host = ui::shellHost())
        host->SaveSettings();
    store::PendingAccountChoice.clear();
    close();
}

void AccountSetChooser::deleteChosen()
{
    const int row = takeChoice();
    if (row < 0) {
        store::prompts().message(QStringLiteral("请先选择要删除的套账！"));
        return;
    }
    const store::DeleteOutcome outcome = store::DeleteAccountSet(MSF->textMatrix(row, FileColumn),
                                                                 MSF->textMatrix(row, NameColumn));
    if (outcome != store::DeleteOutcome::Deleted && outcome != store::DeleteOutcome::WasMissing)
        return;
    // The ticked row is the one that goes, wherever the cursor is.
    MSF->removeRows(row, 1);
    grid::RenumberGrid(*MSF);
    // The ticked row is gone; its number now names another set.
    store::PendingAccountChoice.clear();
}

AccountSetChooser *ShowAccountSetChooser(QWidget *parent)
{
    auto *chooser = new AccountSetChooser(parent);
    chooser->show();
    return chooser;
}

} // namespace app
