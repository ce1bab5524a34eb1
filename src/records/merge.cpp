#include "merge.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/session.h"
#include "ui/progress.h"

#include <QStringList>

namespace records {

namespace {

// IDs per statement: a merge of a few records is one UPDATE per table and
// one DELETE; a merge of thousands stays within a sensible statement size.
constexpr int kIdsPerStatement = 200;

QString idList(const QVector<qint64> &ids, int from, int count)
{
    QStringList texts;
    texts.reserve(count);
    for (int i = from; i < from + count; ++i)
        texts << QString::number(ids.at(i));
    return texts.join(QLatin1Char(','));
}

bool isMergeTable(const QString &table)
{
    for (const MergeTarget &target : mergeTargets())
        if (target.table == table)
            return true;
    return false;
}

} // namespace

const QVector<MergeTarget> &mergeTargets()
{
    static const QVector<MergeTarget> targets = {
            {QStringLiteral("Pro"), QStringLiteral("产品")},
            {QStringLiteral("Cus"), QStringLiteral("客户")},
            {QStringLiteral("Vendor"), QStringLiteral("供应商")},
            {QStringLiteral("Acc"), QStringLiteral("账号")},
            {QStringLiteral("Staff"), QStringLiteral("销售人员")},
    };
    return targets;
}

const MergeTarget *mergeTargetForMenu(int index)
{
    if (index < 0 || index >= mergeTargets().size())
        return nullptr;
    return &mergeTargets().at(index);
}

QString mergeKeyField(const QString &table)
{
    return table.left(1) + QStringLiteral("ID");
}

bool mergeTouchesSale(const QString &table)
{
    return table != QLatin1String("Vendor");
}

bool mergeTouchesPur(const QString &table)
{
    return table != QLatin1String("Cus");
}

QString adaptMergeText(const QString &text, const QString &word)
{
    QString adapted = text;
    return adapted.replace(QStringLiteral("产品"), word);
}

MergeResult ReplaceName(const QString &table, const QVector<qint64> &ids, qint64 keptId,
                        bool progress)
{
    MergeResult result;
    // The table goes into the statements as it is, so only the five master
    // tables are accepted.
    if (!isMergeTable(table)) {
        result.outcome = MergeResult::Outcome::Failed;
        return result;
    }

    // The logged-in member stays: merging him away would delete the row the
    // session (and the rights that allow merging) belongs to.
    const bool staff = table == QLatin1String("Staff");
    for (const qint64 id : ids) {
        if (id == keptId || result.merged.contains(id))
            continue;
        if (staff && id == store::CurrentUserID)
            result.keptBack.append(id);
        else
            result.merged.append(id);
    }
    if (result.merged.isEmpty()) {
        if (progress)
            ui::ProgressStep(ids.size());
        return result;
    }

    store::Connection conn;
    if (!store::OpenConn(conn)) {
        result.merged.clear();
        result.outcome = MergeResult::Outcome::Failed;
        return result;
    }

    // Everything in one transaction: the records of a merged ID must have
    // moved before its row goes, and a statement that fails half way must
    // not leave sales pointing to a deleted record.
    store::Transaction transaction(conn);
    if (!transaction.isActive()) {
        result.merged.clear();
        result.outcome = MergeResult::Outcome::Failed;
        return result;
    }
    const auto giveUp = [&](MergeResult::Outcome outcome) {
        transaction.rollback();
        result.merged.clear();
        result.outcome = outcome;
        return result;
    };

    // Records must never point to a row that is not there: the kept record
    // may have been deleted from its list while this merge was being chosen.
    // Its row is held, and each block of merged rows taken before its records
    // move, so that on a server another user can neither delete the kept one
    // nor save a record for a merged one until this merge is over.
    if (conn->lockRows(table, QStringLiteral("ID=") + QString::number(keptId), false) < 1)
        return giveUp(MergeResult::Outcome::KeptMissing);

    const QString key = mergeKeyField(table);
    const QString kept = QString::number(keptId);
    QStringList dependents;
    if (mergeTouchesSale(table))
        dependents << QStringLiteral("Sale");
    if (mergeTouchesPur(table))
        dependents << QStringLiteral("Pur");
    // Receipts and payments name the customer or vendor, the fund account
    // and the member who took them; they follow the kept record too.
    if (table != QLatin1String("Pro")) {
        if (mergeTouchesSale(table))
            dependents << QStringLiteral("Rcv");
        if (mergeTouchesPur(table))
            dependents << QStringLiteral("Pmt");
    }

    for (int from = 0; from < result.merged.size(); from += kIdsPerStatement) {
        const int count = std::min<int>(kIdsPerStatement, result.merged.size() - from);
        const QString list = idList(result.merged, from, count);
        if (conn->lockRows(table, QStringLiteral("ID IN (") + list + QLatin1Char(')'), true) < 0)
            return giveUp(MergeResult::Outcome::Failed);
        for (const QString &dependent : dependents) {
            if (!store::ExecSQL(QStringLiteral("UPDATE ") + dependent + QStringLiteral(" SET ")
                                        + key + QLatin1Char('=') + kept + QStringLiteral(" WHERE ")
                                        + key + QStringLiteral(" IN (") + list + QLatin1Char(')'),
                                &conn))
                return giveUp(MergeResult::Outcome::Failed);
        }
        if (!store::ExecSQL(QStringLiteral("DELETE * FROM ") + table
                                    + QStringLiteral(" WHERE ID IN (") + list + QLatin1Char(')'),
                            &conn))
            return giveUp(MergeResult::Outcome::Failed);
        if (progress)
            ui::ProgressStep(count);
    }
    if (!transaction.commit())
        return giveUp(MergeResult::Outcome::Failed);

    // The kept and kept-back IDs count as done for the progress window too.
    if (progress)
        ui::ProgressStep(ids.size() - result.merged.size());
    result.outcome = MergeResult::Outcome::Merged;
    return result;
}

QVector<qint64> markedIds(const grid::Grid &grid, int col)
{
    QVector<qint64> ids;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        if (grid.cellText(r, col).isEmpty())
            continue;
        bool isNumber = false;
        const qint64 id = grid.cellText(r, grid::kIdColumn).trimmed().toLongLong(&isNumber);
        if (isNumber)
            ids.append(id);
    }
    return ids;
}

} // namespace records
