// The text rules of export and import: columns, CSV, encodings, dates, row ranges, rights.

#include "transfer/columns.h"
#include "transfer/csv.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"

#include <QStringEncoder>
#include <QtTest>

using namespace transfer;

using Records = QVector<QStringList>;

class TestTransferTexts : public QObject
{
    Q_OBJECT

private slots:
    // Letters and numbers both ways up to ZZ, typed in any case with blanks around.
    void columnLetters()
    {
        const QList<QPair<int, const char *>> letters
                = {{1, "A"}, {26, "Z"}, {27, "AA"}, {702, "ZZ"}, {0, ""}, {703, ""}};
        for (const auto &[number, text] : letters) {
            QCOMPARE(ColumnLetters(number), QString::fromLatin1(text));
            if (*text)
                QCOMPARE(ColumnNumber(QString::fromLatin1(text)), number);
        }
        for (const auto &[text, number] :
             {std::pair{" b ", 2}, {"az", 52}, {"7", 1}, {"AAA", 0}, {"", 0}})
            QCOMPARE(ColumnNumber(QString::fromLatin1(text)), number);
    }

    // Written fields end in a tab; a comma, a quote or a line feed quotes them.
    void csvFieldQuoting()
    {
        for (const auto &[field, written] : {std::pair{"abc", "abc\t"},
                                             {"a,b", "\"a,b\t\""},
                                             {"say \"hi\"", "\"say \"\"hi\"\"\t\""},
                                             {"two\nlines", "\"two\nlines\t\""},
                                             {"", "\t"}})
            QCOMPARE(csvField(QString::fromLatin1(field)), QString::fromLatin1(written));
    }

    // Quoted commas, line breaks, doubled quotes, every line end; an open quote names its line.
    void parseCsv()
    {
        // The text, its fields split by | and records by #, the open line.
        const std::tuple<const char *, const char *, int> cases[]
                = {{"a,\"b,c\",d", "a|b,c|d", 0},
                   {"1,\"first\r\nsecond\",3\r\n4,5,6", "1|first\r\nsecond|3#4|5|6", 0},
                   {"\"say \"\"hi\"\"\",x", "say \"hi\"|x", 0},
                   {"a,\"\",b", "a||b", 0},
                   {"a\rb\nc\r\nd", "a#b#c#d", 0},
                   {"a,b\"c,d\"e,f", "a|b\"c|d\"e|f", 0},
                   {"12\" 钢管,3\r\n钢管,4", "12\" 钢管|3#钢管|4", 0},
                   {",,", "||", 0},
                   {"", "", 0},
                   {"a,\"b\r\nc", "", 1},
                   {"名称,数量\r\n\"两行\r\n的名称\",1\n\"P2 钢管,3\r\n钢管,4\r\n", "", 4}};
        for (const auto &[text, records, line] : cases) {
            int openLine = -1;
            Records expected;
            for (const QString &record : QString::fromUtf8(records).split('#', Qt::SkipEmptyParts))
                expected << record.split('|');
            QCOMPARE(transfer::parseCsv(QString::fromUtf8(text), &openLine), expected);
            QCOMPARE(openLine, line);
        }
        QCOMPARE(transfer::parseCsv("a\r\n\r\nb\r\n"), Records({{"a"}, {}, {"b"}}));
        // A line of a megabyte.
        const QString longCell(1 << 20, QChar(0x4E2D));
        QCOMPARE(transfer::parseCsv("x," + longCell).first().at(1).size(), longCell.size());
    }

    // One encoding for the whole file: a stray Latin-1 byte in UTF-8 is refused at its line.
    void decodeEncodings()
    {
        const QString text = QStringLiteral("客户,钢管\r\n张三牌钢管,12\r\n");
        const QByteArray utf8 = text.toUtf8();
        QStringEncoder gb("GB18030");
        const QByteArray utf16le
                = "\xFF\xFE" + QByteArray(QStringEncoder(QStringConverter::Utf16LE).encode(text));
        const QByteArray utf16be
                = "\xFE\xFF" + QByteArray(QStringEncoder(QStringConverter::Utf16BE).encode(text));
        // The text read, or the line refused (and no text).
        const QList<std::tuple<QByteArray, QString, int>> cases
                = {{gb.encode(text), text, 0},
                   {utf8, text, 0},
                   {"\xEF\xBB\xBF" + utf8, text, 0},
                   {utf16le, text, 0},
                   {utf16be, text, 0},
                   {"\xEF\xBB\xBF"
                    "a\r\n\xEF\xBB\xBF"
                    "b",
                    "a\r\nb", 0},
                   {QByteArray(), QString(), 0},
                   {utf8 + "caf\xE9 钢管,3\r\n", QString(), 3},
                   {"\xEF\xBB\xBF" + utf8 + "\xE9", QString(), 3},
                   {"name,qty\r\ncaf\xE9,1\r\n", QString(), 2},
                   {utf16le + "x", QString(), 3}};
        for (const auto &[bytes, expected, line] : cases) {
            int badLine = -1;
            QCOMPARE(decodeCsvBytes(bytes, &badLine), expected);
            QCOMPARE(badLine, line);
        }
    }

    // Full-width commas and quotes become ASCII; constants may hold commas; digits count columns.
    void columnTexts()
    {
        QCOMPARE(normaliseColumnsText(" ,A，“-”,B, "), QString("A,\"-\",B"));
        const auto parts = [](const QString &text) {
            QStringList shown;
            for (const ColumnsPart &part : columnsTextParts(text))
                shown << (part.constant ? "\"" + part.text + "\"" : QString::number(part.column));
            return shown;
        };
        QCOMPARE(parts(normaliseColumnsText("A，“-”,b")), QStringList({"1", "\"-\"", "2"}));
        QCOMPARE(parts("\"a,b\",3,ABC,,"), QStringList({"\"a,b\"", "3", "0"}));
    }

    // Dates in the list form, ISO, slashes, Chinese and digits, with or without a time.
    void dates()
    {
        const QDate day(2026, 3, 1);
        for (const char *text :
             {"2026.03.01", "2026-03-01", "2026/3/1", "2026年3月1日", "20260301"})
            QCOMPARE(parseImportDate(QString::fromUtf8(text)), QDateTime(day, QTime(0, 0)));
        QCOMPARE(parseImportDate("2026-03-01 10:20:30"), QDateTime(day, QTime(10, 20, 30)));
        QCOMPARE(parseImportDate("2026.03.01 10:20"), QDateTime(day, QTime(10, 20)));
        for (const char *text : {"2026-02-30", "yesterday"})
            QVERIFY(!parseImportDate(QString::fromLatin1(text)).isValid());
    }

    // At most 30,000 rows, in either order, rounded to whole rows.
    void rowRange()
    {
        const std::tuple<const char *, const char *, bool, int, int> cases[]
                = {{"2", "30001", true, 2, 30001},
                   {"2", "30002", false, 0, 0},
                   {"100", "2", true, 2, 100},
                   {"2.6行", "9.4", true, 3, 9},
                   {"1", "99999999999999", false, 0, 0}};
        for (const auto &[from, to, ok, first, last] : cases) {
            int gotFirst = 0;
            int gotLast = 0;
            QCOMPARE(importRowRange(QString::fromUtf8(from), to, &gotFirst, &gotLast), ok);
            if (ok)
                QCOMPARE(QList<int>({gotFirst, gotLast}), QList<int>({first, last}));
        }
    }

    // Only the rights the importing user holds come through, in their order.
    void rights()
    {
        const char *cases[][3]
                = {{"所有权限", "所有权限", "所有权限"},
                   {"所有权限", "销售数据添加;销售数据查看", "销售数据查看;销售数据添加"},
                   {"产品数据删除;销售数据添加", "销售数据添加", "销售数据添加"},
                   {"产品数据删除", "", ""}};
        for (const auto &[imported, held, kept] : cases)
            QCOMPARE(importedRights(QString::fromUtf8(imported), QString::fromUtf8(held)),
                     QString::fromUtf8(kept));
    }
};

QTEST_GUILESS_MAIN(TestTransferTexts)
#include "tst_transfertexts.moc"
