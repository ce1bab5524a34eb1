#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/session.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

// The size options build a book of exactly that size whose records point at existing masters.
class TestBenchSize : public QObject
{
    Q_OBJECT

private slots:
    void sizeOptionsBuildThatBook()
    {
        QTemporaryDir work;
        const QString book = work.filePath(QStringLiteral("book"));
        QProcess bench;
        const QString options = QStringLiteral("--sales 10000 --products 300 --customers 40");
        bench.start(QStringLiteral(KORVO_BENCH_PATH),
                    options.split(u' ') + QStringList{QStringLiteral("--folder"), book, "none"});
        QVERIFY(bench.waitForFinished(120000));
        QCOMPARE(bench.exitCode(), 0);
        QVERIFY(bench.readAllStandardOutput().contains(
                "dataset_sales@10000_sales: 10000.000 rows"));

        testsupport::TempProgramFolder folder;
        store::setProgramFolder(book);
        store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
        const QList<QPair<QString, int>> counts = {{QStringLiteral("Sale"), 10000},
                                                   {QStringLiteral("Pur"), 2000},
                                                   {QStringLiteral("Pro"), 300},
                                                   {QStringLiteral("Cus"), 40}};
        for (const auto &[table, rows] : counts)
            QCOMPARE(testsupport::countRows(table), qlonglong(rows));
        QCOMPARE(testsupport::countRows(
                         QStringLiteral("Sale WHERE PID NOT IN (SELECT ID FROM Pro) OR CID NOT IN "
                                        "(SELECT ID FROM Cus)")),
                 0);
        store::Registry::closeAll();
    }
};

QTEST_GUILESS_MAIN(TestBenchSize)
#include "tst_benchsize.moc"
