// Reading .xlsx and .xls workbooks, long, sparse and out of order, and damaged or hostile files.

#include "testsupport.h"
#include "transfer/workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <minizip/zip.h>
#include <xlsxwriter.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

using namespace transfer;

namespace {

// A ZIP file holding the parts, in order.
bool writeZip(const QString &path, const QList<QPair<const char *, QByteArray>> &parts)
{
    zipFile zip = zipOpen(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    int failed = 0;
    for (const auto &[name, content] : parts) {
        failed |= zipOpenNewFileInZip(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION)
                  | zipWriteInFileInZip(zip, content.constData(), unsigned(content.size()))
                  | zipCloseFileInZip(zip);
    }
    return (zipClose(zip, nullptr) | failed) == ZIP_OK;
}

// An .xlsx of one sheet "S" holding rows, with the shared strings given; style 1 shows dates.
bool writeSheet(const QString &path, const QByteArray &rows,
                const QByteArray &shared = QByteArray(), const QByteArray &prolog = QByteArray())
{
    QList<QPair<const char *, QByteArray>> parts
            = {{"xl/workbook.xml",
                "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                "relationships\"><sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>"},
               {"xl/_rels/workbook.xml.rels",
                "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" "
                "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
               {"xl/worksheets/sheet1.xml", "<?xml version=\"1.0\"?>" + prolog
                                                    + "<worksheet><sheetData>" + rows
                                                    + "</sheetData></worksheet>"},
               {"xl/styles.xml",
                "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>"
                "</styleSheet>"}};
    if (!shared.isNull())
        parts.append({"xl/sharedStrings.xml", "<sst>" + shared + "</sst>"});
    return writeZip(path, parts);
}

// One read of a sheet: whether it went, its rows' texts, error and detail.
struct Read
{
    bool ok = false;
    QVector<QStringList> texts;
    SheetError error = SheetError::None;
    QString detail;
};

Read readRows(const QString &path, const QString &sheet, int first, int last,
              const QVector<int> &columns = {})
{
    Read read;
    QVector<SheetRow> rows;
    read.ok = readSheetRows(path, sheet, first, last, &rows, &read.error, &read.detail, columns);
    for (const SheetRow &row : rows)
        read.texts << row.texts();
    return read;
}

// The sheet names of a workbook; the error when it cannot list them.
QStringList sheetNames(const QString &path, SheetError *error = nullptr)
{
    QStringList names;
    SheetError listed = SheetError::None;
    if (!workbookSheets(path, &names, &listed))
        names = {QStringLiteral("(failed)")};
    if (error)
        *error = listed;
    return names;
}

// A refused read: nothing returned, the error Unreadable and its detail.
void expectUnreadable(const QString &path, const QString &sheet, int first, int last,
                      const QString &detail)
{
    const Read read = readRows(path, sheet, first, last);
    QVERIFY(!read.ok && read.texts.isEmpty());
    QCOMPARE(read.error, SheetError::Unreadable);
    QCOMPARE(read.detail, detail);
}

// ---- a BIFF8 workbook as Excel and LibreOffice save it ----------------------

QByteArray le16(int value)
{
    const char bytes[2] = {char(value & 0xFF), char((value >> 8) & 0xFF)};
    return QByteArray(bytes, 2);
}

QByteArray le32(quint32 value)
{
    return le16(int(value & 0xFFFF)) + le16(int(value >> 16));
}

QByteArray leDouble(double value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), 8);
}

// A text with its option byte, in UTF-16; the count as lengthBytes bytes.
QByteArray biffText(const QString &text, int lengthBytes)
{
    QByteArray bytes = lengthBytes == 1 ? QByteArray(1, char(text.size())) : le16(int(text.size()));
    bytes += '\x01';
    bytes += QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return bytes;
}

QByteArray biffRecord(int type, const QByteArray &data)
{
    return le16(type) + le16(int(data.size())) + data;
}

// A formula cell with its computed value (8 bytes) and the formula G4*H4.
QByteArray formulaRecord(int row, int column, int style, const QByteArray &value)
{
    const QByteArray formula
            = "\x24" + le16(3) + le16(0xC006) + "\x24" + le16(3) + le16(0xC007) + "\x05";
    return biffRecord(0x0006, le16(row) + le16(column) + le16(style) + value + le16(0) + le32(0)
                                      + le16(int(formula.size())) + formula);
}

// A special formula value: a text to follow (0), a boolean (1), an error (2).
QByteArray specialValue(int kind, int value)
{
    return QByteArray(1, char(kind)) + '\0' + QByteArray(1, char(value)) + QByteArray(3, '\0')
           + "\xFF\xFF";
}

// A compound file holding one stream "Workbook" in 512-byte sectors.
QByteArray compoundFile(QByteArray stream)
{
    const quint32 streamSize = quint32(stream.size());
    const int streamSectors = int((stream.size() + 511) / 512);
    stream.resize(streamSectors * 512, '\0');
    QByteArray header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header += QByteArray(16, '\0') + le16(0x3E) + le16(3) + le16(0xFFFE) + le16(9) + le16(6)
              + QByteArray(6, '\0') + le32(0) + le32(1) + le32(1) + le32(0) + le32(4096)
              + le32(0xFFFFFFFE) + le32(0) + le32(0xFFFFFFFE) + le32(0) + le32(0);
    while (header.size() < 512)
        header += le32(0xFFFFFFFF);
    QByteArray fat = le32(0xFFFFFFFD) + le32(0xFFFFFFFE);
    for (int s = 0; s < streamSectors; ++s)
        fat += le32(s + 1 < streamSectors ? quint32(s + 3) : 0xFFFFFFFE);
    while (fat.size() < 512)
        fat += le32(0xFFFFFFFF);
    const auto entry
            = [](const QString &name, int type, quint32 child, quint32 start, quint32 size) {
                  QByteArray bytes(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
                  bytes.resize(64, '\0');
                  bytes += le16(int(name.size() + 1) * 2) + char(type) + char(1) + le32(0xFFFFFFFF)
                           + le32(0xFFFFFFFF) + le32(child) + QByteArray(36, '\0') + le32(start)
                           + le32(size) + le32(0);
                  return bytes;
              };
    QByteArray directory = entry("Root Entry", 5, 1, 0xFFFFFFFE, 0)
                           + entry("Workbook", 2, 0xFFFFFFFF, 2, streamSize);
    directory.resize(512, '\0');
    return header + fat + directory + stream;
}

} // namespace

class TestWorkbook : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Shanghai kept local mean time until 1901: serials through local time come out early.
        qputenv("TZ", "Asia/Shanghai");
        tzset();
    }

    void cellsAsTheSheetShowsThem()
    {
        const QString path = m_dir.filePath("kinds.xlsx");
        lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
        lxw_worksheet *first = workbook_add_worksheet(book, "价目表");
        lxw_worksheet *second = workbook_add_worksheet(book, "Sheet 2");
        const auto format = [book](const char *text, int index = 0) {
            lxw_format *f = workbook_add_format(book);
            index ? format_set_num_format_index(f, uint8_t(index)) : format_set_num_format(f, text);
            return f;
        };
        worksheet_write_string(first, 0, 0, "名称", nullptr);
        worksheet_write_number(first, 0, 1, 12.5, nullptr);
        worksheet_write_number(first, 0, 2, 46082,
                               format("yyyy\"年\"m\"月\"d\"日\"")); // 2026-03-01
        worksheet_write_number(first, 0, 3, 46082.4305555556, format("yyyy-mm-dd hh:mm:ss"));
        worksheet_write_number(first, 0, 4, 46083, format(nullptr, 14));
        worksheet_write_number(first, 0, 5, 1234.5, format("[Red]\"¥\"#,##0.00"));
        worksheet_write_boolean(first, 0, 6, 1, nullptr);
        worksheet_write_string(first, 0, 7, "0012", format("@"));
        worksheet_write_number(first, 0, 8, 0.1 + 0.2, nullptr);
        // Row 2 is empty; row 3 has a gap before its cell.
        worksheet_write_string(first, 2, 3, "D3 \"引号\" & <尖括号>\r\n第二行", nullptr);
        worksheet_write_formula_str(first, 3, 0, "=A1&\"甲\"", nullptr, "名称甲");
        worksheet_write_string(second, 0, 0, "其他表", nullptr);
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);

        QCOMPARE(sheetNames(path), QStringList({"价目表", "Sheet 2"}));
        QCOMPARE(workbookColumnLimit(path), 16384);
        QCOMPARE(readRows(path, "价目表", 1, 10).texts,
                 QVector<QStringList>({{"名称", "12.5", "2026-03-01", "2026-03-01 10:20:00",
                                        "2026-03-02", "1234.5", "TRUE", "0012", "0.3"},
                                       {},
                                       {"", "", "", "D3 \"引号\" & <尖括号>\r\n第二行"},
                                       {"名称甲"}}));
        // Only the columns asked for.
        QCOMPARE(readRows(path, "价目表", 1, 1, {2, 3}).texts,
                 QVector<QStringList>({{"", "12.5", "2026-03-01"}}));
        QCOMPARE(readRows(path, "Sheet 2", 1, 1).texts, QVector<QStringList>{{"其他表"}});
    }

    void longSheetReadWithinTheRows()
    {
        const QString path = m_dir.filePath("long.xlsx");
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        lxw_workbook *book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
        for (int r = 0; r < 100000; ++r) {
            worksheet_write_number(sheet, lxw_row_t(r), 0, r + 1, nullptr);
            worksheet_write_string(sheet, lxw_row_t(r), 1, "行", nullptr);
        }
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);

        Read read = readRows(path, "Sheet1", 99990, 100005);
        QVERIFY(read.ok);
        QCOMPARE(read.texts.size(), 11);
        QCOMPARE(read.texts.first() + read.texts.last(),
                 QStringList({"99990", "行", "100000", "行"}));
    }

    // Something else zipped, a damaged part, an empty file and garbage are no workbooks.
    void filesThatAreNoWorkbooks()
    {
        const auto file = [this](const char *name) {
            return m_dir.filePath(name);
        };
        QVERIFY(writeZip(file("other.xlsx"), {{"readme.txt", "not a workbook"}}));
        QVERIFY(writeZip(file("broken.xlsx"),
                         {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"A\""}}));
        QVERIFY(testsupport::writeFile(file("empty.xls")));
        QVERIFY(testsupport::writeFile(file("fake.xls"),
                                       QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1garbage", 15)));
        for (const char *name :
             {"missing.xlsx", "other.xlsx", "broken.xlsx", "empty.xls", "fake.xls"}) {
            const SheetError expected
                    = name[0] == 'm' ? SheetError::CannotOpen : SheetError::NotWorkbook;
            SheetError error = SheetError::None;
            QCOMPARE(sheetNames(file(name), &error), QStringList{"(failed)"});
            const Read read = readRows(file(name), "Sheet1", 1, 10);
            QCOMPARE(QList<SheetError>({error, read.ok ? SheetError::None : read.error}),
                     QList<SheetError>({expected, expected}));
        }
    }

    // .xls formula cells read as their values; one whose text never follows is refused.
    void xlsFormulaValues()
    {
        QByteArray globals = biffRecord(0x0809, le16(0x0600) + le16(0x0005) + le16(0x0DBB)
                                                        + le16(0x07CC) + le32(0) + le32(6))
                             + biffRecord(0x0042, le16(1200))
                             + biffRecord(0x041E, le16(164) + biffText("yyyy.mm.dd hh:mm", 2));
        for (int xf = 0; xf < 18; ++xf) {
            const int format = xf == 16 ? 14 : xf == 17 ? 164 : 0;
            globals += biffRecord(0x00E0, le16(0) + le16(format) + QByteArray(16, '\0'));
        }
        // Excel's stream is never shorter than 4096 bytes: unused texts fill it.
        QStringList texts = {"名称", "钢管"};
        for (int i = 0; i < 200; ++i)
            texts << QStringLiteral("填充文字%1").arg(i, 4, 10, QLatin1Char('0'));
        QByteArray sst = le32(quint32(texts.size())) + le32(quint32(texts.size()));
        for (const QString &text : std::as_const(texts))
            sst += biffText(text, 2);
        const QByteArray tail = biffRecord(0x00FC, sst) + biffRecord(0x000A, {});
        const QString sheetName = "价目表";
        const int boundSheetSize = 4 + 8 + int(sheetName.size()) * 2;
        const quint32 sheetAt = quint32(globals.size() + boundSheetSize + tail.size());
        globals += biffRecord(0x0085, le32(sheetAt) + '\0' + '\0' + biffText(sheetName, 1)) + tail;

        const auto label = [](int row, int column, int text) {
            return biffRecord(0x00FD, le16(row) + le16(column) + le16(15) + le32(quint32(text)));
        };
        const auto number = [](int row, int column, double value) {
            return biffRecord(0x0203, le16(row) + le16(column) + le16(15) + leDouble(value));
        };
        const QByteArray cells = label(0, 0, 0) + label(1, 0, 1) + number(1, 6, 3)
                                 + number(1, 7, 241.2) + formulaRecord(1, 8, 15, leDouble(723.6))
                                 + formulaRecord(2, 0, 15, specialValue(0, 0))
                                 + biffRecord(0x0207, biffText("螺栓", 2))
                                 + formulaRecord(2, 1, 15, specialValue(1, 1))
                                 + formulaRecord(2, 2, 15, specialValue(2, 0x07))
                                 + formulaRecord(2, 3, 16, leDouble(46082))
                                 + formulaRecord(2, 4, 17, leDouble(46083.5))
                                 + formulaRecord(2, 5, 15, specialValue(0, 0))
                                 + biffRecord(0x0207, le16(4) + biffText("甲乙", 2).mid(2))
                                 + biffRecord(0x003C, biffText("丙丁", 2).mid(2))
                                 // Row 4: a text formula whose text never comes.
                                 + formulaRecord(3, 0, 15, specialValue(0, 0)) + number(3, 1, 1);
        const QByteArray sheet
                = biffRecord(0x0809, le16(0x0600) + le16(0x0010) + le16(0x0DBB) + le16(0x07CC)
                                             + le32(0) + le32(6))
                  + biffRecord(0x0200, le32(0) + le32(4) + le16(0) + le16(9) + le16(0)) + cells
                  + biffRecord(0x000A, {});
        const QString path = m_dir.filePath("formulas.xls");
        QVERIFY(testsupport::writeFile(path, compoundFile(globals + sheet)));

        QCOMPARE(sheetNames(path), QStringList{sheetName});
        QCOMPARE(readRows(path, sheetName, 1, 3).texts,
                 QVector<QStringList>({{"名称"},
                                       {"钢管", "", "", "", "", "", "3", "241.2", "723.6"},
                                       {"螺栓", "TRUE", "#DIV/0!", "2026-03-01",
                                        "2026-03-02 12:00:00", "甲乙丙丁"}}));
        expectUnreadable(path, sheetName, 2, 4,
                         "Excel文件无法读取：第 4 行第 A 列的公式没有计算结果");
    }

    // Cells are placed by their own references; a cell given twice is refused with its name.
    void rowsPlacedByTheirReferences()
    {
        QByteArray xml;
        for (int r : {1, 2, 5, 3, 4, 6})
            xml += QString("<row r=\"%1\"><c r=\"A%1\" t=\"inlineStr\"><is><t>行%1</t></is></c>"
                           "<c r=\"B%1\"><v>%1</v></c></row>")
                           .arg(r)
                           .toUtf8();
        xml += "<row r=\"7\"><c r=\"A7\"><v>7</v></c></row><row r=\"7\"><c "
               "r=\"C7\"><v>70</v></c></row>";
        const QString path = m_dir.filePath("order.xlsx");
        QVERIFY(writeSheet(path, xml));
        QVector<QStringList> placed;
        for (int r = 2; r <= 6; ++r)
            placed << QStringList({"行" + QString::number(r), QString::number(r)});
        QCOMPARE(readRows(path, "S", 2, 7).texts, placed << QStringList({"7", "", "70"}));

        QVERIFY(writeSheet(path, "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\">"
                                 "<c r=\"B2\"><v>2</v></c><c r=\"B2\"><v>3</v></c></row>"));
        expectUnreadable(path, "S", 1, 10, "Excel文件无法读取：第 2 行第 B 列的单元格重复出现");
    }

    // Untrustworthy workbooks are refused with what is wrong, nothing of them returned.
    void brokenAndHostileWorkbooks()
    {
        const auto textCell = [](const char *index) {
            return "<row r=\"3\"><c r=\"AZ3\" t=\"s\"><v>" + QByteArray(index) + "</v></c></row>";
        };
        QByteArray bomb = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
        bomb += ("<row spans=\"" + QByteArray(1 << 20, '1') + "\"/>").repeated(70);
        const QByteArray entities
                = "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaaaaaaaa\">"
                  "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>";
        const QByteArray one = "<si><t>甲</t></si>",
                         outside = "<row><c r=\"XFE1\"><v>1</v></c></row>";
        const QString unreadable = "Excel文件无法读取";
        const QString textProblem = unreadable + "：第 3 行第 AZ 列的文字引用无效";
        const auto inline_ = [](const QByteArray &text) {
            return "<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + text + "</t></is></c></row>";
        };
        const std::tuple<QByteArray, QByteArray, QByteArray, QString> cases[]
                = {{textCell("0"), {}, {}, textProblem},
                   {textCell("1"), one, {}, textProblem},
                   {textCell("-1"), one, {}, textProblem},
                   {textCell("x"), one, {}, textProblem},
                   {outside, {}, {}, unreadable + "：单元格引用“XFE1”无效"},
                   {inline_("&b;"), {}, entities, unreadable},
                   {inline_(QByteArray(5 << 20, 'a')), {}, {}, unreadable},
                   {bomb, {}, {}, unreadable}};
        const QString path = m_dir.filePath("hostile.xlsx");
        for (const auto &[rows, shared, prolog, detail] : cases) {
            QVERIFY(writeSheet(path, rows, shared, prolog));
            QVERIFY(QFileInfo(path).size() < (1 << 20));
            expectUnreadable(path, "S", 1, 10, detail);
        }
        // A shared string that is there is read.
        QVERIFY(writeSheet(path, textCell("0"), one));
        QCOMPARE(readRows(path, "S", 3, 3).texts.value(0).value(51), QString("甲"));

        // Values beyond any number and serials that are no dates stay as written for the import.
        QVERIFY(writeSheet(path, "<row r=\"1\"><c><v>1e309</v></c><c><v>NaN</v></c>"
                                 "<c s=\"1\"><v>1e308</v></c><c s=\"1\"><v>-1e308</v></c>"
                                 "<c s=\"1\"><v>NaN</v></c><c s=\"1\"><v>46082</v></c>"
                                 "<c s=\"1\"><v>46082.75</v></c></row>"));
        QCOMPARE(readRows(path, "S", 1, 1).texts.value(0),
                 QStringList({"1e309", "NaN", "1e308", "-1e308", "NaN", "2026-03-01",
                              "2026-03-01 18:00:00"}));
    }

    // 30,000 rows of one cell at XFD cost their cells, not 16,384 each.
    void sparseWideRowsWithinMemory()
    {
        QByteArray xml;
        for (int r = 1; r <= 30001; ++r)
            xml += QString("<row r=\"%1\"><c r=\"XFD%1\"><v>%1</v></c></row>").arg(r).toUtf8();
        const QString path = m_dir.filePath("wide.xlsx");
        QVERIFY(writeSheet(path, xml));
        QVERIFY(QFileInfo(path).size() < 1024 * 1024);

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
            // What the process may take from now on: its size plus 512 MiB.
            QFile statm("/proc/self/statm");
            statm.open(QIODevice::ReadOnly);
            const qint64 pages = statm.readAll().split(' ').value(0).toLongLong();
            const rlim_t limit = rlim_t(pages * sysconf(_SC_PAGESIZE) + (qint64(512) << 20));
            const rlimit cap = {limit, limit};
            setrlimit(RLIMIT_AS, &cap);
#endif
            QVector<SheetRow> rows;
            SheetError error = SheetError::None;
            const bool read = readSheetRows(path, "S", 2, 30001, &rows, &error);
            const bool whole
                    = rows.size() == 30000 && rows.last().cell(16384) == QLatin1String("30001");
            _exit(read && whole ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
};

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
