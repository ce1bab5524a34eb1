// Figures of the analyses on the generated book: each analysis with its
// chart drawn at a usual picture size, against one plain SQL statement that
// computes the same sums on the same file (read through the access layer),
// and the ratio of the two; then drawing a chart of 366 points and writing
// its JPEG. With --keep the scratch tables of the last run of every analysis
// stay in the kept account set, and one line per analysis names its range.

#include "dataset.h"
#include "measure.h"

#include "analysis/analyses.h"
#include "analysis/chart.h"
#include "analysis/picture.h"
#include "grid/grid.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/prompts.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <time.h>

namespace bench {

namespace {

volatile qint64 analysisSink = 0;

// The picture box of a maximised main window.
const QSize kPictureSize(900, 620);

// Reads every value of every row of sql through the access layer.
void readAll(const QString &sql)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    for (int r = 0; r < rs.recordCount(); ++r)
        for (int c = 0; c < rs.fieldCount(); ++c)
            analysisSink = analysisSink + rs.valueAt(r, c).isValid();
    store::CloseQuery(conn, rs);
}

// Times an analysis with its chart and the plain statement, and prints the
// two and their ratio under name, by wall time and by CPU time.
void compare(const Context &context, const QString &name,
             const std::function<analysis::ChartData()> &analyse, const QString &plainSql)
{
    int points = 0;
    const Times ms = measureTimes(context.runs, {}, [&] {
        const analysis::ChartData chart = analyse();
        points = chart.rowCount();
        analysisSink = analysisSink + analysis::ChartImage(chart, kPictureSize).width();
    });
    const Times plain = measureTimes(context.runs, {}, [&] { readAll(plainSql); });
    report(name + QStringLiteral("_rows"), points, QStringLiteral("rows"));
    report(name + QStringLiteral("_ms"), ms.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_plain_sql_ms"), plain.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_ratio"), plain.wall > 0 ? ms.wall / plain.wall : 0,
           QStringLiteral("x"));
    report(name + QStringLiteral("_cpu_ms"), ms.cpu, QStringLiteral("ms"));
    report(name + QStringLiteral("_plain_sql_cpu_ms"), plain.cpu, QStringLiteral("ms"));
    report(name + QStringLiteral("_ratio_cpu"), plain.cpu > 0 ? ms.cpu / plain.cpu : 0,
           QStringLiteral("x"));
}

QString range(const QDate &start, const QDate &end)
{
    return QStringLiteral("Dat>=") + records::jetDate(start) + QStringLiteral(" AND Dat<")
           + records::jetDate(end.addDays(1));
}

void kept(const char *name, const QDate &start, const QDate &end)
{
    std::printf("kept_%s_range: %s %s\n", name, qPrintable(analysis::dayText(start)),
                qPrintable(analysis::dayText(end)));
    std::fflush(stdout);
}

} // namespace

void analysisFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("analysis_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts prompts;
    store::setPrompts(&prompts);
    grid::Grid grid;
    grid.resize(500, 620);

    const QDate first = QDate::fromString(QString::fromLatin1(kFirstDay), Qt::ISODate);
    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);
    const QDate yearStart(last.year(), 1, 1);
    const QDate oneDay(last.year(), 6, 30);

    compare(
            context, QStringLiteral("analysis_sales_by_day_whole_book"),
            [&] {
                QDate start = first;
                QDate end = last;
                return analysis::AnalyseSales(grid, analysis::Grouping::Day, true, start, end,
                                              QString(), QString());
            },
            QStringLiteral("SELECT Dat,SUM(Pay) AS Sm FROM Sale WHERE ") + range(first, last)
                    + QStringLiteral(" GROUP BY Dat ORDER BY Dat"));
    compare(
            context, QStringLiteral("analysis_sales_by_product"),
            [&] {
                QDate start = first;
                QDate end = last;
                return analysis::AnalyseSales(grid, analysis::Grouping::Product, true, start, end,
                                              QString(), QString());
            },
            QStringLiteral("SELECT Pro.Name,Ana.Sm FROM Pro,(SELECT PID AS ID,SUM(Pay) AS Sm FROM "
                           "Sale WHERE ")
                    + range(first, last)
                    + QStringLiteral(" GROUP BY PID) AS Ana WHERE Pro.ID=Ana.ID ORDER BY Ana.Sm "
                                     "DESC"));
    // Stock: every movement up to the end counts.
    const QString movements = QStringLiteral("(SELECT PID,Dat,0-Num AS Sm FROM Sale WHERE Dat<%1 "
                                             "UNION ALL SELECT PID,Dat,Num AS Sm FROM Pur WHERE "
                                             "Dat<%1)");
    compare(
            context, QStringLiteral("analysis_stock_one_day"),
            [&] { return analysis::AnalyseStock(grid, oneDay, oneDay, QString(), false); },
            QStringLiteral("SELECT Pro.Name,Ana.Sm FROM Pro,(SELECT PID,Sum(Sm) AS Sm FROM ")
                    + movements.arg(records::jetDate(oneDay.addDays(1)))
                    + QStringLiteral(" GROUP BY PID) AS Ana WHERE Ana.PID=Pro.ID ORDER BY Ana.Sm "
                                     "DESC"));
    compare(
            context, QStringLiteral("analysis_stock_day_by_day_year"),
            [&] { return analysis::AnalyseStock(grid, yearStart, last, QString(), false); },
            QStringLiteral("SELECT Dat,Sum(Sm) AS Sm FROM ")
                    + movements.arg(records::jetDate(last.addDays(1)))
                    + QStringLiteral(" GROUP BY Dat ORDER BY Dat"));
    compare(
            context, QStringLiteral("analysis_customer_ranking"),
            [&] {
                QDate start = yearStart;
                QDate end = last;
                return analysis::AnalyseCustomers(grid, start, end, 0);
            },
            QStringLiteral("SELECT Cus.Name,Ana.Sm FROM Cus,(SELECT CID,Sum(Pay) AS Sm FROM Sale "
                           "WHERE ")
                    + range(yearStart, last)
                    + QStringLiteral(" GROUP BY CID) AS Ana WHERE Cus.ID=Ana.CID ORDER BY Ana.Sm "
                                     "DESC"));
    compare(
            context, QStringLiteral("analysis_profit_year"),
            [&] {
                QDate start = yearStart;
                QDate end = last;
                return analysis::AnalyseProfit(grid, start, end);
            },
            QStringLiteral("SELECT PID,Sum(Pay) AS Pay,Sum(Num) AS Num FROM Sale WHERE ")
                    + range(yearStart, last) + QStringLiteral(" GROUP BY PID"));
    compare(
            context, QStringLiteral("analysis_profit_all_dates"),
            [&] {
                QDate start = first;
                QDate end = last;
                return analysis::AnalyseProfit(grid, start, end);
            },
            QStringLiteral("SELECT PID,Sum(Pay) AS Pay,Sum(Num) AS Num FROM Sale WHERE ")
                    + range(first, last) + QStringLiteral(" GROUP BY PID"));

    // A chart of a leap year's days, drawn and written as a picture.
    QDate start(2024, 1, 1);
    QDate end(2024, 12, 31);
    const analysis::ChartData chart = analysis::AnalyseSales(grid, analysis::Grouping::Day, true,
                                                             start, end, QString(), QString());
    report(QStringLiteral("chart_points"), chart.rowCount(), QStringLiteral("points"));
    QImage image;
    report(QStringLiteral("chart_draw_366_points_ms"),
           medianMs(context.runs,
                    [&] {
                        return timeMs([&] { image = analysis::ChartImage(chart, kPictureSize); });
                    }),
           QStringLiteral("ms"));
    const QString jpeg = QDir(context.folder).filePath(QStringLiteral("chart.jpg"));
    report(QStringLiteral("chart_jpeg_write_ms"),
           medianMs(context.runs,
                    [&] { return timeMs([&] { analysis::WriteJpeg(image, jpeg); }); }),
           QStringLiteral("ms"));
    report(QStringLiteral("chart_jpeg_bytes"), double(QFileInfo(jpeg).size()),
           QStringLiteral("bytes"));
    QFile::remove(jpeg);

    if (context.keep) {
        // The last run of each analysis, one scratch table each: T_SaleAna
        // by product, T_AnaStock1 the one day, T_AnaStock the year day by
        // day, T_AnaCus and T_AnaFront/T_AnaAll the year.
        QDate a = first;
        QDate b = last;
        analysis::AnalyseSales(grid, analysis::Grouping::Product, true, a, b, QString(), QString());
        kept("sales_by_product", first, last);
        analysis::AnalyseStock(grid, oneDay, oneDay, QString(), false);
        kept("stock_one_day", oneDay, oneDay);
        analysis::AnalyseStock(grid, yearStart, last, QString(), false);
        kept("stock_day_by_day", yearStart, last);
        a = yearStart;
        b = last;
        analysis::AnalyseCustomers(grid, a, b, 0);
        kept("customers", yearStart, last);
        a = yearStart;
        b = last;
        analysis::AnalyseProfit(grid, a, b);
        kept("profit", yearStart, last);
    }
    store::setPrompts(nullptr);
}

} // namespace bench
