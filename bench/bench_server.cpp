// Figures of a set on a PostgreSQL server against the same set as a file:
// the big book is uploaded to a server on this machine (a throwaway cluster
// over its Unix socket, or the database KORVO_PG names) and each figure is
// taken on both, with the server/file ratio.

#include "dataset.h"
#include "measure.h"

#include "analysis/analyses.h"
#include "grid/grid.h"
#include "records/customers.h"
#include "records/merge.h"
#include "records/saledialog.h"
#include "records/sales.h"
#include "store/access.h"
#include "store/maintenance.h"
#include "store/pgconnection.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "store/servercopy.h"
#include "store/serverlinks.h"
#include "store/session.h"
#include "transfer/columns.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"
#include "ui/progress.h"

#ifdef KORVO_BENCH_CLUSTER
#include "pgcluster.h"
#endif

#include <QApplication>
#include <QFile>
#include <QPointer>

#include <functional>
#include <memory>

namespace bench {

namespace {

const QString kLink = QStringLiteral("DATA00002.qsv");
const QString kWorkFile = QStringLiteral("DATA00003.qdt");

// Times work on the file set fileSet and on the server set and prints both
// with their ratio under name: the median of runs after a warm-up of each,
// or, for work that changes the set (runs 0), one run each, so that both
// engines go through the same changes in the same order. The engines take
// turns run by run, so that a change in the machine's load falls on both.
// prepare and check, when given, run before and after each timed run,
// untimed. Returns the server's time.
double compareOn(const QString &fileSet, int runs, const QString &name,
                 const std::function<void()> &work, const std::function<void()> &prepare = {},
                 const std::function<void()> &check = {})
{
    const QString sets[2] = {fileSet, kLink};
    std::vector<double> times[2];
    for (int run = runs > 0 ? -1 : 0; run < std::max(1, runs); ++run) {
        for (int i = 0; i < 2; ++i) {
            store::CurrentAccountFile = sets[i];
            if (prepare)
                prepare();
            const double ms = timeMs(work);
            if (check)
                check();
            if (run >= 0)
                times[i].push_back(ms);
        }
    }
    const double ms[2] = {median(times[0]), median(times[1])};
    store::CurrentAccountFile = fileSet;
    report(QStringLiteral("server_") + name + QStringLiteral("_file_ms"), ms[0],
           QStringLiteral("ms"));
    report(QStringLiteral("server_") + name + QStringLiteral("_server_ms"), ms[1],
           QStringLiteral("ms"));
    report(QStringLiteral("server_") + name + QStringLiteral("_ratio"), ms[1] / ms[0],
           QStringLiteral("x"));
    return ms[1];
}

void compareEngines(const Context &context, const QString &name, const std::function<void()> &work)
{
    compareOn(context.accountFile, context.runs, name, work);
}

void compareOnce(const QString &name, const std::function<void()> &work,
                 const std::function<void()> &prepare = {}, const std::function<void()> &check = {})
{
    compareOn(kWorkFile, 0, name, work, prepare, check);
}

// The first number a query on the current set gives.
qlonglong firstNumber(const QString &sql)
{
    store::RecordSet rs;
    store::OpenQuery(rs, sql);
    return rs.value(0).toLongLong();
}

// The changing figures: merging 50 products, importing 30,000 CSV rows
// (against the same rows sent with COPY alone), deleting every customer
// with their sales.
void changingFigures(const Context &context, const QString &connInfo)
{
    if (!freshCopyOfBigSet(context, kWorkFile))
        return;
    QVector<qint64> merged;
    for (int id = 2; id <= 51; ++id)
        merged << id;
    compareOnce(QStringLiteral("merge_50_products"), [&] {
        ui::ProgressStart(QStringLiteral("正在合并替换..."), merged.size());
        records::ReplaceName(QStringLiteral("Pro"), merged, 1, true);
        ui::ProgressClose();
    });

    const QString csv = context.folder + QStringLiteral("/server-import.csv");
    {
        grid::Grid source;
        fillImportGrid(source);
        transfer::ExportCsv(source, csv);
    }
    // The import runs several times on each engine. After each server run
    // the same rows go in again with COPY in one transaction, nothing else,
    // rolled back: rows all alike would make the server's index upkeep much
    // cheaper than the import's, and the comparison meaningless. Between
    // runs, untimed, the imported rows are deleted and the server's table
    // cleaned, so that every import and every COPY finds the same set.
    const QStringList columns
            = {QStringLiteral("dat"), QStringLiteral("pid"), QStringLiteral("cid"),
               QStringLiteral("aid"), QStringLiteral("sid"), QStringLiteral("price"),
               QStringLiteral("num"), QStringLiteral("pay"), QStringLiteral("pay1"),
               QStringLiteral("memo")};
    auto conn = store::PgConnection::open(connInfo);
    std::vector<double> copyTimes;
    grid::Grid target;
    QVector<transfer::MapEntry> mapping;
    qlonglong lastBefore = 0;
    const double importMs = compareOn(
            kWorkFile, context.runs, QStringLiteral("import_csv_30000"),
            [&] { transfer::ImportCsv(target, mapping, csv, 2, kImportRows + 1); },
            [&] {
                // Loading the list and its columns and finding the last
                // record are not part of the import.
                records::LoadSalesList(target, QDate(2024, 1, 1), QDate(2024, 1, 1),
                                       records::FilterBar{});
                mapping = transfer::gridMapEntries(target);
                for (int k = 0; k < mapping.size(); ++k)
                    mapping[k].columnsText = transfer::ColumnLetters(k + 2);
                lastBefore = firstNumber(QStringLiteral("SELECT Max(ID) FROM Sale"));
            },
            [&] {
                const QString rows = QStringLiteral("Sale WHERE ID > %1").arg(lastBefore);
                if (firstNumber(QStringLiteral("SELECT Count(*) FROM ") + rows) != kImportRows)
                    std::fprintf(stderr, "the import did not write %d rows\n", kImportRows);
                store::PgRows imported;
                const bool onServer = store::CurrentAccountFile == kLink && conn
                                      && conn->query(QStringLiteral("SELECT %1 FROM sale WHERE "
                                                                    "id > %2 ORDER BY id")
                                                             .arg(columns.join(QLatin1Char(',')))
                                                             .arg(lastBefore),
                                                     imported);
                store::ExecSQL(QStringLiteral("DELETE * FROM ") + rows);
                if (!onServer)
                    return;
                conn->exec(QStringLiteral("VACUUM sale"));
                copyTimes.push_back(timeMs([&] {
                    conn->exec(QStringLiteral("BEGIN"));
                    conn->copyRows(QStringLiteral("sale"), columns, imported.rows);
                    conn->exec(QStringLiteral("ROLLBACK"));
                }));
                conn->exec(QStringLiteral("VACUUM sale"));
            });
    // The first COPY went with the import's warm-up run.
    if (copyTimes.size() > 1)
        copyTimes.erase(copyTimes.begin());
    const double copyMs = median(copyTimes);
    report(QStringLiteral("server_import_copy_30000_ms"), copyMs, QStringLiteral("ms"));
    if (copyMs > 0)
        report(QStringLiteral("server_import_csv_30000_over_copy"), importMs / copyMs,
               QStringLiteral("x"));

    grid::Grid customers;
    compareOnce(QStringLiteral("delete_customers_with_sales"), [&] {
        records::LoadCustomerList(customers);
        customers.setRow(customers.fixedRows());
        customers.setRowSel(customers.rows() - 1);
        records::DeleteSelectedCustomers(customers);
    });
    store::Registry::close(store::programFilePath(kWorkFile));
    QFile::remove(store::programFilePath(kWorkFile));
    QFile::remove(csv);
}

} // namespace

void serverFigures(const Context &context)
{
    QString connInfo = qEnvironmentVariable("KORVO_PG");
#ifdef KORVO_BENCH_CLUSTER
    std::unique_ptr<testsupport::PgCluster> cluster;
    if (connInfo.isEmpty()) {
        cluster = std::make_unique<testsupport::PgCluster>();
        if (!cluster->isRunning() || !cluster->createDatabase(QStringLiteral("bench"))) {
            report(QStringLiteral("server_skipped_no_cluster"), 1, QStringLiteral("flag"));
            return;
        }
        connInfo = cluster->connInfo(QStringLiteral("bench"));
    }
#endif
    if (connInfo.isEmpty()) {
        report(QStringLiteral("server_skipped_no_server"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts prompts;
    store::setPrompts(&prompts);
    QString error;
    const double uploadMs = timeMs([&] {
        if (!store::UploadAccountSet(store::programFilePath(context.accountFile), connInfo, &error))
            std::fprintf(stderr, "upload failed: %s\n", qPrintable(error));
    });
    if (!error.isEmpty()
        || !store::writeServerLink(store::programFilePath(kLink), connInfo, &error)) {
        report(QStringLiteral("server_skipped_upload_failed"), 1, QStringLiteral("flag"));
        store::setPrompts(nullptr);
        return;
    }
    report(QStringLiteral("server_upload_ms"), uploadMs, QStringLiteral("ms"));

    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);
    const QDate yearStart(last.year(), 1, 1);
    grid::Grid grid;
    grid.resize(1200, 700);
    grid.show();
    records::FilterBar bar;
    bar.textField = QStringLiteral("产品     Pro");
    bar.textOperator = QStringLiteral("包含");
    bar.numberField = QStringLiteral("售价  Price");
    bar.numberOperator = QStringLiteral("等于");
    compareEngines(context, QStringLiteral("sales_list_year"), [&] {
        records::LoadSalesList(grid, yearStart, last, bar);
        QCoreApplication::processEvents();
    });
    report(QStringLiteral("server_sales_list_year_rows_shown"), grid.dataRows(),
           QStringLiteral("rows"));
    compareEngines(context, QStringLiteral("sale_dialog_open"), [&] {
        QPointer<records::SaleDialog> dialog = records::ShowSaleDialog(0);
        QCoreApplication::processEvents();
        delete dialog;
    });
    compareEngines(context, QStringLiteral("profit_year"), [&] {
        QDate start = yearStart;
        QDate end = last;
        analysis::AnalyseProfit(grid, start, end);
    });
    const QString backup = context.folder + QStringLiteral("/server-backup.qdb");
    compareEngines(context, QStringLiteral("backup"), [&] {
        QFile::remove(backup);
        store::BackupAccountSet(store::CurrentAccountFile, backup);
    });
    QFile::remove(backup);
    changingFigures(context, connInfo);
    store::CurrentAccountFile = context.accountFile;
    store::Registry::closeAll();
    QFile::remove(store::programFilePath(kLink));
    store::setPrompts(nullptr);
}

} // namespace bench
