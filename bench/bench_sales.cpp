// Figures of the sales side: the sales list of a whole year and of all dates
// (more rows than a 12-column grid takes, so the row-limit message comes up
// and is answered) against reading the same rows through OpenQuery, with the
// list's peak memory and its CSV export, and opening the sale dialog with its
// four lists filled from the generated master tables.

#include "dataset.h"
#include "measure.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "records/saledialog.h"
#include "records/sales.h"
#include "store/access.h"
#include "store/prompts.h"
#include "transfer/exporter.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QPointer>
#include <QString>

#include <algorithm>
#include <functional>
#include <vector>

#include <time.h>

namespace bench {

namespace {

volatile qint64 salesSink = 0;

// Reads every value of every row of sql through the access layer.
int readAll(const QString &sql)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    const int rows = rs.recordCount();
    const int fields = rs.fieldCount();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < fields; ++c)
            salesSink = salesSink + rs.valueAt(r, c).isValid();
    store::CloseQuery(conn, rs);
    return rows;
}

// Loads the sales list from start to end into grid (answering the row-limit
// message) against reading the same rows through OpenQuery, and prints both
// under name. The list's peak memory is measured from the first load on.
void listFigures(const Context &context, AnsweringPrompts &prompts, grid::Grid &grid,
                 const QString &name, const QDate &start, const QDate &end)
{
    records::FilterBar bar;
    bar.textField = QStringLiteral("产品     Pro");
    bar.textOperator = QStringLiteral("包含");
    bar.numberField = QStringLiteral("售价  Price");
    bar.numberOperator = QStringLiteral("等于");
    const QString sql = records::salesListSql(start, end, records::SalesFilter(bar));

    int rowsInRange = 0;
    const Times read = measureTimes(context.runs, {}, [&] { rowsInRange = readAll(sql); });
    resetPeakMemory();
    const double memoryBefore = peakMemoryMb();
    const int messagesBefore = int(prompts.messages.size());
    // The list is given backwards (end first), as a user may pick the dates.
    const Times load = measureTimes(context.runs, {}, [&] {
        records::LoadSalesList(grid, end, start, bar);
        QCoreApplication::processEvents(); // the first screenful is painted
    });
    const int limitMessages = int(prompts.messages.size()) - messagesBefore;
    report(name + QStringLiteral("_rows_in_range"), rowsInRange, QStringLiteral("rows"));
    report(name + QStringLiteral("_rows_shown"), grid.dataRows(), QStringLiteral("rows"));
    report(name + QStringLiteral("_limit_message_each_load"),
           limitMessages == std::max(1, context.runs) + 1 ? 1 : 0, QStringLiteral("flag"));
    report(name + QStringLiteral("_load_ms"), load.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_openquery_read_ms"), read.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_load_ratio"), load.wall / read.wall, QStringLiteral("x"));
    report(name + QStringLiteral("_load_cpu_ms"), load.cpu, QStringLiteral("ms"));
    report(name + QStringLiteral("_openquery_read_cpu_ms"), read.cpu, QStringLiteral("ms"));
    report(name + QStringLiteral("_load_ratio_cpu"), load.cpu / read.cpu, QStringLiteral("x"));
    report(name + QStringLiteral("_peak_rss_mb"), peakMemoryMb(), QStringLiteral("MB"));
    report(name + QStringLiteral("_peak_rss_growth_mb"), peakMemoryMb() - memoryBefore,
           QStringLiteral("MB"));
}

} // namespace

void salesFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("sales_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts prompts;
    store::setPrompts(&prompts);

    grid::Grid grid;
    grid.resize(1200, 700);
    grid.show();
    QCoreApplication::processEvents();
    const QDate first = QDate::fromString(QString::fromLatin1(kFirstDay), Qt::ISODate);
    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);
    listFigures(context, prompts, grid, QStringLiteral("sales_list"), QDate(last.year(), 1, 1),
                last);
    listFigures(context, prompts, grid, QStringLiteral("sales_list_all_dates"), first, last);

    // The whole list as shown (up to the row limit) written to CSV.
    const QString csv = context.folder + QStringLiteral("/sales-all-dates.csv");
    report(QStringLiteral("sales_list_all_dates_export_csv_ms"),
           medianMs(context.runs, [&] { return timeMs([&] { transfer::ExportCsv(grid, csv); }); }),
           QStringLiteral("ms"));
    QFile::remove(csv);

    // Opening the sale dialog: four lists (products, customers, accounts,
    // staff) with their defaults, hints and price, shown on screen.
    QPointer<records::SaleDialog> dialog;
    int listed = 0;
    const double open = medianMs(context.runs, [&] {
        if (dialog)
            delete dialog;
        const double ms = timeMs([&] {
            dialog = records::ShowSaleDialog(0);
            QCoreApplication::processEvents();
        });
        listed = dialog->list(0)->count() + dialog->list(1)->count();
        return ms;
    });
    delete dialog;
    report(QStringLiteral("sale_dialog_products_customers_listed"), listed,
           QStringLiteral("entries"));
    report(QStringLiteral("sale_dialog_open_ms"), open, QStringLiteral("ms"));

    store::setPrompts(nullptr);
}

} // namespace bench
