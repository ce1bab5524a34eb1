// Export of list grids to CSV and .xlsx, import back into master rows, mapping and dialogs.

#include "../records/masterfixture.h"

#include "records/customers.h"
#include "records/sales.h"
#include "records/staff.h"
#include "store/params.h"
#include "store/rowinserter.h"
#include "transfer/columns.h"
#include "transfer/csv.h"
#include "transfer/exporter.h"
#include "transfer/importer.h"
#include "transfer/mapping.h"
#include "transfer/mappingdialog.h"
#include "transfer/sheetdialog.h"
#include "transfer/workbook.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>

using namespace masterfixture;
using namespace transfer;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

void loadSales(grid::Grid &g)
{
    records::LoadSalesList(g, QDate(2026, 1, 1), QDate(2026, 12, 31), records::FilterBar{});
}

// The texts of every data row, shown columns from 销售日期 on.
QStringList listRows(const grid::Grid &g)
{
    QStringList rows;
    for (int r = g.fixedRows(); r < g.rows(); ++r) {
        QStringList cells;
        for (int c = 2; c < g.cols(); ++c)
            cells << g.textMatrix(r, c);
        rows << cells.join('|');
    }
    return rows;
}

// Counts of "table" or "table:condition", one per query.
QList<int> counts(const QStringList &queries)
{
    QList<int> found;
    for (const QString &query : queries) {
        const int colon = int(query.indexOf(':'));
        found << (colon < 0 ? count(query) : count(query.left(colon), query.mid(colon + 1)));
    }
    return found;
}

// The columns of a mapping by caption.
QVector<MapEntry> mappingOf(const grid::Grid &g, const QHash<QString, QString> &columnTexts)
{
    QVector<MapEntry> entries = gridMapEntries(g);
    for (MapEntry &entry : entries)
        entry.columnsText = columnTexts.value(entry.caption);
    return entries;
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

    Fixture m;
    std::unique_ptr<grid::Grid> m_grid;
    QString path(const QString &name) const { return m.folder->filePath(name); }

    // The year's sales list in a new grid.
    grid::Grid &salesList()
    {
        m_grid = std::make_unique<grid::Grid>();
        loadSales(*m_grid);
        return *m_grid;
    }

    // Imports rows first … last of content as a CSV file, columns by caption.
    bool importCsv(grid::Grid &g, const QHash<QString, QString> &columns, const QByteArray &content,
                   int first = 2, int last = 100)
    {
        const QString file = path("import.csv");
        if (!QTest::qVerify(writeFile(file, content), "writeFile", "", __FILE__, __LINE__))
            return false;
        return ImportCsv(g, mappingOf(g, columns), file, first, last);
    }

    // The sales list of names that need care: quotes, commas, a line break.
    grid::Grid &addSales()
    {
        const auto id = [](const char *table, const char *name) {
            return QString::number(addNamed(table, name));
        };
        const QString pipe = id("Pro", "钢管"), bolt = id("Pro", "螺栓, M8");
        const QString oneil = id("Cus", "O'Neil"), quoted = id("Cus", "\"大\"客户");
        exec(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, "
                            "Memo) VALUES ('2026-03-01 00:00:00', %1, %3, %5, 2, 12.5, 4, 50, 50, "
                            "'第一行\r\n第二行'), ('2026-03-02 00:00:00', %2, %4, %5, 1, 3, 2.5, "
                            "7.5, 0, 'ζ和ξ, \"引号\"')")
                     .arg(pipe, bolt, oneil, quoted, id("Acc", "现金")));
        return salesList();
    }

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup()
    {
        m_grid.reset();
        QVERIFY(m.tearDown());
    }

    // Rows end in CR LF, without the key row and ID column, in UTF-8 with its mark.
    void exportCsvWritesWhatTheGridShows()
    {
        grid::Grid &g = addSales();
        m.prompts->fileNames << path("sales.CSV");
        QVERIFY(ExportGrid(g, exportSheetName(g)));
        m.takeMessages();
        const QByteArray bytes = readFile(path("sales.CSV"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = QString::fromUtf8(bytes.mid(3));
        QVERIFY(text.endsWith("\r\n") && text.startsWith("序号\t,销售日期\t,产品\t,客户\t,"));
        QVERIFY(text.contains(",2026.03.01\t,"));
        const QVector<QStringList> records = parseCsv(text);
        QCOMPARE(QList<qsizetype>({records.size(), records.at(2).size()}),
                 QList<qsizetype>({3, 11}));
        QCOMPARE(QDir(m.folder->path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden).size(), 0);
    }

    void exportAsksBeforeReplacing()
    {
        grid::Grid empty;
        empty.setRows(0);
        QVERIFY(!ExportGrid(empty, "x"));
        QCOMPARE(m.takeMessages(), QStringList{"表格中没有数据！"});

        grid::Grid &g = addSales();
        const QString old = path("old.csv");
        QVERIFY(writeFile(old, "old"));
        m.prompts->fileNames << old;
        m.prompts->answers << false;
        QVERIFY(!ExportGrid(g, "销售单"));
        QCOMPARE(m.prompts->questions, QStringList{"该文件已存在，是否覆盖？"});
        QCOMPARE(readFile(old), QByteArray("old"));

        // A folder under the name cannot be replaced.
        QVERIFY(QDir().mkpath(path("dir.csv")));
        m.prompts->fileNames << path("dir.csv") << old;
        m.prompts->answers << true << true;
        QVERIFY(!ExportGrid(g, "销售单"));
        QCOMPARE(m.takeMessages(), QStringList{"该文件无法覆盖，请确认该文件没被其他软件打开！"});
        QVERIFY(QFileInfo(path("dir.csv")).isDir());

        // The user is told where the file went.
        QVERIFY(ExportGrid(g, "销售单"));
        QVERIFY(readFile(old).startsWith("\xEF\xBB\xBF"));
        QCOMPARE(m.takeMessages(), QStringList{"表格已导出到：" + QDir::toNativeSeparators(old)});

        QVERIFY(!ExportGrid(g, "销售单")); // cancelled: nothing

        // A name that does not end in csv is written as a workbook.
        m.prompts->fileNames << path("sales.txt");
        QVERIFY(ExportGrid(g, "销售单"));
        QVERIFY(readFile(path("sales.txt")).startsWith("PK"));
        m.takeMessages();

        // A folder that does not exist: the save fails with its message.
        QVERIFY(!ExportExcel(g, path("missing/a.xlsx"), "销售单"));
        QVERIFY(!ExportCsv(g, path("missing/a.csv")));
        QCOMPARE(m.takeMessages(), QStringList(2, "文件保存出错！"));
        QVERIFY(!QFileInfo::exists(path("missing")));
    }

    void exportExcelFormats()
    {
        grid::Grid &g = addSales();
        g.setColWidth(3, 1230);
        const QString xlsx = path("sales.xlsx");
        QVERIFY(ExportExcel(g, xlsx, "销售单: 3/2026\\"));

        QStringList sheets;
        SheetError error = SheetError::None;
        QVERIFY(workbookSheets(xlsx, &sheets, &error));
        QCOMPARE(sheets, QStringList{"销售单_ 3_2026_"});
        QByteArray sheet, styles;
        QVERIFY(readWorkbookPart(xlsx, "xl/worksheets/sheet1.xml", &sheet));
        QVERIFY(readWorkbookPart(xlsx, "xl/styles.xml", &styles));
        // 产品 (worksheet column C) is 1230 ÷ 123 wide; all of A1:K3 is written.
        for (const char *part :
             {"<col min=\"3\" max=\"3\" width=\"10.7109375\"", "<dimension ref=\"A1:K3\"/>"})
            QVERIFY2(sheet.contains(part), part);
        // Money and dates are numbers formatted as the grid shows them.
        for (const char *style : {"formatCode=\"0.00\"", "formatCode=\"yyyy.mm.dd\""})
            QVERIFY2(styles.contains(style), style);
        // The date is a number; the running number and names stay text.
        for (const char *cell :
             {"<c r=\"B2\" s=\"\\d+\"><v>46082</v></c>", "<c r=\"A2\" s=\"\\d+\" t=\"s\">",
              "<c r=\"C2\" s=\"\\d+\" t=\"s\">"})
            QVERIFY2(QRegularExpression(cell).match(sheet).hasMatch(), cell);
    }

    // Same rows field by field, no tabs, and the names found, not created.
    void roundTripThroughCsvAndExcel()
    {
        grid::Grid &g = addSales();
        const QStringList before = listRows(g);
        QVERIFY(ExportCsv(g, path("sales.csv")));
        QVERIFY(ExportExcel(g, path("sales.xlsx"), "销售单"));
        const QList<int> masters = counts({"Cus", "Pro"});
        // 序号 is column A of the files, so 销售日期 … 备注 are B … K.
        QVector<MapEntry> mapping = gridMapEntries(g);
        for (int k = 0; k < mapping.size(); ++k)
            mapping[k].columnsText = ColumnLetters(k + 2);
        for (const bool csv : {true, false}) {
            exec("DELETE FROM Sale");
            QVERIFY(csv ? ImportCsv(g, mapping, path("sales.csv"), 2, 100)
                        : ImportExcel(g, mapping, path("sales.xlsx"), "销售单", 2, 100));
            grid::Grid back;
            loadSales(back);
            QCOMPARE(listRows(back), before);
            QCOMPARE(counts({"Cus", "Pro"}), masters);
        }
        QCOMPARE(m.host.reloads, 2);
    }

    void namesBecomeMasterRows()
    {
        const int oneil = addNamed("Cus", "O'Neil");
        NameIds ids;
        QCOMPARE(ids.id("Cus", "O'Neil"), qint64(oneil));
        // Quotes, wildcards and very long names are names like any other.
        const QStringList names
                = {"\"引号\"", "100%", "a_b", "O’Neil", QString(10000, QChar(0x540D))};
        QList<qint64> made;
        for (const QString &name : names)
            made << ids.id("Cus", name);
        QCOMPARE(count("Cus"), 1 + names.size());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(ids.id("Cus", names.at(i)), made.at(i));
            QCOMPARE(field("Cus", int(made.at(i)), "Name").toString(), names.at(i));
        }
        // The empty name is 其他, created once; the staff 其他 is not doubled.
        const qint64 other = ids.id("Cus", QString());
        QCOMPARE(QList<qint64>({ids.id("Cus", "其他"), NameToId("Cus", QString()),
                                NameToId("Staff", "")}),
                 QList<qint64>({other, other, 1}));
        QCOMPARE(count("Cus", "Name='其他'"), 1);

        // Blanks at the ends and ASCII case make no other master; the first spelling stays.
        const int steel = addNamed("Pro", "STEEL pipe");
        NameIds products;
        for (const char *typed : {"steel pipe", " Steel Pipe ", "STEEL pipe\t"})
            QCOMPARE(products.id("Pro", typed), qint64(steel));
        const qint64 pipe = products.id("Pro", "钢管 ");
        QCOMPARE(products.id("Pro", "\u3000钢管"), pipe); // a full-width blank
        QVERIFY(products.id("Pro", "Ä") != products.id("Pro", "ä"));
        QCOMPARE(QStringList({field("Pro", int(pipe), "Name").toString(),
                              field("Pro", steel, "Name").toString()}),
                 QStringList({"钢管", "STEEL pipe"}));
        QCOMPARE(count("Pro"), 4);
    }

    void fieldRules()
    {
        grid::Grid customers;
        records::LoadCustomerList(customers);
        const QString memo(80, 'm');
        QVERIFY(importCsv(
                customers, {{"客户名称", "A"}, {"折扣", "B"}, {"邮编", "C"}, {"备注", "D"}},
                "名称,折扣,邮编,备注\r\n甲公司,12kg,1000011234," + memo.toUtf8() + "\r\n", 2, 2));
        QCOMPARE(count("Cus"), 1);
        const int id = addNamed("Cus", "x") - 1;
        QVariantList stored;
        for (const char *name : {"Name", "Disc", "PC", "Memo"})
            stored << field("Cus", id, name).toString();
        QCOMPARE(stored, QVariantList({"甲公司", "12", "100001", memo.left(50)}));

        // A date or number that cannot be read refuses the file: no rows, no masters stay.
        grid::Grid &sales = salesList();
        const QHash<QString, QString> columns
                = {{"销售日期", "A"}, {"产品", "B"}, {"客户", "D"}, {"应收金额", "C"}};
        const QByteArray goodRows = "日期,产品,金额,客户\n2026.03.01,钢管,12.5元,新客户\n"
                                    "2026/3/2,钢管,3\n2026年3月3日,\"螺栓,\"\"M8\"\"\",1e2\n";
        const QList<QPair<QByteArray, QString>> refused
                = {{"昨天,钢管,1\n", "日期无法识别：昨天"},
                   {"2026-03-05,钢管,1e309\n", "数字无法识别：1e309"},
                   {"2026-03-05,钢管,-inf\n", "数字无法识别：-inf"},
                   {"2026-03-05,钢管,NaN\n", "数字无法识别：NaN"}};
        const int customersBefore = count("Cus");
        for (const auto &[badRow, message] : refused) {
            QVERIFY(!importCsv(sales, columns, goodRows + badRow + "2026-03-06,钢管,1\n"));
            QCOMPARE(m.takeMessages(), QStringList{"第5行的" + message + "，没有导入任何记录！"});
            QCOMPARE(counts({"Sale", "Pro", "Cus"}), QList<int>({0, 0, customersBefore}));
        }
        QVERIFY(importCsv(sales, columns, goodRows, 2, 4));
        // Unmapped or empty references point to 其他 rows.
        QCOMPARE(counts({"Sale", "Sale:Dat='2026-03-03 00:00:00' AND Pay=100", "Pro",
                         "Pro:Name='螺栓,\"M8\"'", "Cus:Name='其他'",
                         "Sale:CID=(SELECT ID FROM Cus WHERE Name='其他')"}),
                 QList<int>({3, 1, 2, 1, 1, 2}));

        // Imported staff get only the rights the importing member holds.
        store::CurrentRights = "销售数据查看;销售数据添加";
        grid::Grid staff;
        records::LoadStaffList(staff);
        QVERIFY(importCsv(staff, {{"姓名", "A"}, {"权限", "B"}}, "姓名,权限\r\n李四,所有权限\r\n"));
        QCOMPARE(count("Staff", "Name='李四' AND [Right]='销售数据查看;销售数据添加'"), 1);
    }

    void emptyRowEndsTheData()
    {
        grid::Grid &sales = salesList();
        // A constant alone does not make an empty row a row; an empty customer is 其他.
        QVERIFY(importCsv(sales, {{"产品", "A"}, {"客户", "B"}, {"备注", "\"导入\""}},
                          "产品,客户\r\n钢管,\r\n,\r\n钢管,乙\r\n"));
        QCOMPARE(counts({"Sale", "Sale:Memo='导入'",
                         "Sale:CID=(SELECT ID FROM Cus WHERE Name='其他')", "Cus:Name='乙'"}),
                 QList<int>({1, 1, 1, 0}));

        // The row that ends the data names nobody and its empty date is no error.
        exec("DELETE FROM Cus");
        QVERIFY(importCsv(sales, {{"产品", "A"}, {"客户", "B"}, {"销售日期", "C"}},
                          "产品,客户,日期\r\n钢管,甲,2026.03.01\r\n\t,\t,\t\r\n"));
        QCOMPARE(counts({"Sale", "Cus", "Cus:Name='甲'"}), QList<int>({2, 1, 1}));
    }

    void badFiles()
    {
        grid::Grid &sales = salesList();
        const QVector<MapEntry> mapping = mappingOf(sales, {{"产品", "A"}});
        QVERIFY(writeFile(path("binary.csv"), QByteArray("\x00\x01\x02PK\xff", 7)));
        QVERIFY(writeFile(path("empty.csv"), QByteArray()));
        for (const char *name : {"binary.csv", "missing.csv", "a.txt"})
            QVERIFY(!ImportCsv(sales, mapping, path(name), 1, 10));
        QCOMPARE(m.takeMessages(), QStringList(3, "CSV文件导入错误！"));
        QVERIFY(ImportCsv(sales, mapping, path("empty.csv"), 1, 10));

        // A stray Latin-1 byte, a quote never closed: refused, nothing written.
        QVERIFY(!importCsv(sales, {{"产品", "A"}},
                           "产品\r\n张三牌钢管\r\ncaf\xE9 钢管\r\n新产品\r\n"));
        QVERIFY(!importCsv(sales, {{"产品", "A"}}, "产品\r\n新产品\r\n\"P2 钢管\r\n钢管\r\n"));
        QCOMPARE(m.takeMessages(),
                 QStringList({"CSV文件导入错误：第3行的文字无法识别，文件应为UTF-8、UTF-16或"
                              "GB18030编码，没有导入任何记录！",
                              "CSV文件导入错误：第3行开始的引号没有结束，没有导入任何记录！"}));
        QCOMPARE(counts({"Sale", "Pro"}), QList<int>({0, 0}));
    }

    void workbookErrors()
    {
        grid::Grid &sales = addSales();
        const QString xlsx = path("book.xlsx");
        QVERIFY(ExportExcel(sales, xlsx, "销售单"));
        const QString text = path("text.xls"); // text named .xls
        QVERIFY(writeFile(text, "a,b,c\r\n"));
        const std::tuple<QString, const char *, const char *, const char *> refused[]
                = {{xlsx, "别的表", "C", "输入表格名称有误，无法打开表格，请重新输入！"},
                   {xlsx, "销售单", "C,16385", "输入表格列号超界，请重新输入！"},
                   {path("none.xlsx"), "销售单", "C",
                    "无法打开Excel文件，请检查后重新输入文件名及路径！"},
                   {text, "销售单", "C", "文件类型不对，请选择Excel文档！"}};
        for (const auto &[book, sheet, columns, message] : refused) {
            QVERIFY(!ImportExcel(sales, mappingOf(sales, {{"产品", columns}}), book, sheet, 2, 10));
            QCOMPARE(m.takeMessages(), QStringList{message});
        }
        // The last column a worksheet has is still inside it.
        const int before = count("Sale");
        QVERIFY(ImportExcel(sales, mappingOf(sales, {{"产品", "C"}, {"备注", "16384"}}), xlsx,
                            "销售单", 2, 30001));
        QCOMPARE(count("Sale"), before + 2);

        // The worksheet chooser refuses what does not open as a workbook.
        m.prompts->fileNames << text;
        QString file, sheet;
        QVERIFY(!ChooseImportFile(&file, &sheet));
        QCOMPARE(m.takeMessages(), QStringList{"无法打开XLS文件！"});
        // A CSV file needs no worksheet; the name keeps its capitals.
        m.prompts->fileNames << path("Data.CSV");
        QVERIFY(ChooseImportFile(&file, &sheet));
        QCOMPARE(QStringList({file, sheet}), QStringList({path("Data.CSV"), QString()}));
    }

    void storedMappingPerTable()
    {
        saveMapping("Sale", {{"产品", "C"}, {"客户", "A,\"-\",B"}, {"备注", ""}}, {"3", "50", "1"});
        // A key that "导入映射_Sale_%" matches as a pattern is not the table's.
        store::SetVar("导入映射XSaleY产品", "keep");
        saveMapping("Pur", {{"产品's", "D"}}, {"4", "5", "6"});
        // The columns stored for 产品, 客户 and 备注; - for none.
        const auto columns = [](const QString &table) {
            const QHash<QString, QString> texts = loadMapping(table).columnTexts;
            return QStringList(
                    {texts.value("产品", "-"), texts.value("客户", "-"), texts.value("备注", "-")});
        };
        QCOMPARE(columns("Sale"), QStringList({"C", "A,\"-\",B", "-"}));
        QCOMPARE(loadMapping("Sale").rowTexts, QStringList({"3", "50", "1"}));
        QCOMPARE(loadMapping("Pur").columnTexts.value("产品's"), QString("D"));
        // Saving again replaces the table's rows and no other table's.
        saveMapping("Sale", {{"产品", "E"}}, {"2", "100", "1"});
        QCOMPARE(columns("Sale"), QStringList({"E", "-", "-"}));
        QCOMPARE(store::GetVar("导入映射XSaleY产品"), QString("keep"));
        QCOMPARE(count("参数", "Var LIKE '导入映射!_Sale!_%' ESCAPE '!'"), 4);
    }

    void mappingDialog()
    {
        grid::Grid &sales = salesList();
        const QString rows = path("rows.csv");
        QByteArray content = "产品,客户\r\n";
        for (int i = 0; i < 30005; ++i)
            content += "钢管,客户" + QByteArray::number(i % 7) + "\r\n";
        QVERIFY(writeFile(rows, content));
        {
            ImportMapDialog dialog(sales, rows, QString());
            QCOMPARE(dialog.preview()->item(1, 1)->text(), QString("客户0"));
            dialog.mappingGrid()->item(1, 4)->setText("A");
            dialog.mappingGrid()->item(2, 4)->setText("B");
            dialog.rowBox(1)->setText("30002");
            dialog.show();
            dialog.Confirm();
            QCOMPARE(m.takeMessages(),
                     QStringList{"一次性导入数据不得超过3万条记录，请重新设置！"});
            QVERIFY(dialog.isVisible());
            QCOMPARE(count("Sale"), 0);
            // Reversed, 30,000 rows: taken.
            dialog.rowBox(0)->setText("30001");
            dialog.rowBox(1)->setText("2");
            dialog.Confirm();
            QVERIFY(!dialog.isVisible());
        }
        QCOMPARE(counts({"Sale", "Cus"}), QList<int>({30000, 7}));
        // Reopened: the stored columns and rows; a cancelled dialog stores too.
        {
            ImportMapDialog dialog(sales, rows, QString());
            QCOMPARE(dialog.mappingGrid()->item(1, 4)->text(), QString("A"));
            QCOMPARE(dialog.rowBox(0)->text(), QString("30001"));
            dialog.mappingGrid()->item(9, 4)->setText("\"备注\"");
            dialog.show();
            dialog.cancelButton()->click();
        }
        QCOMPARE(loadMapping("Sale").columnTexts.value("备注"), QString("\"备注\""));
        QCOMPARE(count("Sale"), 30000);

        ImportMapDialog unsupported(sales, path("a.txt"), QString());
        QCOMPARE(m.takeMessages(), QStringList{"您选择的文件格式不支持导入，请选择CSV或XLS文件！"});
    }

    void sheetChooser()
    {
        SheetDialog dialog({"一月", "二月", "三月"});
        dialog.ClickChoice(1);
        dialog.ClickChoice(2);
        QCOMPARE(QStringList({dialog.sheetGrid()->item(1, 1)->text(),
                              dialog.sheetGrid()->item(2, 1)->text()}),
                 QStringList({"", "√"}));
        dialog.confirmButton()->click();
        QCOMPARE(dialog.chosenSheet(), QString("三月"));
        dialog.ClickChoice(2); // a ticked cell clears
        dialog.confirmButton()->click();
        QCOMPARE(dialog.chosenSheet(), QString());
    }
};

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
