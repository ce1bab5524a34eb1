// The text rules of export and import that need no database: column letters,
// CSV fields written and read, the encodings a CSV file may come in, column
// columnTexts, dates and row ranges.

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
    void columnLetters();
    void csvFieldQuoting();
    void parseCsv();
    void decodeEncodings();
    void columnTexts();
    void dates();
    void rowRange();
    void rights();
};

// Letters and numbers both ways up to ZZ; nothing outside; typed letters
// in any case, blanks around, a digit below A, three letters beyond.
void TestTransferTexts::columnLetters()
{
    const QList<QPair<int, const char *>> letters
            = {{1, "A"}, {26, "Z"}, {27, "AA"}, {702, "ZZ"}, {0, ""}, {703, ""}};
    for (const auto &[number, text] : letters) {
        QCOMPARE(ColumnLetters(number), QString::fromLatin1(text));
        if (*text)
            QCOMPARE(ColumnNumber(QString::fromLatin1(text)), number);
    }
    const QList<QPair<const char *, int>> typed
            = {{" b ", 2}, {"az", 52}, {"7", 1}, {"AAA", 0}, {"", 0}};
    for (const auto &[text, number] : typed)
        QCOMPARE(ColumnNumber(QString::fromLatin1(text)), number);
}

void TestTransferTexts::csvFieldQuoting()
{
    QCOMPARE(csvField("abc"), QString("abc\t"));
    QCOMPARE(csvField("a,b"), QString("\"a,b\t\""));
    QCOMPARE(csvField("say \"hi\""), QString("\"say \"\"hi\"\"\t\""));
    // A line feed alone would split the record on reading as well.
    QCOMPARE(csvField("two\nlines"), QString("\"two\nlines\t\""));
    QCOMPARE(csvField(QString()), QString("\t"));
}

// Quoted commas, line breaks and doubled quotes; line ends of every kind;
// an empty line is an empty record; a quote that does not open a field (an
// inch mark) is a character; a quoted field open at the end refuses the
// whole text and names the line where it opened.
void TestTransferTexts::parseCsv()
{
    const QList<QPair<const char *, Records>> cases = {
            {"a,\"b,c\",d", {{"a", "b,c", "d"}}},
            {"1,\"first\r\nsecond\",3\r\n4,5,6", {{"1", "first\r\nsecond", "3"}, {"4", "5", "6"}}},
            {"\"say \"\"hi\"\"\",x", {{"say \"hi\"", "x"}}},
            {"a,\"\",b", {{"a", "", "b"}}},
            {"a\rb\nc\r\nd", {{"a"}, {"b"}, {"c"}, {"d"}}},
            {"a\r\n\r\nb\r\n", {{"a"}, {}, {"b"}}},
            {"a,b\"c,d\"e,f", {{"a", "b\"c", "d\"e", "f"}}},
            {"12\" 钢管,3\r\n钢管,4", {{"12\" 钢管", "3"}, {"钢管", "4"}}},
            {",,", {{"", "", ""}}},
            {"", {}},
    };
    for (const auto &[text, records] : cases) {
        int openLine = -1;
        QCOMPARE(transfer::parseCsv(QString::fromUtf8(text), &openLine), records);
        QCOMPARE(openLine, 0);
    }

    const QList<QPair<const char *, int>> unclosed = {
            {"a,\"b\r\nc", 1},
            {"名称,数量\r\n\"两行\r\n的名称\",1\n\"P2 钢管,3\r\n钢管,4\r\n", 4},
    };
    for (const auto &[text, line] : unclosed) {
        int openLine = 0;
        QCOMPARE(transfer::parseCsv(QString::fromUtf8(text), &openLine), Records());
        QCOMPARE(openLine, line);
    }

    // A line of a megabyte.
    const QString longCell(1 << 20, QChar(0x4E2D));
    QCOMPARE(transfer::parseCsv("x," + longCell).first().at(1).size(), longCell.size());
}

// One encoding for the whole file, or none: a UTF-8 file with one stray
// Latin-1 byte is refused at that line instead of being read as GB18030.
void TestTransferTexts::decodeEncodings()
{
    const QString text = QStringLiteral("客户,钢管\r\n张三牌钢管,12\r\n");
    const QByteArray utf8 = text.toUtf8();
    QStringEncoder gb("GB18030");
    QStringEncoder utf16le(QStringConverter::Utf16LE);
    QStringEncoder utf16be(QStringConverter::Utf16BE);
    const QList<QPair<QByteArray, QString>> clean = {
            {gb.encode(text), text},
            {utf8, text},
            {"\xEF\xBB\xBF" + utf8, text},
            {"\xFF\xFE" + QByteArray(utf16le.encode(text)), text},
            {"\xFE\xFF" + QByteArray(utf16be.encode(text)), text},
            {"\xEF\xBB\xBF"
             "a\r\n\xEF\xBB\xBF"
             "b",
             "a\r\nb"},
            {QByteArray(), QString()},
    };
    for (const auto &[bytes, expected] : clean) {
        int badLine = -1;
        QCOMPARE(decodeCsvBytes(bytes, &badLine), expected);
        QCOMPARE(badLine, 0);
    }

    const QList<QPair<QByteArray, int>> refused = {
            {utf8 + "caf\xE9 钢管,3\r\n", 3},
            {"\xEF\xBB\xBF" + utf8 + "\xE9", 3},
            {"name,qty\r\ncaf\xE9,1\r\n", 2},
            {"\xFF\xFE" + QByteArray(utf16le.encode(text)) + "x", 3},
    };
    for (const auto &[bytes, line] : refused) {
        int badLine = 0;
        QCOMPARE(decodeCsvBytes(bytes, &badLine), QString());
        QCOMPARE(badLine, line);
    }
}

void TestTransferTexts::columnTexts()
{
    QCOMPARE(normaliseColumnsText(" ,A，“-”,B, "), QString("A,\"-\",B"));
    const QVector<ColumnsPart> parts = columnsTextParts(normaliseColumnsText("A，“-”,b"));
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts.at(0).column, 1);
    QVERIFY(parts.at(1).constant);
    QCOMPARE(parts.at(1).text, QString("-"));
    QCOMPARE(parts.at(2).column, 2);
    // A constant may hold a comma; digits count columns; three letters are
    // beyond any sheet.
    const QVector<ColumnsPart> more = columnsTextParts("\"a,b\",3,ABC,,");
    QCOMPARE(more.size(), 3);
    QCOMPARE(more.at(0).text, QString("a,b"));
    QCOMPARE(more.at(1).column, 3);
    QCOMPARE(more.at(2).column, 0);
}

// Dates in the list form, ISO, slashes, Chinese and digits, with or
// without a time; no such day and words are no date.
void TestTransferTexts::dates()
{
    const QDateTime day(QDate(2026, 3, 1), QTime(0, 0));
    const QList<QPair<const char *, QDateTime>> cases = {
            {"2026.03.01", day},
            {"2026-03-01", day},
            {"2026/3/1", day},
            {"2026年3月1日", day},
            {"20260301", day},
            {"2026-03-01 10:20:30", QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30))},
            {"2026.03.01 10:20", QDateTime(QDate(2026, 3, 1), QTime(10, 20))},
            {"2026-02-30", QDateTime()},
            {"yesterday", QDateTime()},
    };
    for (const auto &[text, when] : cases)
        QCOMPARE(parseImportDate(QString::fromUtf8(text)), when);
}

void TestTransferTexts::rowRange()
{
    int first = 0;
    int last = 0;
    QVERIFY(importRowRange("2", "30001", &first, &last));
    QCOMPARE(last - first + 1, 30000);
    QVERIFY(!importRowRange("2", "30002", &first, &last));
    QVERIFY(importRowRange("100", "2", &first, &last));
    QCOMPARE(first, 2);
    QCOMPARE(last, 100);
    QVERIFY(importRowRange("2.6行", "9.4", &first, &last));
    QCOMPARE(first, 3);
    QCOMPARE(last, 9);
    QVERIFY(!importRowRange("1", "99999999999999", &first, &last));
}

void TestTransferTexts::rights()
{
    QCOMPARE(importedRights("所有权限", "所有权限"), QString("所有权限"));
    // Only the rights the importing user holds come through, in catalogue
    // order.
    QCOMPARE(importedRights("所有权限", "销售数据添加;销售数据查看"),
             QString("销售数据查看;销售数据添加"));
    QCOMPARE(importedRights("产品数据删除;销售数据添加", "销售数据添加"), QString("销售数据添加"));
    QCOMPARE(importedRights("产品数据删除", ""), QString());
}

QTEST_GUILESS_MAIN(TestTransferTexts)
#include "tst_transfertexts.moc"
