// Figures of a set on a PostgreSQL server against the same set as a file:
// the big book is uploaded to a server on this machine (a throwaway cluster
// over its Unix socket, or the database KORVO_PG names) and each figure is
// taken on both, with the server/file ratio.

#include "dataset.h"
#include "measure.h"

#include "analysis/analyses.h"
#include "grid/grid.h"
#include "records/saledialog.h"
#include "records/sales.h"
#include "store/access.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "store/servercopy.h"
#include "store/serverlinks.h"
#include "store/session.h"

#ifdef KORVO_BENCH_CLUSTER
#include "pgcluster.h"
#endif

#include <QApplication>
#include <QPointer>

#include <functional>
#include <memory>

namespace bench {

namespace {

const QString kLink = QStringLiteral("DATA00002.qsv");

// Times work on the file set and on the server set and prints both with
// their ratio under name.
void compareEngines(const Context &context, const QString &name, const std::function<void()> &work)
{
    double ms[2] = {0, 0};
    const QString sets[2] = {context.accountFile, kLink};
    for (int i = 0; i < 2; ++i) {
        store::CurrentAccountFile = sets[i];
        ms[i] = medianMs(context.runs, [&] { return timeMs(work); });
    }
    store::CurrentAccountFile = context.accountFile;
    report(QStringLiteral("server_") + name + QStringLiteral("_file_ms"), ms[0],
           QStringLiteral("ms"));
    report(QStringLiteral("server_") + name + QStringLiteral("_server_ms"), ms[1],
           QStringLiteral("ms"));
    report(QStringLiteral("server_") + name + QStringLiteral("_ratio"), ms[1] / ms[0],
           QStringLiteral("x"));
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
    store::Registry::closeAll();
    QFile::remove(store::programFilePath(kLink));
    store::setPrompts(nullptr);
}

} // namespace bench
