#include "analyses.h"
#include "analysiscore.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "records/receipts.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/formatting.h"

#include <algorithm>
#include <array>

namespace analysis {

namespace {

// Columns of the result after 序号 and the name.
constexpr int kDueColumn = 2;
constexpr int kOwedColumn = 4;
constexpr int kOldestColumn = 5;
constexpr int kFirstAgeColumn = 6;
constexpr int kAgeColumns = 4;
constexpr int kSums = 3 + kAgeColumns; // 应收合计 … 90 天以上, the oldest day apart

// A record is open as the 收款 dialog counts it: from half a cent on.
const QString kOpenFrom = QStringLiteral(">=0.005");

QDate oldestDay(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    return QDate::fromString(value.toString().left(10), QStringLiteral("yyyy-MM-dd"));
}

} // namespace

QString balanceSql(bool payables, const QDate &startDate, const QDate &endDate)
{
    const records::SettlementKind &kind
            = payables ? records::paymentKind() : records::receiptKind();
    const QString &t = kind.trade->table;
    const QString &partner = kind.trade->partnerTable;
    const QString end = records::jetDate(endDate.addDays(1));
    // What was paid by the end day: receipts dated later are taken back out,
    // so a debt settled since still shows at an earlier end day.
    const QString later = QStringLiteral("(SELECT %1.TID,Sum(%1.Pay) AS Later FROM %1,%2 WHERE "
                                         "%1.RID=%2.ID AND %2.Dat>=%3 GROUP BY %1.TID)")
                                  .arg(kind.lineTable, kind.table, end);
    const QString paid = QStringLiteral("(%1.Pay1-Coalesce(L.Later,0))").arg(t);
    const QString rest = QStringLiteral("(%1.Pay-%2)").arg(t, paid);
    const QString dat = t + QStringLiteral(".Dat");
    // The ageing columns by the record's day, counted back from the end
    // day: 0–30 days, 31–60, 61–90, and 91 days or more.
    const auto since = [&](int days) {
        return records::jetDate(endDate.addDays(-days));
    };
    const auto bucket = [&](const QString &condition) {
        return QStringLiteral("Sum(CASE WHEN %1 THEN %2 ELSE 0 END)").arg(condition, rest);
    };
    const auto between = [&](int newest, int oldest) {
        return QStringLiteral("%1>=%2 AND %1<%3").arg(dat, since(oldest), since(newest));
    };
    QString sql = QStringLiteral("SELECT %1.Name AS Name,Sum(%2.Pay) AS Due,Sum(%3) AS Paid,"
                                 "Sum(%4) AS Owed,Min(%5) AS Oldest,")
                          .arg(partner, t, paid, rest, dat)
                  + bucket(dat + QStringLiteral(">=") + since(30)) + QStringLiteral(" AS A1,")
                  + bucket(between(30, 60)) + QStringLiteral(" AS A2,") + bucket(between(60, 90))
                  + QStringLiteral(" AS A3,") + bucket(dat + QLatin1Char('<') + since(90))
                  + QStringLiteral(" AS A4 FROM %1 INNER JOIN %2 ON %2.ID=%1.%3 LEFT JOIN %4 AS L "
                                   "ON L.TID=%1.ID WHERE %5%6 AND %7<%8")
                            .arg(t, partner, kind.trade->partnerField, later, rest, kOpenFrom, dat,
                                 end);
    if (startDate.isValid())
        sql += QStringLiteral(" AND %1>=%2").arg(dat, records::jetDate(startDate));
    return sql
           + QStringLiteral(" GROUP BY %1.%2,%3.Name ORDER BY Sum(%4) DESC,%3.Name")
                     .arg(t, kind.trade->partnerField, partner, rest);
}

ChartData AnalyseBalances(grid::Grid &grid, bool payables, QDate &startDate, QDate &endDate)
{
    if (startDate.isValid() && endDate.isValid())
        store::SwapIfGreater(startDate, endDate);
    const QString partner = payables ? QStringLiteral("供应商名称") : QStringLiteral("客户名称");
    const QString due = payables ? QStringLiteral("应付合计") : QStringLiteral("应收合计");
    const QString paid = payables ? QStringLiteral("已付合计") : QStringLiteral("已收合计");
    grid::SetupGridColumns(
            grid,
            {QString(), QStringLiteral("Name"), QStringLiteral("Due"), QStringLiteral("Paid"),
             QStringLiteral("Owed"), QStringLiteral("Oldest"), QStringLiteral("A1"),
             QStringLiteral("A2"), QStringLiteral("A3"), QStringLiteral("A4")},
            {QStringLiteral("序号"), partner, due, paid, QStringLiteral("欠款"),
             QStringLiteral("最早欠款日期"), QStringLiteral("0–30 天"), QStringLiteral("31–60 天"),
             QStringLiteral("61–90 天"), QStringLiteral("90 天以上")});

    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, balanceSql(payables, startDate, endDate));
    if (!rs.isOpen()) {
        store::CloseQuery(conn, rs);
        return failAnalysis(grid);
    }
    const int maxRows = grid::LoadGridRowLimit(grid.cols()) - 1; // room for 合计
    int count = rs.recordCount();
    if (count > maxRows) {
        grid::ShowRowLimitMessage(count, maxRows);
        count = maxRows;
    }
    // Sums of the columns 应收合计 … 90 天以上 (the oldest day apart).
    std::array<double, kSums> totals{};
    QDate oldest;
    {
        grid::GridBatch batch(grid);
        grid.setRows(grid.fixedRows() + count);
        for (int r = 0; r < count; ++r) {
            const int row = grid.fixedRows() + r;
            grid.setTextMatrix(row, 0, QString::number(r + 1));
            grid.setTextMatrix(row, 1, rs.valueAt(r, 0).toString());
            for (int v = 0; v < int(totals.size()); ++v) {
                const double value = rs.valueAt(r, v < 3 ? 1 + v : 2 + v).toDouble();
                totals[v] += value;
                const int col = v < 3 ? kDueColumn + v : kFirstAgeColumn + v - 3;
                grid.setTextMatrix(row, col, amountText(value));
            }
            const QDate day = oldestDay(rs.valueAt(r, 4));
            if (day.isValid() && (!oldest.isValid() || day < oldest))
                oldest = day;
            grid.setTextMatrix(row, kOldestColumn, dayText(day));
        }
    }
    store::CloseQuery(conn, rs);

    for (int c = kDueColumn; c < grid.cols(); ++c)
        grid.setColAlignment(c, grid::kAlignRightBottom);
    const QString title = analysisTitle(payables ? QStringLiteral("应付账款分析")
                                                 : QStringLiteral("应收账款分析"),
                                        QStringLiteral(" 截止日期：") + dayText(endDate));
    grid.setTag(title);
    grid.setReportTitle(title.section(QStringLiteral("\r\n"), 0, 0));
    // The chart shows 欠款 per row: taken with the name fixed, then cut to
    // that one series, drawn as a result of one value column is.
    grid.setFixedCols(2);
    ChartData chart = ChartFromGrid(grid);
    grid.setFixedCols(1);
    QVector<ChartSeries> owed;
    for (const ChartSeries &series : std::as_const(chart.series)) {
        if (series.column == kOwedColumn) {
            owed << series;
            owed.last().column = kDueColumn;
        }
    }
    chart.series = owed;
    chart.columnCount = 3;
    chart.lastColumn = kDueColumn;
    chart.fixedColumnCount = 2;

    // The 合计 row: printed and exported with the rest, not charted.
    const int row = grid.rows();
    grid.setRows(row + 1);
    grid.setTextMatrix(row, 1, QStringLiteral("合计"));
    for (int v = 0; v < int(totals.size()); ++v)
        grid.setTextMatrix(row, v < 3 ? kDueColumn + v : kFirstAgeColumn + v - 3,
                           amountText(totals[v]));
    grid.setTextMatrix(row, kOldestColumn, oldest.isValid() ? dayText(oldest) : QString());
    grid::FitGridColumns(grid, grid.fixedRows() - 1);
    return chart;
}

} // namespace analysis
