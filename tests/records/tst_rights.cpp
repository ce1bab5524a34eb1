#include "records/rights.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using namespace records;

class TestRights : public QObject
{
    Q_OBJECT

private slots:
    void substringTest_data()
    {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("granted");

        const QString salesViewAdd = u"销售数据查看;销售数据添加"_s;
        QTest::newRow("granted view") << salesViewAdd << u"销售数据查看"_s << true;
        QTest::newRow("other area") << salesViewAdd << u"采购数据查看"_s << false;
        QTest::newRow("no token, some rights") << salesViewAdd << QString() << true;
        QTest::newRow("no token, logged out") << QString() << QString() << false;
        QTest::newRow("all rights inside a list")
                << u"销售数据查看;所有权限"_s << u"产品数据删除"_s << true;
    }

    // A right is granted by a plain substring test or by 所有权限; commands
    // without a right need only a non-empty rights string.
    void substringTest()
    {
        QFETCH(QString, rights);
        QFETCH(QString, token);
        QFETCH(bool, granted);
        QCOMPARE(HasRight(rights, token), granted);
    }

    // The tree has 57 rows (the top row, then each area with its actions) for
    // 49 rights. Settling marks implies the view right, marks complete areas and
    // the top row, and the rights string comes out in catalogue order.
    void settlingMarks()
    {
        const auto &rows = rightsTreeRows();
        QCOMPARE(rows.size(), 57);
        QCOMPARE(allRightTokens().size(), 49);
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
        for (int i = 0; i < rows.size(); ++i)
            QVERIFY2(all.at(i), qPrintable(rows.at(i).label));
        QCOMPARE(rightsStringFor(all), kAllRights);

        // 所有权限 marks every action row; one missing action clears the top row.
        QVector<bool> fromAll = rightMarksFor(kAllRights);
        fromAll[rowOf(u"账号数据导出"_s)] = false;
        settleRightMarks(fromAll);
        QVERIFY(!fromAll.first());
        QVERIFY(!fromAll.at(rowOf(u"账号数据查看"_s) - 1));
        QVERIFY(fromAll.at(1));
        QCOMPARE(rightsStringFor(fromAll).split(QLatin1Char(';')).size(), 48);

        // Nothing marked stores the empty string.
        QVector<bool> none(rows.size(), false);
        settleRightMarks(none);
        QCOMPARE(rightsStringFor(none), QString());

        // Rights in a different order come back in catalogue order.
        QVector<bool> mixed = rightMarksFor(u"员工数据查看;销售数据添加"_s);
        settleRightMarks(mixed);
        QCOMPARE(rightsStringFor(mixed), u"销售数据查看;销售数据添加;员工数据查看"_s);
    }

    void coverAndWithin_data()
    {
        // Holder, rights, whether the holder covers them, the common part.
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("rights");
        QTest::addColumn<bool>("covered");
        QTest::addColumn<QString>("within");
        const QString all = kAllRights;
        const QString tokens = allRightTokens().join(QLatin1Char(';'));
        QTest::newRow("nothing") << ""
                                 << "" << true << "";
        QTest::newRow("all covers tokens") << all << "销售数据查看" << true << "销售数据查看";
        QTest::newRow("49 tokens are not 所有权限") << tokens << all << false << tokens;
        QTest::newRow("subset") << "销售数据查看;销售数据添加"
                                << "销售数据查看" << true << "销售数据查看";
        QTest::newRow("one more") << "销售数据查看"
                                  << "销售数据查看;采购数据查看" << false << "销售数据查看";
    }

    // A holder covers rights when it grants every token of them, and 所有权限
    // only with 所有权限 itself; the part within the holder keeps catalogue order.
    void coverAndWithin()
    {
        QFETCH(QString, holder);
        QFETCH(QString, rights);
        QFETCH(bool, covered);
        QFETCH(QString, within);
        QCOMPARE(RightsCover(holder, rights), covered);
        QCOMPARE(RightsWithin(holder, rights), within);
        QVERIFY(RightsCover(holder, RightsWithin(holder, rights)));
    }
};

QTEST_GUILESS_MAIN(TestRights)
#include "tst_rights.moc"
