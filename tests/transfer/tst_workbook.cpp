// Reading .xlsx workbooks written the way spreadsheet programs write them:
// numbers, dates and times by their number formats, booleans, shared and
// inline strings, empty cells, sheets in workbook order, a long sheet read
// only within the asked rows, and files that are not workbooks.

#include "testsupport.h"
#include "transfer/workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <minizip/zip.h>
#include <xlsxwriter.h>

using namespace transfer;

namespace {

// A ZIP file holding one part.
bool writeZip(const QString &path, const char *name, const QByteArray &content)
{
    zipFile zip = zipOpen(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = zipOpenNewFileInZip(zip, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION)
              == ZIP_OK;
    ok = ok && zipWriteInFileInZip(zip, content.constData(), unsigned(content.size())) == ZIP_OK;
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

} // namespace

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cellsAsTheSheetShowsThem();
    void longSheetReadWithinTheRows();
    void filesThatAreNoWorkbooks();

private:
    QTemporaryDir m_dir;
};

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

    QVector<QStringList> rows;
    QVERIFY(readSheetRows(path, "价目表", 1, 10, &rows, &error));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0), QStringList({"名称", "12.5", "2026-03-01", "2026-03-01 10:20:00",
                                      "2026-03-02", "1234.5", "TRUE", "0012", "0.3"}));
    QCOMPARE(rows.at(1), QStringList());
    QCOMPARE(rows.at(2), QStringList({"", "", "", "D3 \"引号\" & <尖括号>\r\n第二行"}));
    QCOMPARE(rows.at(3), QStringList{"名称甲"});

    QVERIFY(readSheetRows(path, "Sheet 2", 1, 1, &rows, &error));
    QCOMPARE(rows, QVector<QStringList>{{"其他表"}});
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

    QVector<QStringList> rows;
    SheetError error = SheetError::None;
    QVERIFY(readSheetRows(path, "Sheet1", 99990, 100005, &rows, &error));
    QCOMPARE(rows.size(), 11);
    QCOMPARE(rows.first(), QStringList({"99990", "行"}));
    QCOMPARE(rows.last(), QStringList({"100000", "行"}));
    QVERIFY(readSheetRows(path, "Sheet1", 2, 30001, &rows, &error));
    QCOMPARE(rows.size(), 30000);
    QCOMPARE(rows.at(29999).first(), QString("30001"));
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
        QVector<QStringList> rows;
        QVERIFY(!readSheetRows(path, "Sheet1", 1, 10, &rows, &error));
        QCOMPARE(sheetErrorMessage(error), QString("文件类型不对，请选择Excel文档！"));
    }
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
