#include "ui/combofinder.h"
#include "ui/pinyin.h"

#include <QtTest>

class TestComboFinder : public QObject
{
    Q_OBJECT

private slots:
    // The first letter of each character's reading (ICU's: 重庆 reads zq).
    void initials()
    {
        const QList<QPair<QString, QString>> cases = {{"钢管", "gg"},
                                                      {"华东五金", "hdwj"},
                                                      {"长城", "zc"},
                                                      {"重庆", "zq"},
                                                      {"A型钢管 6分", "axgg6f"},
                                                      {"Steel Pipe-20", "steelpipe20"},
                                                      {"ＡＢ钢", "abg"},
                                                      {"", ""}};
        for (const auto &[name, initials] : cases)
            QCOMPARE(ui::pinyinInitials(name), initials);
    }

    // A part of the name, the start of the initials or a whole code.
    void matching_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVector<int>>("found");
        QTest::addColumn<QVector<int>>("coded");
        QTest::newRow("initials") << "gg" << QVector<int>{0} << QVector<int>{};
        QTest::newRow("initials in capitals") << "HDW" << QVector<int>{2} << QVector<int>{};
        QTest::newRow("initials not at the start") << "dwj" << QVector<int>{} << QVector<int>{};
        QTest::newRow("part of the name") << "钢" << QVector<int>{0, 1} << QVector<int>{};
        QTest::newRow("Latin name ignoring case") << "PIPE" << QVector<int>{3} << QVector<int>{};
        QTest::newRow("one code") << "690001" << QVector<int>{0} << QVector<int>{0};
        QTest::newRow("code with blanks") << " 690001 " << QVector<int>{0} << QVector<int>{0};
        QTest::newRow("code of two") << "A-7" << QVector<int>{1, 2} << QVector<int>{1, 2};
        QTest::newRow("part of a code") << "69000" << QVector<int>{} << QVector<int>{};
        QTest::newRow("blank") << "  " << QVector<int>{} << QVector<int>{};
    }

    void matching()
    {
        QFETCH(QString, typed);
        QFETCH(QVector<int>, found);
        QFETCH(QVector<int>, coded);
        const QVector<ui::FindEntry> entries
                = {ui::findEntry(QStringLiteral("钢管"), {QStringLiteral("690001")}),
                   ui::findEntry(QStringLiteral("角钢"), {QStringLiteral("A-7")}),
                   ui::findEntry(QStringLiteral("华东五金"),
                                 {QStringLiteral("x"), QStringLiteral("A-7")}),
                   ui::findEntry(QStringLiteral("Steel pipe"))};
        QCOMPARE(ui::findEntries(entries, typed), found);
        QCOMPARE(ui::entriesWithCode(entries, typed), coded);
    }
};

QTEST_GUILESS_MAIN(TestComboFinder)
#include "tst_combofinder.moc"
