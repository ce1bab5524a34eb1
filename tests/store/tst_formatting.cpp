#include "store/formatting.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestFormatting : public QObject
{
    Q_OBJECT

private slots:
    // Durations drop at most two leading zero fields, hours run past 24, and from
    // 60 hours on the leading field counts days.
    void formatSeconds()
    {
        const QList<QPair<qint64, QString>> cases = {{0, "0:0"},        {7, "0:7"},
                                                     {307, "5:7"},      {3600, "1:0:0"},
                                                     {90061, "25:1:1"}, {60 * 3600 - 1, "59:59:59"},
                                                     {-307, "-5:7"},    {60 * 3600, "2:12:0:0"}};
        for (const auto &[seconds, text] : cases)
            QCOMPARE(store::FormatSeconds(seconds), text);
    }

    // Grid text of every value type the record sets deliver.
    void formatCell_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("dateOnly");
        QTest::addColumn<QString>("text");
        const auto cell = [](const char *name, const QVariant &value, const QString &text,
                             bool dateOnly = false) {
            QTest::newRow(name) << value << dateOnly << text;
        };
        const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 59));
        cell("date and time", when, "2024.03.05 14:07");
        cell("date only", when, "2024.03.05", true);
        cell("null date", store::nullDate(), "");
        cell("null date with a time", QDateTime(QDate(1900, 1, 1), QTime(8, 30)), "");
        cell("2.5", 2.5, "2.50");
        cell("1.006 rounds up", 1.006, "1.01");
        cell("2.675 rounds up", 2.675, "2.68");
        cell("carry", 99.995, "100.00");
        // A tiny negative amount rounds to nothing, without a minus sign.
        cell("-0.001", -0.001, "0.00");
        cell("-0.005", -0.005, "-0.01");
        cell("just below half of -0.01", -0.004999999999, "0.00");
        cell("negative zero", -0.0, "0.00");
        cell("huge", 1e20, "100000000000000000000.00");
        cell("integer", qlonglong(42), "42");
        cell("text", u"钢管"_s, "钢管");
        cell("true", true, "√");
        cell("NULL", QVariant(), "");
    }

    void formatCell()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, dateOnly);
        QFETCH(QString, text);
        QCOMPARE(store::FormatCell(value, dateOnly), text);
    }

    // Tick marks: true or any non-zero number, also a number stored as text.
    // Numeric boxes accept digits, the point and backspace; a minus sign or a
    // letter is swallowed, so no negative number can be typed.
    void boolMarkAndNumericKeys()
    {
        for (const QVariant &ticked : {QVariant(-1), QVariant(0.5), QVariant(u"1"_s)})
            QCOMPARE(store::BoolMark(ticked), u"√"_s);
        for (const QVariant &plain : {QVariant(qlonglong(0)), QVariant(u"是"_s), QVariant()})
            QCOMPARE(store::BoolMark(plain), QString());

        for (int c = '0'; c <= '9'; ++c)
            QCOMPARE(store::KeyNumericOnly(c), c);
        for (int c : {int('.'), 8, int(Qt::Key_Backspace)})
            QCOMPARE(store::KeyNumericOnly(c), c);
        for (int c : {int('-'), int('e'), 0x4EA7})
            QCOMPARE(store::KeyNumericOnly(c), 0);
    }

    // Returned part and the part left in the text, from either side.
    void splitAt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("fromLeft");
        QTest::addColumn<QString>("returned");
        QTest::addColumn<QString>("left");
        const auto split = [](const char *name, const QString &text, const QString &separator,
                              bool fromLeft, const QString &returned, const QString &left) {
            QTest::newRow(name) << text << separator << fromLeft << returned << left;
        };
        split("from right", "产品      Pro", " ", false, "Pro", "产品     ");
        split("from left", "产品      Pro", " ", true, "产品", "     Pro");
        split("not found", "产品Pro", " ", false, "", "产品Pro");
        split("at the end", "00012|", "|", true, "00012", "");
        split("empty separator", "abc", "", true, "", "abc");
    }

    void splitAt()
    {
        QFETCH(QString, text);
        QFETCH(QString, separator);
        QFETCH(bool, fromLeft);
        QFETCH(QString, returned);
        QFETCH(QString, left);
        QCOMPARE(store::SplitAt(text, separator, fromLeft), returned);
        QCOMPARE(text, left);
    }

    // The leading decimal number of a text, 0 when there is none.
    void leadingNumber()
    {
        const QList<QPair<QString, double>> cases
                = {{"12kg", 12},      {"12.5元", 12.5}, {"abc", 0},     {"-3", -3},
                   {"", 0},           {"   7 件", 7},   {"\u30008", 8}, {"00012|钢管", 12},
                   {"2.5E-1x", 0.25}, {"1.2.3", 1.2},   {".5", 0.5},    {" - 3", 0},
                   {"1e999", 0}};
        for (const auto &[text, number] : cases)
            QVERIFY2(store::leadingNumber(text) == number, qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
