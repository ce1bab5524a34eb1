#include "sheetdialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace transfer {

namespace {

constexpr int kChoiceColumn = 1;
constexpr int kNameColumn = 2;
const QString kTick = QStringLiteral("√");

QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

SheetDialog::SheetDialog(const QStringList &names, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("选择要导入数据所在的工作表"));
    m_grid = new QTableWidget(int(names.size()), 3, this);
    m_grid->setObjectName(QStringLiteral("SHL"));
    m_grid->setHorizontalHeaderLabels(
            {QStringLiteral("No."), QStringLiteral("选择"), QStringLiteral("工作表名称")});
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < names.size(); ++r) {
        m_grid->setItem(r, 0, readOnlyItem(QString::number(r + 1)));
        m_grid->setItem(r, kChoiceColumn, readOnlyItem(QString()));
        m_grid->item(r, kChoiceColumn)->setTextAlignment(Qt::AlignCenter);
        m_grid->setItem(r, kNameColumn, readOnlyItem(names.at(r)));
    }
    m_grid->resizeColumnsToContents();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    connect(m_grid, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (column == kChoiceColumn)
            ClickChoice(row);
    });

    m_confirm = new QPushButton(QStringLiteral("确定"), this);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(m_confirm, &QPushButton::clicked, this, [this] {
        m_chosen.clear();
        for (int r = 0; r < m_grid->rowCount(); ++r)
            if (m_grid->item(r, kChoiceColumn)->text() == kTick)
                m_chosen = m_grid->item(r, kNameColumn)->text();
        accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_chosen.clear();
        reject();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_confirm);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    resize(420, 300);
}

void SheetDialog::ClickChoice(int row)
{
    if (row < 0 || row >= m_grid->rowCount())
        return;
    const bool ticked = m_grid->item(row, kChoiceColumn)->text() == kTick;
    for (int r = 0; r < m_grid->rowCount(); ++r)
        m_grid->item(r, kChoiceColumn)->setText(QString());
    if (!ticked)
        m_grid->item(row, kChoiceColumn)->setText(kTick);
}

QString ChooseSheet(const QStringList &names, QWidget *parent)
{
    SheetDialog dialog(names, parent);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.chosenSheet();
}

} // namespace transfer
