// Figures of the sales side: the sales list of a whole year (more rows than a
// 12-column grid takes, so the row-limit message comes up and is answered)
// against reading the same rows through OpenQuery, and opening the sale
// dialog with its four lists filled from the generated master tables.

#include "dataset.h"
#include "measure.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "records/saledialog.h"
#include "records/sales.h"
#include "store/access.h"
#include "store/prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
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

} // namespace

void salesFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("sales_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts prompts;
    store::setPrompts(&prompts);

    // The last year of the generated records, given backwards as a user may.
    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);
    const QDate start(last.year(), 1, 1);
    const QDate end = last;
    records::FilterBar bar;
    bar.textField = QStringLiteral("产品     Pro");
    bar.textOperator = QStringLiteral("包含");
    bar.numberField = QStringLiteral("售价  Price");
    bar.numberOperator = QStringLiteral("等于");
    const QString sql = records::salesListSql(start, end, records::SalesFilter(bar));

    int rowsInRange = 0;
    const Times read = measureTimes(context.runs, {}, [&] { rowsInRange = readAll(sql); });

    grid::Grid grid;
    grid.resize(1200, 700);
    grid.show();
    QCoreApplication::processEvents();
    const int messagesBefore = int(prompts.messages.size());
    const Times load = measureTimes(context.runs, {}, [&] {
        records::LoadSalesList(grid, end, start, bar);
        QCoreApplication::processEvents(); // the first screenful is painted
    });
    const int limitMessages = int(prompts.messages.size()) - messagesBefore;
    report(QStringLiteral("sales_list_rows_in_range"), rowsInRange, QStringLiteral("rows"));
    report(QStringLiteral("sales_list_rows_shown"), grid.dataRows(), QStringLiteral("rows"));
    report(QStringLiteral("sales_list_limit_message_each_load"),
           limitMessages == std::max(1, context.runs) + 1 ? 1 : 0, QStringLiteral("flag"));
    report(QStringLiteral("sales_list_load_ms"), load.wall, QStringLiteral("ms"));
    report(QStringLiteral("sales_list_openquery_read_ms"), read.wall, QStringLiteral("ms"));
    report(QStringLiteral("sales_list_load_ratio"), load.wall / read.wall, QStringLiteral("x"));
    report(QStringLiteral("sales_list_load_cpu_ms"), load.cpu, QStringLiteral("ms"));
    report(QStringLiteral("sales_list_openquery_read_cpu_ms"), read.cpu, QStringLiteral("ms"));
    report(QStringLiteral("sales_list_load_ratio_cpu"), load.cpu / read.cpu, QStringLiteral("x"));

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
