// Figures of the store: settings writes, action statements one by one and the
// joined sales list read through the access layer against plain SQLite.

#include "dataset.h"
#include "measure.h"

#include "store/access.h"
#include "store/engine.h"
#include "store/jetdialect.h"
#include "store/params.h"
#include "store/programfolder.h"

#include <QDateTime>
#include <QStringList>

#include <sqlite3.h>

namespace bench {

namespace {

// Keeps the compiler from dropping reads whose values are not used.
volatile qint64 sink = 0;

// The keys SaveSettings writes when the main window closes.
QStringList settingsKeys()
{
    QStringList keys{QStringLiteral("最近访问")};
    for (int i = 0; i < 4; ++i)
        keys << QStringLiteral("分割线_%1").arg(i);
    for (int i = 0; i < 8; ++i)
        keys << QStringLiteral("日期设定_DTP%1").arg(i);
    for (int i = 0; i < 4; ++i)
        keys << QStringLiteral("日期设定_SDTP%1").arg(i);
    return keys;
}

bool execPlain(sqlite3 *db, const QString &sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// What SetVar does, written directly: update the key's row, insert when none.
void setVarPlain(sqlite3 *db, const QString &key, const QString &value)
{
    sqlite3_stmt *update = nullptr;
    sqlite3_prepare_v2(db, "UPDATE 参数 SET Con=? WHERE Var=?", -1, &update, nullptr);
    const QByteArray k = key.toUtf8();
    const QByteArray v = value.toUtf8();
    sqlite3_bind_text(update, 1, v.constData(), v.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(update, 2, k.constData(), k.size(), SQLITE_TRANSIENT);
    sqlite3_step(update);
    sqlite3_finalize(update);
    if (sqlite3_changes(db) > 0)
        return;
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO 参数 (Var, Con) VALUES (?, ?)", -1, &insert, nullptr);
    sqlite3_bind_text(insert, 1, k.constData(), k.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, v.constData(), v.size(), SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_finalize(insert);
}

void settingsFigures(const Context &context, sqlite3 *db)
{
    const QStringList keys = settingsKeys();
    int round = 0;
    const double viaLayer = medianMs(context.runs, [&] {
        const QString value = QString::number(++round);
        return timeMs([&] {
            for (const QString &key : keys)
                store::SetVar(key, value);
        });
    });
    const double plain = medianMs(context.runs, [&] {
        const QString value = QString::number(++round);
        return timeMs([&] {
            for (const QString &key : keys)
                setVarPlain(db, key, value);
        });
    });
    report(QStringLiteral("setvar_17_ms"), viaLayer, QStringLiteral("ms"));
    report(QStringLiteral("setvar_17_sqlite_ms"), plain, QStringLiteral("ms"));
    report(QStringLiteral("setvar_17_ratio"), viaLayer / plain, QStringLiteral("x"));
}

void deleteFigures(const Context &context, sqlite3 *db)
{
    const int count = 1000;
    const auto refill = [&] {
        execPlain(
                db,
                QStringLiteral(
                        "DROP TABLE IF EXISTS T_BenchDel;"
                        "CREATE TABLE T_BenchDel (ID INTEGER PRIMARY KEY, PID INTEGER, Num DOUBLE);"
                        "INSERT INTO T_BenchDel SELECT ID, PID, Num FROM Sale WHERE ID<=%1;")
                        .arg(count));
    };
    const double viaLayer = medianMs(context.runs, [&] {
        refill();
        return timeMs([&] {
            for (int id = 1; id <= count; ++id)
                store::ExecSQL(QStringLiteral("DELETE * FROM T_BenchDel WHERE ID=%1").arg(id));
        });
    });
    const double plain = medianMs(context.runs, [&] {
        refill();
        return timeMs([&] {
            for (int id = 1; id <= count; ++id)
                execPlain(db, QStringLiteral("DELETE FROM T_BenchDel WHERE ID=%1").arg(id));
        });
    });
    execPlain(db, QStringLiteral("DROP TABLE IF EXISTS T_BenchDel"));
    report(QStringLiteral("execsql_1000_deletes_ms"), viaLayer, QStringLiteral("ms"));
    report(QStringLiteral("execsql_1000_deletes_sqlite_ms"), plain, QStringLiteral("ms"));
    report(QStringLiteral("execsql_1000_deletes_ratio"), viaLayer / plain, QStringLiteral("x"));
}

// Every field of every row, through OpenQuery and RecordSet::value.
qint64 readThroughLayer(const QString &sql)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    const int fields = rs.fieldCount();
    qint64 rows = 0;
    for (; !rs.eof(); rs.moveNext(), ++rows) {
        for (int i = 0; i < fields; ++i)
            sink = sink + rs.value(i).isValid();
    }
    store::CloseQuery(conn, rs);
    return rows;
}

// The same statement after dialect translation, read column by column with
// the SQLite C API.
qint64 readPlain(sqlite3 *db, const QString &sql)
{
    const QByteArray text = store::translateJet(sql).sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), text.size(), &stmt, nullptr) != SQLITE_OK)
        return -1;
    const int fields = sqlite3_column_count(stmt);
    qint64 rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int i = 0; i < fields; ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                sink = sink + sqlite3_column_int64(stmt, i);
                break;
            case SQLITE_FLOAT:
                sink = sink + qint64(sqlite3_column_double(stmt, i));
                break;
            case SQLITE_TEXT:
                sink = sink + *sqlite3_column_text(stmt, i) + sqlite3_column_bytes(stmt, i);
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    return rows;
}

void salesQueryFigures(const Context &context, sqlite3 *db)
{
    const QString end = QDate::fromString(QLatin1String(kLastDay), Qt::ISODate)
                                .addDays(1)
                                .toString(Qt::ISODate);
    const QString sql
            = QStringLiteral("SELECT Sale.*,Acc.Name AS AID,Pro.Name AS PID,Cus.Name AS CID,"
                             "Staff.Name AS SID FROM Sale,Acc,Pro,Cus,Staff WHERE Sale.AID=Acc.ID "
                             "AND Sale.PID=Pro.ID AND Sale.CID=Cus.ID AND Sale.SID=Staff.ID AND "
                             "Sale.Dat>=#%1# AND Sale.Dat<#%2#")
                      .arg(QLatin1String(kFirstDay), end);
    qint64 layerRows = 0;
    qint64 plainRows = 0;
    const double viaLayer = medianMs(
            context.runs, [&] { return timeMs([&] { layerRows = readThroughLayer(sql); }); });
    const double plain = medianMs(context.runs,
                                  [&] { return timeMs([&] { plainRows = readPlain(db, sql); }); });
    report(QStringLiteral("sales_query_rows"), double(layerRows), QStringLiteral("rows"));
    if (plainRows != layerRows)
        report(QStringLiteral("sales_query_rows_sqlite"), double(plainRows),
               QStringLiteral("rows"));
    report(QStringLiteral("sales_query_openquery_ms"), viaLayer, QStringLiteral("ms"));
    report(QStringLiteral("sales_query_sqlite_step_ms"), plain, QStringLiteral("ms"));
    report(QStringLiteral("sales_query_ratio"), viaLayer / plain, QStringLiteral("x"));
}

} // namespace

void storeFigures(const Context &context)
{
    // The registry's connection of the account set; the plain side works on
    // the very same handle, so both see the same file and cache.
    const store::DatabasePtr db
            = store::Registry::open(store::programFilePath(context.accountFile));
    if (!db) {
        report(QStringLiteral("store_open_failed"), 1, QStringLiteral("error"));
        return;
    }
    settingsFigures(context, db->handle());
    deleteFigures(context, db->handle());
    salesQueryFigures(context, db->handle());
}

} // namespace bench
