#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVector>

namespace records {

struct TradeTable;

// Receipts from customers against their open sales (收款) and payments to
// vendors against their open purchases (付款). A receipt raises 已收金额
// (Pay1) of the partner's open records oldest first and is kept as a record
// of its own (Rcv or Pmt) with one line per record it paid (RcvLine or
// PmtLine), so that it can be undone. Amounts are handled in whole cents.

// One side of the books: which table is paid, where the receipts go, and
// the words the messages use.
struct SettlementKind
{
    const TradeTable *trade; // sales or purchases
    QString table;           // "Rcv" or "Pmt"
    QString lineTable;       // "RcvLine" or "PmtLine"
    QString right;           // "销售数据修改" or "采购数据修改"
    QString partnerWord;     // "客户" or "供应商"
    QString actionWord;      // "收款" or "付款"
    QString recordWord;      // "销售记录" or "采购记录"
};

const SettlementKind &receiptKind();
const SettlementKind &paymentKind();

// An amount in whole cents, rounded half away from zero (1.005 → 101).
qint64 toCents(double amount);
// Cents as money text: 12345 → "123.45".
QString centsText(qint64 cents);
// The amount a user typed, in cents; false when the text is not a plain
// number ("12.5", " 100 ", "-3" are numbers; "12元", "" are not).
bool parseAmount(const QString &text, qint64 &cents);

// A sale (purchase) with something left to pay.
struct OpenTrade
{
    int id = 0;
    QDateTime date;
    double due = 0;  // 应收金额 (应付金额)
    double paid = 0; // 已收金额 (已付金额)
    qint64 open = 0; // what is left, in cents: due - paid rounded, at least 1
};

// The open records of partner, oldest first (equal dates in the order they
// were entered). A record whose rest rounds to less than a cent is not open.
// ok (when given) is false when they could not be read.
QVector<OpenTrade> openTrades(const SettlementKind &kind, qint64 partnerId, bool *ok = nullptr);
// The sum of their open amounts, in cents.
qint64 totalOpen(const QVector<OpenTrade> &open);

// What a receipt pays on one record.
struct Allocation
{
    int tradeId = 0;
    qint64 cents = 0;
    bool settled = false; // the record is paid in full
};

// Spreads cents over the open records oldest first: each takes all it is
// owed until the rest is smaller, the last one reached takes the rest.
QVector<Allocation> allocateOldestFirst(const QVector<OpenTrade> &open, qint64 cents);

// A receipt as the dialog or the command line hands it over.
struct SettlementEntry
{
    qint64 partnerId = 0;
    qint64 cents = 0;
    QDate date;
    qint64 accountId = 0;
    qint64 staffId = 0; // the logged-in member
    QString memo;
};

struct SettlementResult
{
    enum class Outcome {
        Done,
        NotPositive,    // zero or less
        AboveOwed,      // more than the partner owes now
        NothingOwed,    // the partner has no open record
        PartnerMissing, // deleted or merged meanwhile
        AccountMissing, // no such fund account
        Failed,         // a statement failed; nothing was written
    };
    Outcome outcome = Outcome::Failed;
    int id = 0;                // the stored receipt
    QVector<Allocation> lines; // what it paid, oldest first
    qint64 owed = 0;           // what the partner owed before, in cents
    qint64 leftOpen = 0;       // what the partner still owes, in cents
};

// Records a receipt: reads the partner's open records afresh and raises
// their paid amount oldest first, stores the receipt and its lines, all in
// one transaction on the current set. Anything but Done writes nothing. A
// record paid in full gets exactly its due amount as paid, so the paid
// amount never exceeds the due one.
SettlementResult settle(const SettlementKind &kind, const SettlementEntry &entry);

// What the user is told about a result: the records settled, the one paid
// in part and what is left open; or why nothing was written.
QString settlementMessage(const SettlementKind &kind, const SettlementResult &result);

// Undoes receipt id: lowers the paid amount of every record it paid by what
// it paid there (never below 0; records deleted since are passed over),
// deletes its lines and the receipt, in one transaction. False with *message
// when the receipt is gone or the work failed (nothing changed then).
bool undoSettlement(const SettlementKind &kind, int id, QString *message = nullptr);

// A stored receipt as the dialog's history lists it.
struct StoredSettlement
{
    int id = 0;
    QDateTime date;
    QString account;
    QString staff;
    qint64 cents = 0;
    QString memo;
    QString lines; // "0000012 100.00，0000015 30.00"
};

// The receipts of partner, newest first.
QVector<StoredSettlement> settlementHistory(const SettlementKind &kind, qint64 partnerId);

// True when the member's rights allow receipts of this kind.
bool maySettle(const SettlementKind &kind, const QString &rights);

} // namespace records
