#include "analyses.h"
#include "analysiscore.h"

#include "grid/grid.h"
#include "records/trades.h"

namespace analysis {

ChartData AnalyseCustomers(grid::Grid &grid, QDate &startDate, QDate &endDate, int measure)
{
    wholeDayRange(startDate, endDate);
    measure = qBound(0, measure, 2);
    static const char *const kMeasures[] = {"Sum(Pay)", "Sum(Num)", "Sum(Pay)/Sum(Num)"};
    const QString valueTitle = measure == 0   ? QStringLiteral("交易金额")
                               : measure == 1 ? QStringLiteral("购买数量")
                                              : QStringLiteral("交易均价");
    setupResultGrid(grid, QStringLiteral("Name"), QStringLiteral("客户名称"), QStringLiteral("Sm"),
                    valueTitle);
    grid.setTag(QStringLiteral("T_AnaCus"));
    // A customer whose quantities net out to 0 has no average price: the
    // division gives NULL and the row shows no value. Quantities are not
    // rounded to whole numbers.
    const QString statement = QStringLiteral("SELECT CID,") + QLatin1String(kMeasures[measure])
                              + QStringLiteral(" AS Sm INTO T_AnaCus FROM Sale WHERE Dat>=")
                              + records::jetDate(startDate) + QStringLiteral(" AND Dat<")
                              + records::jetDate(endDate) + QStringLiteral(" GROUP BY CID");
    if (!buildScratchTable(QStringLiteral("T_AnaCus"), {statement})
        || !loadResultRows(grid,
                           QStringLiteral("SELECT Cus.Name,T_AnaCus.Sm FROM Cus,T_AnaCus WHERE "
                                          "Cus.ID=T_AnaCus.CID ORDER BY T_AnaCus.Sm DESC"),
                           QStringLiteral("Name"), QStringLiteral("Sm"),
                           measure == 1 ? ValueKind::Quantity : ValueKind::Amount)) {
        return failAnalysis(grid);
    }
    return finishAnalysis(
            grid, analysisTitle(QStringLiteral("客户数据分析"),
                                QStringLiteral(" 日期：") + dayText(startDate)
                                        + QStringLiteral("至") + dayText(endDate.addDays(-1))
                                        + QStringLiteral(" 分析内容：") + valueTitle));
}

} // namespace analysis
