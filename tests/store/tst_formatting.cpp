#include "store/formatting.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestFormatting : public QObject
{
    Q_OBJECT

private slots:
    // Durations drop at most two leading zero fields; from 60 hours the first field counts days.
    void formatSeconds()
    {
        const QList<QPair<qint64, QString>> cases = {{0, "0:0"},        {7, "0:7"},
                                                     {307, "5:7"},      {3600, "1:0:0"},
                                                     {90061, "25:1:1"}, {60 * 3600 - 1, "59:59:59"},
                                                     {-307, "-5:7"},    {60 * 3600, "2:12:0:0"}};
        for (const auto &[seconds, text] : cases)
            QCOMPARE(store::FormatSeconds(seconds), text);
    }

    // Grid text of every value type; amounts round half up, -0.00 never shows.
    void formatCell()
    {
        const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 59));
        QCOMPARE(store::FormatCell(when, false), u"2024.03.05 14:07"_s);
        for (const QDateTime &none :
             {store::nullDate(), QDateTime(QDate(1900, 1, 1), QTime(8, 30))})
            QCOMPARE(store::FormatCell(none, false), QString());
        const QVariantList values = {
                2.5,           1.006,     2.675, 99.995,     -0.001, -0.005, -0.0, -0.004999999999,
                qlonglong(42), u"钢管"_s, true,  QVariant(), 1e20};
        const QStringList texts = u"2.50|1.01|2.68|100.00|0.00|-0.01|0.00|0.00|42|钢管|√||"
                                  "100000000000000000000.00"_s.split(u'|');
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(store::FormatCell(values.at(i), false), texts.at(i));
        QCOMPARE(store::FormatCell(when, true), u"2024.03.05"_s);
    }

    // Ticks for true or any non-zero number; numeric boxes take digits, point and backspace only.
    void boolMarkAndNumericKeys()
    {
        for (const QVariant &ticked : {QVariant(-1), QVariant(0.5), QVariant(u"1"_s)})
            QCOMPARE(store::BoolMark(ticked), u"√"_s);
        for (const QVariant &plain : {QVariant(qlonglong(0)), QVariant(u"是"_s), QVariant()})
            QCOMPARE(store::BoolMark(plain), QString());

        for (int c : {int('0'), int('5'), int('9'), int('.'), 8, int(Qt::Key_Backspace)})
            QCOMPARE(store::KeyNumericOnly(c), c);
        for (int c : {int('-'), int('e'), 0x4EA7})
            QCOMPARE(store::KeyNumericOnly(c), 0);
    }

    // The part returned and the part left in the text, from either side.
    void splitAt()
    {
        const QList<std::tuple<QString, QString, bool, QString, QString>> cases
                = {{"产品      Pro", " ", false, "Pro", "产品     "},
                   {"产品      Pro", " ", true, "产品", "     Pro"},
                   {"产品Pro", " ", false, "", "产品Pro"},
                   {"00012|", "|", true, "00012", ""},
                   {"abc", "", true, "", "abc"}};
        for (auto [text, separator, fromLeft, returned, left] : cases) {
            QCOMPARE(store::SplitAt(text, separator, fromLeft), returned);
            QCOMPARE(text, left);
        }
    }

    // The leading decimal number of a text, 0 when there is none.
    void leadingNumber()
    {
        const QList<QPair<QString, double>> cases
                = {{"12kg", 12},      {"12.5元", 12.5}, {"abc", 0},     {"-3", -3},
                   {"", 0},           {"   7 件", 7},   {"\u30008", 8}, {"00012|钢管", 12},
                   {"2.5E-1x", 0.25}, {"1.2.3", 1.2},   {".5", 0.5},    {" - 3", 0},
                   {"1e999", 0},      {"+5.", 5}};
        for (const auto &[text, number] : cases)
            QVERIFY2(store::leadingNumber(text) == number, qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
