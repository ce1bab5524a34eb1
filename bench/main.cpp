// korvo_bench: builds a large generated account set in a temporary folder and
// prints one line per figure, "name: value unit", each the median of several
// runs. Run by hand:
//   korvo_bench [--runs N] [--small] [--sales N] [--products N] [--customers N]
//               [--folder DIR] [--keep DIR] [group...]
// --sales, --products and --customers set the size of the generated book
// (purchases are a fifth of the sales); every figure line names the number of
// sales. The group "none" only builds the book (with --folder, to keep it).
// --folder builds the account set in DIR (which must not hold one) and keeps it.
// --keep does the same and also leaves the scratch tables of the last
// analyses in it, naming each analysis's date range.

#include "dataset.h"
#include "measure.h"

#include "store/engine.h"
#include "store/programfolder.h"
#include "store/session.h"

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Group
{
    const char *name;
    void (*run)(const bench::Context &);
};

// Every group of figures, in the order they are printed.
const Group kGroups[] = {
        {"store", bench::storeFigures},
        {"grid", bench::gridFigures},
        {"masters", bench::mastersFigures},
        {"sales", bench::salesFigures},
        {"merge", bench::mergeFigures},
        {"print", bench::printFigures},
        {"notes", bench::notesFigures},
        {"transfer", bench::transferFigures},
        {"analysis", bench::analysisFigures},
        {"receipts", bench::receiptFigures},
        {"maintenance", bench::maintenanceFigures},
        {"sets", bench::setsFigures},
        {"cli", bench::cliFigures},
        {"find", bench::findFigures},
        {"server", bench::serverFigures},
};

} // namespace

int main(int argc, char *argv[])
{
    // The grid figures need widgets; without a display they are drawn
    // off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bench::Context context;
    bench::DataSetSize size;
    QStringList wanted;
    QString keepFolder; // --folder: build there and keep the files
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size()) {
            context.runs = qMax(1, args.at(++i).toInt());
        } else if (args.at(i) == QLatin1String("--folder") && i + 1 < args.size()) {
            keepFolder = args.at(++i);
        } else if (args.at(i) == QLatin1String("--keep") && i + 1 < args.size()) {
            keepFolder = args.at(++i);
            context.keep = true;
        } else if (args.at(i) == QLatin1String("--small")) {
            size.sales = 10000;
            size.purchases = 2000;
        } else if (args.at(i) == QLatin1String("--sales") && i + 1 < args.size()) {
            size.sales = qMax(1, args.at(++i).toInt());
            size.purchases = qMax(1, size.sales / 5);
        } else if (args.at(i) == QLatin1String("--products") && i + 1 < args.size()) {
            size.products = qMax(1, args.at(++i).toInt());
        } else if (args.at(i) == QLatin1String("--customers") && i + 1 < args.size()) {
            size.customers = qMax(1, args.at(++i).toInt());
        } else {
            wanted << args.at(i);
        }
    }

    QTemporaryDir temporary;
    if (keepFolder.isEmpty() && !temporary.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    context.folder = keepFolder.isEmpty() ? temporary.path() : keepFolder;
    if (!QDir().mkpath(context.folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(context.folder));
        return 1;
    }
    store::setProgramFolder(context.folder);
    context.accountFile = QStringLiteral("DATA00001.qdt");

    bench::setReportedSize(size.sales);
    QString error;
    const double buildMs = bench::timeMs([&] {
        if (!bench::buildDataSet(store::programFilePath(context.accountFile), size, &error))
            std::fprintf(stderr, "building the account set failed: %s\n", qPrintable(error));
    });
    if (!error.isEmpty())
        return 1;
    bench::report(QStringLiteral("dataset_sales"), size.sales, QStringLiteral("rows"));
    bench::report(QStringLiteral("dataset_build_ms"), buildMs, QStringLiteral("ms"));
    store::CurrentAccountFile = context.accountFile;

    for (const Group &group : kGroups) {
        if (wanted.isEmpty() || wanted.contains(QLatin1String(group.name)))
            group.run(context);
    }
    store::Registry::closeAll();
    return 0;
}
