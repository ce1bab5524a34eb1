// Reading .xlsx and .xls workbooks written the way spreadsheet programs
// write them: numbers, dates and times by their number formats, booleans,
// shared and inline strings, empty cells, sheets in workbook order, a long
// sheet read only within the asked rows, rows out of order, sparse wide
// rows, and files that are damaged, hostile or no workbooks at all.

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
    bool ok = true;
    for (const auto &[name, content] : parts) {
        ok = ok
             && zipOpenNewFileInZip(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION)
                        == ZIP_OK;
        ok = ok
             && zipWriteInFileInZip(zip, content.constData(), unsigned(content.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool writeZip(const QString &path, const char *name, const QByteArray &content)
{
    return writeZip(path, {{name, content}});
}

// An .xlsx package of one sheet "S" whose sheetData is rows, with the
// shared strings given (none: no sharedStrings part at all).
// Style 1 shows dates.
bool writeSheet(const QString &path, const QByteArray &rows,
                const QByteArray &shared = QByteArray(), const QByteArray &prolog = QByteArray())
{
    QList<QPair<const char *, QByteArray>> parts = {
            {"xl/workbook.xml",
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
             "</styleSheet>"},
    };
    if (!shared.isNull())
        parts.append({"xl/sharedStrings.xml", "<sst>" + shared + "</sst>"});
    return writeZip(path, parts);
}

QVector<QStringList> textsOf(const QVector<SheetRow> &rows)
{
    QVector<QStringList> texts;
    for (const SheetRow &row : rows)
        texts << row.texts();
    return texts;
}

} // namespace

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cellsAsTheSheetShowsThem();
    void longSheetReadWithinTheRows();
    void filesThatAreNoWorkbooks();
    void rowsPlacedByTheirReferences();
    void brokenAndHostileWorkbooks();
    void sparseWideRowsWithinMemory();

private:
    QTemporaryDir m_dir;
};

void TestWorkbook::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Shanghai kept local mean time (+8:05:43) until 1901: a date serial
    // counted through local time from 1899 comes out six minutes early.
    qputenv("TZ", "Asia/Shanghai");
    tzset();
}

void TestWorkbook::cellsAsTheSheetShowsThem()
{
    const QString path = m_dir.filePath("kinds.xlsx");
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *first = workbook_add_worksheet(book, "价目表");
    lxw_worksheet *second = workbook_add_worksheet(book, "Sheet 2");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "yyyy\"年\"m\"月\"d\"日\"");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
    lxw_format *builtinDate = workbook_add_format(book);
    format_set_num_format_index(builtinDate, 14);
    lxw_format *money = workbook_add_format(book);
    format_set_num_format(money, "[Red]\"¥\"#,##0.00");
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");

    worksheet_write_string(first, 0, 0, "名称", nullptr);
    worksheet_write_number(first, 0, 1, 12.5, nullptr);
    worksheet_write_number(first, 0, 2, 46082, date); // 2026-03-01
    worksheet_write_number(first, 0, 3, 46082.4305555556, dateTime);
    worksheet_write_number(first, 0, 4, 46083, builtinDate);
    worksheet_write_number(first, 0, 5, 1234.5, money);
    worksheet_write_boolean(first, 0, 6, 1, nullptr);
    worksheet_write_string(first, 0, 7, "0012", text);
    worksheet_write_number(first, 0, 8, 0.1 + 0.2, nullptr);
    // Row 2 is empty; row 3 has a gap before its cell.
    worksheet_write_string(first, 2, 3, "D3 \"引号\" & <尖括号>\r\n第二行", nullptr);
    worksheet_write_formula_str(first, 3, 0, "=A1&\"甲\"", nullptr, "名称甲");
    worksheet_write_string(second, 0, 0, "其他表", nullptr);
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);

    QStringList names;
    SheetError error = SheetError::None;
    QVERIFY(workbookSheets(path, &names, &error));
    QCOMPARE(names, QStringList({"价目表", "Sheet 2"}));
    QCOMPARE(workbookColumnLimit(path), 16384);

    QVector<SheetRow> rows;
    QVERIFY(readSheetRows(path, "价目表", 1, 10, &rows, &error));
    QCOMPARE(textsOf(rows),
             QVector<QStringList>({{"名称", "12.5", "2026-03-01", "2026-03-01 10:20:00",
                                    "2026-03-02", "1234.5", "TRUE", "0012", "0.3"},
                                   {},
                                   {"", "", "", "D3 \"引号\" & <尖括号>\r\n第二行"},
                                   {"名称甲"}}));
    // Only the columns asked for.
    QVERIFY(readSheetRows(path, "价目表", 1, 1, &rows, &error, nullptr, {2, 3}));
    QCOMPARE(textsOf(rows), QVector<QStringList>({{"", "12.5", "2026-03-01"}}));

    QVERIFY(readSheetRows(path, "Sheet 2", 1, 1, &rows, &error));
    QCOMPARE(textsOf(rows), QVector<QStringList>{{"其他表"}});
    QVERIFY(!readSheetRows(path, "价目", 1, 1, &rows, &error));
    QCOMPARE(error, SheetError::NoSuchSheet);
    QCOMPARE(sheetErrorMessage(error), QString("输入表格名称有误，无法打开表格，请重新输入！"));
}

void TestWorkbook::longSheetReadWithinTheRows()
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

    QVector<SheetRow> rows;
    SheetError error = SheetError::None;
    QVERIFY(readSheetRows(path, "Sheet1", 99990, 100005, &rows, &error));
    QCOMPARE(rows.size(), 11);
    QCOMPARE(rows.first().texts(), QStringList({"99990", "行"}));
    QCOMPARE(rows.last().texts(), QStringList({"100000", "行"}));
    QVERIFY(readSheetRows(path, "Sheet1", 2, 30001, &rows, &error));
    QCOMPARE(rows.size(), 30000);
    QCOMPARE(rows.at(29999).cell(1), QString("30001"));
}

void TestWorkbook::filesThatAreNoWorkbooks()
{
    QStringList names;
    SheetError error = SheetError::None;
    QVERIFY(!workbookSheets(m_dir.filePath("missing.xlsx"), &names, &error));
    QCOMPARE(error, SheetError::CannotOpen);

    const QString zip = m_dir.filePath("other.xlsx");
    QVERIFY(writeZip(zip, "readme.txt", "not a workbook"));
    QVERIFY(!workbookSheets(zip, &names, &error));
    QCOMPARE(error, SheetError::NotWorkbook);

    // A package whose sheet part is damaged XML.
    const QString broken = m_dir.filePath("broken.xlsx");
    QVERIFY(writeZip(broken, "xl/workbook.xml", "<workbook><sheets><sheet name=\"A\""));
    QVERIFY(!workbookSheets(broken, &names, &error));
    QCOMPARE(error, SheetError::NotWorkbook);

    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1garbage", 15)}) {
        const QString path = m_dir.filePath("fake.xls");
        QVERIFY(testsupport::writeFile(path, bytes));
        QVERIFY(!workbookSheets(path, &names, &error));
        QCOMPARE(error, SheetError::NotWorkbook);
        QVector<SheetRow> rows;
        QVERIFY(!readSheetRows(path, "Sheet1", 1, 10, &rows, &error));
        QCOMPARE(sheetErrorMessage(error), QString("文件类型不对，请选择Excel文档！"));
    }
}

// Rows in any order and a row number given twice place every cell by its
// own reference; a cell given twice is refused with its name.
void TestWorkbook::rowsPlacedByTheirReferences()
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
    QVector<SheetRow> rows;
    SheetError error = SheetError::None;
    QVERIFY(readSheetRows(path, "S", 2, 7, &rows, &error));
    QCOMPARE(textsOf(rows), QVector<QStringList>({{"行2", "2"},
                                                  {"行3", "3"},
                                                  {"行4", "4"},
                                                  {"行5", "5"},
                                                  {"行6", "6"},
                                                  {"7", "", "70"}}));

    QVERIFY(writeSheet(path, "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\">"
                             "<c r=\"B2\"><v>2</v></c><c r=\"B2\"><v>3</v></c></row>"));
    QString detail;
    QVERIFY(!readSheetRows(path, "S", 1, 10, &rows, &error, &detail));
    QCOMPARE(error, SheetError::Unreadable);
    QCOMPARE(detail, QString("Excel文件无法读取：第 2 行第 B 列的单元格重复出现"));
}

// Workbooks that cannot be trusted are refused with what is wrong, and
// nothing of them is returned: text references that point nowhere, a
// reference outside a sheet, entity declarations, a text run no cell can
// hold, a zip bomb. Numbers that are no numbers keep their own text.
void TestWorkbook::brokenAndHostileWorkbooks()
{
    const QByteArray textCell = "<row r=\"3\"><c r=\"B3\" t=\"s\"><v>%1</v></c></row>";
    QByteArray bomb = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
    bomb += ("<row spans=\"" + QByteArray(1 << 20, '1') + "\"/>").repeated(70);
    struct Case
    {
        QByteArray rows;
        QByteArray shared;
        QByteArray prolog;
        QString detail;
    };
    const QString textProblem = "Excel文件无法读取：第 3 行第 B 列的文字引用无效";
    const QList<Case> cases = {
            {QByteArray(textCell).replace("%1", "0"), QByteArray(), {}, textProblem},
            {QByteArray(textCell).replace("%1", "1"), "<si><t>甲</t></si>", {}, textProblem},
            {QByteArray(textCell).replace("%1", "-1"), "<si><t>甲</t></si>", {}, textProblem},
            {QByteArray(textCell).replace("%1", "x"), "<si><t>甲</t></si>", {}, textProblem},
            {"<row><c r=\"XFE1\"><v>1</v></c></row>",
             {},
             {},
             "Excel文件无法读取：单元格引用“XFE1”无效"},
            {"<row><c r=\"A1\" t=\"inlineStr\"><is><t>&b;</t></is></c></row>",
             {},
             "<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaaaaaaaa\">"
             "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>",
             "Excel文件无法读取"},
            {"<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + QByteArray(5 << 20, 'a')
                     + "</t></is></c></row>",
             {},
             {},
             "Excel文件无法读取"},
            {bomb, {}, {}, "Excel文件无法读取"},
    };
    const QString path = m_dir.filePath("hostile.xlsx");
    for (const Case &test : cases) {
        QVERIFY(writeSheet(path, test.rows, test.shared, test.prolog));
        QVERIFY(QFileInfo(path).size() < (1 << 20));
        QVector<SheetRow> rows;
        SheetError error = SheetError::None;
        QString detail;
        QVERIFY(!readSheetRows(path, "S", 1, 10, &rows, &error, &detail));
        QCOMPARE(error, SheetError::Unreadable);
        QCOMPARE(detail, test.detail);
        QVERIFY(rows.isEmpty());
    }
    // A shared string that is there is read.
    QVERIFY(writeSheet(path, QByteArray(textCell).replace("%1", "0"), "<si><t>甲</t></si>"));
    QVector<SheetRow> rows;
    SheetError error = SheetError::None;
    QVERIFY(readSheetRows(path, "S", 3, 3, &rows, &error));
    QCOMPARE(rows.first().cell(2), QString("甲"));

    // Values beyond any number, and date serials that are no dates, stay as
    // written, so that the import refuses them instead of reading 0 or the
    // null date.
    QVERIFY(writeSheet(path, "<row r=\"1\"><c><v>1e309</v></c><c><v>NaN</v></c>"
                             "<c s=\"1\"><v>1e308</v></c><c s=\"1\"><v>-1e308</v></c>"
                             "<c s=\"1\"><v>NaN</v></c><c s=\"1\"><v>46082</v></c>"
                             "<c s=\"1\"><v>46082.75</v></c></row>"));
    QVERIFY(readSheetRows(path, "S", 1, 1, &rows, &error));
    QCOMPARE(rows.first().texts(), QStringList({"1e309", "NaN", "1e308", "-1e308", "NaN",
                                                "2026-03-01", "2026-03-01 18:00:00"}));
}

// 30,000 rows whose one cell is at column XFD cost their cells, not 16,384
// cells each: the read succeeds with far less than a gigabyte to spare.
void TestWorkbook::sparseWideRowsWithinMemory()
{
    QByteArray xml;
    for (int r = 1; r <= 30001; ++r)
        xml += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"XFD" + QByteArray::number(r)
               + "\"><v>" + QByteArray::number(r) + "</v></c></row>";
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
        _exit(read && rows.size() == 30000 && rows.last().cell(16384) == QLatin1String("30001")
                      ? 0
                      : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
