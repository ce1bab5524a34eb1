#include "records/rights.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using namespace records;

class TestRights : public QObject
{
    Q_OBJECT

private slots:
    // A right is a plain substring or 所有权限; no right needs any rights.
    void substringTest()
    {
        const QString salesViewAdd = u"销售数据查看;销售数据添加"_s;
        QVERIFY(HasRight(salesViewAdd, u"销售数据查看"_s));
        QVERIFY(!HasRight(salesViewAdd, u"采购数据查看"_s));
        QVERIFY(HasRight(salesViewAdd, QString()));
        QVERIFY(!HasRight(QString(), QString()));
        QVERIFY(HasRight(u"销售数据查看;所有权限"_s, u"产品数据删除"_s));
    }

    // Settling marks adds the view right and marks complete areas; the string
    // comes out in catalogue order.
    void settlingMarks()
    {
        const auto &rows = rightsTreeRows();
        auto rowOf = [&rows](const QString &token) {
            for (int i = 0; i < rows.size(); ++i)
                if (rows.at(i).token == token)
                    return i;
            return -1;
        };

        // Deleting alone implies viewing.
        QVector<bool> marks(rows.size(), false);
        marks[rowOf(u"销售数据删除"_s)] = true;
        settleRightMarks(marks);
        QCOMPARE(rightsStringFor(marks), u"销售数据查看;销售数据删除"_s);
        QVERIFY(!marks.at(1));

        // All 49 actions mark every area row and the top row: 所有权限.
        QVector<bool> all = rightMarksFor(allRightTokens().join(QLatin1Char(';')));
        settleRightMarks(all);
        QCOMPARE(all, QVector<bool>(rows.size(), true));
        QCOMPARE(rightsStringFor(all), kAllRights);

        // 所有权限 marks every action row; one missing action clears the top row.
        QVector<bool> fromAll = rightMarksFor(kAllRights);
        fromAll[rowOf(u"账号数据导出"_s)] = false;
        settleRightMarks(fromAll);
        QVERIFY(!fromAll.first());
        QVERIFY(!fromAll.at(rowOf(u"账号数据查看"_s) - 1));
        QVERIFY(fromAll.at(1));
        QCOMPARE(rightsStringFor(fromAll).split(QLatin1Char(';')).size(), 48);

        QVector<bool> none(rows.size(), false);
        settleRightMarks(none);
        QCOMPARE(rightsStringFor(none), QString());

        QVector<bool> mixed = rightMarksFor(u"员工数据查看;销售数据添加"_s);
        settleRightMarks(mixed);
        QCOMPARE(rightsStringFor(mixed), u"销售数据查看;销售数据添加;员工数据查看"_s);
    }

    // A holder covers rights it grants every token of, 所有权限 only with itself.
    void coverAndWithin()
    {
        const QString tokens = allRightTokens().join(QLatin1Char(';'));
        const QString view = u"销售数据查看"_s;
        // Holder, rights, whether the holder covers them, the common part.
        const struct
        {
            QString holder, rights;
            bool covered;
            QString within;
        } cases[] = {{"", "", true, ""},
                     {kAllRights, view, true, view},
                     {tokens, kAllRights, false, tokens},
                     {view + u";销售数据添加"_s, view, true, view},
                     {view, view + u";采购数据查看"_s, false, view}};
        for (const auto &c : cases) {
            QCOMPARE(RightsCover(c.holder, c.rights), c.covered);
            QCOMPARE(RightsWithin(c.holder, c.rights), c.within);
            QVERIFY(RightsCover(c.holder, RightsWithin(c.holder, c.rights)));
        }
    }
};

QTEST_GUILESS_MAIN(TestRights)
#include "tst_rights.moc"
