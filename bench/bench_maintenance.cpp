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

void ratio(const QString &name, const Times &work, const Times &plain)
{
    report(name + QStringLiteral("_ms"), work.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_cpu_ms"), work.cpu, QStringLiteral("ms"));
    report(name + QStringLiteral("_plain_sql_ms"), plain.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_plain_sql_cpu_ms"), plain.cpu, QStringLiteral("ms"));
    report(name + QStringLiteral("_ratio"), plain.wall > 0 ? work.wall / plain.wall : 0,
           QStringLiteral("x"));
}

} // namespace

void maintenanceFigures(const Context &context)
{
    bool wrong = false;
    const QString target = QDir(context.folder).filePath(QStringLiteral("backup.qdb"));
    const QString sourcePath = store::programFilePath(context.accountFile);
    report(QStringLiteral("maintenance_set_size"), QFileInfo(sourcePath).size() / 1048576.0,
           QStringLiteral("MB"));
    store::Connection conn; // the plain statements' connection

    // Backup: from an open set (its connection is let go and the log folded
    // back as part of the backup) to a file that exists already.
    const Times backup = measureTimes(
            context.runs,
            [&] {
                store::CurrentAccountFile = context.accountFile;
                store::OpenConn(conn);
                conn.reset();
            },
            [&] {
                if (!store::BackupAccountSet(context.accountFile, target))
                    wrong = true;
            });
    // cp runs in its own process: only the wall time compares.
    const Times cp = measureTimes(
            context.runs,
            [&] {
                store::Registry::close(sourcePath);
                QFile::remove(target);
            },
            [&] {
                if (QProcess::execute(QStringLiteral("cp"), {sourcePath, target}) != 0)
                    wrong = true;
            });
    // The backup is on the disk when the program says it is done (the copy
    // is synced before its rename); cp leaves that to the kernel. The same
    // copy with the file synced afterwards shows what the waiting costs.
    const Times cpSynced = measureTimes(
            context.runs,
            [&] {
                store::Registry::close(sourcePath);
                QFile::remove(target);
            },
            [&] {
                if (QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
                                                             QStringLiteral("cp \"$0\" \"$1\" && "
                                                                            "sync --data \"$1\""),
                                                             sourcePath, target})
                    != 0)
                    wrong = true;
            });
    report(QStringLiteral("backup_ms"), backup.wall, QStringLiteral("ms"));
    report(QStringLiteral("backup_cpu_ms"), backup.cpu, QStringLiteral("ms"));
    report(QStringLiteral("backup_cp_ms"), cp.wall, QStringLiteral("ms"));
    report(QStringLiteral("backup_cp_ratio"), cp.wall > 0 ? backup.wall / cp.wall : 0,
           QStringLiteral("x"));
    report(QStringLiteral("backup_cp_sync_ms"), cpSynced.wall, QStringLiteral("ms"));
    report(QStringLiteral("backup_cp_sync_ratio"),
           cpSynced.wall > 0 ? backup.wall / cpSynced.wall : 0, QStringLiteral("x"));
    QFile::remove(target);

    // Compaction with its safety copy and checks, against VACUUM.
    const auto fresh = [&] {
        conn.reset();
        if (!freshCopyOfBigSet(context, kWorkFile))
            wrong = true;
        store::OpenConn(conn);
    };
    const Times compact = measureTimes(
            context.runs,
            [&] {
                fresh();
                conn.reset();
            },
            [&] {
                if (!store::CompactAccount(kWorkFile))
                    wrong = true;
            });
    const Times vacuum = measureTimes(context.runs, fresh,
                                      [&] { conn->execNative(QStringLiteral("VACUUM")); });
    ratio(QStringLiteral("compact"), compact, vacuum);

    // Tidying: 10,000 of the sales lost their customer or product.
    qlonglong tidied = 0;
    const auto freshWithOrphans = [&] {
        fresh();
        if (!makeOrphans())
            wrong = true;
    };
    const Times tidy = measureTimes(
            context.runs,
            [&] {
                freshWithOrphans();
                conn.reset();
            },
            [&] { tidied = store::DeleteOrphanSales(); });
    const Times tidyPlain = measureTimes(context.runs, freshWithOrphans, [&] {
        conn->execNative(QStringLiteral("DELETE FROM Sale WHERE CID NOT IN (SELECT ID FROM Cus) "
                                        "OR PID NOT IN (SELECT ID FROM Pro)"));
    });
    if (tidied != kOrphans)
        wrong = true;
    report(QStringLiteral("tidy_deleted"), tidied, QStringLiteral("rows"));
    ratio(QStringLiteral("tidy"), tidy, tidyPlain);

    // Clearing sales and purchases, then compaction, as the dialog does.
    QVector<bool> boxes(store::kClearBoxCount, false);
    boxes[store::ClearSales] = true;
    boxes[store::ClearPurchases] = true;
    store::CurrentUser = QStringLiteral("zunta");
    const Times clear = measureTimes(
            context.runs,
            [&] {
                fresh();
                conn.reset();
            },
            [&] {
                if (!store::ClearData(boxes).compacted)
                    wrong = true;
            });
    if (countRows(QStringLiteral("SELECT Count(*) FROM Sale")) != 0)
        wrong = true;
    const Times clearPlain = measureTimes(context.runs, fresh, [&] {
        conn->execNative(
                QStringLiteral("BEGIN; DELETE FROM Sale; DELETE FROM Pur; COMMIT; VACUUM"));
    });
    ratio(QStringLiteral("clear_sales_purchases"), clear, clearPlain);
    store::CurrentUser.clear();

    conn.reset();
    store::Registry::close(store::programFilePath(kWorkFile));
    QFile::remove(store::programFilePath(kWorkFile));
    store::CurrentAccountFile = context.accountFile;
    if (wrong)
        std::fprintf(stderr, "a maintenance figure did not do its work\n");
}

} // namespace bench
