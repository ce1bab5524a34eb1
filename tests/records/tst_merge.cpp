#include "records/merge.h"
#include "records/mergewindow.h"

#include "masterfixture.h"

using namespace Qt::StringLiterals;

using namespace records;
using namespace masterfixture;

namespace {

const QStringList kNames = {u"甲"_s, u"乙"_s, u"丙"_s, u"丁"_s};

// Every row of a table, ordered by ID, each as "field=value;…" over fields.
QStringList rowsOf(const QString &table, const QStringList &fields)
{
    store::RecordSet rs;
    store::OpenQuery(rs,
                     u"SELECT %1 FROM %2 ORDER BY ID"_s.arg(fields.join(QLatin1Char(',')), table));
    QStringList rows;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList cells;
        for (int c = 0; c < fields.size(); ++c)
            cells << fields.at(c) + QLatin1Char('=') + rs.value(c).toString();
        rows << cells.join(QLatin1Char(';'));
    }
    return rows;
}

// The sales (Sale) or purchases (Pur) with every key field.
QStringList trades(const QString &table)
{
    const QString party = table == QLatin1String("Sale") ? "CID" : "VID";
    return rowsOf(table, {"ID", "PID", party, "AID", "SID", "Num", "Memo"});
}

QStringList masters(const QString &table)
{
    return rowsOf(table, {u"ID"_s, u"Name"_s});
}

// Every sale, purchase and master record.
QStringList everything()
{
    QStringList rows = trades(u"Sale"_s) + trades(u"Pur"_s);
    for (const MergeTarget &target : mergeTargets())
        rows += masters(target.table);
    return rows;
}

// The rows after merged moved to kept: only the key field changes.
QStringList expectedRows(const QStringList &before, const QString &key,
                         const QVector<qint64> &merged, qint64 kept)
{
    QStringList rows;
    const QString prefix = key + QLatin1Char('=');
    for (const QString &row : before) {
        QStringList cells = row.split(QLatin1Char(';'));
        for (QString &cell : cells)
            if (cell.startsWith(prefix) && merged.contains(cell.mid(prefix.size()).toLongLong()))
                cell = prefix + QString::number(kept);
        rows << cells.join(QLatin1Char(';'));
    }
    return rows;
}

// Ticks or unticks the row showing name.
void tick(grid::Grid *g, const QString &name)
{
    clickCell(g, rowEndingWith(g, kMergeNameColumn, name), kMergeTickColumn);
}

QStringList markedNames(const grid::Grid *g)
{
    QStringList names;
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (g->textMatrix(r, kMergeTickColumn) == u"√"_s)
            names << g->textMatrix(r, kMergeNameColumn);
    return names;
}
} // namespace

class TestMerge : public QObject
{
    Q_OBJECT

private slots:
    // 甲 乙 丙 丁 in every master and trades whose keys use the same numbers
    // across fields, so a statement on the wrong field or table shows.
    void init()
    {
        QVERIFY(m.setUp());
        for (const char *table : {"Pro", "Cus", "Vendor", "Acc", "Staff"})
            for (const QString &name : kNames)
                addNamed(QLatin1String(table), name);
        // Staff starts with 其他 (1) and zunta (2): 甲 … 丁 are 3 … 6 there.
        for (int i = 0; i < 16; ++i) {
            const int a = 1 + i % 4;
            const int b = 1 + (i / 4) % 4;
            const int staff = 1 + (i * 3) % 6;
            const QString sql = u"INSERT INTO %1 (Dat, PID, %2, AID, SID, Num, Memo) "
                                "VALUES (#2024-03-01#, %3, %4, %5, %6, %7, '%8')"_s;
            exec(fill(sql, "Sale", "CID", a, b, 1 + (a + b) % 4, staff, i, i));
            exec(fill(sql, "Pur", "VID", b, a, 1 + (a * b) % 4, 7 - staff, i, i));
        }
    }

    void cleanup() { QVERIFY(m.tearDown()); }

    void mergeMovesOnlyItsKey_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("sale");
        QTest::addColumn<bool>("pur");
        QTest::newRow("products") << "Pro" << true << true;
        QTest::newRow("customers") << "Cus" << true << false;
        QTest::newRow("vendors") << "Vendor" << false << true;
        QTest::newRow("accounts") << "Acc" << true << true;
        QTest::newRow("staff") << "Staff" << true << true;
    }

    // Merging 丁 and 乙 into 甲 moves exactly their key, deletes them, and
    // changes nothing else.
    void mergeMovesOnlyItsKey()
    {
        QFETCH(QString, table);
        QFETCH(bool, sale);
        QFETCH(bool, pur);

        const qint64 first = table == QLatin1String("Staff") ? 3 : 1; // 甲
        const QVector<qint64> merged = {first + 3, first + 1};
        const QStringList sales = trades(u"Sale"_s);
        const QStringList purchases = trades(u"Pur"_s);
        QStringList expected = expectedRows(sales + purchases, table.left(1) + "ID", merged, first);
        for (const MergeTarget &target : mergeTargets()) {
            QStringList rows = masters(target.table);
            if (target.table == table)
                rows.removeIf([&](const QString &row) {
                    return merged.contains(row.section(QLatin1Char(';'), 0, 0).mid(3).toLongLong());
                });
            expected += rows;
        }

        // The logged-in member's number is that of 丁 in the other masters.
        store::CurrentUserID = table == QLatin1String("Staff") ? 2 : int(merged.first());
        const MergeResult result = ReplaceName(table, {first + 3, first, first + 1}, first);
        QCOMPARE(result.outcome, MergeResult::Outcome::Merged);
        QCOMPARE(result.merged, merged);
        QVERIFY(result.keptBack.isEmpty());
        QCOMPARE(everything(), expected);
        QCOMPARE(trades(u"Sale"_s) != sales, sale);
        QCOMPARE(trades(u"Pur"_s) != purchases, pur);
    }

    // Merges that must not happen, and one whose purchases refuse the update
    // after the sales took it, leave every row as it was.
    void refusedMerges()
    {
        const QStringList before = everything();
        using Outcome = MergeResult::Outcome;
        QCOMPARE(ReplaceName(u"Pro"_s, {2}, 2).outcome, Outcome::NothingToMerge);
        QCOMPARE(ReplaceName(u"Pro"_s, {1, 3}, 99).outcome, Outcome::KeptMissing);
        QCOMPARE(ReplaceName(u"Sale"_s, {1, 3}, 2).outcome, Outcome::Failed);
        store::CurrentUserID = 2; // zunta
        MergeResult result = ReplaceName(u"Staff"_s, {2}, 4);
        QCOMPARE(result.outcome, Outcome::NothingToMerge);
        QCOMPARE(result.keptBack, QVector<qint64>{2});
        QCOMPARE(everything(), before);

        testsupport::refuseWrites(u"UPDATE OF PID"_s, u"Pur"_s);
        result = ReplaceName(u"Pro"_s, {2, 3}, 1);
        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY(result.merged.isEmpty());
        QCOMPARE(everything(), before);
    }

    // By mouse: an incomplete choice is refused, the second grid takes one
    // mark, 乙 merges into 甲, the list reloads.
    void windowMerge()
    {
        QVERIFY(!ShowMergeWindow(5));
        QPointer<MergeWindow> window = ShowMergeWindow(0);
        grid::Grid *away = window->grid(0);
        grid::Grid *keep = window->grid(1);
        QCOMPARE(column(*keep, kMergeNameColumn), (QStringList{"丙", "丁", "甲", "乙"}));
        const QStringList before = everything();

        QTest::mouseClick(window->button(0), Qt::LeftButton);
        for (const char *name : {"乙", "甲", "丙", "丙"})
            tick(away, QString::fromUtf8(name));
        QCOMPARE(markedNames(away), (QStringList{"甲", "乙"}));
        QTest::mouseClick(window->button(0), Qt::LeftButton);
        QCOMPARE(m.takeMessages().size(), 2);
        tick(keep, u"丁"_s);
        tick(keep, u"甲"_s);
        QCOMPARE(markedNames(keep), QStringList{"甲"});
        QCOMPARE(everything(), before);
        QCOMPARE(m.host.reloads, 0);

        confirm(window.data());
        QCOMPARE(m.host.reloads, 1);
        QCOMPARE(masters(u"Pro"_s), (QStringList{"ID=1;Name=甲", "ID=3;Name=丙", "ID=4;Name=丁"}));
    }

    // The logged-in user marked to merge stays, and is told.
    void windowKeepsLoggedInUser()
    {
        store::CurrentUserID = 2; // zunta
        QPointer<MergeWindow> window = ShowMergeWindow(4);
        tick(window->grid(0), u"zunta"_s);
        tick(window->grid(1), u"乙"_s);
        const QStringList before = everything();
        QTest::mouseClick(window->button(0), Qt::LeftButton);
        QCOMPARE(m.takeMessages(), QStringList{u"当前登录的员工不能被合并替换！"_s});
        QVERIFY(window);
        QCOMPARE(everything(), before);

        tick(window->grid(0), u"丁"_s);
        confirm(window.data());
        QCOMPARE(m.takeMessages(), QStringList{u"当前登录的员工不能被合并替换，已保留。"_s});
        const QStringList staff = masters(u"Staff"_s);
        QVERIFY(!staff.contains(u"ID=6;Name=丁"_s));
        QVERIFY(staff.contains(u"ID=2;Name=zunta"_s));
    }

private:
    Fixture m;
};

KORVO_TEST_ON_BOTH_ENGINES(TestMerge, QApplication)
#include "tst_merge.moc"
