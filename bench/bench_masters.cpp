// Figures of the master lists: deleting every customer (500) of the big
// account set, selected in the customer list, together with all their sales
// (100,000), against the same work done by two plain SQL statements on the
// same file.

#include "measure.h"

#include "grid/grid.h"
#include "records/customers.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "store/session.h"

#include <QApplication>
#include <QFile>

#include <algorithm>
#include <vector>

#include <cstdio>

#include <time.h>

namespace bench {

namespace {

const QString kWorkFile = QStringLiteral("DATA00002.qdt");

int rowCount(const QString &table)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) AS N FROM ") + table);
    return rs.value(0).toInt();
}

} // namespace

void mastersFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("masters_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts yes;
    store::setPrompts(&yes);
    grid::Grid grid;

    int customers = 0;
    int sales = 0;
    int salesLeft = -1;
    int customersLeft = -1;
    std::vector<double> cpu;
    const double deleteMs = medianMs(context.runs, [&]() -> double {
        if (!freshCopyOfBigSet(context, kWorkFile))
            return 0;
        customers = rowCount(QStringLiteral("Cus"));
        sales = rowCount(QStringLiteral("Sale"));
        records::LoadCustomerList(grid);
        grid.setRow(grid.fixedRows());
        grid.setRowSel(grid.rows() - 1);
        const double cpuStart = threadCpuTimeMs();
        const double ms = timeMs([&] { records::DeleteSelectedCustomers(grid); });
        cpu.push_back(threadCpuTimeMs() - cpuStart);
        salesLeft = rowCount(QStringLiteral("Sale"));
        customersLeft = rowCount(QStringLiteral("Cus"));
        return ms;
    });

    const double plainMs = medianMs(context.runs, [&]() -> double {
        if (!freshCopyOfBigSet(context, kWorkFile))
            return 0;
        store::Connection conn;
        if (!store::OpenConn(conn))
            return 0;
        return timeMs([&] {
            conn->execNative(QStringLiteral("BEGIN; DELETE FROM Sale WHERE CID IN "
                                            "(SELECT ID FROM Cus); DELETE FROM Cus; COMMIT;"));
        });
    });

    report(QStringLiteral("masters_delete_customers"), customers, QStringLiteral("rows"));
    report(QStringLiteral("masters_delete_customers_sales"), sales, QStringLiteral("rows"));
    report(QStringLiteral("masters_delete_customers_with_sales_ms"), deleteMs,
           QStringLiteral("ms"));
    // The first run is the warm-up.
    cpu.erase(cpu.begin());
    std::sort(cpu.begin(), cpu.end());
    report(QStringLiteral("masters_delete_customers_with_sales_cpu_ms"),
           cpu.empty() ? 0 : cpu[cpu.size() / 2], QStringLiteral("ms"));
    report(QStringLiteral("masters_delete_customers_plain_sql_ms"), plainMs, QStringLiteral("ms"));
    report(QStringLiteral("masters_delete_customers_ratio"), plainMs > 0 ? deleteMs / plainMs : 0,
           QStringLiteral("x"));
    if (salesLeft != 0 || customersLeft != 0 || !yes.messages.isEmpty())
        std::fprintf(stderr, "customer delete left %d sales and %d customers (%s)\n", salesLeft,
                     customersLeft, qPrintable(yes.messages.join(QStringLiteral(" / "))));

    store::Registry::close(store::programFilePath(kWorkFile));
    QFile::remove(store::programFilePath(kWorkFile));
    store::CurrentAccountFile = context.accountFile;
    store::setPrompts(nullptr);
}

} // namespace bench
