#include "analyses.h"
#include "analysiscore.h"

#include "grid/grid.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/session.h"

namespace analysis {

namespace {

const QString kTable = QStringLiteral("T_SaleAna");
// Empty periods shown at most between two sales; a longer empty stretch
// shows as one row.
constexpr int kMaxGapPeriods = 100;

QString salesStatement(Grouping grouping, bool byAmount, const QString &filter)
{
    const QString measure = byAmount ? QStringLiteral("SUM(Pay)") : QStringLiteral("SUM(Num)");
    if (isPeriodGrouping(grouping)) {
        return QStringLiteral("SELECT Dat,") + measure + QStringLiteral(" AS Sm INTO T_SaleAna ")
               + filter + QStringLiteral(" GROUP BY Dat");
    }
    const bool byProduct = grouping == Grouping::Product;
    const QString key = byProduct ? QStringLiteral("PID") : QStringLiteral("SID");
    const QString master = byProduct ? QStringLiteral("Pro") : QStringLiteral("Staff");
    const QString inner = QStringLiteral("SELECT ") + key + QStringLiteral(" AS ID,") + measure
                          + QStringLiteral(" AS Sm ") + filter + QStringLiteral(" GROUP BY ") + key;
    return QStringLiteral("SELECT %1.Name,Ana.Sm INTO T_SaleAna FROM %1,(").arg(master) + inner
           + QStringLiteral(") AS Ana WHERE %1.ID=Ana.ID").arg(master);
}

// The day sums of T_SaleAna in date order; false when it cannot be read.
bool readDaySums(QVector<DaySum> &sums)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, QStringLiteral("SELECT * FROM T_SaleAna ORDER BY Dat"));
    const bool ok = rs.isOpen();
    const int dat = rs.fieldIndex(QStringLiteral("Dat"));
    const int sm = rs.fieldIndex(QStringLiteral("Sm"));
    for (int r = 0; ok && r < rs.recordCount(); ++r) {
        const QDate day = rs.valueAt(r, dat).toDateTime().date();
        if (day.isValid())
            sums.append({day, rs.valueAt(r, sm).toDouble()});
    }
    store::CloseQuery(conn, rs);
    return ok;
}

} // namespace

QVector<DaySum> periodRows(Grouping grouping, const QVector<DaySum> &daySums, bool byAmount)
{
    QVector<DaySum> rows;
    if (daySums.isEmpty())
        return rows;
    const ValueKind kind = byAmount ? ValueKind::Amount : ValueKind::Quantity;
    QDate start = periodStart(grouping, daySums.first().day);
    QDate next = nextPeriodStart(grouping, start);
    double sum = 0;
    for (const DaySum &daySum : daySums) {
        if (daySum.day >= next) {
            rows.append({start, sum});
            sum = 0;
            // The empty periods up to the sale's own: each as a row of 0,
            // or, when there are more than the cap, one row of 0 for the
            // stretch and the sale in its own period.
            const QDate own = periodStart(grouping, daySum.day);
            int empty = 0;
            for (QDate p = next; p < own && empty <= kMaxGapPeriods;
                 p = nextPeriodStart(grouping, p))
                ++empty;
            if (empty > kMaxGapPeriods) {
                rows.append({next, 0});
            } else {
                for (QDate p = next; p < own; p = nextPeriodStart(grouping, p))
                    rows.append({p, 0});
            }
            start = own;
            next = nextPeriodStart(grouping, start);
        }
        sum += daySum.sum;
    }
    if (!shownAsZero(sum, kind))
        rows.append({start, sum});
    return rows;
}

ChartData AnalyseSales(grid::Grid &grid, Grouping grouping, bool byAmount, QDate &startDate,
                       QDate &endDate, const QString &productId, const QString &salesmanId)
{
    wholeDayRange(startDate, endDate);
    QString filter = QStringLiteral("FROM Sale WHERE Dat>=") + records::jetDate(startDate)
                     + QStringLiteral(" AND Dat<") + records::jetDate(endDate) + QLatin1Char(' ');
    const QString product = idNumberText(productId);
    if (!product.isEmpty())
        filter += QStringLiteral(" AND PID=") + product;
    const QString salesman = idNumberText(salesmanId);
    if (!salesman.isEmpty())
        filter += QStringLiteral(" AND SID=") + salesman;

    const ValueKind kind = byAmount ? ValueKind::Amount : ValueKind::Quantity;
    const QString valueTitle = byAmount ? QStringLiteral("销售金额") : QStringLiteral("销售数量");
    const bool byPeriod = isPeriodGrouping(grouping);
    const QString labelTitle = byPeriod                        ? QStringLiteral("日期")
                               : grouping == Grouping::Product ? QStringLiteral("产品")
                                                               : QStringLiteral("销售员");
    setupResultGrid(grid, byPeriod ? QStringLiteral("Dat") : QStringLiteral("Name"), labelTitle,
                    QStringLiteral("Sm"), valueTitle);
    grid.setTag(kTable);
    // Quantities stay exact in the scratch table (2.5 kg is not rounded to a
    // whole number); the grid shows whole sums without decimals.
    if (!buildScratchTable(kTable, {salesStatement(grouping, byAmount, filter)}))
        return failAnalysis(grid);

    if (byPeriod) {
        QVector<DaySum> daySums;
        if (!readDaySums(daySums))
            return failAnalysis(grid);
        grid::GridBatch batch(grid);
        for (const DaySum &row : periodRows(grouping, daySums, byAmount))
            appendResultRow(grid, dayText(row.day), valueText(row.sum, kind));
    } else if (!loadResultRows(grid, QStringLiteral("SELECT * FROM T_SaleAna ORDER BY Sm DESC"),
                               QStringLiteral("Name"), QStringLiteral("Sm"), kind)) {
        return failAnalysis(grid);
    }
    return finishAnalysis(grid,
                          analysisTitle(QStringLiteral("销售数据分析"),
                                        QStringLiteral(" 日期：") + dayText(QDate::currentDate())));
}

} // namespace analysis
