#include "receipts.h"

#include "rights.h"
#include "trades.h"

#include "store/access.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace records {

namespace {

// Paid amounts keep what the user typed (a sub-cent amount stays), without
// the noise sums of binary fractions leave behind.
double tidy(double amount)
{
    return std::round(amount * 1e6) / 1e6;
}

QString partnerTable(const SettlementKind &kind)
{
    return kind.trade->partnerTable;
}

QString partnerField(const SettlementKind &kind)
{
    return kind.trade->partnerField;
}

bool rowExists(const store::Connection &conn, const QString &table, qint64 id, bool *ok)
{
    store::RecordSet rs;
    const bool read = rs.open(
            conn, QStringLiteral("SELECT ID FROM ") + table + QStringLiteral(" WHERE ID=?"),
            {QVariant(id)});
    if (!read)
        *ok = false;
    return read && rs.recordCount() > 0;
}

QVector<OpenTrade> readOpenTrades(const store::Connection &conn, const SettlementKind &kind,
                                  qint64 partnerId, bool *ok)
{
    QVector<OpenTrade> open;
    store::RecordSet rs;
    const bool read = rs.open(conn,
                              QStringLiteral("SELECT ID,Dat,Pay,Pay1 FROM ") + kind.trade->table
                                      + QStringLiteral(" WHERE ") + partnerField(kind)
                                      + QStringLiteral("=? ORDER BY Dat,ID"),
                              {QVariant(partnerId)});
    if (ok)
        *ok = read;
    for (int r = 0; read && r < rs.recordCount(); ++r) {
        OpenTrade trade;
        trade.id = rs.valueAt(r, 0).toInt();
        trade.date = rs.valueAt(r, 1).toDateTime();
        trade.due = rs.valueAt(r, 2).toDouble();
        trade.paid = rs.valueAt(r, 3).toDouble();
        trade.open = toCents(trade.due - trade.paid);
        if (trade.open > 0)
            open.append(trade);
    }
    return open;
}

} // namespace

const SettlementKind &receiptKind()
{
    static const SettlementKind kind{&saleTable(),
                                     QStringLiteral("Rcv"),
                                     QStringLiteral("RcvLine"),
                                     QStringLiteral("销售数据修改"),
                                     QStringLiteral("客户"),
                                     QStringLiteral("收款"),
                                     QStringLiteral("销售记录")};
    return kind;
}

const SettlementKind &paymentKind()
{
    static const SettlementKind kind{&purchaseTable(),          QStringLiteral("Pmt"),
                                     QStringLiteral("PmtLine"), QStringLiteral("采购数据修改"),
                                     QStringLiteral("供应商"),  QStringLiteral("付款"),
                                     QStringLiteral("采购记录")};
    return kind;
}

qint64 toCents(double amount)
{
    if (!std::isfinite(amount))
        return 0;
    // A hair added before rounding, so that 1.005 (stored as 1.00499…)
    // rounds up as the user wrote it.
    return std::llround(amount * 100 + std::copysign(1e-6, amount));
}

QString centsText(qint64 cents)
{
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const qint64 whole = std::llabs(cents);
    return sign + QString::number(whole / 100) + QLatin1Char('.')
           + QStringLiteral("%1").arg(whole % 100, 2, 10, QLatin1Char('0'));
}

bool parseAmount(const QString &text, qint64 &cents)
{
    bool isNumber = false;
    const double value = text.trimmed().toDouble(&isNumber);
    if (!isNumber || !std::isfinite(value) || std::fabs(value) > 1e13)
        return false;
    cents = toCents(value);
    return true;
}

QVector<OpenTrade> openTrades(const SettlementKind &kind, qint64 partnerId, bool *ok)
{
    store::Connection conn;
    if (!store::OpenConn(conn)) {
        if (ok)
            *ok = false;
        return {};
    }
    return readOpenTrades(conn, kind, partnerId, ok);
}

qint64 totalOpen(const QVector<OpenTrade> &open)
{
    qint64 total = 0;
    for (const OpenTrade &trade : open)
        total += trade.open;
    return total;
}

QVector<Allocation> allocateOldestFirst(const QVector<OpenTrade> &open, qint64 cents)
{
    QVector<Allocation> lines;
    for (const OpenTrade &trade : open) {
        if (cents <= 0)
            break;
        const qint64 taken = std::min(cents, trade.open);
        lines.append({trade.id, taken, taken == trade.open});
        cents -= taken;
    }
    return lines;
}

SettlementResult settle(const SettlementKind &kind, const SettlementEntry &entry)
{
    using Outcome = SettlementResult::Outcome;
    SettlementResult result;
    if (entry.cents <= 0) {
        result.outcome = Outcome::NotPositive;
        return result;
    }
    store::Connection conn;
    if (!store::OpenConn(conn))
        return result;
    // Read and written in one transaction: what is owed is read afresh, so
    // a sale edited or paid while the dialog was open is counted as it is.
    store::Transaction transaction(conn);
    if (!transaction.isActive())
        return result;
    bool ok = true;
    if (!rowExists(conn, partnerTable(kind), entry.partnerId, &ok)) {
        result.outcome = ok ? Outcome::PartnerMissing : Outcome::Failed;
        return result;
    }
    if (!rowExists(conn, QStringLiteral("Acc"), entry.accountId, &ok)) {
        result.outcome = ok ? Outcome::AccountMissing : Outcome::Failed;
        return result;
    }
    const QVector<OpenTrade> open = readOpenTrades(conn, kind, entry.partnerId, &ok);
    if (!ok)
        return result;
    result.owed = totalOpen(open);
    if (result.owed == 0) {
        result.outcome = Outcome::NothingOwed;
        return result;
    }
    if (entry.cents > result.owed) {
        result.outcome = Outcome::AboveOwed;
        return result;
    }
    result.lines = allocateOldestFirst(open, entry.cents);

    store::RecordSet receipt;
    if (!receipt.open(conn, QStringLiteral("SELECT * FROM ") + kind.table
                                    + QStringLiteral(" WHERE ID=0")))
        return result;
    receipt.addNew();
    receipt.setValue(QStringLiteral("Dat"), QDateTime(entry.date, QTime(0, 0)));
    receipt.setValue(partnerField(kind), entry.partnerId);
    receipt.setValue(QStringLiteral("AID"), entry.accountId);
    receipt.setValue(QStringLiteral("SID"), entry.staffId);
    receipt.setValue(QStringLiteral("Pay"), entry.cents / 100.0);
    receipt.setValue(QStringLiteral("Memo"), entry.memo);
    if (!receipt.update())
        return result;
    const qint64 receiptId = receipt.value(QStringLiteral("ID")).toLongLong();
    if (receiptId <= 0)
        return result;

    QHash<int, const OpenTrade *> byId;
    for (const OpenTrade &trade : open)
        byId.insert(trade.id, &trade);
    const QString rid = QString::number(receiptId);
    for (const Allocation &line : std::as_const(result.lines)) {
        const OpenTrade *trade = byId.value(line.tradeId);
        const double paid = line.settled ? trade->due : tidy(trade->paid + line.cents / 100.0);
        if (!store::ExecSQL(QStringLiteral("UPDATE ") + kind.trade->table
                                    + QStringLiteral(" SET Pay1=") + plainNumber(paid)
                                    + QStringLiteral(" WHERE ID=") + QString::number(line.tradeId),
                            &conn)
            || !store::ExecSQL(QStringLiteral("INSERT INTO ") + kind.lineTable
                                       + QStringLiteral(" (RID,TID,Pay) VALUES (") + rid
                                       + QLatin1Char(',') + QString::number(line.tradeId)
                                       + QLatin1Char(',') + centsText(line.cents)
                                       + QLatin1Char(')'),
                               &conn))
            return result;
    }
    if (!transaction.commit())
        return result;
    result.id = int(receiptId);
    result.leftOpen = result.owed - entry.cents;
    result.outcome = Outcome::Done;
    return result;
}

QString settlementMessage(const SettlementKind &kind, const SettlementResult &result)
{
    using Outcome = SettlementResult::Outcome;
    const QString &action = kind.actionWord;
    switch (result.outcome) {
    case Outcome::NotPositive:
        return action + QStringLiteral("金额必须大于零，没有") + action + QStringLiteral("。");
    case Outcome::AboveOwed:
        return QStringLiteral("%1金额超过该%2的欠款合计 %3，没有%1。")
                .arg(action, kind.partnerWord, centsText(result.owed));
    case Outcome::NothingOwed:
        return QStringLiteral("该%1没有未结清的%2，没有%3。")
                .arg(kind.partnerWord, kind.recordWord, action);
    case Outcome::PartnerMissing:
        return QStringLiteral("该%1已不存在（可能已被删除或合并），没有%2。")
                .arg(kind.partnerWord, action);
    case Outcome::AccountMissing:
        return QStringLiteral("请选择%1账号，没有%1。").arg(action);
    case Outcome::Failed:
        return QStringLiteral("%1没有保存，数据没有写入！").arg(action);
    case Outcome::Done:
        break;
    }
    QStringList settled;
    QString partial;
    qint64 total = 0;
    for (const Allocation &line : result.lines) {
        total += line.cents;
        if (line.settled)
            settled << orderNumberText(line.tradeId);
        else
            partial = QStringLiteral("%1 部分%2 %3。\n")
                              .arg(orderNumberText(line.tradeId), action, centsText(line.cents));
    }
    QString text = QStringLiteral("%1 %2 已记入。\n").arg(action, centsText(total));
    if (!settled.isEmpty())
        text += QStringLiteral("结清%1：%2。\n")
                        .arg(kind.recordWord, settled.join(QStringLiteral("、")));
    text += partial;
    text += result.leftOpen > 0 ? QStringLiteral("该%1尚欠 %2。")
                                          .arg(kind.partnerWord, centsText(result.leftOpen))
                                : QStringLiteral("该%1已全部结清。").arg(kind.partnerWord);
    return text;
}

bool undoSettlement(const SettlementKind &kind, int id, QString *message)
{
    const auto fail = [&](const QString &text) {
        if (message)
            *message = text;
        return false;
    };
    const QString failed = QStringLiteral("撤销%1失败，数据没有改动！").arg(kind.actionWord);
    store::Connection conn;
    if (!store::OpenConn(conn))
        return fail(failed);
    store::Transaction transaction(conn);
    if (!transaction.isActive())
        return fail(failed);
    bool ok = true;
    if (!rowExists(conn, kind.table, id, &ok))
        return fail(ok ? QStringLiteral("该%1记录已不存在。").arg(kind.actionWord) : failed);
    // The paid amount of every record still there, beside what the
    // receipt paid on it.
    const QString &t = kind.trade->table;
    const QString &l = kind.lineTable;
    store::RecordSet lines;
    if (!lines.open(conn,
                    QStringLiteral("SELECT %1.ID,%1.Pay1,%2.Pay FROM %2,%1 WHERE %2.TID=%1.ID AND "
                                   "%2.RID=? ORDER BY %2.ID")
                            .arg(t, l),
                    {QVariant(id)}))
        return fail(failed);
    for (int r = 0; r < lines.recordCount(); ++r) {
        const double paid = std::max(
                0.0, tidy(lines.valueAt(r, 1).toDouble() - lines.valueAt(r, 2).toDouble()));
        if (!store::ExecSQL(QStringLiteral("UPDATE ") + t + QStringLiteral(" SET Pay1=")
                                    + plainNumber(paid) + QStringLiteral(" WHERE ID=")
                                    + QString::number(lines.valueAt(r, 0).toLongLong()),
                            &conn))
            return fail(failed);
    }
    const QString rid = QString::number(id);
    if (!store::ExecSQL(QStringLiteral("DELETE * FROM ") + l + QStringLiteral(" WHERE RID=") + rid,
                        &conn)
        || !store::ExecSQL(QStringLiteral("DELETE * FROM ") + kind.table
                                   + QStringLiteral(" WHERE ID=") + rid,
                           &conn)
        || !transaction.commit())
        return fail(failed);
    return true;
}

QVector<StoredSettlement> settlementHistory(const SettlementKind &kind, qint64 partnerId)
{
    QVector<StoredSettlement> history;
    store::Connection conn;
    if (!store::OpenConn(conn))
        return history;
    const QString &r = kind.table;
    store::RecordSet rs;
    // Left joins: a receipt into an account deleted since is still listed.
    if (!rs.open(conn,
                 QStringLiteral("SELECT %1.ID,%1.Dat,%1.Pay,%1.Memo,Acc.Name,Staff.Name FROM %1 "
                                "LEFT JOIN Acc ON Acc.ID=%1.AID LEFT JOIN Staff ON "
                                "Staff.ID=%1.SID WHERE %1.%2=? ORDER BY %1.Dat DESC,%1.ID DESC")
                         .arg(r, partnerField(kind)),
                 {QVariant(partnerId)}))
        return history;
    QHash<int, int> rowOf;
    for (int i = 0; i < rs.recordCount(); ++i) {
        StoredSettlement entry;
        entry.id = rs.valueAt(i, 0).toInt();
        entry.date = rs.valueAt(i, 1).toDateTime();
        entry.cents = toCents(rs.valueAt(i, 2).toDouble());
        entry.memo = rs.valueAt(i, 3).toString();
        entry.account = rs.valueAt(i, 4).toString();
        entry.staff = rs.valueAt(i, 5).toString();
        rowOf.insert(entry.id, history.size());
        history.append(entry);
    }
    store::RecordSet lines;
    if (!lines.open(conn,
                    QStringLiteral("SELECT %2.RID,%2.TID,%2.Pay FROM %2,%1 WHERE %2.RID=%1.ID AND "
                                   "%1.%3=? ORDER BY %2.ID")
                            .arg(r, kind.lineTable, partnerField(kind)),
                    {QVariant(partnerId)}))
        return history;
    for (int i = 0; i < lines.recordCount(); ++i) {
        const auto row = rowOf.constFind(lines.valueAt(i, 0).toInt());
        if (row == rowOf.constEnd())
            continue;
        QString &text = history[*row].lines;
        if (!text.isEmpty())
            text += QStringLiteral("，");
        text += orderNumberText(lines.valueAt(i, 1).toInt()) + QLatin1Char(' ')
                + centsText(toCents(lines.valueAt(i, 2).toDouble()));
    }
    return history;
}

bool maySettle(const SettlementKind &kind, const QString &rights)
{
    return HasRight(rights, kind.right);
}

} // namespace records
