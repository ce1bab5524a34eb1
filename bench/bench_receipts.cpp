// Figures of receivables: the receivables analysis of the whole generated
// book (every customer with open sales, aged at its last day) against one
// plain SQL statement that computes the same sums on the same file, with a
// check that the two agree; and a receipt that settles 200 open sales of one
// customer in its transaction.

#include "dataset.h"
#include "measure.h"

#include "analysis/analyses.h"
#include "analysis/chart.h"
#include "grid/grid.h"
#include "records/receipts.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/formatting.h"
#include "store/programfolder.h"
#include "store/session.h"

#include <QApplication>
#include <QFile>

#include <cmath>
#include <cstdio>

namespace bench {

namespace {

const QString kReceiptFile = QStringLiteral("DATA00005.qdt");
constexpr int kOpenSales = 200;

// The same figures by hand: days counted with the engine's own date
// arithmetic rather than boundary days, receipts after the end day taken
// back out of what was paid.
QString plainReceivablesSql(const QDate &end)
{
    const QString day = QLatin1Char('\'') + end.toString(Qt::ISODate) + QLatin1Char('\'');
    const QString age = QStringLiteral("(julianday(%1)-julianday(date(Sale.Dat)))").arg(day);
    const QString rest = QStringLiteral("(Sale.Pay-Sale.Pay1+IfNull(L.Later,0))");
    const auto bucket = [&](const QString &condition) {
        return QStringLiteral("Sum(CASE WHEN %1 THEN %2 ELSE 0 END)").arg(condition, rest);
    };
    return QStringLiteral("SELECT Cus.Name,Sum(Sale.Pay),Sum(Sale.Pay1-IfNull(L.Later,0)),Sum(%1) "
                          "AS Owed,Min(Sale.Dat),")
                   .arg(rest)
           + bucket(age + QStringLiteral("<=30")) + QLatin1Char(',')
           + bucket(age + QStringLiteral(">30 AND ") + age + QStringLiteral("<=60"))
           + QLatin1Char(',')
           + bucket(age + QStringLiteral(">60 AND ") + age + QStringLiteral("<=90"))
           + QLatin1Char(',') + bucket(age + QStringLiteral(">90"))
           + QStringLiteral(" FROM Sale JOIN Cus ON Cus.ID=Sale.CID LEFT JOIN (SELECT TID,"
                            "Sum(RcvLine.Pay) AS Later FROM RcvLine JOIN Rcv ON Rcv.ID=RcvLine.RID "
                            "WHERE date(Rcv.Dat)>%1 GROUP BY TID) AS L ON L.TID=Sale.ID WHERE "
                            "%2>=0.005 AND date(Sale.Dat)<=%1 GROUP BY Sale.CID ORDER BY Owed "
                            "DESC")
                     .arg(day, rest);
}

volatile qint64 receiptSink = 0;

// Every value of every row read through the access layer; the total debt.
double plainTotal(const QString &sql, int *rows)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    double total = 0;
    for (int r = 0; r < rs.recordCount(); ++r) {
        for (int c = 0; c < rs.fieldCount(); ++c)
            receiptSink = receiptSink + rs.valueAt(r, c).isValid();
        total += rs.valueAt(r, 3).toDouble();
    }
    *rows = rs.recordCount();
    store::CloseQuery(conn, rs);
    return total;
}

// A new customer with kOpenSales open sales of 10.00 each; its ID.
qint64 customerWithOpenSales()
{
    store::Connection conn;
    if (!store::OpenConn(conn))
        return 0;
    conn->execNative(QStringLiteral("BEGIN"));
    store::ExecSQL(QStringLiteral("INSERT INTO Cus (Name) VALUES ('欠款客户')"), &conn);
    const qint64 id = conn->lastInsertId();
    for (int i = 0; i < kOpenSales; ++i)
        store::ExecSQL(QStringLiteral("INSERT INTO Sale (Dat,PID,CID,AID,SID,Pay,Pay1) VALUES "
                                      "('2024-%1-01 00:00:00',1,%2,1,2,10,0)")
                               .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                               .arg(id),
                       &conn);
    conn->execNative(QStringLiteral("COMMIT"));
    return id;
}

} // namespace

void receiptFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("receipts_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts prompts;
    store::setPrompts(&prompts);
    grid::Grid grid;
    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);

    const Times analysis = measureTimes(context.runs, {}, [&] {
        QDate start;
        QDate end = last;
        analysis::AnalyseBalances(grid, false, start, end);
    });
    int plainRows = 0;
    double plainOwed = 0;
    const Times plain = measureTimes(context.runs, {}, [&] {
        plainOwed = plainTotal(plainReceivablesSql(last), &plainRows);
    });
    const int rows = grid.rows() - grid.fixedRows() - 1; // less the 合计 row
    const double owed = store::leadingNumber(grid.textMatrix(grid.rows() - 1, 4));
    report(QStringLiteral("receivables_rows"), rows, QStringLiteral("rows"));
    report(QStringLiteral("receivables_ms"), analysis.wall, QStringLiteral("ms"));
    report(QStringLiteral("receivables_plain_sql_ms"), plain.wall, QStringLiteral("ms"));
    report(QStringLiteral("receivables_ratio"), plain.wall > 0 ? analysis.wall / plain.wall : 0,
           QStringLiteral("x"));
    report(QStringLiteral("receivables_cpu_ms"), analysis.cpu, QStringLiteral("ms"));
    report(QStringLiteral("receivables_plain_sql_cpu_ms"), plain.cpu, QStringLiteral("ms"));
    report(QStringLiteral("receivables_same_figures"),
           rows == plainRows && std::fabs(owed - plainOwed) < 0.01 ? 1 : 0, QStringLiteral("flag"));

    // The receipt works on a copy, so the big set stays as generated.
    if (freshCopyOfBigSet(context, kReceiptFile)) {
        qint64 customer = 0;
        int settled = 0;
        const Times receipt = measureTimes(
                context.runs, [&] { customer = customerWithOpenSales(); },
                [&] {
                    const records::SettlementResult result
                            = records::settle(records::receiptKind(),
                                              {customer, kOpenSales * 1000, last, 1, 2, QString()});
                    settled = int(result.lines.size());
                });
        report(QStringLiteral("receipt_settling_200_sales_ms"), receipt.wall, QStringLiteral("ms"));
        report(QStringLiteral("receipt_settled_sales"), settled, QStringLiteral("rows"));
        store::Registry::close(store::programFilePath(kReceiptFile));
        QFile::remove(store::programFilePath(kReceiptFile));
    }
    store::CurrentAccountFile = context.accountFile;
    store::setPrompts(nullptr);
}

} // namespace bench
