// Figures of account-set files: opening a set, start-up with ten sets,
// creating a set, and the dialect translator on a very long statement.

#include "measure.h"

#include "store/accountsets.h"
#include "store/engine.h"
#include "store/jetdialect.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {

namespace {

// What making a set current reads first: its connection and its identity.
void openSet(const QString &fileName)
{
    store::Registry::close(store::programFilePath(fileName));
    store::CurrentAccountFile = fileName;
    store::ReadAccountSetInfo(fileName);
    store::GetVar(QStringLiteral("分割线_0"));
}

// Median time of start-up's store part up to the login dialog: list the sets
// of the program folder, open the one used last, read its settings.
double startUp(int runs)
{
    return medianMs(runs, [] {
        store::Registry::closeAll();
        store::CurrentAccountFile.clear();
        return timeMs([] {
            store::EnsureTemplate();
            store::BuildAccountSetList();
            store::MakeAccountSetCurrent(store::CurrentAccountIndex);
            store::GetVar(QStringLiteral("分割线_0"));
        });
    });
}

} // namespace

void setsFigures(const Context &context)
{
    const double open
            = medianMs(context.runs, [&] { return timeMs([&] { openSet(context.accountFile); }); });
    report(QStringLiteral("set_open_ms"), open, QStringLiteral("ms"));

    // Start-up in the big book's own folder.
    const double startupBig = startUp(context.runs);
    report(QStringLiteral("startup_to_login_big_set_ms"), startupBig, QStringLiteral("ms"));

    // Start-up's store part with ten sets: list them, read each one's
    // identity, open the one used last. Built in a folder of its own.
    QTemporaryDir folder;
    const QString previousFolder = store::programFolder();
    store::Registry::closeAll();
    store::setProgramFolder(folder.path());
    store::CurrentAccountFile.clear();
    store::CurrentAccountIndex = -1;
    store::AccountSets.clear();
    QString error;
    const double create = medianMs(context.runs, [&] {
        return timeMs([&] {
            if (store::CreateAccountSet(QStringLiteral("公司"), QStringLiteral("账"), &error) < 0)
                std::fprintf(stderr, "creating a set failed: %s\n", qPrintable(error));
        });
    });
    report(QStringLiteral("set_create_ms"), create, QStringLiteral("ms"));
    while (store::AccountSets.size() < 10)
        store::CreateAccountSet(QStringLiteral("公司"), QStringLiteral("账"));
    const double startup = startUp(context.runs);
    report(QStringLiteral("startup_10_sets_ms"), startup, QStringLiteral("ms"));
    report(QStringLiteral("startup_sets_listed"), store::AccountSets.size(),
           QStringLiteral("sets"));
    store::Registry::closeAll();
    store::AccountSets.clear();
    store::setProgramFolder(previousFolder);
    store::CurrentAccountFile = context.accountFile;

    // 16,000 nested TOPs.
    QString sql;
    for (int i = 0; i < 16000; ++i)
        sql += QStringLiteral("SELECT TOP 1 * FROM (");
    sql += QStringLiteral("SELECT ID FROM Pro") + QString(16000, QLatin1Char(')'));
    const double translate
            = medianMs(context.runs, [&] { return timeMs([&] { store::translateJet(sql); }); });
    report(QStringLiteral("translate_16000_tops_ms"), translate, QStringLiteral("ms"));
}

} // namespace bench
