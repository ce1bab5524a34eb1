#include "store/formatting.h"

#include <QtTest>

class TestFormatting : public QObject
{
    Q_OBJECT

private slots:
    void formatSeconds_data();
    void formatSeconds();
    void formatCell_data();
    void formatCell();
    void boolMark();
    void splitAt_data();
    void splitAt();
    void keyNumericOnly();
    void leadingNumber_data();
    void leadingNumber();
};

// Durations drop at most two leading zero fields, hours run past 24, and from
// 60 hours on the leading field counts days.
void TestFormatting::formatSeconds_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0:0";
    QTest::newRow("seven") << qint64(7) << "0:7";
    QTest::newRow("5m7s") << qint64(307) << "5:7";
    QTest::newRow("one hour") << qint64(3600) << "1:0:0";
    QTest::newRow("25h1m1s") << qint64(90061) << "25:1:1";
    QTest::newRow("just below 60h") << qint64(60 * 3600 - 1) << "59:59:59";
    QTest::newRow("60h is 2 days 12h") << qint64(60 * 3600) << "2:12:0:0";
    QTest::newRow("negative") << qint64(-307) << "-5:7";
}

void TestFormatting::formatSeconds()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(store::FormatSeconds(seconds), text);
}

// Grid text of every value type the record sets deliver.
void TestFormatting::formatCell_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("dateOnly");
    QTest::addColumn<QString>("text");
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 59));
    QTest::newRow("date and time") << QVariant(when) << false << "2024.03.05 14:07";
    QTest::newRow("date only") << QVariant(when) << true << "2024.03.05";
    QTest::newRow("null date") << QVariant(store::nullDate()) << false << "";
    QTest::newRow("2.5") << QVariant(2.5) << false << "2.50";
    QTest::newRow("2.675 rounds up") << QVariant(2.675) << false << "2.68";
    QTest::newRow("1.005 rounds up") << QVariant(1.005) << false << "1.01";
    QTest::newRow("0.1+0.2") << QVariant(0.1 + 0.2) << false << "0.30";
    QTest::newRow("negative half") << QVariant(-2.675) << false << "-2.68";
    QTest::newRow("negative") << QVariant(-1234.567) << false << "-1234.57";
    QTest::newRow("tiny negative") << QVariant(-0.001) << false << "0.00";
    QTest::newRow("large") << QVariant(1234567890.125) << false << "1234567890.13";
    QTest::newRow("huge") << QVariant(1e20) << false << "100000000000000000000.00";
    QTest::newRow("carry") << QVariant(99.995) << false << "100.00";
    QTest::newRow("integer") << QVariant(qlonglong(42)) << false << "42";
    QTest::newRow("text") << QVariant(QStringLiteral("钢管")) << false << "钢管";
    QTest::newRow("true") << QVariant(true) << false << "√";
    QTest::newRow("false") << QVariant(false) << false << "";
    QTest::newRow("NULL") << QVariant() << false << "";
}

void TestFormatting::formatCell()
{
    QFETCH(QVariant, value);
    QFETCH(bool, dateOnly);
    QFETCH(QString, text);
    QCOMPARE(store::FormatCell(value, dateOnly), text);
}

// Tick marks: true or any non-zero number, also a number stored as text.
void TestFormatting::boolMark()
{
    const QString tick = QStringLiteral("√");
    QCOMPARE(store::BoolMark(-1), tick);
    QCOMPARE(store::BoolMark(0.5), tick);
    QCOMPARE(store::BoolMark(QStringLiteral("1")), tick);
    QCOMPARE(store::BoolMark(qlonglong(0)), QString());
    QCOMPARE(store::BoolMark(QStringLiteral("是")), QString());
    QCOMPARE(store::BoolMark(QVariant()), QString());
}

// Returned part and the part left in the text, from either side.
void TestFormatting::splitAt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("fromLeft");
    QTest::addColumn<QString>("returned");
    QTest::addColumn<QString>("left");
    QTest::newRow("from right") << "产品      Pro"
                                << " " << false << "Pro"
                                << "产品     ";
    QTest::newRow("from left") << "产品      Pro"
                               << " " << true << "产品"
                               << "     Pro";
    QTest::newRow("longer separator") << "a||b||c"
                                      << "||" << true << "a"
                                      << "b||c";
    QTest::newRow("not found") << "产品Pro"
                               << " " << false << ""
                               << "产品Pro";
    QTest::newRow("at the end") << "00012|"
                                << "|" << true << "00012"
                                << "";
    QTest::newRow("empty separator") << "abc"
                                     << "" << true << ""
                                     << "abc";
}

void TestFormatting::splitAt()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(bool, fromLeft);
    QFETCH(QString, returned);
    QFETCH(QString, left);
    QCOMPARE(store::SplitAt(text, separator, fromLeft), returned);
    QCOMPARE(text, left);
}

// Numeric boxes accept digits, the point and backspace; a minus sign or a
// letter is swallowed, so no negative number can be typed.
void TestFormatting::keyNumericOnly()
{
    for (int c = '0'; c <= '9'; ++c)
        QCOMPARE(store::KeyNumericOnly(c), c);
    QCOMPARE(store::KeyNumericOnly('.'), int('.'));
    QCOMPARE(store::KeyNumericOnly(8), 8);
    QCOMPARE(store::KeyNumericOnly(Qt::Key_Backspace), int(Qt::Key_Backspace));
    for (int c : {int('-'), int('+'), int('a'), int('Z'), int('e'), int(','), int(' '), 13, 0x4EA7})
        QCOMPARE(store::KeyNumericOnly(c), 0);
}

void TestFormatting::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("unit") << "12kg" << 12.0;
    QTest::newRow("decimal with yuan") << "12.5元" << 12.5;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("spaces") << "   7 件" << 7.0;
    QTest::newRow("ideographic space") << QString::fromUtf8("\u30008") << 8.0;
    QTest::newRow("list entry") << "00012|钢管" << 12.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("signed exponent") << "2.5E-1x" << 0.25;
    QTest::newRow("bare e") << "12e" << 12.0;
    QTest::newRow("second point") << "1.2.3" << 1.2;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("sign after space") << " - 3" << 0.0;
    QTest::newRow("overflow") << "1e999" << 0.0;
}

void TestFormatting::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(store::leadingNumber(text), number);
}

QTEST_GUILESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
