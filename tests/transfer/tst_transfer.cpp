// Export of list grids to CSV and .xlsx and import of them back, names
// turned into master rows, the stored mapping and the import dialogs, on a
// fresh account set with scripted prompts.

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
#include <QStringEncoder>
#include <QTableWidget>
#include <QTimer>

using namespace masterfixture;
using namespace transfer;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const QDate kStart(2026, 1, 1);
const QDate kEnd(2026, 12, 31);

// The sales list of the year in a grid.
void loadSales(grid::Grid &g)
{
    records::LoadSalesList(g, kStart, kEnd, records::FilterBar{});
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

// The mapping of the sales list to a file exported from it: 序号 is column
// A, so 销售日期 … 备注 are B … K.
QVector<MapEntry> exportedSalesMapping(const grid::Grid &g)
{
    QVector<MapEntry> entries = gridMapEntries(g);
    for (int k = 0; k < entries.size(); ++k)
        entries[k].columnsText = ColumnLetters(k + 2);
    return entries;
}

// Runs action on the first shown dialog of type T as soon as it is up (a
// modal dialog runs its own event loop); closes every dialog after two
// seconds so a test never hangs.
template<typename T>
void whenShown(std::function<void(T *)> action)
{
    auto *timer = new QTimer;
    auto *waited = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<T *>(w); dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                delete waited;
                action(dialog);
                return;
            }
        }
        if (++*waited > 200) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<QDialog *>(w))
                    dialog->reject();
        }
    });
    timer->start(10);
}

// The product names of the sales, in the order they were written.
QStringList soldProducts()
{
    store::RecordSet rs;
    store::OpenQuery(rs, "SELECT Pro.Name FROM Sale INNER JOIN Pro ON Sale.PID=Pro.ID "
                         "ORDER BY Sale.ID");
    QStringList names;
    for (; rs.isOpen() && !rs.eof(); rs.moveNext())
        names << rs.value(0).toString();
    return names;
}

// Sets the columnTexts of a mapping by caption.
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

private slots:
    void init();
    void cleanup() { QVERIFY(m.tearDown()); }

    void exportCsvWritesWhatTheGridShows();
    void exportAsksBeforeReplacing();
    void exportExcelFormats();
    void roundTripThroughCsvAndExcel();
    void namesBecomeMasterRows();
    void fieldRules();
    void emptyRowEndsTheData();
    void badFiles();
    void workbookErrors();
    void storedMappingPerTable();
    void mappingDialog();
    void sheetChooser();

private:
    // Sales with names that need care (quotes, commas, a line break), and
    // the year's sales list of them in g.
    void addSales(grid::Grid &g);
    Fixture m;
};

void TestTransfer::init()
{
    QVERIFY(m.setUp());
}

void TestTransfer::addSales(grid::Grid &g)
{
    const auto id = [](const char *table, const char *name) {
        return QString::number(addNamed(table, name));
    };
    const QString pipe = id("Pro", "钢管"), bolt = id("Pro", "螺栓, M8");
    const QString oneil = id("Cus", "O'Neil"), quoted = id("Cus", "\"大\"客户");
    exec(QStringLiteral("INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) "
                        "VALUES ('2026-03-01 00:00:00', %1, %3, %5, 2, 12.5, 4, 50, 50, "
                        "'第一行\r\n第二行'), ('2026-03-02 00:00:00', %2, %4, %5, 1, 3, 2.5, 7.5, "
                        "0, 'ζ和ξ, \"引号\"')")
                 .arg(pipe, bolt, oneil, quoted, id("Acc", "现金")));
    loadSales(g);
}

void TestTransfer::exportCsvWritesWhatTheGridShows()
{
    grid::Grid g;
    addSales(g);
    QCOMPARE(g.dataRows(), 2);
    const QString path = m.folder->filePath("sales.CSV");
    m.prompts->fileNames << path;
    QVERIFY(ExportGrid(g, exportSheetName(g)));
    m.takeMessages();
    const QByteArray bytes = readFile(path);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    // The title row and two data rows, each ending in CR LF; the hidden key
    // row and ID column are left out.
    const QString text = QString::fromUtf8(bytes.mid(3));
    QVERIFY(text.endsWith("\r\n"));
    QVERIFY(text.startsWith("序号\t,销售日期\t,产品\t,客户\t,"));
    QVERIFY(!text.contains("ID\t"));
    QVERIFY(text.contains(",\"螺栓, M8\t\","));
    QVERIFY(text.contains(",\"\"\"大\"\"客户\t\","));
    QVERIFY(text.contains("2026.03.01\t"));
    const QVector<QStringList> records = parseCsv(text);
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(2).size(), 11);
    QCOMPARE(exportSheetName(g), QString("销售单"));
    // No work file stays beside it.
    QCOMPARE(QDir(m.folder->path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden).size(), 0);
}

void TestTransfer::exportAsksBeforeReplacing()
{
    grid::Grid empty;
    empty.setRows(0);
    QVERIFY(!ExportGrid(empty, "x"));
    QCOMPARE(m.takeMessages(), QStringList{"表格中没有数据！"});

    grid::Grid g;
    addSales(g);
    const QString path = m.folder->filePath("old.csv");
    QVERIFY(writeFile(path, "old"));
    m.prompts->fileNames << path;
    m.prompts->answers << false;
    QVERIFY(!ExportGrid(g, "销售单"));
    QCOMPARE(m.prompts->questions, QStringList{"该文件已存在，是否覆盖？"});
    QCOMPARE(readFile(path), QByteArray("old"));

    // A folder under the name cannot be replaced.
    const QString folder = m.folder->filePath("dir.csv");
    QVERIFY(QDir().mkpath(folder));
    m.prompts->fileNames << folder;
    m.prompts->answers << true;
    QVERIFY(!ExportGrid(g, "销售单"));
    QCOMPARE(m.takeMessages(), QStringList{"该文件无法覆盖，请确认该文件没被其他软件打开！"});
    QVERIFY(QFileInfo(folder).isDir());

    m.prompts->fileNames << path;
    m.prompts->answers << true;
    QVERIFY(ExportGrid(g, "销售单"));
    QVERIFY(readFile(path).startsWith("\xEF\xBB\xBF"));
    // The user is told where the file went.
    QCOMPARE(m.takeMessages(), QStringList{"表格已导出到：" + QDir::toNativeSeparators(path)});

    // Cancelled: nothing.
    QVERIFY(!ExportGrid(g, "销售单"));

    // A name that does not end in csv is written as a workbook.
    const QString other = m.folder->filePath("sales.txt");
    m.prompts->fileNames << other;
    QVERIFY(ExportGrid(g, "销售单"));
    QVERIFY(readFile(other).startsWith("PK"));
    m.takeMessages();

    // A folder that does not exist: the save fails with its message.
    const QString missing = m.folder->filePath("missing");
    QVERIFY(!ExportExcel(g, missing + "/a.xlsx", "销售单"));
    QVERIFY(!ExportCsv(g, missing + "/a.csv"));
    QCOMPARE(m.takeMessages(), QStringList({"文件保存出错！", "文件保存出错！"}));
    QVERIFY(!QFileInfo::exists(missing));
}

void TestTransfer::exportExcelFormats()
{
    grid::Grid g;
    addSales(g);
    g.setColWidth(3, 1230);
    const QString path = m.folder->filePath("sales.xlsx");
    QVERIFY(ExportExcel(g, path, "销售单: 3/2026\\"));

    QStringList sheets;
    SheetError error = SheetError::None;
    QVERIFY(workbookSheets(path, &sheets, &error));
    QCOMPARE(sheets, QStringList{"销售单_ 3_2026_"});

    QByteArray sheetXml;
    QByteArray styles;
    QVERIFY(readWorkbookPart(path, "xl/worksheets/sheet1.xml", &sheetXml));
    QVERIFY(readWorkbookPart(path, "xl/styles.xml", &styles));
    // The 产品 column (grid column 3, worksheet column C) is 1230 ÷ 123 wide.
    QVERIFY(sheetXml.contains("<col min=\"3\" max=\"3\" width=\"10.7109375\""));
    // Header cells bold on (255, 192, 128) with thin borders; the used
    // range A1:K3 has every cell written.
    QVERIFY(styles.contains("<b/>"));
    QVERIFY(styles.contains("FFFFC080"));
    QVERIFY(styles.contains("<left style=\"thin\">"));
    QVERIFY(sheetXml.contains("<dimension ref=\"A1:K3\"/>"));

    // Money and dates are numbers, with formats that show them as the grid
    // does; the running number and names stay text.
    QVERIFY(styles.contains("formatCode=\"0.00\""));
    QVERIFY(styles.contains("formatCode=\"yyyy.mm.dd\""));
    QVERIFY(QRegularExpression("<c r=\"B2\" s=\"\\d+\"><v>46082</v></c>")
                    .match(sheetXml)
                    .hasMatch());
    QVERIFY(QRegularExpression("<c r=\"A2\" s=\"\\d+\" t=\"s\">").match(sheetXml).hasMatch());
    QVERIFY(QRegularExpression("<c r=\"C2\" s=\"\\d+\" t=\"s\">").match(sheetXml).hasMatch());
}

void TestTransfer::roundTripThroughCsvAndExcel()
{
    grid::Grid g;
    addSales(g);
    const QStringList before = listRows(g);
    const QString csv = m.folder->filePath("sales.csv");
    const QString xlsx = m.folder->filePath("sales.xlsx");
    QVERIFY(ExportCsv(g, csv));
    QVERIFY(ExportExcel(g, xlsx, "销售单"));
    const int customers = count("Cus");
    const int products = count("Pro");

    for (const QString &file : {csv, xlsx}) {
        exec("DELETE FROM Sale");
        const QVector<MapEntry> mapping = exportedSalesMapping(g);
        if (file == csv)
            QVERIFY(ImportCsv(g, mapping, file, 2, 100));
        else
            QVERIFY(ImportExcel(g, mapping, file, "销售单", 2, 100));
        grid::Grid back;
        loadSales(back);
        // Same rows field by field (the IDs are new), no tabs, and the names
        // found again instead of created.
        QCOMPARE(listRows(back), before);
        QCOMPARE(count("Cus"), customers);
        QCOMPARE(count("Pro"), products);
    }
    QCOMPARE(m.host.reloads, 2);
}

void TestTransfer::namesBecomeMasterRows()
{
    const int oneil = addNamed("Cus", "O'Neil");
    NameIds ids;
    QCOMPARE(ids.id("Cus", "O'Neil"), qint64(oneil));
    // Quotes, wildcards and very long names are names like any other.
    const QString longName(10000, QChar(0x540D));
    const QStringList names = {"\"引号\"", "100%", "a_b", "O’Neil", longName};
    QHash<QString, qint64> made;
    for (const QString &name : names) {
        made.insert(name, ids.id("Cus", name));
        QVERIFY(made.value(name) > 0);
    }
    QCOMPARE(count("Cus"), 1 + names.size());
    for (const QString &name : names) {
        QCOMPARE(ids.id("Cus", name), made.value(name));
        QCOMPARE(field("Cus", int(made.value(name)), "Name").toString(), name);
    }
    // The empty name is 其他, created once.
    const qint64 other = ids.id("Cus", QString());
    QCOMPARE(ids.id("Cus", "其他"), other);
    QCOMPARE(NameToId("Cus", QString()), other);
    QCOMPARE(count("Cus", "Name='其他'"), 1);
    // The template's staff 其他 is found, not doubled.
    QCOMPARE(NameToId("Staff", ""), qint64(1));

    // Blanks at the ends and ASCII case do not make another master; the
    // spelling stored first stays. Other letters keep their case.
    const int steel = addNamed("Pro", "STEEL pipe");
    NameIds products;
    for (const char *typed : {"steel pipe", " Steel Pipe ", "STEEL pipe\t"})
        QCOMPARE(products.id("Pro", typed), qint64(steel));
    const qint64 pipe = products.id("Pro", "钢管 ");
    QCOMPARE(products.id("Pro", "\u3000钢管"), pipe); // a full-width blank
    QCOMPARE(field("Pro", int(pipe), "Name").toString(), QString("钢管"));
    QVERIFY(products.id("Pro", "Ä") != products.id("Pro", "ä"));
    QCOMPARE(field("Pro", steel, "Name").toString(), QString("STEEL pipe"));
    QCOMPARE(count("Pro"), 4);
}

void TestTransfer::fieldRules()
{
    grid::Grid customers;
    records::LoadCustomerList(customers);
    const QString path = m.folder->filePath("cus.csv");
    const QString memo(80, 'm');
    QVERIFY(writeFile(
            path,
            QString("名称,折扣,邮编,备注\r\n甲公司,12kg,1000011234," + memo + "\r\n").toUtf8()));
    QVERIFY(ImportCsv(
            customers,
            mappingOf(customers, {{"客户名称", "A"}, {"折扣", "B"}, {"邮编", "C"}, {"备注", "D"}}),
            path, 2, 2));
    QCOMPARE(count("Cus"), 1);
    const int id = addNamed("Cus", "x") - 1;
    QCOMPARE(field("Cus", id, "Name").toString(), QString("甲公司"));
    QCOMPARE(field("Cus", id, "Disc").toDouble(), 12.0);
    QCOMPARE(field("Cus", id, "PC").toString(), QString("100001"));
    QCOMPARE(field("Cus", id, "Memo").toString(), memo.left(50));

    // Dates in several spellings; one that is no date refuses the file, and
    // neither the rows before it nor the products and customer they named
    // stay. Numbers beyond any number are refused the same way.
    grid::Grid sales;
    loadSales(sales);
    const QVector<MapEntry> mapping = mappingOf(
            sales, {{"销售日期", "A"}, {"产品", "B"}, {"客户", "D"}, {"应收金额", "C"}});
    const QString salesPath = m.folder->filePath("sales.csv");
    const QByteArray goodRows = "日期,产品,金额,客户\n2026.03.01,钢管,12.5元,新客户\n"
                                "2026/3/2,钢管,3\n2026年3月3日,\"螺栓,\"\"M8\"\"\",1e2\n";
    const QList<QPair<QByteArray, QString>> refused = {
            {"昨天,钢管,1\n", "第5行的日期无法识别：昨天，没有导入任何记录！"},
            {"2026-03-05,钢管,1e309\n", "第5行的数字无法识别：1e309，没有导入任何记录！"},
            {"2026-03-05,钢管,-inf\n", "第5行的数字无法识别：-inf，没有导入任何记录！"},
            {"2026-03-05,钢管,NaN\n", "第5行的数字无法识别：NaN，没有导入任何记录！"},
    };
    const int customersBefore = count("Cus");
    for (const auto &[badRow, message] : refused) {
        QVERIFY(writeFile(salesPath, goodRows + badRow + "2026-03-06,钢管,1\n"));
        QVERIFY(!ImportCsv(sales, mapping, salesPath, 2, 100));
        QCOMPARE(m.takeMessages(), QStringList{message});
        QCOMPARE(count("Sale"), 0);
        QCOMPARE(count("Pro"), 0);
        QCOMPARE(count("Cus"), customersBefore);
    }
    QVERIFY(ImportCsv(sales, mapping, salesPath, 2, 4));
    QCOMPARE(count("Sale"), 3);
    QCOMPARE(count("Sale", "Dat='2026-03-03 00:00:00' AND Pay=100"), 1);
    QCOMPARE(count("Pro"), 2);
    QCOMPARE(count("Pro", "Name='螺栓,\"M8\"'"), 1);
    // Unmapped or empty references point to 其他 rows.
    QCOMPARE(count("Cus", "Name='其他'"), 1);
    QCOMPARE(count("Sale", "CID=(SELECT ID FROM Cus WHERE Name='其他')"), 2);

    // Imported staff get only the rights the importing member holds.
    store::CurrentRights = "销售数据查看;销售数据添加";
    grid::Grid staff;
    records::LoadStaffList(staff);
    const QString staffPath = m.folder->filePath("staff.csv");
    QVERIFY(writeFile(staffPath, "姓名,权限\r\n李四,所有权限\r\n"));
    QVERIFY(ImportCsv(staff, mappingOf(staff, {{"姓名", "A"}, {"权限", "B"}}), staffPath, 2, 2));
    QCOMPARE(count("Staff", "Name='李四' AND [Right]='销售数据查看;销售数据添加'"), 1);
}

void TestTransfer::emptyRowEndsTheData()
{
    grid::Grid sales;
    loadSales(sales);
    const QString path = m.folder->filePath("gap.csv");
    QVERIFY(writeFile(path, "产品,客户\r\n钢管,\r\n,\r\n钢管,乙\r\n"));
    // A constant alone does not make an empty row a row.
    QVERIFY(ImportCsv(sales, mappingOf(sales, {{"产品", "A"}, {"客户", "B"}, {"备注", "\"导入\""}}),
                      path, 2, 100));
    QCOMPARE(count("Sale"), 1);
    QCOMPARE(count("Sale", "Memo='导入'"), 1);
    // The empty customer is booked to 其他.
    QCOMPARE(count("Sale", "CID=(SELECT ID FROM Cus WHERE Name='其他')"), 1);
    QCOMPARE(count("Cus", "Name='乙'"), 0);

    // The row that ends the data names nobody: no 其他 appears for it, and
    // its empty date is no error.
    exec("DELETE FROM Cus");
    const QString named = m.folder->filePath("named.csv");
    QVERIFY(writeFile(named, "产品,客户,日期\r\n钢管,甲,2026.03.01\r\n\t,\t,\t\r\n"));
    QVERIFY(ImportCsv(sales, mappingOf(sales, {{"产品", "A"}, {"客户", "B"}, {"销售日期", "C"}}),
                      named, 2, 100));
    QCOMPARE(count("Sale"), 2);
    QCOMPARE(count("Cus"), 1);
    QCOMPARE(count("Cus", "Name='甲'"), 1);
}

void TestTransfer::badFiles()
{
    grid::Grid sales;
    loadSales(sales);
    const QVector<MapEntry> mapping = mappingOf(sales, {{"产品", "A"}});

    const QString binary = m.folder->filePath("binary.csv");
    QVERIFY(writeFile(binary, QByteArray("\x00\x01\x02PK\xff", 7)));
    QVERIFY(!ImportCsv(sales, mapping, binary, 1, 10));
    QVERIFY(!ImportCsv(sales, mapping, m.folder->filePath("missing.csv"), 1, 10));
    QVERIFY(!ImportCsv(sales, mapping, m.folder->filePath("a.txt"), 1, 10));
    QCOMPARE(m.takeMessages(), QStringList(3, "CSV文件导入错误！"));

    const QString empty = m.folder->filePath("empty.csv");
    QVERIFY(writeFile(empty, QByteArray()));
    QVERIFY(ImportCsv(sales, mapping, empty, 1, 10));
    QCOMPARE(count("Sale"), 0);

    // A file as other programs save it (the encodings and line ends one
    // may come in are read by the CSV text tests): GB18030 with CR-only
    // lines and an inch mark in a name gives the products in order.
    QStringEncoder gb("GB18030");
    const QString gbFile = m.folder->filePath("gb.csv");
    QVERIFY(writeFile(gbFile, gb.encode(QStringLiteral("产品\r钢管\r12\" 螺母\r"))));
    QVERIFY(ImportCsv(sales, mapping, gbFile, 2, 10));
    QCOMPARE(soldProducts(), QStringList({"钢管", "12\" 螺母"}));
    QCOMPARE(count("Pro"), 2);
    QCOMPARE(m.takeMessages(), QStringList());

    // A UTF-8 file with one Latin-1 byte, a quote never closed: refused with
    // the line, and nothing of them written.
    const QList<QPair<const char *, QByteArray>> refused = {
            {"latin1.csv", "产品\r\n张三牌钢管\r\ncaf\xE9 钢管\r\n新产品\r\n"},
            {"open.csv", "产品\r\n新产品\r\n\"P2 钢管\r\n钢管\r\n"},
    };
    for (const auto &[name, bytes] : refused) {
        const QString path = m.folder->filePath(name);
        QVERIFY(writeFile(path, bytes));
        QVERIFY(!ImportCsv(sales, mapping, path, 2, 10));
    }
    QCOMPARE(m.takeMessages(),
             QStringList({"CSV文件导入错误：第3行的文字无法识别，文件应为UTF-8、UTF-16或"
                          "GB18030编码，没有导入任何记录！",
                          "CSV文件导入错误：第3行开始的引号没有结束，没有导入任何记录！"}));
    QCOMPARE(soldProducts(), QStringList({"钢管", "12\" 螺母"}));
    QCOMPARE(count("Pro"), 2);
}

void TestTransfer::workbookErrors()
{
    grid::Grid sales;
    addSales(sales);
    const QString xlsx = m.folder->filePath("book.xlsx");
    QVERIFY(ExportExcel(sales, xlsx, "销售单"));
    const QVector<MapEntry> mapping = mappingOf(sales, {{"产品", "C"}});

    QVERIFY(!ImportExcel(sales, mapping, xlsx, "别的表", 2, 10));
    QVERIFY(!ImportExcel(sales, mappingOf(sales, {{"产品", "C,16385"}}), xlsx, "销售单", 2, 10));
    QVERIFY(!ImportExcel(sales, mapping, m.folder->filePath("none.xlsx"), "销售单", 2, 10));
    // Text named .xls.
    const QString text = m.folder->filePath("text.xls");
    QVERIFY(writeFile(text, "a,b,c\r\n"));
    QVERIFY(!ImportExcel(sales, mapping, text, "销售单", 2, 10));
    QCOMPARE(m.takeMessages(), QStringList({"输入表格名称有误，无法打开表格，请重新输入！",
                                            "输入表格列号超界，请重新输入！",
                                            "无法打开Excel文件，请检查后重新输入文件名及路径！",
                                            "文件类型不对，请选择Excel文档！"}));
    const int before = count("Sale");
    // The last column a worksheet has is still inside it.
    QVERIFY(ImportExcel(sales, mappingOf(sales, {{"产品", "C"}, {"备注", "16384"}}), xlsx, "销售单",
                        2, 30001));
    QCOMPARE(count("Sale"), before + 2);

    // The worksheet chooser refuses what does not open as a workbook.
    QStringList sheets;
    SheetError error = SheetError::None;
    QVERIFY(!workbookSheets(text, &sheets, &error));
    QCOMPARE(error, SheetError::NotWorkbook);
    m.prompts->fileNames << text;
    QString file;
    QString sheet;
    QVERIFY(!ChooseImportFile(&file, &sheet));
    QCOMPARE(m.takeMessages(), QStringList{"无法打开XLS文件！"});
    // A CSV file needs no worksheet; the name keeps its capitals.
    m.prompts->fileNames << m.folder->filePath("Data.CSV");
    QVERIFY(ChooseImportFile(&file, &sheet));
    QCOMPARE(file, m.folder->filePath("Data.CSV"));
    QVERIFY(sheet.isEmpty());
}

void TestTransfer::storedMappingPerTable()
{
    const QVector<MapEntry> sales = {{"产品", "C"}, {"客户", "A,\"-\",B"}, {"备注", ""}};
    saveMapping("Sale", sales, {"3", "50", "1"});
    // A key that "导入映射_Sale_%" would match as a LIKE pattern is not the
    // table's.
    store::SetVar("导入映射XSaleY产品", "keep");
    saveMapping("Pur", {{"产品's", "D"}}, {"4", "5", "6"});
    StoredMapping stored = loadMapping("Sale");
    QCOMPARE(stored.columnTexts.value("产品"), QString("C"));
    QCOMPARE(stored.columnTexts.value("客户"), QString("A,\"-\",B"));
    QVERIFY(!stored.columnTexts.contains("备注"));
    QCOMPARE(stored.rowTexts, QStringList({"3", "50", "1"}));
    QCOMPARE(loadMapping("Pur").columnTexts.value("产品's"), QString("D"));
    // Saving again replaces the table's rows and no other table's.
    saveMapping("Sale", {{"产品", "E"}}, {"2", "100", "1"});
    stored = loadMapping("Sale");
    QCOMPARE(stored.columnTexts.value("产品"), QString("E"));
    QVERIFY(!stored.columnTexts.contains("客户"));
    QCOMPARE(store::GetVar("导入映射XSaleY产品"), QString("keep"));
    QCOMPARE(count("参数", "Var LIKE '导入映射!_Sale!_%' ESCAPE '!'"), 4);
}

void TestTransfer::mappingDialog()
{
    grid::Grid sales;
    loadSales(sales);
    const QString path = m.folder->filePath("rows.csv");
    QByteArray content = "产品,客户\r\n";
    for (int i = 0; i < 30005; ++i)
        content += "钢管,客户" + QByteArray::number(i % 7) + "\r\n";
    QVERIFY(writeFile(path, content));

    {
        ImportMapDialog dialog(sales, path, QString());
        QCOMPARE(dialog.preview()->rowCount(), 19);
        QCOMPARE(dialog.preview()->columnCount(), 59);
        QCOMPARE(dialog.preview()->horizontalHeaderItem(26)->text(), QString("AA"));
        QCOMPARE(dialog.preview()->item(1, 1)->text(), QString("客户0"));
        QCOMPARE(dialog.mappingGrid()->rowCount(), 10);
        QCOMPARE(dialog.rowBox(1)->text(), QString("100"));
        dialog.mappingGrid()->item(1, 4)->setText("A");
        dialog.mappingGrid()->item(2, 4)->setText("B");
        dialog.rowBox(1)->setText("30002");
        dialog.show();
        dialog.Confirm();
        QCOMPARE(m.takeMessages(), QStringList{"一次性导入数据不得超过3万条记录，请重新设置！"});
        QVERIFY(dialog.isVisible());
        QCOMPARE(count("Sale"), 0);
        // Reversed, 30,000 rows: taken.
        dialog.rowBox(0)->setText("30001");
        dialog.rowBox(1)->setText("2");
        dialog.Confirm();
        QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(count("Sale"), 30000);
    QCOMPARE(count("Cus"), 7);

    // Reopened: the stored columnTexts and rows; the cancelled dialog stores too.
    {
        ImportMapDialog dialog(sales, path, QString());
        QCOMPARE(dialog.mappingGrid()->item(1, 4)->text(), QString("A"));
        QCOMPARE(dialog.rowBox(0)->text(), QString("30001"));
        dialog.mappingGrid()->item(9, 4)->setText("\"备注\"");
        dialog.show();
        dialog.cancelButton()->click();
    }
    QCOMPARE(loadMapping("Sale").columnTexts.value("备注"), QString("\"备注\""));
    QCOMPARE(count("Sale"), 30000);

    ImportMapDialog unsupported(sales, m.folder->filePath("a.txt"), QString());
    QCOMPARE(m.takeMessages(), QStringList{"您选择的文件格式不支持导入，请选择CSV或XLS文件！"});
}

void TestTransfer::sheetChooser()
{
    SheetDialog dialog({"一月", "二月", "三月"});
    dialog.ClickChoice(1);
    dialog.ClickChoice(2);
    QCOMPARE(dialog.sheetGrid()->item(1, 1)->text(), QString());
    QCOMPARE(dialog.sheetGrid()->item(2, 1)->text(), QString("√"));
    dialog.confirmButton()->click();
    QCOMPARE(dialog.chosenSheet(), QString("三月"));
    dialog.ClickChoice(2); // a ticked cell clears
    dialog.confirmButton()->click();
    QCOMPARE(dialog.chosenSheet(), QString());

    // Through the file choice: the worksheet ticked and confirmed.
    grid::Grid g;
    addSales(g);
    const QString xlsx = m.folder->filePath("book.xlsx");
    QVERIFY(ExportExcel(g, xlsx, "销售单"));
    m.prompts->fileNames << xlsx;
    whenShown<SheetDialog>([](SheetDialog *chooser) {
        chooser->ClickChoice(0);
        chooser->confirmButton()->click();
    });
    QString file;
    QString sheet;
    QVERIFY(ChooseImportFile(&file, &sheet));
    QCOMPARE(sheet, QString("销售单"));
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
