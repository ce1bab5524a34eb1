#include "settlementdialog.h"

#include "masterdialog.h"
#include "masterrecords.h"
#include "trades.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/formatting.h"
#include "store/prompts.h"
#include "ui/dialogkeys.h"
#include "ui/helpers.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace records {

namespace {

QTableWidget *newTable(QWidget *parent, const QStringList &titles)
{
    auto *table = new QTableWidget(0, int(titles.size()), parent);
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void setCell(QTableWidget *table, int row, int col, const QString &text, bool number = false)
{
    auto *item = new QTableWidgetItem(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, col, item);
}

} // namespace

SettlementDialog::SettlementDialog(const SettlementKind &kind, qint64 partnerId,
                                   const QString &partnerName, QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_kind(kind)
    , m_partnerId(partnerId)
{
    setAttribute(Qt::WA_DeleteOnClose);
    const QString &action = kind.actionWord;
    setWindowTitle(action + QStringLiteral(" — ") + partnerName);
    const bool receipts = kind.table == QLatin1String("Rcv");
    const QString due = receipts ? QStringLiteral("应收金额") : QStringLiteral("应付金额");
    const QString paid = receipts ? QStringLiteral("已收金额") : QStringLiteral("已付金额");
    const QString rest = receipts ? QStringLiteral("未收金额") : QStringLiteral("未付金额");

    auto *layout = new QVBoxLayout(this);
    m_total = new QLabel(this);
    layout->addWidget(m_total);
    m_open = newTable(this, {QStringLiteral("单号"), QStringLiteral("日期"), due, paid, rest});
    layout->addWidget(m_open, 3);

    auto *boxes = new QGridLayout;
    m_amount = new QLineEdit(this);
    m_date = new QDateEdit(QDate::currentDate(), this);
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_account = new QComboBox(this);
    ui::FillNameCombo(m_account, QStringLiteral("Acc"));
    m_memo = newMasterBox(this);
    boxes->addWidget(new QLabel(action + QStringLiteral("金额："), this), 0, 0);
    boxes->addWidget(m_amount, 0, 1);
    boxes->addWidget(new QLabel(action + QStringLiteral("日期："), this), 0, 2);
    boxes->addWidget(m_date, 0, 3);
    boxes->addWidget(new QLabel(action + QStringLiteral("账号："), this), 1, 0);
    boxes->addWidget(m_account, 1, 1);
    boxes->addWidget(new QLabel(QStringLiteral("备注："), this), 1, 2);
    boxes->addWidget(m_memo, 1, 3);
    boxes->setColumnStretch(1, 1);
    boxes->setColumnStretch(3, 1);
    layout->addLayout(boxes);

    auto *buttons = new QHBoxLayout;
    m_ok = new QPushButton(QStringLiteral("确     定"), this);
    auto *close = new QPushButton(QStringLiteral("关     闭"), this);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    layout->addWidget(new QLabel(action + QStringLiteral("记录："), this));
    m_history = newTable(this, {QStringLiteral("日期"), action + QStringLiteral("金额"),
                                QStringLiteral("账号"), QStringLiteral("经手人"),
                                QStringLiteral("备注"), QStringLiteral("所结单据")});
    layout->addWidget(m_history, 2);
    auto *undoRow = new QHBoxLayout;
    m_undo = new QPushButton(QStringLiteral("撤销所选") + action, this);
    undoRow->addStretch();
    undoRow->addWidget(m_undo);
    layout->addLayout(undoRow);

    connect(m_ok, &QPushButton::clicked, this, &SettlementDialog::confirm);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_undo, &QPushButton::clicked, this, &SettlementDialog::undoChosen);
    ui::prepareDialog(this, m_ok, close);
    resize(ui::pixels(9600), ui::pixels(8400));
    reload();
}

void SettlementDialog::reload()
{
    const QVector<OpenTrade> open = openTrades(m_kind, m_partnerId);
    m_open->setRowCount(int(open.size()));
    for (int r = 0; r < open.size(); ++r) {
        const OpenTrade &trade = open.at(r);
        setCell(m_open, r, 0, orderNumberText(trade.id));
        setCell(m_open, r, 1, store::dateText(trade.date.date()));
        setCell(m_open, r, 2, centsText(toCents(trade.due)), true);
        setCell(m_open, r, 3, centsText(toCents(trade.paid)), true);
        setCell(m_open, r, 4, centsText(trade.open), true);
    }
    m_open->resizeColumnsToContents();
    m_total->setText(QStringLiteral("未结清的%1 %2 笔，欠款合计：%3")
                             .arg(m_kind.recordWord)
                             .arg(open.size())
                             .arg(centsText(totalOpen(open))));

    const QVector<StoredSettlement> history = settlementHistory(m_kind, m_partnerId);
    m_history->setRowCount(int(history.size()));
    for (int r = 0; r < history.size(); ++r) {
        const StoredSettlement &entry = history.at(r);
        setCell(m_history, r, 0, store::dateText(entry.date.date()));
        setCell(m_history, r, 1, centsText(entry.cents), true);
        setCell(m_history, r, 2, entry.account);
        setCell(m_history, r, 3, entry.staff);
        setCell(m_history, r, 4, entry.memo);
        setCell(m_history, r, 5, entry.lines);
        m_history->item(r, 0)->setData(Qt::UserRole, entry.id);
    }
    m_history->resizeColumnsToContents();
}

void SettlementDialog::confirm()
{
    // Opened under another set or login: its numbers mean nothing here.
    if (!m_session.checkBeforeSaving()) {
        close();
        return;
    }
    qint64 cents = 0;
    if (!parseAmount(m_amount->text(), cents)) {
        store::prompts().message(QStringLiteral("请输入正确的%1金额。").arg(m_kind.actionWord));
        m_amount->setFocus();
        return;
    }
    SettlementEntry entry;
    entry.partnerId = m_partnerId;
    entry.cents = cents;
    entry.date = m_date->date();
    entry.accountId = m_account->currentData().toLongLong();
    entry.staffId = store::CurrentUserID;
    entry.memo = m_memo->text();
    const SettlementResult result = settle(m_kind, entry);
    store::prompts().message(settlementMessage(m_kind, result));
    if (result.outcome == SettlementResult::Outcome::PartnerMissing) {
        close();
        return;
    }
    if (result.outcome != SettlementResult::Outcome::Done)
        return;
    m_amount->clear();
    m_memo->clear();
    reload();
}

void SettlementDialog::undoChosen()
{
    if (!m_session.checkBeforeSaving()) {
        close();
        return;
    }
    const int row = m_history->currentRow();
    if (row < 0 || !m_history->item(row, 0)) {
        store::prompts().message(
                QStringLiteral("请先在%1记录中选择要撤销的一笔。").arg(m_kind.actionWord));
        return;
    }
    const QString question = QStringLiteral("您确定要撤销 %1 的这笔%2（%3）？")
                                     .arg(m_history->item(row, 0)->text(), m_kind.actionWord,
                                          m_history->item(row, 1)->text());
    if (!store::prompts().question(question))
        return;
    QString message;
    if (!undoSettlement(m_kind, m_history->item(row, 0)->data(Qt::UserRole).toInt(), &message))
        store::prompts().message(message);
    reload();
}

SettlementDialog *showSettlementDialog(const SettlementKind &kind, const grid::Grid &grid,
                                       QWidget *parent)
{
    const QString &partner = kind.partnerWord;
    int first = 0;
    int last = 0;
    const bool selected = selectedDataRows(grid, first, last);
    if (selected && first != last) {
        store::prompts().message(
                QStringLiteral("请只选择一个%1再%2。").arg(partner, kind.actionWord));
        return nullptr;
    }
    const QVector<qint64> ids = selected ? rowIds(grid, first, first) : QVector<qint64>();
    const qint64 id = ids.isEmpty() ? 0 : ids.first();
    const QString where = QStringLiteral("ID=") + QString::number(id);
    if (id <= 0
        || store::LookupWhere(kind.trade->partnerTable, where, QStringLiteral("ID")).toLongLong()
                   != id) {
        store::prompts().message(QStringLiteral("请先选择一个%1。").arg(partner));
        return nullptr;
    }
    const QString name = store::LookupWhere(kind.trade->partnerTable, where, QStringLiteral("Name"))
                                 .toString();
    // One window at a time: a second 收款 closes the first.
    static QPointer<SettlementDialog> open;
    if (open)
        open->close();
    open = new SettlementDialog(kind, id, name, parent);
    open->show();
    open->raise();
    open->activateWindow();
    open->amountBox()->setFocus();
    return open;
}

} // namespace records
