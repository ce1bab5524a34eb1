// Figures of merge and replace: merging 50 products into one on the big
// account set (their sales and purchases move, the 50 rows go), as the merge
// window's 确定 does it with its progress window, against the same work done
// by plain SQL statements on the same file; and merging 10 staff members,
// whose key has no index on the sales and purchases.

#include "measure.h"

#include "records/merge.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/session.h"
#include "ui/progress.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace bench {

namespace {

const QString kMergeFile = QStringLiteral("DATA00003.qdt");

int countWhere(const QString &table, const QString &where)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) AS N FROM ") + table
                                 + QStringLiteral(" WHERE ") + where);
    return rs.value(0).toInt();
}

// IDs first … first + count - 1.
QVector<qint64> idRange(qint64 first, int count)
{
    QVector<qint64> ids;
    for (int i = 0; i < count; ++i)
        ids << first + i;
    return ids;
}

QString idText(const QVector<qint64> &ids)
{
    QStringList texts;
    for (const qint64 id : ids)
        texts << QString::number(id);
    return texts.join(QLatin1Char(','));
}

struct MergeCase
{
    QString name;  // figure prefix
    QString table; // master table
    QVector<qint64> merged;
    qint64 kept;
};

void mergeFigure(const Context &context, const MergeCase &merge)
{
    const QString key = records::mergeKeyField(merge.table);
    const QString where = key + QStringLiteral(" IN (") + idText(merge.merged) + QLatin1Char(')');
    int movedSales = 0;
    int movedPurchases = 0;
    bool wrong = false;
    const double mergeMs = medianMs(context.runs, [&]() -> double {
        if (!freshCopyOfBigSet(context, kMergeFile))
            return 0;
        movedSales = countWhere(QStringLiteral("Sale"), where);
        movedPurchases = countWhere(QStringLiteral("Pur"), where);
        records::MergeResult result;
        const double ms = timeMs([&] {
            ui::ProgressStart(QStringLiteral("正在合并替换..."), merge.merged.size());
            result = records::ReplaceName(merge.table, merge.merged, merge.kept, true);
            ui::ProgressClose();
        });
        // The merge must really have happened for the figure to count.
        if (result.outcome != records::MergeResult::Outcome::Merged
            || countWhere(QStringLiteral("Sale"), where) != 0
            || countWhere(QStringLiteral("Pur"), where) != 0
            || countWhere(merge.table,
                          QStringLiteral("ID IN (") + idText(merge.merged) + QLatin1Char(')'))
                       != 0)
            wrong = true;
        return ms;
    });

    const double plainMs = medianMs(context.runs, [&]() -> double {
        if (!freshCopyOfBigSet(context, kMergeFile))
            return 0;
        store::Connection conn;
        if (!store::OpenConn(conn))
            return 0;
        const QString set = QStringLiteral(" SET ") + key + QLatin1Char('=')
                            + QString::number(merge.kept) + QStringLiteral(" WHERE ") + where;
        return timeMs([&] {
            conn->execNative(QStringLiteral("BEGIN; UPDATE Sale") + set
                             + QStringLiteral("; UPDATE Pur") + set
                             + QStringLiteral("; DELETE FROM ") + merge.table
                             + QStringLiteral(" WHERE ID IN (") + idText(merge.merged)
                             + QStringLiteral("); COMMIT;"));
        });
    });

    report(merge.name + QStringLiteral("_moved_sales"), movedSales, QStringLiteral("rows"));
    report(merge.name + QStringLiteral("_moved_purchases"), movedPurchases, QStringLiteral("rows"));
    report(merge.name + QStringLiteral("_ms"), mergeMs, QStringLiteral("ms"));
    report(merge.name + QStringLiteral("_plain_sql_ms"), plainMs, QStringLiteral("ms"));
    report(merge.name + QStringLiteral("_ratio"), plainMs > 0 ? mergeMs / plainMs : 0,
           QStringLiteral("x"));
    if (wrong)
        std::fprintf(stderr, "%s did not merge\n", qPrintable(merge.name));
}

} // namespace

void mergeFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("merge_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    // Products 2 … 51 into product 1; staff 4 … 13 into member 3 (the
    // template's 其他 and zunta are 1 and 2, and no one is logged in).
    mergeFigure(context,
                {QStringLiteral("merge_50_products"), QStringLiteral("Pro"), idRange(2, 50), 1});
    mergeFigure(context,
                {QStringLiteral("merge_10_staff"), QStringLiteral("Staff"), idRange(4, 10), 3});

    store::Registry::close(store::programFilePath(kMergeFile));
    QFile::remove(store::programFilePath(kMergeFile));
    store::CurrentAccountFile = context.accountFile;
}

} // namespace bench
