#include "print/pagecomposer.h"
#include "print/previewsettings.h"
#include "print/printers.h"
#include "print/printpreview.h"

#include "analysis/analyses.h"
#include "grid/grid.h"
#include "store/accountsets.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using namespace print;

namespace {

// A list grid in the usual layout: hidden key row and ID column, captions
// in row 1, 序号 in column 1; columns 600, 1200 and 1200 twips wide.
std::unique_ptr<grid::Grid> makeGrid(int dataRows, const QString &title)
{
    auto grid = std::make_unique<grid::Grid>();
    grid::GridBatch batch(*grid);
    grid->setCols(4);
    grid->setRows(2 + dataRows);
    grid->setFixedRows(2);
    grid->setFixedCols(2);
    grid->setColWidths({0, 600, 1200, 1200});
    const QStringList captions = {"ID", "序号", "产品", "金额"};
    for (int c = 0; c < 4; ++c)
        grid->setTextMatrix(1, c, captions.at(c));
    for (int r = 0; r < dataRows; ++r) {
        grid->setTextMatrix(2 + r, 0, QString::number(100 + r));
        grid->setTextMatrix(2 + r, 1, QString::number(r + 1));
        grid->setTextMatrix(2 + r, 2, QStringLiteral("钢管%1").arg(r + 1));
        grid->setTextMatrix(2 + r, 3, QStringLiteral("%1.00").arg(r * 3));
    }
    grid->setTag(QStringLiteral("Sale"));
    grid->setReportTitle(title);
    return grid;
}

// What a PDF file holds: its pages and their sizes in points.
struct PdfPages
{
    int count = 0;
    QVector<QSizeF> sizes;
};

PdfPages readPdf(const QString &path)
{
    PdfPages pdf;
    const QString bytes = QString::fromLatin1(testsupport::readFile(path));
    if (!bytes.startsWith(QLatin1String("%PDF-")))
        return pdf;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"));
    pdf.count = int(bytes.count(page));
    static const QRegularExpression box(QStringLiteral(
            "/MediaBox\\s*\\[\\s*([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s*\\]"));
    for (auto it = box.globalMatch(bytes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        pdf.sizes << QSizeF(m.captured(3).toDouble() - m.captured(1).toDouble(),
                            m.captured(4).toDouble() - m.captured(2).toDouble());
    }
    return pdf;
}

// The text layer of a PDF file as pdftotext extracts it, in reading order.
QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("(pdftotext failed: %1)").arg(process.errorString());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A job printing every page of grid on A4 at 25 rows a page.
ReportJob jobOf(const grid::Grid &grid, const QString &title)
{
    ReportJob job;
    job.grid = &grid;
    job.paper = Paper{210, 297, 10, 10, 10, 10};
    job.rowsPerPage = 25;
    job.pageCount = pageCount(grid.rows() - grid.fixedRows(), job.rowsPerPage);
    job.title = title;
    job.footer = QStringLiteral("仅供内部使用");
    job.operatorName = QStringLiteral("张三");
    job.date = QDate(2024, 5, 6);
    return job;
}

// A page frame of 1000 × 560 units (28 lines of 20) at (100, 50).
PageFrame testFrame()
{
    PageFrame frame;
    frame.left = 100;
    frame.top = 50;
    frame.width = 1000;
    frame.height = 560;
    frame.unitsPerTwip = 1.0 / 15;
    frame.unitsPerMm = 4;
    return frame;
}

bool nearly(const QSizeF &size, double width, double height)
{
    return qAbs(size.width() - width) < 1 && qAbs(size.height() - height) < 1;
}

QStringList textsOf(const PageDrawing &page, TextStyle style)
{
    QStringList texts;
    for (const PageText &text : page.texts) {
        if (text.style == style)
            texts << text.text;
    }
    return texts;
}

} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pagesFollowRowsPerPage();
    void settingsRestoredOnReopening();
    void settingsThatDoNotConvertKeepGoodOnes();
    void titleAndFooterPerGridTitle();
    void fontDialog();
    void pageComposition();
    void longCellsStayInTheirCells();
    void printsOnePdfForOneCommand();
    void pdfTextIsThePrintedText();
    void emptyListPrintsItsTitles();
    void analysisPageCarriesItsTitleLines();
    void paperSizes();
    void printingThatCannotGoOn();
    void resizingKeepsTheLayout();

private:
    PrintPreview *open(grid::Grid &grid)
    {
        PrintPreview *preview = ShowPrintPreview(grid);
        m_preview = preview;
        return preview;
    }
    // The next print goes to the PDF printer and into this file.
    void planPdf(const QString &path)
    {
        m_fx->prompts.printers << kPdfPrinterName;
        m_fx->prompts.fileNames << path;
    }
    void reopen(grid::Grid &grid)
    {
        if (m_preview)
            QVERIFY(m_preview->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        open(grid);
    }

    std::unique_ptr<testsupport::FolderWithSet> m_fx;
    QPointer<PrintPreview> m_preview;
};

void TestPrintPreview::init()
{
    m_fx = std::make_unique<testsupport::FolderWithSet>();
    store::AccountSets.clear();
    store::CurrentAccountIndex = -1;
    store::CurrentUser = QStringLiteral("张三");
    store::SetVar(store::kKeyCompany, QStringLiteral("示例公司"));
}

void TestPrintPreview::cleanup()
{
    if (m_preview)
        m_preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QStringList messages = m_fx->prompts.messages;
    m_fx.reset();
    store::CurrentUser.clear();
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QStringLiteral(" / "))));
}

// The page count follows the rows per page; 0, empty, not a number or more
// rows than a sheet can show gives one page with the caption row only, and
// only a good value is stored; editing the title goes back to page 1.
void TestPrintPreview::pagesFollowRowsPerPage()
{
    auto grid = makeGrid(26, QStringLiteral("销售单"));
    PrintPreview *preview = open(*grid);
    QCOMPARE(preview->box(10)->text(), QStringLiteral("25"));
    QCOMPARE(preview->pageCount(), 2);
    QCOMPARE(preview->box(9)->text(), QStringLiteral("2"));

    preview->box(10)->setText(QStringLiteral("26"));
    QCOMPARE(preview->pageCount(), 1);
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT10")), QStringLiteral("26"));

    for (const QString &text :
         {QStringLiteral("abc"), QStringLiteral("100000"), QStringLiteral("0")}) {
        preview->box(10)->setText(text);
        QCOMPARE(preview->pageCount(), 1);
        QCOMPARE(preview->shownPage().tableRows, 1); // the caption row
        QCOMPARE(textsOf(preview->shownPage(), TextStyle::Header),
                 QStringList({"序号", "产品", "金额"}));
    }
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT10")), QStringLiteral("0"));

    auto many = makeGrid(95 * 25, QStringLiteral("销售单"));
    preview = open(*many);
    preview->box(10)->setText(QStringLiteral("25"));
    QCOMPARE(preview->pageCount(), 95);
    QCOMPARE(preview->pageBar()->pageStep(), 10);
    preview->box(10)->setText(QStringLiteral("264"));
    QCOMPARE(preview->pageCount(), 9);
    QCOMPARE(preview->pageBar()->pageStep(), 1);

    preview->pageBar()->setValue(3);
    QCOMPARE(preview->box(7)->text(), QStringLiteral("3"));
    QVERIFY(textsOf(preview->shownPage(), TextStyle::FooterInfo).value(0).endsWith("第3页 共9页"));
    preview->headerBox(0)->setText(QStringLiteral("新标题"));
    QCOMPARE(preview->currentPage(), 1);
    QCOMPARE(textsOf(preview->shownPage(), TextStyle::Title), QStringList{"新标题"});
}

// Every setting is stored as it changes and comes back on reopening.
void TestPrintPreview::settingsRestoredOnReopening()
{
    auto grid = makeGrid(10, QStringLiteral("销售单"));
    PrintPreview *preview = open(*grid);
    preview->box(0)->setText(QStringLiteral("210"));
    preview->box(1)->setText(QStringLiteral("297"));
    preview->box(2)->setText(QStringLiteral("15.5"));
    preview->box(5)->setText(QStringLiteral("0"));
    preview->box(10)->setText(QStringLiteral("4"));
    preview->rotation()->setChecked(true);
    QCOMPARE(store::GetVar(kRotateKey), QStringLiteral("1"));
    QCOMPARE(store::GetVar(boxKey(2)), QStringLiteral("15.5"));

    reopen(*grid);
    preview = m_preview;
    QCOMPARE(preview->box(0)->text(), QStringLiteral("210"));
    QCOMPARE(preview->paper().left, 15.5);
    QCOMPARE(preview->paper().bottom, 0.0);
    QCOMPARE(preview->rowsPerPage(), 4);
    QCOMPARE(preview->pageCount(), 3);
    QVERIFY(preview->rotation()->isChecked());

    // Left open while another account set is opened, it stores nothing,
    // neither there nor in its own set.
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00002.qdt")), &error),
             qPrintable(error));
    const auto stored = [] {
        return QStringList({store::GetVar(boxKey(0)), store::GetVar(kRotateKey),
                            store::GetVar(QStringLiteral("表格打印信息_销售单_0"))});
    };
    const QStringList own = stored();
    QCOMPARE(own.mid(0, 2), QStringList({"210", "1"}));
    store::CurrentAccountFile = QStringLiteral("DATA00002.qdt");
    preview->box(0)->setText(QStringLiteral("200"));
    preview->rotation()->setChecked(false);
    preview->headerBox(0)->setText(QStringLiteral("别的标题"));
    QVERIFY(preview->close());
    QCOMPARE(stored(), QStringList(3, QString()));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    QCOMPARE(stored(), own);
}

// Stored texts that do not convert leave the initial values; typing one
// never replaces a good stored value. Nonsense settings and contents still
// give a page, quickly, without a division by zero.
void TestPrintPreview::settingsThatDoNotConvertKeepGoodOnes()
{
    store::SetVar(boxKey(0), QStringLiteral("abc"));
    store::SetVar(boxKey(1), QStringLiteral("0"));
    store::SetVar(boxKey(2), QStringLiteral("-5"));
    store::SetVar(boxKey(10), QStringLiteral("x"));
    store::SetVar(kRotateKey, QStringLiteral("7"));
    store::SetVar(QStringLiteral("打印预览_TXT11_字号"), QStringLiteral("大"));
    store::SetVar(QStringLiteral("打印预览_TXT11_粗体"), QStringLiteral("maybe"));
    store::SetVar(QStringLiteral("打印预览_TXT11_颜色"), QStringLiteral("-1"));
    store::SetVar(QStringLiteral("打印预览_TXT11_斜体"), QStringLiteral("True"));

    auto grid = makeGrid(60, QStringLiteral("销售单"));
    PrintPreview *preview = open(*grid);
    QCOMPARE(preview->box(0)->text(), QStringLiteral("297"));
    QCOMPARE(preview->box(1)->text(), QStringLiteral("210"));
    QCOMPARE(preview->box(2)->text(), QStringLiteral("10"));
    QCOMPARE(preview->box(10)->text(), QStringLiteral("25"));
    QCOMPARE(preview->pageCount(), 3);
    QVERIFY(!preview->rotation()->isChecked());
    QCOMPARE(preview->reportFont().pointSize, store::FontChoice().pointSize);
    QVERIFY(!preview->reportFont().bold);
    QCOMPARE(preview->reportFont().color, 0u);
    QVERIFY(preview->reportFont().italic); // the one good value

    preview->box(0)->setText(QStringLiteral("250"));
    for (const QString &bad : {QStringLiteral("abc"), QStringLiteral("-3")}) {
        preview->box(0)->setText(bad);
        QCOMPARE(store::GetVar(boxKey(0)), QStringLiteral("250"));
        QCOMPARE(preview->paper().width, 250.0);
    }
    preview->box(3)->setText(QStringLiteral("-1"));
    QCOMPARE(store::GetVar(boxKey(3)), QString());
    QCOMPARE(preview->paper().right, 10.0);

    grid->setTextMatrix(5, 3, QString(10000, QLatin1Char('9')));
    store::FontChoice missing;
    missing.family = QStringLiteral("没有这种字体");
    missing.pointSize = 500;
    m_fx->prompts.fonts << missing;
    preview->chooseFont();
    preview->headerBox(0)->setText(QString(5000, QChar(0x6807)));
    const QList<QPair<int, QString>> nonsense = {{0, "0"},   {1, "0"},    {2, "-4"},     {2, "300"},
                                                 {4, "250"}, {3, "5000"}, {10, "10000"}, {10, "1"}};
    QElapsedTimer timer;
    for (const auto &[box, text] : nonsense) {
        timer.start();
        preview->box(box)->setText(text);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(text));
        QVERIFY(!preview->picture()->image().isNull());
        QVERIFY(!textsOf(preview->shownPage(), TextStyle::FooterInfo).isEmpty());
    }
    QCOMPARE(preview->pageCount(), 60);
}

// Title and footer are kept per grid title; empty ones are built from the
// company and its contact lines, and again after the cache is cleared.
void TestPrintPreview::titleAndFooterPerGridTitle()
{
    store::SetVar(store::kKeyAddress, QStringLiteral("北京市朝阳区"));
    store::SetVar(store::kKeyPhone, QStringLiteral("010-1234"));
    store::SetVar(store::kKeyFax, QStringLiteral("010-5678"));
    store::SetVar(store::kKeyWeb, QStringLiteral("www.example.cn"));
    const QString footer = QStringLiteral(
            "联系地址：北京市朝阳区 电话：010-1234 传真：010-5678 网址：www.example.cn");

    auto sales = makeGrid(5, QStringLiteral("销售单"));
    auto purchases = makeGrid(5, QStringLiteral("采购表"));
    PrintPreview *preview = open(*sales);
    QCOMPARE(preview->headerBox(0)->text(), QStringLiteral("示例公司销售单"));
    QCOMPARE(preview->headerBox(1)->text(), footer);
    QCOMPARE(textsOf(preview->shownPage(), TextStyle::Footer).join(QString()), footer);
    preview->headerBox(0)->setText(QStringLiteral("三月销售"));
    preview->headerBox(1)->setText(QStringLiteral("仅供内部使用"));

    reopen(*purchases);
    QCOMPARE(store::GetVar(QStringLiteral("表格打印信息_销售单_0")), QStringLiteral("三月销售"));
    QCOMPARE(store::GetVar(QStringLiteral("表格打印信息_销售单_1")),
             QStringLiteral("仅供内部使用"));
    QCOMPARE(m_preview->headerBox(0)->text(), QStringLiteral("示例公司采购表"));

    reopen(*sales);
    QCOMPARE(m_preview->headerBox(0)->text(), QStringLiteral("三月销售"));
    QCOMPARE(m_preview->headerBox(1)->text(), QStringLiteral("仅供内部使用"));

    QVERIFY(m_preview->close());
    store::ClearPrintHeaderCache();
    reopen(*sales);
    QCOMPARE(m_preview->headerBox(0)->text(), QStringLiteral("示例公司销售单"));
    QCOMPARE(m_preview->headerBox(1)->text(), footer);
}

// The font dialog starts from the sample's font; the choice is shown on the
// sample and the size-test label and stored in its seven text forms.
void TestPrintPreview::fontDialog()
{
    auto grid = makeGrid(3, QStringLiteral("产品表"));
    PrintPreview *preview = open(*grid);
    store::FontChoice chosen;
    chosen.family = QStringLiteral("Noto Sans CJK SC");
    chosen.pointSize = 0; // a size of 0 from the dialog
    chosen.bold = true;
    chosen.strikeOut = true;
    chosen.color = 0x0000FF; // blue
    m_fx->prompts.fonts << chosen;
    preview->chooseFont();

    QCOMPARE(preview->reportFont().pointSize, 0.1);
    QVERIFY(preview->sizeTestLabel()->font().bold());
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT11_字号")), QStringLiteral("0.1"));
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT11_粗体")), QStringLiteral("True"));
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT11_字体")), chosen.family);
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT11_颜色")), QStringLiteral("16711680"));
    QCOMPARE(store::GetVar(QStringLiteral("打印预览_TXT11_删除线")), QStringLiteral("True"));

    reopen(*grid);
    QCOMPARE(m_preview->reportFont().color, 0x0000FFu);
    QVERIFY(m_preview->reportFont().strikeOut);

    // Cancelling changes nothing.
    m_preview->chooseFont();
    QCOMPARE(m_preview->reportFont().family, chosen.family);
}

// One page laid out: title, bold caption row, the page's rows in columns of
// the grid's proportions, the footer info with its page part directly below
// the last row drawn.
void TestPrintPreview::pageComposition()
{
    auto grid = makeGrid(60, QStringLiteral("销售单"));
    QImage surface(1400, 900, QImage::Format_RGB32);
    const PageFrame frame = testFrame();
    PageInput input;
    input.grid = grid.get();
    input.rowsPerPage = 25;
    input.pageCount = 3;
    input.title = QStringLiteral("示例公司销售单");
    input.operatorName = QStringLiteral("张三");
    input.date = QDate(2024, 5, 6);
    const ReportFonts fonts = ReportFonts::forPreview(store::FontChoice());

    input.page = 2;
    PageDrawing page = layoutPage(input, frame, fonts, &surface, surface.height());
    QVERIFY(textsOf(page, TextStyle::FooterInfo).value(0).endsWith("第2页 共3页"));
    QCOMPARE(textsOf(page, TextStyle::Title), QStringList{input.title});
    QCOMPARE(textsOf(page, TextStyle::Header), QStringList({"序号", "产品", "金额"}));
    const QStringList body = textsOf(page, TextStyle::Body);
    QCOMPARE(body.size(), 75);
    QCOMPARE(body.mid(0, 3), QStringList({"26", "钢管26", "75.00"}));
    QCOMPARE(page.tableRows, 26);

    // Vertical rules of the caption row: left edge, then a fifth, two fifths
    // and two fifths of the width.
    QVector<double> rules;
    for (const QLineF &line : std::as_const(page.lines)) {
        if (line.x1() == line.x2() && line.y1() == 70)
            rules << line.x1();
    }
    QCOMPARE(rules, QVector<double>({100, 300, 700, 1100}));
    // 产品 starts 30 twips (2 pixels) right of its column's left rule.
    for (const PageText &text : std::as_const(page.texts)) {
        if (text.text == QStringLiteral("钢管26"))
            QCOMPARE(text.topLeft.x(), 300 + 2.0);
    }

    // The last page holds 10 rows; the footer follows directly below them.
    input.page = 3;
    page = layoutPage(input, frame, fonts, &surface, surface.height());
    QCOMPARE(page.tableRows, 11);
    QCOMPARE(page.tableBottom, 70.0 + 11 * 20);
    QCOMPARE(page.footerTop, page.tableBottom + frame.unitsPerMm);
    QCOMPARE(textsOf(page, TextStyle::Body).mid(27), QStringList({"60", "钢管60", "177.00"}));

    // A column hidden on screen (width 0) is not printed.
    grid->setColWidth(3, 0);
    page = layoutPage(input, frame, fonts, &surface, surface.height());
    QCOMPARE(textsOf(page, TextStyle::Header), QStringList({"序号", "产品"}));
    QVERIFY(!textsOf(page, TextStyle::Body).contains(QStringLiteral("177.00")));
    grid->setColWidth(3, 1200);

    // A page past the grid: title, captions, footer.
    input.page = 4;
    page = layoutPage(input, frame, fonts, &surface, surface.height());
    QCOMPARE(page.tableRows, 1);
    QCOMPARE(textsOf(page, TextStyle::Header).size(), 3);
    QCOMPARE(textsOf(page, TextStyle::FooterInfo).size(), 1);
}

// A cell's text stays inside its cell: a long text ends in "…" on one line,
// a number too wide for its column is never cut (the page's table font is
// made smaller).
void TestPrintPreview::longCellsStayInTheirCells()
{
    auto grid = makeGrid(3, QStringLiteral("销售单"));
    grid->setTextMatrix(2, 2, QString(10000, QChar(0x957F))); // 长
    grid->setTextMatrix(3, 2, QStringLiteral("第一行\r\n第二行"));
    const QString number = QStringLiteral("1234567890").repeated(7) + QStringLiteral(".89");
    grid->setTextMatrix(4, 3, number);
    QImage surface(1400, 900, QImage::Format_RGB32);
    const PageFrame frame = testFrame(); // columns 100 … 300 … 700 … 1100
    PageInput input;
    input.grid = grid.get();
    input.date = QDate(2024, 5, 6);
    const ReportFonts fonts = ReportFonts::forPreview(store::FontChoice());

    QElapsedTimer timer;
    timer.start();
    const PageDrawing page = layoutPage(input, frame, fonts, &surface, 800);
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY2(page.fontScale < 1 && page.fontScale >= 0.5,
             qPrintable(QString::number(page.fontScale)));
    const QFontMetricsF metrics(scaledFont(fonts.body, page.fontScale), &surface);
    const QStringList body = textsOf(page, TextStyle::Body);
    QCOMPARE(body.size(), 9);
    QVERIFY(body.contains(number));
    QVERIFY(body.contains(QStringLiteral("第一行 第二行")));
    for (const PageText &text : std::as_const(page.texts)) {
        if (text.style != TextStyle::Body)
            continue;
        const double right = text.topLeft.x() < 300 ? 300 : text.topLeft.x() < 700 ? 700 : 1100;
        QVERIFY2(text.topLeft.x() + metrics.horizontalAdvance(text.text) <= right,
                 qPrintable(text.text.left(20)));
        QVERIFY(text.topLeft.y() < 70 + 4 * 20); // in the rows of the grid
    }
    const QString memo = body.at(1);
    QVERIFY(memo.endsWith(QChar(0x2026)) && memo.startsWith(QChar(0x957F)));
}

// The PDF printer asks for a file and writes all pages of one command into
// it: 5 to 3 prints 3, 4, 5 while the preview shows each page.
void TestPrintPreview::printsOnePdfForOneCommand()
{
    auto grid = makeGrid(130, QStringLiteral("销售单"));
    PrintPreview *preview = open(*grid);
    QCOMPARE(preview->pageCount(), 6);

    const QString path = m_fx->folder.filePath(QStringLiteral("销售单.pdf"));
    planPdf(path);
    preview->PrintBatch(5, 3);
    QCOMPARE(m_fx->prompts.printerLists.size(), 1);
    QCOMPARE(m_fx->prompts.printerLists.first().last(), kPdfPrinterName);
    QCOMPARE(store::GetVar(kDefaultPrinterKey), kPdfPrinterName);
    QCOMPARE(preview->currentPage(), 5);
    PdfPages pdf = readPdf(path);
    QCOMPARE(pdf.count, 3);
    QVERIFY(!pdf.sizes.isEmpty());
    for (const QSizeF &size : std::as_const(pdf.sizes))
        QVERIFY2(nearly(size, 841.9, 595.3),
                 qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));

    // The chooser now opens on the stored printer; a name without .pdf gets it.
    const QString all = m_fx->folder.filePath(QStringLiteral("全部"));
    planPdf(all);
    preview->printAll();
    QCOMPARE(m_fx->prompts.printerPreselections.last(), kPdfPrinterName);
    QCOMPARE(readPdf(all + QStringLiteral(".pdf")).count, 6);

    // A4 portrait rotated prints landscape; unrotated it stays portrait.
    preview->box(0)->setText(QStringLiteral("210"));
    preview->box(1)->setText(QStringLiteral("297"));
    preview->rotation()->setChecked(true);
    preview->pageBar()->setValue(1);
    const QString rotated = m_fx->folder.filePath(QStringLiteral("rotated.pdf"));
    planPdf(rotated);
    preview->printCurrentPage();
    pdf = readPdf(rotated);
    QCOMPARE(pdf.count, 1);
    QVERIFY(nearly(pdf.sizes.value(0), 841.9, 595.3));
    // Laid out across the sheet: all 25 rows and the footer are on the page
    // (text beyond the page's edge is not extracted).
    const QString text = pdfText(rotated);
    for (const QString &printed :
         {QStringLiteral("钢管25"), QStringLiteral("制表人：张三"), QStringLiteral("第1页 共6页")})
        QVERIFY2(text.contains(printed), qPrintable(printed + QStringLiteral(" in ") + text));

    preview->rotation()->setChecked(false);
    const QString upright = m_fx->folder.filePath(QStringLiteral("upright.pdf"));
    planPdf(upright);
    preview->printRange();
    pdf = readPdf(upright);
    QCOMPARE(pdf.count, 6);
    QVERIFY(nearly(pdf.sizes.value(0), 595.3, 841.9));
}

// The text of a written PDF copies as the characters printed, whatever face
// the user chose: no ideograph comes back as its Kangxi radical (页 as ⻚).
void TestPrintPreview::pdfTextIsThePrintedText()
{
    auto grid = makeGrid(2, QStringLiteral("销售单"));
    const QString cell = QStringLiteral("日月金户网小人入长页");
    grid->setTextMatrix(2, 2, cell);
    for (const QString &family :
         {QString(), QStringLiteral("宋体"), QStringLiteral("黑体"),
          QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")}) {
        ReportJob job = jobOf(*grid, QStringLiteral("金额日报"));
        job.font.family = family;
        const QString path = m_fx->folder.filePath(QStringLiteral("text.pdf"));
        QString error;
        QVERIFY2(PrintReportToPdf(path, job, {1}, {}, &error), qPrintable(error));
        const QString text = pdfText(path);
        for (const QString &printed :
             {QStringLiteral("金额日报"), QStringLiteral("金额"), cell,
              QStringLiteral("仅供内部使用"), QStringLiteral("制表人：张三"),
              QStringLiteral("制表日期：2024年05月06日"), QStringLiteral("第1页 共1页")}) {
            QVERIFY2(text.contains(printed), qPrintable(family + QStringLiteral(": ") + printed
                                                        + QStringLiteral(" in ") + text));
        }
        for (const QChar c : text)
            QVERIFY2(c.unicode() < 0x2E80 || c.unicode() > 0x2FDF, qPrintable(family + text));
    }
    QCOMPARE(reportFontFamily(QStringLiteral("黑体")), QStringLiteral("WenQuanYi Zen Hei"));
    QCOMPARE(reportFontFamily(QString()), QStringLiteral("AR PL UMing CN"));
}

// An empty list shows and prints one page with its title, captions and
// footer; a PDF of no page at all is never reported as written.
void TestPrintPreview::emptyListPrintsItsTitles()
{
    auto empty = makeGrid(0, QStringLiteral("采购表"));
    PrintPreview *preview = open(*empty);
    QCOMPARE(preview->pageCount(), 0);
    QCOMPARE(preview->shownPage().tableRows, 1);
    const QString path = m_fx->folder.filePath(QStringLiteral("empty.pdf"));
    planPdf(path);
    preview->printAll();
    QCOMPARE(readPdf(path).count, 1);
    const QString text = pdfText(path);
    for (const QString &printed :
         {QStringLiteral("示例公司采购表"), QStringLiteral("序号"), QStringLiteral("产品"),
          QStringLiteral("金额"), QStringLiteral("制表人：张三"), QStringLiteral("第1页 共1页")})
        QVERIFY2(text.contains(printed), qPrintable(printed + QStringLiteral(" in ") + text));
    preview->box(10)->setText(QStringLiteral("0"));
    QCOMPARE(preview->pageCount(), 1);

    const QString none = m_fx->folder.filePath(QStringLiteral("none.pdf"));
    QString error;
    QVERIFY(!PrintReportToPdf(none, jobOf(*empty, QStringLiteral("采购表")), {}, {}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(none));
}

// An analysis prints with its own two title lines: the company once, and
// the line with the user and the dates below it.
void TestPrintPreview::analysisPageCarriesItsTitleLines()
{
    testsupport::exec(QStringLiteral("INSERT INTO Pro (ID, Name) VALUES (7, '钢管')"));
    testsupport::exec(QStringLiteral(
            "INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Pay, Pay1) VALUES "
            "('2024-02-01 00:00:00', 7, 1, 1, 1, 5, 10, 50, 50)"));
    testsupport::exec(QStringLiteral(
            "INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1) VALUES "
            "('2024-03-05 00:00:00', 7, 1, 1, 1, 10, 4, 40, 40)"));
    grid::Grid grid;
    QDate start(2024, 3, 1);
    QDate end(2024, 3, 31);
    analysis::AnalyseProfit(grid, start, end);
    PrintPreview *preview = open(grid);
    QCOMPARE(preview->headerBox(0)->text(), QStringLiteral("示例公司利润分析"));
    const QString path = m_fx->folder.filePath(QStringLiteral("profit.pdf"));
    planPdf(path);
    preview->printAll();
    const QString text = pdfText(path);
    QVERIFY2(text.contains(QStringLiteral("示例公司利润分析")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("示例公司示例公司")));
    QVERIFY(text.contains(
            QStringLiteral("分析：张三 日期：2024-03-01至2024-03-31 分析内容：利润")));
    QVERIFY(text.contains(QStringLiteral("20.00"))); // 40 less 4 × 5.00
}

// A standard size is used when the measures match it exactly; any other
// size is the custom paper "Korvo格式".
void TestPrintPreview::paperSizes()
{
    QCOMPARE(paperPageSize(210, 297).id(), QPageSize::A4);
    QCOMPARE(paperPageSize(148, 210).id(), QPageSize::A5);
    const QPageSize wide = paperPageSize(297, 210);
    QCOMPARE(wide.id(), QPageSize::Custom);
    QCOMPARE(wide.name(), kPaperFormName);
    QCOMPARE(wide.size(QPageSize::Millimeter), QSizeF(297, 210));
    QCOMPARE(paperPageSize(241, 279.4).name(), kPaperFormName);
    QCOMPARE(paperPageLayout(Paper(), true).orientation(), QPageLayout::Landscape);
}

// Cancelling the printer choice or the file name prints nothing; a printer
// that is not there and a PDF file that cannot be written say so, and an
// existing file is left as it was.
void TestPrintPreview::printingThatCannotGoOn()
{
    auto grid = makeGrid(30, QStringLiteral("销售单"));
    PrintPreview *preview = open(*grid);
    const QString path = m_fx->folder.filePath(QStringLiteral("x.pdf"));
    m_fx->prompts.fileNames << path;
    preview->PrintBatch(1, 2); // no printer planned: cancelled
    preview->printCurrentPage();
    QCOMPARE(m_fx->prompts.printerLists.size(), 2);
    QCOMPARE(m_fx->prompts.fileNames.size(), 1); // never asked
    QVERIFY(!QFile::exists(path));
    QCOMPARE(store::GetVar(kDefaultPrinterKey), QString());

    m_fx->prompts.fileNames.clear();
    m_fx->prompts.printers << kPdfPrinterName;
    preview->printAll(); // file name cancelled
    QVERIFY(QDir(m_fx->folder.path()).entryList({QStringLiteral("*.pdf")}).isEmpty());

    m_fx->prompts.printers << QStringLiteral("不存在的打印机");
    preview->printAll();
    QCOMPARE(m_fx->prompts.messages, QStringList{kPrinterFailedText});
    m_fx->prompts.messages.clear();

    const QString blocker = m_fx->folder.filePath(QStringLiteral("not-a-folder"));
    QVERIFY(testsupport::writeFile(blocker, "keep"));
    planPdf(blocker + QStringLiteral("/report.pdf"));
    preview->printAll();
    QCOMPARE(m_fx->prompts.messages.size(), 1);
    QVERIFY(m_fx->prompts.messages.first().startsWith(QStringLiteral("无法写入文件")));
    m_fx->prompts.messages.clear();
    QCOMPARE(testsupport::readFile(blocker), QByteArray("keep"));
}

// Resizing draws the page again at the new size, inside the paper frame and
// in the paper's proportions.
void TestPrintPreview::resizingKeepsTheLayout()
{
    auto grid = makeGrid(30, QStringLiteral("销售单"));
    PrintPreview *preview = open(*grid);
    for (const QSize &size : {QSize(1300, 860), QSize(760, 520)}) {
        preview->resize(size);
        QTRY_COMPARE(preview->size(), size);
        const QRect paper = preview->paperFrame()->geometry();
        QVERIFY(paper.right() < size.width() && paper.bottom() < size.height());
        const QRect picture = preview->picture()->geometry();
        QVERIFY(QRect(QPoint(), paper.size()).contains(picture));
        QCOMPARE(preview->picture()->image().size(), picture.size());
        QVERIFY(qAbs(picture.width() * 210.0 / picture.height() - 297) < 3);
    }
}

QTEST_MAIN(TestPrintPreview)
#include "tst_printpreview.moc"
