// Figures of export and import: the sales list at its row limit (29,164 rows
// of a 12-column grid) written to CSV and to .xlsx; 30,000 generated sales
// rows naming 1,000 products, 500 customers, 20 accounts and 20 staff members
// imported from CSV and from .xlsx into a fresh account set (so every name is
// new and creates its master row), against inserting the same rows with one
// prepared statement in one transaction on the same kind of file.

#include "dataset.h"
#include "measure.h"

#include "grid/grid.h"
#include "grid/gridops.h"
#include "records/sales.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "transfer/columns.h"
#include "transfer/csv.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"
#include "transfer/workbook.h"

#include <QApplication>
#include <QDate>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <time.h>

namespace bench {

namespace {

const QString kImportFile = QStringLiteral("DATA00004.qdt");

// Names of the generated import rows.
QString productName(int i)
{
    return QStringLiteral("导入产品%1").arg(i % 1000);
}
QString customerName(int i)
{
    return QStringLiteral("导入客户%1").arg((i * 7) % 500);
}
QString accountName(int i)
{
    return QStringLiteral("导入账户%1").arg(i % 20);
}
QString staffName(int i)
{
    return QStringLiteral("导入员工%1").arg((i * 3) % 20);
}
QDate saleDay(int i)
{
    return QDate(2024, 1, 1).addDays(i % 366);
}
double price(int i)
{
    return 5 + (i % 97) * 0.5;
}
double quantity(int i)
{
    return 1 + i % 9;
}

// A fresh, empty account set made current with its connection open (the key
// derivation is not part of an import).
bool freshImportSet()
{
    const QString path = store::programFilePath(kImportFile);
    store::Registry::close(path);
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    QString error;
    if (!store::BuildTemplate(path, &error)) {
        std::fprintf(stderr, "cannot build the import set: %s\n", qPrintable(error));
        return false;
    }
    store::CurrentAccountFile = kImportFile;
    store::Connection conn;
    return store::OpenConn(conn);
}

int countRows(const QString &table)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) FROM ") + table);
    return rs.value(0).toInt();
}

// The same rows as the import writes, by one prepared INSERT in one
// transaction, the master rows made first and their IDs known.
void preparedInsert()
{
    store::Connection conn;
    if (!store::OpenConn(conn))
        return;
    sqlite3 *db = conn->handle();
    {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        struct Master
        {
            const char *table;
            int count;
            QString (*name)(int);
        };
        const Master masters[] = {{"Pro", 1000, productName},
                                  {"Cus", 500, customerName},
                                  {"Acc", 20, accountName},
                                  {"Staff", 20, staffName}};
        QHash<QString, qint64> ids[4];
        for (int m = 0; m < 4; ++m) {
            sqlite3_stmt *stmt = nullptr;
            const QByteArray sql
                    = QByteArray("INSERT INTO ") + masters[m].table + " (Name) VALUES (?)";
            sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
            for (int i = 0; i < kImportRows; ++i) {
                const QString name = masters[m].name(i);
                if (ids[m].contains(name))
                    continue;
                const QByteArray utf8 = name.toUtf8();
                sqlite3_bind_text(stmt, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                sqlite3_step(stmt);
                sqlite3_reset(stmt);
                ids[m].insert(name, sqlite3_last_insert_rowid(db));
            }
            sqlite3_finalize(stmt);
        }
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(
                db,
                "INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                -1, &stmt, nullptr);
        for (int i = 0; i < kImportRows; ++i) {
            const QByteArray day
                    = saleDay(i).toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
            const QByteArray memo = QStringLiteral("批量导入第%1行").arg(i + 1).toUtf8();
            const double pay = price(i) * quantity(i);
            sqlite3_bind_text(stmt, 1, day.constData(), int(day.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(stmt, 2, ids[0].value(productName(i)));
            sqlite3_bind_int64(stmt, 3, ids[1].value(customerName(i)));
            sqlite3_bind_int64(stmt, 4, ids[2].value(accountName(i)));
            sqlite3_bind_int64(stmt, 5, ids[3].value(staffName(i)));
            sqlite3_bind_double(stmt, 6, price(i));
            sqlite3_bind_double(stmt, 7, quantity(i));
            sqlite3_bind_double(stmt, 8, pay);
            sqlite3_bind_double(stmt, 9, pay);
            sqlite3_bind_text(stmt, 10, memo.constData(), int(memo.size()), SQLITE_TRANSIENT);
            sqlite3_step(stmt);
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
}

void reportTiming(const QString &name, const Times &timing)
{
    report(name + QStringLiteral("_ms"), timing.wall, QStringLiteral("ms"));
    report(name + QStringLiteral("_cpu_ms"), timing.cpu, QStringLiteral("ms"));
}

} // namespace

void fillImportGrid(grid::Grid &grid)
{
    const QStringList keys = {QStringLiteral("ID"),   QString(),
                              QStringLiteral("Dat"),  QStringLiteral("PID"),
                              QStringLiteral("CID"),  QStringLiteral("AID"),
                              QStringLiteral("SID"),  QStringLiteral("Price"),
                              QStringLiteral("Num"),  QStringLiteral("Pay"),
                              QStringLiteral("Pay1"), QStringLiteral("Memo")};
    grid::SetupGridColumns(grid, keys, records::salesListTitles());
    grid.setTag(QStringLiteral("Sale"));
    grid.setRows(kImportRows + 2);
    grid::GridBatch batch(grid);
    for (int i = 0; i < kImportRows; ++i) {
        const int r = i + 2;
        const double pay = price(i) * quantity(i);
        grid.setTextMatrix(r, 1, QString::number(i + 1));
        grid.setTextMatrix(r, 2, saleDay(i).toString(QStringLiteral("yyyy.MM.dd")));
        grid.setTextMatrix(r, 3, productName(i));
        grid.setTextMatrix(r, 4, customerName(i));
        grid.setTextMatrix(r, 5, accountName(i));
        grid.setTextMatrix(r, 6, staffName(i));
        grid.setTextMatrix(r, 7, QString::number(price(i), 'f', 2));
        grid.setTextMatrix(r, 8, QString::number(quantity(i)));
        grid.setTextMatrix(r, 9, QString::number(pay, 'f', 2));
        grid.setTextMatrix(r, 10, QString::number(pay, 'f', 2));
        grid.setTextMatrix(r, 11, QStringLiteral("批量导入第%1行").arg(i + 1));
    }
    grid.setColWidth(0, 0);
    for (int c = 1; c < grid.cols(); ++c)
        grid.setColWidth(c, 1200);
}

void transferFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("transfer_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts yes;
    store::setPrompts(&yes);

    // Export: the sales list of the whole generated period, cut at the row
    // limit.
    {
        grid::Grid list;
        records::LoadSalesList(list, QDate::fromString(QLatin1String(kFirstDay), Qt::ISODate),
                               QDate::fromString(QLatin1String(kLastDay), Qt::ISODate),
                               records::FilterBar{});
        report(QStringLiteral("export_list_rows"), list.dataRows(), QStringLiteral("rows"));
        yes.messages.clear(); // the row-limit message of the list
        const QString csv = context.folder + QStringLiteral("/export.csv");
        const QString xlsx = context.folder + QStringLiteral("/export.xlsx");
        reportTiming(QStringLiteral("export_csv"),
                     measureTimes(context.runs, {}, [&] { transfer::ExportCsv(list, csv); }));
        reportTiming(QStringLiteral("export_xlsx"), measureTimes(context.runs, {}, [&] {
                         transfer::ExportExcel(list, xlsx, list.reportTitle());
                     }));
        report(QStringLiteral("export_csv_bytes"), QFile(csv).size(), QStringLiteral("bytes"));
        report(QStringLiteral("export_xlsx_bytes"), QFile(xlsx).size(), QStringLiteral("bytes"));
        QFile::remove(csv);
        QFile::remove(xlsx);
    }

    // Import: the generated rows written to both kinds of file by export.
    const QString csv = context.folder + QStringLiteral("/import.csv");
    const QString xlsx = context.folder + QStringLiteral("/import.xlsx");
    {
        grid::Grid source;
        fillImportGrid(source);
        transfer::ExportCsv(source, csv);
        transfer::ExportExcel(source, xlsx, QStringLiteral("销售单"));
    }
    const QString savedFile = store::CurrentAccountFile;
    // Reading alone, without writing.
    reportTiming(QStringLiteral("import_csv_read"),
                 measureTimes(context.runs, {}, [&] { transfer::ReadCsvRecords(csv); }));
    reportTiming(QStringLiteral("import_xlsx_read"), measureTimes(context.runs, {}, [&] {
                     QVector<transfer::SheetRow> rows;
                     transfer::SheetError error = transfer::SheetError::None;
                     transfer::readSheetRows(xlsx, QStringLiteral("销售单"), 2, kImportRows + 1,
                                             &rows, &error);
                 }));

    grid::Grid target;
    QVector<transfer::MapEntry> mapping;
    bool wrong = false;
    const auto setUpImport = [&] {
        if (!freshImportSet()) {
            wrong = true;
            return;
        }
        records::LoadSalesList(target, QDate(2024, 1, 1), QDate(2024, 12, 31),
                               records::FilterBar{});
        mapping = transfer::gridMapEntries(target);
        for (int k = 0; k < mapping.size(); ++k)
            mapping[k].columnsText = transfer::ColumnLetters(k + 2);
    };
    const auto check = [&] {
        if (countRows(QStringLiteral("Sale")) != kImportRows
            || countRows(QStringLiteral("Pro")) != 1000 || countRows(QStringLiteral("Cus")) != 500)
            wrong = true;
    };
    const Times csvImport = measureTimes(context.runs, setUpImport, [&] {
        transfer::ImportCsv(target, mapping, csv, 2, kImportRows + 1);
    });
    check();
    const Times xlsxImport = measureTimes(context.runs, setUpImport, [&] {
        transfer::ImportExcel(target, mapping, xlsx, QStringLiteral("销售单"), 2, kImportRows + 1);
    });
    check();
    const Times plain = measureTimes(
            context.runs, [&] { wrong = !freshImportSet() || wrong; }, [&] { preparedInsert(); });
    reportTiming(QStringLiteral("import_csv_30000"), csvImport);
    reportTiming(QStringLiteral("import_xlsx_30000"), xlsxImport);
    reportTiming(QStringLiteral("import_prepared_insert_30000"), plain);
    report(QStringLiteral("import_csv_ratio"), plain.wall > 0 ? csvImport.wall / plain.wall : 0,
           QStringLiteral("x"));
    report(QStringLiteral("import_csv_cpu_ratio"), plain.cpu > 0 ? csvImport.cpu / plain.cpu : 0,
           QStringLiteral("x"));
    if (wrong || !yes.messages.isEmpty())
        std::fprintf(stderr, "import did not write the expected rows: %s\n",
                     qPrintable(yes.messages.join(QLatin1Char('/'))));

    store::Registry::close(store::programFilePath(kImportFile));
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(store::programFilePath(kImportFile) + QLatin1String(suffix));
    QFile::remove(csv);
    QFile::remove(xlsx);
    store::CurrentAccountFile = savedFile;
    store::setPrompts(nullptr);
}

} // namespace bench
