// korvo-cli figures: the tool run as a process, beside the same work done
// inside the program.

#include "dataset.h"
#include "measure.h"

#include "grid/grid.h"
#include "records/sales.h"
#include "records/trades.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "transfer/exporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace bench {

namespace {

// Runs the tool in the program folder; false when it did not end with 0.
bool runTool(const QString &tool, const QString &folder, const QStringList &args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORVO_PASSWORD"), QStringLiteral("zunta"));
    process.setProcessEnvironment(env);
    process.start(tool, QStringList{QStringLiteral("--folder"), folder} + args);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

} // namespace

void cliFigures(const Context &context)
{
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/korvo-cli");
    if (!QFileInfo::exists(tool)) {
        report(QStringLiteral("cli_skipped_no_tool"), 1, QStringLiteral("flag"));
        return;
    }
    // The tool opens the sets itself; the program's connections go first.
    store::Registry::closeAll();

    // Ten sets: the big one and nine copies of it in a folder of their own.
    const QString tenSets = context.folder + QStringLiteral("/cli-ten-sets");
    QDir().mkpath(tenSets);
    const QString big = QDir(context.folder).filePath(context.accountFile);
    for (int n = 1; n <= 10; ++n)
        QFile::copy(big, tenSets + QStringLiteral("/DATA%1.qdt").arg(n, 5, 10, QLatin1Char('0')));
    bool ok = true;
    const double setsMs = medianMs(context.runs, [&] {
        return timeMs([&] { ok = runTool(tool, tenSets, {QStringLiteral("sets")}) && ok; });
    });
    report(QStringLiteral("cli_sets_10_ms"), setsMs, QStringLiteral("ms"));
    // The same listing inside the program: every set opened and read, as
    // start-up and the chooser do.
    const QString ownFolder = store::programFolder();
    store::setProgramFolder(tenSets);
    const double programSetsMs = medianMs(context.runs, [&] {
        store::Registry::closeAll();
        return timeMs([&] { store::BuildAccountSetList(); });
    });
    store::Registry::closeAll();
    store::setProgramFolder(ownFolder);
    store::BuildAccountSetList();
    report(QStringLiteral("program_sets_10_ms"), programSetsMs, QStringLiteral("ms"));
    report(QStringLiteral("cli_help_ms"),
           medianMs(context.runs,
                    [&] {
                        return timeMs([&] { runTool(tool, tenSets, {QStringLiteral("--help")}); });
                    }),
           QStringLiteral("ms"));

    // The sales list of the last year, exported to CSV by the tool and by
    // the program's own list and export code.
    const QString from = QStringLiteral("2024-01-01");
    const QString to = QStringLiteral("2024-12-31");
    const QString toolCsv = context.folder + QStringLiteral("/cli-sales.csv");
    const double toolMs = medianMs(context.runs, [&] {
        QFile::remove(toolCsv);
        return timeMs([&] {
            ok = runTool(tool, context.folder,
                         {QStringLiteral("export"), QStringLiteral("sales"),
                          QStringLiteral("--from"), from, QStringLiteral("--to"), to,
                          QStringLiteral("--set"), context.accountFile, QStringLiteral("--user"),
                          QStringLiteral("zunta"), QStringLiteral("--out"), toolCsv})
                 && ok;
        });
    });
    const QString programCsv = context.folder + QStringLiteral("/program-sales.csv");
    const double programMs = medianMs(context.runs, [&] {
        QFile::remove(programCsv);
        return timeMs([&] {
            grid::Grid list;
            records::LoadSalesList(list, QDate::fromString(from, Qt::ISODate),
                                   QDate::fromString(to, Qt::ISODate), records::FilterBar{});
            transfer::ExportCsv(list, programCsv);
        });
    });
    // The program's first export after the set was opened: the connection
    // is fresh (its key derived before the clock starts) and none of the
    // file's pages are decrypted yet, as for the tool, which starts cold
    // every time.
    const double programColdMs = medianMs(context.runs, [&] {
        QFile::remove(programCsv);
        store::Registry::closeAll();
        store::Registry::open(store::programFilePath(context.accountFile));
        return timeMs([&] {
            grid::Grid list;
            records::LoadSalesList(list, QDate::fromString(from, Qt::ISODate),
                                   QDate::fromString(to, Qt::ISODate), records::FilterBar{});
            transfer::ExportCsv(list, programCsv);
        });
    });
    report(QStringLiteral("cli_export_sales_year_ms"), toolMs, QStringLiteral("ms"));
    report(QStringLiteral("program_export_sales_year_ms"), programMs, QStringLiteral("ms"));
    report(QStringLiteral("cli_export_sales_year_ratio"), programMs > 0 ? toolMs / programMs : 0,
           QStringLiteral("x"));
    report(QStringLiteral("program_export_sales_year_cold_ms"), programColdMs,
           QStringLiteral("ms"));
    report(QStringLiteral("cli_export_sales_year_cold_ratio"),
           programColdMs > 0 ? toolMs / programColdMs : 0, QStringLiteral("x"));
    report(QStringLiteral("cli_sets_10_ratio"), programSetsMs > 0 ? setsMs / programSetsMs : 0,
           QStringLiteral("x"));
    report(QStringLiteral("cli_runs_ok"), ok ? 1 : 0, QStringLiteral("flag"));
    store::Registry::closeAll();
    QDir(tenSets).removeRecursively();
}

} // namespace bench
