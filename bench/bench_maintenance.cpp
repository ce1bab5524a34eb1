// Figures of data maintenance on the big account set: a backup against
// copying the file with cp, compaction, tidying 10,000 orphan sales and
// clearing sales and purchases, each against the same work done by plain SQL
// on the same file.

#include "measure.h"

#include "store/access.h"
#include "store/engine.h"
#include "store/maintenance.h"
#include "store/programfolder.h"
#include "store/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace bench {

namespace {

const QString kWorkFile = QStringLiteral("DATA00004.qdt");
constexpr int kOrphans = 10000;

// A fresh copy of the big account set under kWorkFile, made current, its
// connection open (the key derivation is not part of the work measured).
bool freshWorkCopy(const Context &context)
{
    store::Registry::close(store::programFilePath(kWorkFile));
    store::Registry::close(store::programFilePath(context.accountFile));
    QFile::remove(store::programFilePath(kWorkFile));
    if (!QFile::copy(store::programFilePath(context.accountFile),
                     store::programFilePath(kWorkFile))) {
        std::fprintf(stderr, "cannot copy the account set\n");
        return false;
    }
    store::CurrentAccountFile = kWorkFile;
    store::Connection conn;
    return store::OpenConn(conn);
}

qlonglong countRows(const QString &sql)
{
    store::RecordSet rs;
    store::OpenQuery(rs, sql);
    return rs.value(0).toLongLong();
}

// Makes kOrphans sales point to customers and products that do not exist:
// half lose their customer, half their product.
bool makeOrphans()
{
    store::Connection conn;
    return store::OpenConn(conn)
           && conn->execNative(
                   QStringLiteral(
                           "UPDATE Sale SET CID = CID + 1000000 WHERE ID IN (SELECT ID FROM Sale "
                           "ORDER BY ID LIMIT %1);"
                           "UPDATE Sale SET PID = PID + 1000000 WHERE ID IN (SELECT ID FROM Sale "
                           "ORDER BY ID DESC LIMIT %1);")
                           .arg(kOrphans / 2));
}

void ratio(const QString &name, double ms, double plainMs)
{
    report(name + QStringLiteral("_ms"), ms, QStringLiteral("ms"));
    report(name + QStringLiteral("_plain_sql_ms"), plainMs, QStringLiteral("ms"));
    report(name + QStringLiteral("_ratio"), plainMs > 0 ? ms / plainMs : 0, QStringLiteral("x"));
}

} // namespace

void maintenanceFigures(const Context &context)
{
    bool wrong = false;
    const QString target = QDir(context.folder).filePath(QStringLiteral("backup.qdb"));
    const QString sourcePath = store::programFilePath(context.accountFile);
    report(QStringLiteral("maintenance_set_size"), QFileInfo(sourcePath).size() / 1048576.0,
           QStringLiteral("MB"));

    // Backup: from an open set (its connection is let go and the log folded
    // back as part of the backup) to a file that exists already.
    const double backupMs = medianMs(context.runs, [&]() -> double {
        store::CurrentAccountFile = context.accountFile;
        store::Connection conn;
        store::OpenConn(conn);
        conn.reset();
        return timeMs([&] {
            if (!store::BackupAccountSet(context.accountFile, target))
                wrong = true;
        });
    });
    const double cpMs = medianMs(context.runs, [&]() -> double {
        store::Registry::close(sourcePath);
        QFile::remove(target);
        return timeMs([&] {
            if (QProcess::execute(QStringLiteral("cp"), {sourcePath, target}) != 0)
                wrong = true;
        });
    });
    report(QStringLiteral("backup_ms"), backupMs, QStringLiteral("ms"));
    report(QStringLiteral("backup_cp_ms"), cpMs, QStringLiteral("ms"));
    report(QStringLiteral("backup_cp_ratio"), cpMs > 0 ? backupMs / cpMs : 0, QStringLiteral("x"));
    QFile::remove(target);

    // Compaction with its safety copy and check against VACUUM.
    const double compactMs = medianMs(context.runs, [&]() -> double {
        if (!freshWorkCopy(context))
            return 0;
        return timeMs([&] {
            if (!store::CompactAccount(kWorkFile))
                wrong = true;
        });
    });
    const double vacuumMs = medianMs(context.runs, [&]() -> double {
        if (!freshWorkCopy(context))
            return 0;
        store::Connection conn;
        store::OpenConn(conn);
        return timeMs([&] { conn->execNative(QStringLiteral("VACUUM")); });
    });
    ratio(QStringLiteral("compact"), compactMs, vacuumMs);

    // Tidying: 10,000 of the sales lost their customer or product.
    qlonglong tidied = 0;
    const double tidyMs = medianMs(context.runs, [&]() -> double {
        if (!freshWorkCopy(context) || !makeOrphans())
            return 0;
        return timeMs([&] { tidied = store::DeleteOrphanSales(); });
    });
    const double tidyPlainMs = medianMs(context.runs, [&]() -> double {
        if (!freshWorkCopy(context) || !makeOrphans())
            return 0;
        store::Connection conn;
        store::OpenConn(conn);
        return timeMs([&] {
            conn->execNative(QStringLiteral("DELETE FROM Sale WHERE CID NOT IN (SELECT ID FROM "
                                            "Cus) OR PID NOT IN (SELECT ID FROM Pro)"));
        });
    });
    if (tidied != kOrphans)
        wrong = true;
    report(QStringLiteral("tidy_deleted"), tidied, QStringLiteral("rows"));
    ratio(QStringLiteral("tidy"), tidyMs, tidyPlainMs);

    // Clearing sales and purchases, then compaction, as the dialog does.
    QVector<bool> boxes(store::kClearBoxCount, false);
    boxes[store::ClearSales] = true;
    boxes[store::ClearPurchases] = true;
    const double clearMs = medianMs(context.runs, [&]() -> double {
        if (!freshWorkCopy(context))
            return 0;
        store::CurrentUser = QStringLiteral("zunta");
        const double ms = timeMs([&] {
            if (!store::ClearData(boxes).compacted)
                wrong = true;
        });
        if (countRows(QStringLiteral("SELECT Count(*) FROM Sale"))
            + countRows(QStringLiteral("SELECT Count(*) FROM Pur")))
            wrong = true;
        return ms;
    });
    const double clearPlainMs = medianMs(context.runs, [&]() -> double {
        if (!freshWorkCopy(context))
            return 0;
        store::Connection conn;
        store::OpenConn(conn);
        return timeMs([&] {
            conn->execNative(
                    QStringLiteral("BEGIN; DELETE FROM Sale; DELETE FROM Pur; COMMIT; VACUUM"));
        });
    });
    ratio(QStringLiteral("clear_sales_purchases"), clearMs, clearPlainMs);
    store::CurrentUser.clear();

    store::Registry::close(store::programFilePath(kWorkFile));
    QFile::remove(store::programFilePath(kWorkFile));
    store::CurrentAccountFile = context.accountFile;
    if (wrong)
        std::fprintf(stderr, "a maintenance figure did not do its work\n");
}

} // namespace bench
