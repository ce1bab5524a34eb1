// Figures of the grid: a full sales list (29,164 rows × 12 columns, the row
// limit of a 12-column grid) loaded and fitted, against reading the same rows
// through the access layer; sorting it by a number column; the memory of the
// process holding it.

#include "measure.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/prompts.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <vector>

#include <time.h>

namespace bench {

namespace {

volatile qint64 gridSink = 0;

// The full grid: exactly the row limit of a 12-column grid.
constexpr int kGridRows = 29164;

// The sales list statement of the program (without its date range), cut to
// the first kGridRows sales.
QString salesStatement()
{
    return QStringLiteral("SELECT Sale.*,Acc.Name AS AID,Pro.Name AS PID,Cus.Name AS CID,"
                          "Staff.Name AS SID FROM Sale,Acc,Pro,Cus,Staff WHERE Sale.AID=Acc.ID "
                          "AND Sale.PID=Pro.ID AND Sale.CID=Cus.ID AND Sale.SID=Staff.ID "
                          "AND Sale.ID<=%1")
            .arg(kGridRows);
}

void setupSalesColumns(grid::Grid &grid)
{
    grid::SetupGridColumns(
            grid,
            {QStringLiteral("ID"), QString(), QStringLiteral("Dat"), QStringLiteral("PID"),
             QStringLiteral("CID"), QStringLiteral("AID"), QStringLiteral("SID"),
             QStringLiteral("Price"), QStringLiteral("Num"), QStringLiteral("Pay"),
             QStringLiteral("Pay1"), QStringLiteral("Memo")},
            {QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("销售日期"),
             QStringLiteral("产品"), QStringLiteral("客户"), QStringLiteral("收款账号"),
             QStringLiteral("销售员"), QStringLiteral("售价"), QStringLiteral("数量"),
             QStringLiteral("应收金额"), QStringLiteral("已收金额"), QStringLiteral("备注")});
    grid.setTag(QStringLiteral("Sale"));
}

// Every value of every row, read through OpenQuery.
qint64 readRows(const QString &sql, bool values)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    const int fields = rs.fieldCount();
    const int rows = rs.recordCount();
    if (values) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < fields; ++c)
                gridSink = gridSink + rs.valueAt(r, c).isValid();
    }
    store::CloseQuery(conn, rs);
    return rows;
}

// Peak and current resident memory of the process in MB (Linux).
double memoryMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted(field);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(wanted)) {
            const QList<QByteArray> parts = line.mid(wanted.size()).simplified().split(' ');
            return parts.value(0).toDouble() / 1024.0;
        }
    }
    return -1;
}

} // namespace

void gridFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("grid_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts quiet;
    store::setPrompts(&quiet);

    grid::Grid grid;
    grid.resize(1200, 700);
    grid.show();
    QCoreApplication::processEvents();

    const QString sql = salesStatement();
    const auto nothing = [] {
    };
    const Times read = measureTimes(context.runs, nothing, [&] { readRows(sql, true); });
    const Times openOnly = measureTimes(context.runs, nothing, [&] { readRows(sql, false); });
    const Times load = measureTimes(
            context.runs,
            [&] {
                setupSalesColumns(grid);
                QCoreApplication::processEvents();
            },
            [&] {
                grid::LoadGrid(grid, QString(), QString(), true, sql);
                QCoreApplication::processEvents(); // the first screenful is painted
            });
    report(QStringLiteral("grid_rows"), grid.dataRows(), QStringLiteral("rows"));
    report(QStringLiteral("grid_cols"), grid.cols(), QStringLiteral("cols"));
    report(QStringLiteral("grid_load_fit_ms"), load.wall, QStringLiteral("ms"));
    report(QStringLiteral("grid_openquery_read_ms"), read.wall, QStringLiteral("ms"));
    report(QStringLiteral("grid_openquery_only_ms"), openOnly.wall, QStringLiteral("ms"));
    report(QStringLiteral("grid_load_ratio"), load.wall / read.wall, QStringLiteral("x"));
    report(QStringLiteral("grid_load_ratio_openquery_only"), load.wall / openOnly.wall,
           QStringLiteral("x"));
    report(QStringLiteral("grid_load_fit_cpu_ms"), load.cpu, QStringLiteral("ms"));
    report(QStringLiteral("grid_openquery_read_cpu_ms"), read.cpu, QStringLiteral("ms"));
    report(QStringLiteral("grid_load_ratio_cpu"), load.cpu / read.cpu, QStringLiteral("x"));

    const Times fit = measureTimes(context.runs, nothing, [&] { grid::FitGridColumns(grid, 1); });
    report(QStringLiteral("grid_fit_ms"), fit.wall, QStringLiteral("ms"));
    report(QStringLiteral("grid_fit_cpu_ms"), fit.cpu, QStringLiteral("ms"));

    // Sort by 应收金额 (numeric, right-aligned) and by 产品 (text); every run
    // toggles the direction as a click on the title does.
    const int payColumn = 9;
    const Times sort = measureTimes(context.runs, nothing, [&] {
        grid::SortGridByColumn(grid, payColumn);
        QCoreApplication::processEvents();
    });
    report(QStringLiteral("grid_sort_numeric_ms"), sort.wall, QStringLiteral("ms"));
    report(QStringLiteral("grid_sort_numeric_cpu_ms"), sort.cpu, QStringLiteral("ms"));
    const Times sortText = measureTimes(context.runs, nothing, [&] {
        grid::SortGridByColumn(grid, 3);
        QCoreApplication::processEvents();
    });
    report(QStringLiteral("grid_sort_text_ms"), sortText.wall, QStringLiteral("ms"));

    report(QStringLiteral("grid_peak_rss_mb"), memoryMb("VmHWM:"), QStringLiteral("MB"));
    report(QStringLiteral("grid_rss_mb"), memoryMb("VmRSS:"), QStringLiteral("MB"));

    // The same rows with the product name looked up per row by an indirect
    // key: one query per distinct product, not per row.
    const Times lookup = measureTimes(
            context.runs,
            [&] {
                grid::SetupGridColumns(grid,
                                       {QStringLiteral("ID"), QString(), QStringLiteral("Dat"),
                                        QStringLiteral("PID:Pro:ID:Name"), QStringLiteral("Num"),
                                        QStringLiteral("Pay")},
                                       {QStringLiteral("ID"), QStringLiteral("序号"),
                                        QStringLiteral("日期"), QStringLiteral("产品"),
                                        QStringLiteral("数量"), QStringLiteral("金额")});
                grid.setTag(QStringLiteral("Sale"));
            },
            [&] {
                grid::LoadGrid(grid, QStringLiteral("ID<=%1").arg(kGridRows), QString(), true);
                QCoreApplication::processEvents();
            });
    report(QStringLiteral("grid_load_lookup_ms"), lookup.wall, QStringLiteral("ms"));

    store::setPrompts(nullptr);
}

} // namespace bench
