#pragma once

#include "receipts.h"

#include "store/session.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace grid {
class Grid;
}

namespace records {

// The 收款 (付款) window of one customer (vendor): the open sales
// (purchases) oldest first with what is left to pay and the total owed, the
// boxes for the amount, date, fund account and memo, and the history of the
// partner's receipts, each of which can be undone. 确定 records the receipt
// (see settle) and says what it settled; the window stays open for the next.
class SettlementDialog : public QWidget
{
    Q_OBJECT

public:
    SettlementDialog(const SettlementKind &kind, qint64 partnerId, const QString &partnerName,
                     QWidget *parent = nullptr);

    QTableWidget *openList() const { return m_open; }
    QTableWidget *historyList() const { return m_history; }
    QLabel *totalLabel() const { return m_total; }
    QLineEdit *amountBox() const { return m_amount; }
    QDateEdit *dateBox() const { return m_date; }
    QComboBox *accountBox() const { return m_account; }
    QLineEdit *memoBox() const { return m_memo; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *undoButton() const { return m_undo; }

    // Reads the open records and the history again.
    void reload();

private:
    void confirm();
    void undoChosen();

    const SettlementKind &m_kind;
    qint64 m_partnerId;
    store::SessionStamp m_session;
    QTableWidget *m_open = nullptr;
    QTableWidget *m_history = nullptr;
    QLabel *m_total = nullptr;
    QLineEdit *m_amount = nullptr;
    QDateEdit *m_date = nullptr;
    QComboBox *m_account = nullptr;
    QLineEdit *m_memo = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_undo = nullptr;
};

// The command of the customer (vendor) list: opens the window for the
// customer of the current row of grid. Says so and opens nothing when the
// selection spans several rows or the list has no row.
SettlementDialog *showSettlementDialog(const SettlementKind &kind, const grid::Grid &grid,
                                       QWidget *parent);

} // namespace records
