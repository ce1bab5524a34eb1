#include "ui/combofinder.h"
#include "ui/pinyin.h"

#include <QtTest>

class TestComboFinder : public QObject
{
    Q_OBJECT

private slots:
    // The first letter of each character's reading.
    void initials()
    {
        const QList<QPair<QString, QString>> cases = {{"钢管", "gg"},
                                                      {"华东五金", "hdwj"},
                                                      {"A型钢管 6分", "axgg6f"},
                                                      {"Steel Pipe-20", "steelpipe20"},
                                                      {"ＡＢ钢", "abg"},
                                                      {"", ""}};
        for (const auto &[name, initials] : cases)
            QCOMPARE(ui::pinyinInitials(name), initials);
    }

    // A part of the name, the start of the initials or a whole code.
    void matching()
    {
        const QVector<ui::FindEntry> entries
                = {ui::findEntry(QStringLiteral("钢管"), {QStringLiteral("690001")}),
                   ui::findEntry(QStringLiteral("角钢"), {QStringLiteral("A-7")}),
                   ui::findEntry(QStringLiteral("华东五金"),
                                 {QStringLiteral("x"), QStringLiteral("A-7")}),
                   ui::findEntry(QStringLiteral("Steel pipe"))};
        // The text typed, the entries found and those whose code it is.
        const QList<std::tuple<QString, QVector<int>, QVector<int>>> cases
                = {{"gg", {0}, {}},         // initials
                   {"HDW", {2}, {}},        // initials in capitals
                   {"dwj", {}, {}},         // initials not at the start
                   {"钢", {0, 1}, {}},      // part of the name
                   {"PIPE", {3}, {}},       // a Latin name ignoring case
                   {"690001", {0}, {0}},    // one code
                   {" 690001 ", {0}, {0}},  // a code with blanks
                   {"A-7", {1, 2}, {1, 2}}, // the code of two
                   {"69000", {}, {}},       // part of a code
                   {"  ", {}, {}}};         // blank
        for (const auto &[typed, found, coded] : cases) {
            QCOMPARE(ui::findEntries(entries, typed), found);
            QCOMPARE(ui::entriesWithCode(entries, typed), coded);
        }
    }
};

QTEST_GUILESS_MAIN(TestComboFinder)
#include "tst_combofinder.moc"
