#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace grid {
class Grid;
}

namespace records {

// What sales and purchases share: the two tables have the same shape (a date,
// four references to master rows, price, quantity, two amounts and a memo)
// and differ only in the partner table (customers or vendors) and texts.

// The table of one kind of record and the master rows it points to.
struct TradeTable
{
    QString table;          // "Sale" or "Pur"
    QString partnerTable;   // "Cus" or "Vendor"
    QString partnerField;   // "CID" or "VID"
    QStringList listFields; // the fields of the dialog's lists 0 to 3: PID, CID/VID, AID, SID
    QStringList listTables; // the tables they point to: Pro, Cus/Vendor, Acc, Staff
};

const TradeTable &saleTable();
const TradeTable &purchaseTable();

// The fields of the dialogs' boxes 0 to 4 (the same for both tables).
const QStringList &tradeBoxFields();

// The six controls of a list's filter bar, as their texts.
struct FilterBar
{
    QString textField;      // e.g. "客户      Cus"; the word after the last blank names the table
    QString textOperator;   // "包含" or "等于"
    QString textValue;      // typed or chosen; matched literally
    QString numberField;    // e.g. "数量  Num"
    QString numberOperator; // "大于", "等于" or "小于"
    QString numberValue;    // typed; its leading number is used
};

// The date as a date literal between # signs, "#2024-03-05#".
QString jetDate(const QDate &date);

// A number as the program writes it into boxes and statements: plain
// decimal text with up to 15 significant digits and no grouping (22.5, 95,
// 0.57, 0.00003, 1000000000000000); -0 is written 0.
QString plainNumber(double value);

// The conditions of a filter bar for a list of table, each beginning with
// " AND ": the text condition on the chosen master table's Name (or on the
// table's Memo), with "='value' " or " LIKE '%value%' ", then the number
// condition " AND <table>.<field>" with "=", "<" or ">" and the leading
// number of the value. Quotes in the value are doubled; a value holding %
// or _ is matched literally through an escape character. A field or
// operator that is not one of the bar's own choices drops its condition,
// so nothing but a value can reach the statement.
QString tradeFilter(const TradeTable &table, const FilterBar &bar);

// The list statement of table: the rows joined with the names of their
// product, partner, account and staff member (renamed to the reference
// fields), from the whole start day through the whole end day (the two
// are swapped when the end comes first), followed by filter.
QString tradeListSql(const TradeTable &table, QDate start, QDate end, const QString &filter);

// Loads a list into grid: columns titles (keys: ID, "", Dat, PID, partner,
// AID, SID, Price, Num, Pay, Pay1, Memo), tag table, the statement of
// tradeListSql with dates only, the columns fitted and the report title set.
void loadTradeList(grid::Grid &grid, const TradeTable &table, const QStringList &titles,
                   QDate start, QDate end, const QString &filter, const QString &reportTitle);

// The selected data rows of a list grid, in order (a selection dragged
// upwards counts the same). False when no data row is selected.
bool selectedTradeRows(const grid::Grid &grid, int &first, int &last);

// Deletes the selected rows of a list and their records after asking
// question, under the progress window with progressText. False when
// nothing was deleted (no rows, or the answer was No).
bool deleteSelectedTrades(grid::Grid &grid, const QString &question, const QString &progressText);

// One record as a dialog hands it over for saving.
struct TradeEntry
{
    QString number;    // the order number box ("0000042"; empty for a new record)
    QStringList lists; // texts of the lists 0 to 3 ("00012|钢管")
    QStringList boxes; // texts of the boxes 0 to 4 (price, quantity, two amounts, memo)
    QDateTime date;
};

// One stored record as a dialog shows it.
struct StoredTrade
{
    int id = 0;
    QList<qint64> refs; // the values of the list fields 0 to 3
    QStringList boxes;  // the box texts 0 to 4: numbers as plainNumber, the memo as stored
    QDateTime date;
};

// The order number as the dialogs show it: seven digits, 42 → "0000042".
QString orderNumberText(int id);

// The number a text names when read as an ID: its leading number, 0 when it
// is none or lies outside the range of IDs.
int idFromText(const QString &text);

// Reads record id of table; false (out untouched) when there is none.
bool loadTrade(const TradeTable &table, int id, StoredTrade &out);

// Writes entry into the record its number names, or into a new record when
// there is none: the box texts 0 to 3 and the list texts as their leading
// numbers (12kg → 12, "abc" → 0), the memo as typed, the date. Returns the
// stored record's ID, 0 when nothing was stored; a write the database
// refuses is reported with "记录保存失败，数据没有写入！".
int saveTrade(const TradeTable &table, const TradeEntry &entry);

// The amount of a price and a quantity text: the product of their leading
// numbers, as plainNumber.
QString amountText(const QString &price, const QString &quantity);

// The list price of product id (its Pro.Price) as text; empty when there is
// no such product.
QString productListPrice(int productId);

// The stock of product id now: all its purchased quantities less all its
// sold ones (0 when it has none).
double currentStock(int productId);

// For a sale about to be saved: true when saving entry lowers its product's
// stock below zero (a stock already below zero that the entry does not
// lower asks nothing). stockNow is the product's stock before the saving,
// with the stored sale that entry edits still counted.
bool saleTakesStockBelowZero(const TradeEntry &entry, double &stockNow);

} // namespace records
