#include "trades.h"

#include "masterrecords.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/formatting.h"
#include "store/prompts.h"
#include "ui/progress.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace records {

namespace {

// What a user calls the master a record's list points to.
QString masterKind(const QString &table)
{
    if (table == QLatin1String("Pro"))
        return QStringLiteral("产品");
    if (table == QLatin1String("Cus"))
        return QStringLiteral("客户");
    if (table == QLatin1String("Vendor"))
        return QStringLiteral("供应商");
    if (table == QLatin1String("Staff"))
        return QStringLiteral("员工");
    return QStringLiteral("账号");
}

const QString kMemoWord = QStringLiteral("备注");
const QString kEquals = QStringLiteral("等于");
// The character that makes % and _ in a LIKE pattern stand for themselves.
const QChar kLikeEscape = QLatin1Char('\\');

// The word after the last blank of a field chooser's text ("客户      Cus"
// → "Cus").
QString lastWord(const QString &text)
{
    const QString trimmed = text.trimmed();
    const int blank = trimmed.lastIndexOf(QLatin1Char(' '));
    return blank < 0 ? trimmed : trimmed.mid(blank + 1);
}

QStringList numberFields()
{
    return {QStringLiteral("Price"), QStringLiteral("Num"), QStringLiteral("Pay"),
            QStringLiteral("Pay1")};
}

// " LIKE '%value%' ", with an escape clause only when the value holds a
// character LIKE would read as a wildcard.
QString containsCondition(const QString &value)
{
    const bool needsEscape = value.contains(QLatin1Char('%')) || value.contains(QLatin1Char('_'));
    if (!needsEscape)
        return QStringLiteral(" LIKE '%") + store::escapeSql(value) + QStringLiteral("%' ");
    QString pattern;
    pattern.reserve(value.size() + 8);
    for (const QChar c : value) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == kLikeEscape)
            pattern += kLikeEscape;
        pattern += c;
    }
    return QStringLiteral(" LIKE '%") + store::escapeSql(pattern) + QStringLiteral("%' ESCAPE '")
           + kLikeEscape + QStringLiteral("' ");
}

QString recordById(const TradeTable &table, int id)
{
    return QStringLiteral("SELECT * FROM ") + table.table + QStringLiteral(" WHERE ID=")
           + QString::number(id);
}

} // namespace

const TradeTable &saleTable()
{
    static const TradeTable table{
            QStringLiteral("Sale"),
            QStringLiteral("Cus"),
            QStringLiteral("CID"),
            {QStringLiteral("PID"), QStringLiteral("CID"), QStringLiteral("AID"),
             QStringLiteral("SID")},
            {QStringLiteral("Pro"), QStringLiteral("Cus"), QStringLiteral("Acc"),
             QStringLiteral("Staff")},
    };
    return table;
}

const TradeTable &purchaseTable()
{
    static const TradeTable table{
            QStringLiteral("Pur"),
            QStringLiteral("Vendor"),
            QStringLiteral("VID"),
            {QStringLiteral("PID"), QStringLiteral("VID"), QStringLiteral("AID"),
             QStringLiteral("SID")},
            {QStringLiteral("Pro"), QStringLiteral("Vendor"), QStringLiteral("Acc"),
             QStringLiteral("Staff")},
    };
    return table;
}

const QStringList &tradeBoxFields()
{
    static const QStringList fields
            = {QStringLiteral("Price"), QStringLiteral("Num"), QStringLiteral("Pay"),
               QStringLiteral("Pay1"), QStringLiteral("Memo")};
    return fields;
}

QString jetDate(const QDate &date)
{
    return QLatin1Char('#') + date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('#');
}

QString plainNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        value = 0; // no "-0"
    const QString text = QString::number(value, 'g', 15);
    if (!text.contains(QLatin1Char('e')))
        return text;
    // Amounts below 0.0001 or from 10^15 on: the same 15 significant digits
    // written out, as a box and a statement both read them. Values beyond
    // that span keep the exponent rather than grow into pages of zeros.
    const int exponent = int(std::floor(std::log10(std::fabs(value))));
    if (exponent < -15 || exponent > 20)
        return text;
    QString plain = QString::number(value, 'f', std::max(0, 14 - exponent));
    if (plain.contains(QLatin1Char('.'))) {
        while (plain.endsWith(QLatin1Char('0')))
            plain.chop(1);
        if (plain.endsWith(QLatin1Char('.')))
            plain.chop(1);
    }
    return plain;
}

QString tradeFilter(const TradeTable &table, const FilterBar &bar)
{
    QString filter;
    if (!bar.textValue.isEmpty()) {
        QString target;
        if (bar.textField.contains(kMemoWord)) {
            target = table.table + QStringLiteral(".Memo");
        } else {
            const QString master = lastWord(bar.textField);
            if (table.listTables.contains(master))
                target = master + QStringLiteral(".Name");
        }
        if (!target.isEmpty()) {
            filter += QStringLiteral(" AND ") + target;
            if (bar.textOperator == kEquals)
                filter += QStringLiteral("='") + store::escapeSql(bar.textValue)
                          + QStringLiteral("' ");
            else
                filter += containsCondition(bar.textValue);
        }
    }
    if (!bar.numberValue.isEmpty()) {
        const QString field = lastWord(bar.numberField);
        QString comparison;
        if (bar.numberOperator == kEquals)
            comparison = QStringLiteral("=");
        else if (bar.numberOperator == QStringLiteral("小于"))
            comparison = QStringLiteral("<");
        else if (bar.numberOperator == QStringLiteral("大于"))
            comparison = QStringLiteral(">");
        if (numberFields().contains(field) && !comparison.isEmpty()) {
            filter += QStringLiteral(" AND ") + table.table + QLatin1Char('.') + field + comparison
                      + plainNumber(store::leadingNumber(bar.numberValue));
        }
    }
    return filter;
}

// The list of the records of a date range. Rows come by day, then in the
// order they were entered: the order the file engine gives anyway by reading
// along its date index (so it costs it nothing), which a database server
// would not keep without being told.
QString tradeListSql(const TradeTable &table, QDate start, QDate end, const QString &filter)
{
    store::SwapIfGreater(start, end);
    const QString &t = table.table;
    const QString &partner = table.partnerTable;
    return QStringLiteral("SELECT ") + t + QStringLiteral(".*,Acc.Name AS AID,Pro.Name AS PID,")
           + partner + QStringLiteral(".Name AS ") + table.partnerField
           + QStringLiteral(",Staff.Name AS SID FROM ") + t + QStringLiteral(",Acc,Pro,") + partner
           + QStringLiteral(",Staff WHERE ") + t + QStringLiteral(".AID=Acc.ID ")
           + QStringLiteral("AND ") + t + QStringLiteral(".PID=Pro.ID AND ") + t + QLatin1Char('.')
           + table.partnerField + QLatin1Char('=') + partner + QStringLiteral(".ID AND ") + t
           + QStringLiteral(".SID=Staff.ID AND ") + t + QStringLiteral(".Dat>=") + jetDate(start)
           + QStringLiteral(" AND ") + t + QStringLiteral(".Dat<") + jetDate(end.addDays(1))
           + filter + QStringLiteral(" ORDER BY ") + t + QStringLiteral(".Dat,") + t
           + QStringLiteral(".ID");
}

void loadTradeList(grid::Grid &grid, const TradeTable &table, const QStringList &titles,
                   QDate start, QDate end, const QString &filter, const QString &reportTitle)
{
    const QStringList keys = {QStringLiteral("ID"),   QString(),
                              QStringLiteral("Dat"),  QStringLiteral("PID"),
                              table.partnerField,     QStringLiteral("AID"),
                              QStringLiteral("SID"),  QStringLiteral("Price"),
                              QStringLiteral("Num"),  QStringLiteral("Pay"),
                              QStringLiteral("Pay1"), QStringLiteral("Memo")};
    grid::SetupGridColumns(grid, keys, titles);
    grid.setTag(table.table);
    // LoadGrid ends by fitting the columns from the title row; fitting them
    // once more would give the same widths at the cost of a second pass over
    // up to 350,000 cells.
    grid::LoadGrid(grid, QString(), QString(), true, tradeListSql(table, start, end, filter));
    grid.setReportTitle(reportTitle);
}

bool selectedTradeRows(const grid::Grid &grid, int &first, int &last)
{
    if (grid.dataRows() == 0)
        return false;
    first = grid.row();
    last = grid.rowSel();
    store::SwapIfGreater(first, last);
    // A selection that lies on the title rows selects no record.
    first = std::max(first, grid.fixedRows());
    last = std::min(last, grid.rows() - 1);
    return first <= last;
}

bool deleteSelectedTrades(grid::Grid &grid, const QString &question, const QString &progressText)
{
    int first = 0;
    int last = 0;
    if (!selectedTradeRows(grid, first, last))
        return false;
    if (!store::prompts().question(question))
        return false;
    ui::ProgressStart(progressText, last - first + 1);
    const bool deleted = grid::DeleteGridRows(grid, first, last, false);
    ui::ProgressClose();
    return deleted;
}

QString orderNumberText(int id)
{
    return QStringLiteral("%1").arg(id, 7, 10, QLatin1Char('0'));
}

int idFromText(const QString &text)
{
    const double value = store::leadingNumber(text);
    if (value < 1 || value > std::numeric_limits<int>::max())
        return 0;
    return int(value);
}

bool loadTrade(const TradeTable &table, int id, StoredTrade &out)
{
    if (id < 1)
        return false;
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, recordById(table, id));
    const bool found = rs.isOpen() && !rs.eof();
    if (found) {
        rememberRead(table.table, id, rs);
        StoredTrade trade;
        trade.id = rs.value(QStringLiteral("ID")).toInt();
        for (const QString &field : table.listFields)
            trade.refs << rs.value(field).toLongLong();
        for (const QString &field : tradeBoxFields()) {
            const QVariant value = rs.value(field);
            if (field == QLatin1String("Memo"))
                trade.boxes << value.toString();
            else if (value.isNull() || !value.isValid())
                trade.boxes << QString();
            else
                trade.boxes << plainNumber(value.toDouble());
        }
        trade.date = rs.value(QStringLiteral("Dat")).toDateTime();
        out = trade;
    }
    store::CloseQuery(conn, rs);
    return found;
}

int saveTrade(const TradeTable &table, const TradeEntry &entry)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, recordById(table, idFromText(entry.number)));
    if (!rs.isOpen() || changedSinceRead(table.table, idFromText(entry.number), rs)) {
        store::CloseQuery(conn, rs);
        return 0;
    }
    // The product, the partner, the account and the salesman are held until
    // the record is written: on a server a user who deletes one of them
    // meanwhile waits, and one who deleted it already is found here, so no
    // record ever points to a deleted master. (On a file set nobody else
    // writes meanwhile.)
    store::Transaction transaction(conn);
    for (int i = 0; i < 4; ++i) {
        const int masterId = idFromText(entry.lists.value(i));
        if (masterId != 0
            && conn->lockRows(table.listTables.at(i),
                              QStringLiteral("ID=") + QString::number(masterId), false)
                       == 0) {
            store::CloseQuery(conn, rs);
            store::prompts().message(QStringLiteral("所选的%1已被删除，记录没有保存，请重新选择！")
                                             .arg(masterKind(table.listTables.at(i))));
            return 0;
        }
    }
    if (rs.eof())
        rs.addNew();
    const QStringList &boxFields = tradeBoxFields();
    for (int i = 0; i < 4; ++i) {
        rs.setValue(boxFields.at(i), store::leadingNumber(entry.boxes.value(i)));
        rs.setValue(table.listFields.at(i), qint64(idFromText(entry.lists.value(i))));
    }
    rs.setValue(boxFields.at(4), entry.boxes.value(4));
    rs.setValue(QStringLiteral("Dat"), entry.date);
    const int stored = storeRowAndClose(conn, rs);
    if (stored != 0 && !transaction.commit()) {
        tellSaveRefused();
        return 0;
    }
    return stored;
}

QString amountText(const QString &price, const QString &quantity)
{
    return plainNumber(store::leadingNumber(price) * store::leadingNumber(quantity));
}

QString productListPrice(int productId)
{
    const QVariant price = store::LookupWhere(QStringLiteral("Pro"),
                                              QStringLiteral("ID=") + QString::number(productId),
                                              QStringLiteral("Price"));
    if (price.typeId() == QMetaType::Double || price.typeId() == QMetaType::LongLong)
        return plainNumber(price.toDouble());
    return price.toString();
}

double currentStock(int productId)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT (SELECT Sum(Num) FROM Pur WHERE PID=%1),"
                                        "(SELECT Sum(Num) FROM Sale WHERE PID=%1)")
                                 .arg(productId));
    if (rs.recordCount() == 0)
        return 0;
    return rs.valueAt(0, 0).toDouble() - rs.valueAt(0, 1).toDouble();
}

bool saleTakesStockBelowZero(const TradeEntry &entry, double &stockNow)
{
    const int product = idFromText(entry.lists.value(0));
    stockNow = currentStock(product);
    double after = stockNow - store::leadingNumber(entry.boxes.value(1));
    // An edited sale gives back what it took when it was stored.
    StoredTrade stored;
    if (loadTrade(saleTable(), idFromText(entry.number), stored) && stored.refs.value(0) == product)
        after += store::leadingNumber(stored.boxes.value(1));
    return after < 0 && after < stockNow;
}

} // namespace records
