// Loading grids from an account set and deleting grid rows with their records.

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "testsupport.h"

#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/session.h"
#include "ui/progress.h"

#include <QTest>

#include <memory>

using grid::Grid;
using namespace Qt::StringLiterals;

namespace {

const QString kAccount = QStringLiteral("DATA00001.qdt");

QStringList split(const char *list)
{
    return QString::fromUtf8(list).split(QLatin1Char(','));
}

bool run(const QString &sql)
{
    QString error;
    const bool ok
            = store::Registry::open(store::programFilePath(kAccount))->execNative(sql, &error);
    if (!ok)
        qWarning() << sql << error;
    return ok;
}

// n rows 1..n in Big (ID, Name, Price); in one transaction, so it is quick.
void fillBig(int n)
{
    QVERIFY(run(
            QStringLiteral("CREATE TABLE Big (ID INTEGER PRIMARY KEY, Name TEXT, Price DOUBLE);"
                           "BEGIN; WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM k "
                           "WHERE i<%1) INSERT INTO Big SELECT i, 'n'||i, i*0.5 FROM k; COMMIT;")
                    .arg(n)));
}

// A twelve-column list grid on Big, loaded by ID.
void setupBigGrid(Grid &grid, bool load = true)
{
    QStringList keys = split("ID,,Name,Price"), titles = split("ID,序号,名称,价格");
    for (int c = 4; c < 12; ++c) {
        keys << QStringLiteral("Price");
        titles << QStringLiteral("列%1").arg(c);
    }
    grid::SetupGridColumns(grid, keys, titles);
    grid.setTag(QStringLiteral("Big"));
    if (load)
        grid::LoadGrid(grid, QString(), QStringLiteral("ID"), true);
}

} // namespace

using testsupport::column;
using testsupport::countRows;

class TestGridLoader : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::FolderWithSet> m_fx;

    // The messages shown since the last call.
    QStringList messages() { return std::exchange(m_fx->prompts.messages, {}); }

private slots:
    void init() { m_fx = std::make_unique<testsupport::FolderWithSet>(); }
    void cleanup() { m_fx.reset(); }

    // Twelve columns give 29,164 rows, halves to even.
    void rowLimit()
    {
        for (const auto &[columns, limit] : {std::pair{12, 29164}, {7, 49998}, {0, 0}})
            QCOMPARE(grid::LoadGridRowLimit(columns), limit);
    }

    // Past the row limit the user is told; exactly at it nothing is said.
    void tooManyRowsShowsTheLimit()
    {
        fillBig(40000);
        Grid grid;
        setupBigGrid(grid);
        QCOMPARE(grid.dataRows(), 29164);
        QCOMPARE(messages(), QStringList(u"数据库里共有40000条记录，表格只能显示29164条记录，"
                                         "因此无法全部显示，请修改筛选条件。"_s));
        QCOMPARE(grid.textMatrix(29165, 1), u"29164"_s);
        // Texts shared between cells while loading never stand in for another value.
        for (int r = 2; r < grid.rows(); ++r) {
            if (grid.textMatrix(r, 2) != u"n%1"_s.arg(r - 1)
                || grid.textMatrix(r, 3) != QString::number((r - 1) * 0.5, 'f', 2))
                QFAIL(qPrintable(u"row %1: "_s.arg(r) + grid.textMatrix(r, 2)));
        }
        QVERIFY(!ui::progressWindow()); // closed again

        QVERIFY(run(u"DELETE FROM Big WHERE ID>29164"_s));
        grid::LoadGrid(grid, QString(), QString(), true);
        QCOMPARE(grid.dataRows(), 29164);
        QVERIFY(messages().isEmpty());
    }

    // Texts, colours and alignments by type; numbers right-align only if the first row has one.
    void formatsAndAlignmentByType()
    {
        QVERIFY(run(u"CREATE TABLE Items (ID INTEGER PRIMARY KEY, Name TEXT, Price DOUBLE, "
                    "Num INTEGER, CD INTEGER, Dat DATETIME, Done BOOLEAN, Memo TEXT, Cor INTEGER);"
                    "INSERT INTO Items VALUES (1, '钢管', 3, 7, 7, '2024-03-05 14:07:00', 1, NULL,"
                    " 255), (2, 'it''s', 2.5, 12, 12, '1900-01-01 00:00:00', 0, 'x', 0),"
                    " (3, NULL, NULL, NULL, NULL, NULL, NULL, 'y', NULL),"
                    " (4, 'skip', 1, 1, 1, NULL, 0, '', 1);"_s));
        Grid grid;
        grid::SetupGridColumns(grid, split("ID,,Name,Price,Num,CD,Dat,Done,Memo,Missing,,Cor"),
                               split("ID,序号,名称,价格,数量,代码,日期,完成,备注,无,空,颜色"));
        grid.setTag(u"Items"_s);
        grid::LoadGrid(grid, u"ID<=3"_s, u"ID DESC"_s, true);

        QStringList rows;
        for (int r = 2; r < grid.rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < grid.cols(); ++c)
                cells << (c == 1 ? u"-"_s : grid.textMatrix(r, c));
            rows << cells.join(QLatin1Char('|'));
        }
        QCOMPARE(rows, QStringList({"3|-|||||||y|||", "2|-|it's|2.50|12|12|||x|||",
                                    "1|-|钢管|3.00|7|07|2024.03.05|√||||"}));
        QCOMPARE(QList<QColor>({grid.cellBackColor(3, 11), grid.cellBackColor(4, 11)}),
                 QList<QColor>({QColor(1, 1, 1), QColor(255, 0, 0)}));
        QCOMPARE(grid.colAlignment(3), 0);

        grid::LoadGrid(grid, u"ID<=2"_s, u"ID"_s, false);
        QCOMPARE(column(grid, 6), (QStringList{"2024.03.05 14:07", ""}));
        for (int c : {3, 4, 5, 2, 6})
            QCOMPARE(grid.colAlignment(c),
                     c == 2 || c == 6 ? grid::kAlignLeftTop : grid::kAlignRightBottom);
        QCOMPARE(grid.row(), 2); // the first data row is current
        QVERIFY(messages().isEmpty());
    }

    // A statement tag runs as it is; a statement argument replaces it; a failure leaves the header.
    void statementTagAndFailedQuery()
    {
        fillBig(5);
        Grid grid;
        setupBigGrid(grid, false);
        const QString statement = u"SELECT * FROM Big WHERE ID>=4 ORDER BY ID DESC"_s;
        grid.setTag(statement);
        grid::LoadGrid(grid, u"ID=1"_s, u"ID"_s, true);
        QCOMPARE(column(grid, 0), (QStringList{"5", "4"}));
        grid::LoadGrid(grid, u"ID=1"_s, QString(), true, u"SELECT * FROM Big WHERE ID=2"_s);
        QCOMPARE(column(grid, 0), (QStringList{"2"}));
        QCOMPARE(grid.tag(), statement);

        grid.setTag(u"NoSuchTable"_s);
        grid::LoadGrid(grid, QString(), QString(), true);
        QCOMPARE(QStringList({QString::number(grid.rows()), grid.textMatrix(1, 2)}),
                 QStringList({"2", "名称"}));
        QCOMPARE(messages(), QStringList(u"数据库打开错误(SELECT * FROM NoSuchTable)！"_s));
    }

    // "field:table:keyField:resultField" shows the looked-up value, also for keys with quotes.
    void indirectLookup()
    {
        QVERIFY(run(
                u"CREATE TABLE Names (ID INTEGER PRIMARY KEY, Code TEXT, Name TEXT, Price DOUBLE);"
                "INSERT INTO Names VALUES (1, 'A1', '钢管', 2.5), (2, 'O''Neil', '角铁', 3);"
                "CREATE TABLE Uses (ID INTEGER PRIMARY KEY, PID INTEGER, Code TEXT);"
                "BEGIN; WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM k WHERE i<500) "
                "INSERT INTO Uses SELECT i, 1 + i % 2, CASE i % 2 WHEN 0 THEN 'A1' ELSE 'O''Neil' "
                "END FROM k; COMMIT;"
                "INSERT INTO Uses VALUES (501, 9, 'none'), (502, NULL, NULL);"_s));
        Grid grid;
        grid::SetupGridColumns(
                grid, split("ID,,PID:Names:ID:Name,Code:Names:Code:Name,PID:Names:ID:Price,PID"),
                split("ID,序号,产品,按代码,价,编号"));
        grid.setTag(u"Uses"_s);
        grid::LoadGrid(grid, QString(), u"ID"_s, true);
        QCOMPARE(grid.dataRows(), 502);
        // ID 1: PID 2, code O'Neil; ID 2: PID 1, code A1; no Names row 9.
        for (int c : {2, 3})
            QCOMPARE(QStringList({grid.textMatrix(2, c), grid.textMatrix(3, c),
                                  grid.textMatrix(502, c)}),
                     QStringList({"角铁", "钢管", ""}));
        // The plain text of the value; a NULL key; the key itself.
        QCOMPARE(QStringList(
                         {grid.textMatrix(2, 4), grid.textMatrix(503, 2), grid.textMatrix(502, 5)}),
                 QStringList({"3", "", "9"}));
        QVERIFY(messages().isEmpty());
    }

    // Rows 3 to 5 are data rows 2 to 4: their records go, the rows below keep their numbers.
    void deleteRowsAndRecords()
    {
        fillBig(6);
        Grid grid;
        setupBigGrid(grid);
        m_fx->prompts.answers = {false};
        QVERIFY(!grid::DeleteGridRows(grid, 5, 3, true));
        QCOMPARE(m_fx->prompts.questions, QStringList(u"您确定要删除第2-4行数据？"_s));
        QCOMPARE(grid.dataRows(), 6);
        m_fx->prompts.answers = {true};
        QVERIFY(grid::DeleteGridRows(grid, 5, 3, true));
        QCOMPARE(column(grid, 0) + column(grid, 1), (QStringList{"1", "5", "6", "1", "5", "6"}));
        QCOMPARE(countRows(u"Big"_s), 3);
        QCOMPARE(store::LookupValue(u"Big"_s, 3, u"ID"_s, u"Name"_s).toString(), QString());

        // An ID that is not a number deletes nothing; a range reaching into the header is cut.
        grid.setTextMatrix(3, 0, u"5 OR 1=1"_s);
        QVERIFY(grid::DeleteGridRows(grid, 3, 3, false));
        QCOMPARE(countRows(u"Big"_s), 3);
        QCOMPARE(column(grid, 0), (QStringList{"1", "6"}));
        QVERIFY(grid::DeleteGridRows(grid, 0, 2, false));
        QCOMPARE(grid.textMatrix(1, 2), u"名称"_s);
        QCOMPARE(column(grid, 0), (QStringList{"6"}));
        QCOMPARE(countRows(u"Big"_s), 2);

        // A statement as tag names no table: the rows leave the grid only.
        grid.setTag(u"SELECT * FROM Big"_s);
        grid::LoadGrid(grid, QString(), QString(), true);
        QVERIFY(grid::DeleteGridRows(grid, 2, 3, false));
        QCOMPARE(QList<qlonglong>({grid.dataRows(), countRows(u"Big"_s)}),
                 QList<qlonglong>({0, 2}));
        QVERIFY(!grid::DeleteGridRows(grid, 2, 3, false)); // nothing left to delete

        // Without an ID column nothing is deleted from the table either.
        grid::SetupGridColumns(grid, {u"Name"_s, QString()}, {u"名称"_s, u"序号"_s});
        grid.setTag(u"Big"_s);
        grid::LoadGrid(grid, QString(), QString(), true);
        QVERIFY(grid::DeleteGridRows(grid, 2, 2, false));
        QCOMPARE(countRows(u"Big"_s), 2);
    }
};

QTEST_MAIN(TestGridLoader)
#include "tst_gridloader.moc"
