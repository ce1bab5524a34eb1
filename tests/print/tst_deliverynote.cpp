#include "print/deliverynote.h"

#include <QtTest>

#include <limits>

using namespace print;

class TestDeliveryNote : public QObject
{
    Q_OBJECT

private slots:
    // Totals in capitals by the banks' rules: zeros, cents alone, negatives, too large.
    void capitals()
    {
        const QString tooLarge = QStringLiteral("（金额过大，不能用大写表示，以数字为准）");
        // Each amount and its capitals, split by |; + stands for the note.
        const QString rows = QStringLiteral(
                "0 零元整|0.004 零元整|0.05 伍分|0.5 伍角|10 壹拾元整|10.5 壹拾元伍角|"
                "100.07 壹佰元零柒分|1001 壹仟零壹元整|1234.56 壹仟贰佰叁拾肆元伍角陆分|"
                "10000010 壹仟万零壹拾元整|100010000 壹亿零壹万元整|200000001 贰亿零壹元整|"
                "123456789.12 壹亿贰仟叁佰肆拾伍万陆仟柒佰捌拾玖元壹角贰分|"
                "99999999999.99 玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分|"
                "-1234.56 负壹仟贰佰叁拾肆元伍角陆分|-0.001 零元整|"
                "100000000000 100,000,000,000.00+|99999999999.996 100,000,000,000.00+|"
                "-123456789012.5 -123,456,789,012.50+");
        for (const QString &row : rows.split('|')) {
            const QString capitals = row.section(' ', 1).replace('+', tooLarge);
            const QString shown = amountInCapitals(row.section(' ', 0, 0).toDouble());
            QVERIFY2(shown == capitals, qPrintable(row + ": " + shown));
        }
    }

    // Figures group thousands with two decimals; not a number stays recognisable.
    void figures()
    {
        QCOMPARE(QStringList(
                         {amountFigures(1234567.5), amountFigures(-0.05), amountFigures(999.999)}),
                 QStringList({"1,234,567.50", "-0.05", "1,000.00"}));
        QVERIFY(amountInCapitals(std::numeric_limits<double>::quiet_NaN())
                        .contains(QStringLiteral("nan")));
    }

    // Every line is printed once, in order, and the last page keeps room for the totals.
    void pageSplit()
    {
        const QFont font = deliveryNoteFont(QString());
        for (const double height : {297.0, 148.0, 40.0}) {
            const Paper paper{210, height, 10, 10, 10, 10};
            for (int lines = 0; lines <= 120; ++lines) {
                const NotePages split = deliveryNotePages(lines, paper, font);
                int next = 0;
                for (int page = 1; page <= split.pages; ++page) {
                    const int count = split.lineCount(page, lines);
                    QVERIFY(count == 0 || split.firstLine(page) == next);
                    QVERIFY(count > 0 || page == split.pages); // only the totals' own page
                    next += count;
                }
                QCOMPARE(next, lines);
                QVERIFY(split.lineCount(split.pages, lines) <= split.lastPage);
                QCOMPARE(split.lineCount(split.pages + 1, lines), 0);
            }
        }
        QVERIFY(deliveryNotePages(50, Paper{210, 297, 10, 10, 10, 10}, font).lastPage >= 20);
    }
};

QTEST_MAIN(TestDeliveryNote)
#include "tst_deliverynote.moc"
