#pragma once

#include <QString>
#include <QVector>

namespace grid {
class Grid;
}

namespace records {

// Merging duplicate master records: every sale, purchase, receipt and
// payment that points to a merged record is pointed at the kept one, then
// the merged records go.

// One kind of master record that can be merged, in the order of the tools
// menu items 产品合并替换 … 销售员合并替换.
struct MergeTarget
{
    QString table; // Pro, Cus, Vendor, Acc, Staff
    QString word; // 产品, 客户, 供应商, 账号, 销售人员: replaces 产品 in the window's texts
};

// The five targets in menu order.
const QVector<MergeTarget> &mergeTargets();
// The target of menu item index (0 … 4); nullptr for any other index.
const MergeTarget *mergeTargetForMenu(int index);

// The field of Sale and Pur that points to a record of table: the table's
// first letter followed by "ID" (Pro → PID, Staff → SID).
QString mergeKeyField(const QString &table);
// Whether merging records of table moves sales / purchases. Customers are
// only on sales and vendors only on purchases; products, fund accounts and
// staff (salesmen and buyers share SID) are on both.
bool mergeTouchesSale(const QString &table);
bool mergeTouchesPur(const QString &table);

// A text of the merge window for another target: every 产品 replaced by word.
QString adaptMergeText(const QString &text, const QString &word);

// What a merge did.
struct MergeResult
{
    enum class Outcome {
        Merged,         // the records in merged were merged into the kept one
        NothingToMerge, // no ID was left once the kept one and the kept back ones were taken out
        KeptMissing,    // the kept record is not in the table (any more); nothing changed
        Failed,         // a statement failed; everything was rolled back, nothing changed
    };
    Outcome outcome = Outcome::NothingToMerge;
    QVector<qint64> merged;   // IDs merged away, in the order given
    QVector<qint64> keptBack; // IDs that were asked for but must stay (the logged-in user)
};

// Merges the records ids of table into record keptId: for each ID (in
// order) the sales and purchases the target touches move to keptId and the
// record is deleted. The kept record itself is never merged (an ID equal to
// keptId is passed over), nor is the logged-in staff member. All statements
// run in one transaction on the current account set, so a failure leaves
// every record as it was and a record is never deleted while something still
// points to it. With progress, advances the progress window by one per
// given ID (the caller opens and closes it). Shows no message.
MergeResult ReplaceName(const QString &table, const QVector<qint64> &ids, qint64 keptId,
                        bool progress = false);

// The IDs (column 0) of the rows of a list grid whose column col carries a
// mark, top to bottom; cells that are not a number are left out.
QVector<qint64> markedIds(const grid::Grid &grid, int col);

} // namespace records
