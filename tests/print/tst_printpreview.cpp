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
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using namespace print;
using namespace Qt::StringLiterals;

namespace {

// A list grid: hidden key row and ID column, captions in row 1, columns 600/1200/1200 twips.
std::unique_ptr<grid::Grid> makeGrid(int dataRows, const QString &title = u"销售单"_s)
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
        grid->setTextMatrix(2 + r, 2, u"钢管%1"_s.arg(r + 1));
        grid->setTextMatrix(2 + r, 3, u"%1.00"_s.arg(r * 3));
    }
    grid->setTag(u"Sale"_s);
    grid->setReportTitle(title);
    return grid;
}

// The page count of a PDF file; sizes gets each page's size in points.
int readPdf(const QString &path, QVector<QSizeF> *sizes = nullptr)
{
    const QString bytes = QString::fromLatin1(testsupport::readFile(path));
    if (!bytes.startsWith(QLatin1String("%PDF-")))
        return 0;
    static const QRegularExpression box(
            u"/MediaBox\\s*\\[\\s*([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s*\\]"_s);
    for (auto it = box.globalMatch(bytes); sizes && it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        *sizes << QSizeF(m.captured(3).toDouble() - m.captured(1).toDouble(),
                         m.captured(4).toDouble() - m.captured(2).toDouble());
    }
    return int(bytes.count(QRegularExpression(u"/Type\\s*/Page(?![A-Za-z])"_s)));
}

// The text layer of a PDF file as pdftotext extracts it, in reading order.
QString pdfText(const QString &path)
{
    QProcess process;
    process.start(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, path, u"-"_s});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return u"(pdftotext failed: %1)"_s.arg(process.errorString());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Every one of the printed texts is in the PDF's text layer.
void expectPrinted(const QString &path, const QStringList &printed, const QString &what = {})
{
    const QString text = pdfText(path);
    for (const QString &t : printed)
        QVERIFY2(text.contains(t), qPrintable(what + t + u" in "_s + text));
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
    job.footer = u"仅供内部使用"_s;
    job.operatorName = u"张三"_s;
    job.date = QDate(2024, 5, 6);
    return job;
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

// Types "box=text" settings, separated by blanks, into the preview's boxes.
void typeInto(PrintPreview *preview, const QString &settings)
{
    for (const QString &setting : settings.split(u' '))
        preview->box(setting.section(u'=', 0, 0).toInt())->setText(setting.section(u'=', 1));
}

QStringList boxTexts(const PrintPreview *preview, const QList<int> &boxes)
{
    QStringList texts;
    for (int box : boxes)
        texts << preview->box(box)->text();
    return texts;
}

} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT

    PrintPreview *open(grid::Grid &grid) { return m_preview = ShowPrintPreview(grid); }
    // A preview of a new list grid of dataRows rows, kept until the test ends.
    PrintPreview *openList(int dataRows, const QString &title = u"销售单"_s)
    {
        m_grids.push_back(makeGrid(dataRows, title));
        return open(*m_grids.back());
    }
    // The next print goes to the PDF printer and into this file.
    QString planPdf(const QString &name)
    {
        const QString path = m_fx->folder.filePath(name);
        m_fx->prompts.printers << kPdfPrinterName;
        m_fx->prompts.fileNames << path;
        return path;
    }
    PrintPreview *reopen(grid::Grid &grid)
    {
        if (m_preview && !m_preview->close())
            QTest::qFail("the preview did not close", __FILE__, __LINE__);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return open(grid);
    }

    std::unique_ptr<testsupport::FolderWithSet> m_fx;
    QPointer<PrintPreview> m_preview;
    std::vector<std::unique_ptr<grid::Grid>> m_grids;

private slots:
    void init()
    {
        m_fx = std::make_unique<testsupport::FolderWithSet>();
        store::CurrentUser = u"张三"_s;
        store::SetVar(store::kKeyCompany, u"示例公司"_s);
    }

    void cleanup()
    {
        if (m_preview)
            m_preview->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_grids.clear();
        const QStringList messages = m_fx->prompts.messages;
        m_fx.reset();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u" / "_s)));
    }

    // Pages follow the rows per page; a bad value shows the caption row only, unstored.
    void pagesFollowRowsPerPage()
    {
        PrintPreview *preview = openList(26);
        QCOMPARE(boxTexts(preview, {10, 9}), QStringList({"25", "2"}));

        preview->box(10)->setText(u"26"_s);
        QCOMPARE(preview->pageCount(), 1);
        QCOMPARE(store::GetVar(u"打印预览_TXT10"_s), u"26"_s);

        for (const char *text : {"abc", "100000", "0"}) {
            preview->box(10)->setText(QString::fromLatin1(text));
            QCOMPARE(preview->pageCount(), 1);
            QCOMPARE(preview->shownPage().tableRows, 1); // the caption row
        }
        QCOMPARE(store::GetVar(u"打印预览_TXT10"_s), u"0"_s);

        preview = openList(95 * 25);
        for (const auto &[rows, pages, step] : {std::tuple{"25", 95, 10}, {"264", 9, 1}}) {
            preview->box(10)->setText(QString::fromLatin1(rows));
            QCOMPARE(preview->pageCount(), pages);
            QCOMPARE(preview->pageBar()->pageStep(), step);
        }
        preview->pageBar()->setValue(3);
        QCOMPARE(preview->box(7)->text(), u"3"_s);
        QVERIFY(textsOf(preview->shownPage(), TextStyle::FooterInfo)
                        .value(0)
                        .endsWith("第3页 共9页"));
    }

    // Every setting is stored as it changes and comes back on reopening.
    void settingsRestoredOnReopening()
    {
        PrintPreview *preview = openList(10);
        typeInto(preview, u"0=210 1=297 2=15.5 5=0 10=4"_s);
        preview->rotation()->setChecked(true);
        QCOMPARE(QStringList({store::GetVar(kRotateKey), store::GetVar(boxKey(2))}),
                 QStringList({"1", "15.5"}));

        preview = reopen(*m_grids.back());
        QCOMPARE(QVariantList({preview->box(0)->text(), preview->paper().left,
                               preview->paper().bottom, preview->rowsPerPage(),
                               preview->pageCount(), preview->rotation()->isChecked()}),
                 QVariantList({"210", 15.5, 0.0, 4, 3, true}));

        // Left open while another set is opened, it stores nothing, there or in its own set.
        QString error;
        QVERIFY2(store::BuildTemplate(store::programFilePath(u"DATA00002.qdt"_s), &error),
                 qPrintable(error));
        const auto stored = [] {
            return QStringList({store::GetVar(boxKey(0)), store::GetVar(kRotateKey),
                                store::GetVar(u"表格打印信息_销售单_0"_s)});
        };
        const QStringList own = stored();
        QCOMPARE(own.mid(0, 2), QStringList({"210", "1"}));
        store::CurrentAccountFile = u"DATA00002.qdt"_s;
        preview->box(0)->setText(u"200"_s);
        preview->rotation()->setChecked(false);
        preview->headerBox(0)->setText(u"别的标题"_s);
        QVERIFY(preview->close());
        QCOMPARE(stored(), QStringList(3, QString()));
        store::CurrentAccountFile = u"DATA00001.qdt"_s;
        QCOMPARE(stored(), own);
    }

    // Stored texts that do not convert give the initial values; nonsense still draws quickly.
    void settingsThatDoNotConvertKeepGoodOnes()
    {
        for (const QString &setting : u"0=abc 1=0 2=-5 10=x"_s.split(' '))
            store::SetVar(boxKey(setting.section('=', 0, 0).toInt()), setting.section('=', 1));
        store::SetVar(kRotateKey, u"7"_s);
        for (const QString &setting : u"字号=大 粗体=maybe 颜色=-1 斜体=True"_s.split(' '))
            store::SetVar(u"打印预览_TXT11_"_s + setting.section('=', 0, 0),
                          setting.section('=', 1));

        PrintPreview *preview = openList(60);
        grid::Grid *grid = m_grids.back().get();
        QCOMPARE(boxTexts(preview, {0, 1, 2, 10}), QStringList({"297", "210", "10", "25"}));
        const store::FontChoice font = preview->reportFont();
        QCOMPARE(QVariantList({preview->pageCount(), preview->rotation()->isChecked(),
                               font.pointSize, font.bold, font.color, font.italic}),
                 QVariantList({3, false, store::FontChoice().pointSize, false, 0u, true}));

        preview->box(0)->setText(u"250"_s);
        for (const char *bad : {"abc", "-3"}) {
            preview->box(0)->setText(QString::fromLatin1(bad));
            QCOMPARE(QVariantList({store::GetVar(boxKey(0)), preview->paper().width}),
                     QVariantList({"250", 250.0}));
        }

        grid->setTextMatrix(5, 3, QString(10000, QLatin1Char('9')));
        m_fx->prompts.fonts << store::FontChoice{u"没有这种字体"_s, 500};
        preview->chooseFont();
        preview->headerBox(0)->setText(QString(5000, QChar(0x6807)));
        const QList<QPair<int, QString>> nonsense
                = {{0, "0"},   {1, "0"},    {2, "-4"},     {2, "300"},
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

    // Title and footer are kept per grid title; empty ones are built from the company.
    void titleAndFooterPerGridTitle()
    {
        store::SetVar(store::kKeyAddress, u"北京市朝阳区"_s);
        store::SetVar(store::kKeyPhone, u"010-1234"_s);
        store::SetVar(store::kKeyFax, u"010-5678"_s);
        store::SetVar(store::kKeyWeb, u"www.example.cn"_s);
        const QString footer
                = u"联系地址：北京市朝阳区 电话：010-1234 传真：010-5678 网址：www.example.cn"_s;
        const auto headers = [this] {
            return QStringList({m_preview->headerBox(0)->text(), m_preview->headerBox(1)->text()});
        };

        auto sales = makeGrid(5), purchases = makeGrid(5, u"采购表"_s);
        PrintPreview *preview = open(*sales);
        QCOMPARE(headers(), QStringList({"示例公司销售单", footer}));
        QCOMPARE(textsOf(preview->shownPage(), TextStyle::Footer).join(QString()), footer);
        preview->headerBox(0)->setText(u"三月销售"_s);
        preview->headerBox(1)->setText(u"仅供内部使用"_s);

        reopen(*purchases);
        QCOMPARE(QStringList({store::GetVar(u"表格打印信息_销售单_0"_s),
                              store::GetVar(u"表格打印信息_销售单_1"_s)}),
                 QStringList({"三月销售", "仅供内部使用"}));
        QCOMPARE(headers().first(), u"示例公司采购表"_s);
        reopen(*sales);
        QCOMPARE(headers(), QStringList({"三月销售", "仅供内部使用"}));
    }

    // Title, captions, the page's rows in the grid's proportions, the footer below the last row.
    void pageComposition()
    {
        auto grid = makeGrid(60);
        QImage surface(1400, 900, QImage::Format_RGB32);
        // A page frame of 1000 × 560 units (28 lines of 20) at (100, 50).
        const PageFrame frame{100, 50, 1000, 560, 1.0 / 15, 4};
        PageInput input;
        input.grid = grid.get();
        input.pageCount = 3;
        input.title = u"示例公司销售单"_s;
        input.date = QDate(2024, 5, 6);
        const ReportFonts fonts = ReportFonts::forPreview(store::FontChoice());
        const auto layout = [&](int page) {
            input.page = page;
            return layoutPage(input, frame, fonts, &surface, surface.height());
        };

        PageDrawing page = layout(2);
        QVERIFY(textsOf(page, TextStyle::FooterInfo).value(0).endsWith("第2页 共3页"));
        QCOMPARE(textsOf(page, TextStyle::Title) + textsOf(page, TextStyle::Header),
                 QStringList({input.title, "序号", "产品", "金额"}));
        const QStringList body = textsOf(page, TextStyle::Body);
        QCOMPARE(QVariantList({body.size(), page.tableRows}), QVariantList({75, 26}));
        QCOMPARE(body.mid(0, 3), QStringList({"26", "钢管26", "75.00"}));

        // The last page holds 10 rows; the footer follows directly below.
        page = layout(3);
        QCOMPARE(QVector<double>({double(page.tableRows), page.tableBottom, page.footerTop}),
                 QVector<double>({11, 70.0 + 11 * 20, 70.0 + 11 * 20 + frame.unitsPerMm}));
        QCOMPARE(textsOf(page, TextStyle::Body).mid(27), QStringList({"60", "钢管60", "177.00"}));

        // A column hidden on screen (width 0) is not printed.
        grid->setColWidth(3, 0);
        page = layout(3);
        QCOMPARE(textsOf(page, TextStyle::Header), QStringList({"序号", "产品"}));
        QVERIFY(!textsOf(page, TextStyle::Body).contains(u"177.00"_s));
        grid->setColWidth(3, 1200);

        // A page past the grid: title, captions, footer.
        page = layout(4);
        QCOMPARE(QList<qsizetype>({page.tableRows, textsOf(page, TextStyle::Header).size(),
                                   textsOf(page, TextStyle::FooterInfo).size()}),
                 QList<qsizetype>({1, 3, 1}));

        // A long text ends in "…"; a too wide number is never cut, the table font shrinks.
        auto cells = makeGrid(3);
        cells->setTextMatrix(2, 2, QString(10000, QChar(0x957F))); // 长
        cells->setTextMatrix(3, 2, u"第一行\r\n第二行"_s);
        const QString number = u"1234567890"_s.repeated(7) + u".89"_s;
        cells->setTextMatrix(4, 3, number);
        input = PageInput();
        input.grid = cells.get();
        input.date = QDate(2024, 5, 6);
        QElapsedTimer timer;
        timer.start();
        page = layoutPage(input, frame, fonts, &surface, 800);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(page.fontScale < 1 && page.fontScale >= 0.5,
                 qPrintable(QString::number(page.fontScale)));
        const QFontMetricsF metrics(scaledFont(fonts.body, page.fontScale), &surface);
        const QStringList longBody = textsOf(page, TextStyle::Body);
        QCOMPARE(longBody.size(), 9);
        QVERIFY(longBody.contains(number) && longBody.contains(u"第一行 第二行"_s));
        for (const PageText &text : std::as_const(page.texts)) {
            if (text.style != TextStyle::Body)
                continue;
            const double right = text.topLeft.x() < 300 ? 300 : text.topLeft.x() < 700 ? 700 : 1100;
            QVERIFY2(text.topLeft.x() + metrics.horizontalAdvance(text.text) <= right,
                     qPrintable(text.text.left(20)));
            QVERIFY(text.topLeft.y() < 70 + 4 * 20); // in the rows of the grid
        }
        QVERIFY(longBody.at(1).endsWith(QChar(0x2026)) && longBody.at(1).startsWith(QChar(0x957F)));
    }

    // One command prints all its pages into one PDF: 5 to 3 prints 3, 4 and 5.
    void printsOnePdfForOneCommand()
    {
        PrintPreview *preview = openList(130);
        QCOMPARE(preview->pageCount(), 6);
        const auto expectPages = [](const QString &path, int count, double width, double height) {
            QVector<QSizeF> sizes;
            QCOMPARE(readPdf(path, &sizes), count);
            QVERIFY(!sizes.isEmpty());
            for (const QSizeF &size : std::as_const(sizes))
                QVERIFY2(qAbs(size.width() - width) < 1 && qAbs(size.height() - height) < 1,
                         qPrintable(u"%1x%2"_s.arg(size.width()).arg(size.height())));
        };

        const QString path = planPdf(u"销售单.pdf"_s);
        preview->PrintBatch(5, 3);
        QCOMPARE(m_fx->prompts.printerLists.size(), 1);
        QCOMPARE(store::GetVar(kDefaultPrinterKey), kPdfPrinterName);
        QCOMPARE(preview->currentPage(), 5);
        expectPages(path, 3, 841.9, 595.3);

        // The chooser opens on the stored printer; a name gets its ".pdf".
        const QString all = planPdf(u"全部"_s);
        preview->printAll();
        QCOMPARE(m_fx->prompts.printerPreselections.last(), kPdfPrinterName);
        QCOMPARE(readPdf(all + u".pdf"_s), 6);

        // A4 rotated prints landscape with all 25 rows and the footer; unrotated, portrait.
        typeInto(preview, u"0=210 1=297"_s);
        preview->rotation()->setChecked(true);
        preview->pageBar()->setValue(1);
        const QString rotated = planPdf(u"rotated.pdf"_s);
        preview->printCurrentPage();
        expectPages(rotated, 1, 841.9, 595.3);
        expectPrinted(rotated, {"钢管25", "制表人：张三", "第1页 共6页"});

        preview->rotation()->setChecked(false);
        const QString upright = planPdf(u"upright.pdf"_s);
        preview->printRange();
        expectPages(upright, 6, 595.3, 841.9);
    }

    // The PDF's text is the printed text: no ideograph comes back as its Kangxi radical.
    void pdfTextIsThePrintedText()
    {
        auto grid = makeGrid(2);
        const QString cell = u"日月金户网小人入长页"_s;
        grid->setTextMatrix(2, 2, cell);
        for (const char *family : {"", "宋体", "黑体", "Noto Sans CJK SC", "DejaVu Sans"}) {
            ReportJob job = jobOf(*grid, u"金额日报"_s);
            job.font.family = QString::fromUtf8(family);
            const QString path = m_fx->folder.filePath(u"text.pdf"_s);
            QString error;
            QVERIFY2(PrintReportToPdf(path, job, {1}, {}, &error), qPrintable(error));
            expectPrinted(path,
                          {"金额日报", "金额", cell, "仅供内部使用", "制表人：张三",
                           "制表日期：2024年05月06日", "第1页 共1页"},
                          job.font.family + u": "_s);
            const QString text = pdfText(path);
            for (const QChar c : text)
                QVERIFY2(c.unicode() < 0x2E80 || c.unicode() > 0x2FDF, qPrintable(family + text));
        }
    }

    // An empty list prints one page of titles; a PDF of no page is never reported written.
    void emptyListPrintsItsTitles()
    {
        PrintPreview *preview = openList(0, u"采购表"_s);
        QCOMPARE(QList<int>({preview->pageCount(), preview->shownPage().tableRows}),
                 QList<int>({0, 1}));
        const QString path = planPdf(u"empty.pdf"_s);
        preview->printAll();
        QCOMPARE(readPdf(path), 1);
        expectPrinted(path,
                      {"示例公司采购表", "序号", "产品", "金额", "制表人：张三", "第1页 共1页"});

        const QString none = m_fx->folder.filePath(u"none.pdf"_s);
        QString error;
        QVERIFY(!PrintReportToPdf(none, jobOf(*m_grids.back(), u"采购表"_s), {}, {}, &error));
        QVERIFY(!error.isEmpty() && !QFile::exists(none));
    }

    // An analysis prints its own two title lines, the company only once.
    void analysisPageCarriesItsTitleLines()
    {
        testsupport::exec(u"INSERT INTO Pro (ID, Name) VALUES (7, '钢管')"_s);
        testsupport::exec(
                u"INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1) VALUES "
                "('2024-03-05 00:00:00', 7, 1, 1, 1, 10, 4, 40, 40)"_s);
        grid::Grid grid;
        QDate start(2024, 3, 1), end(2024, 3, 31);
        analysis::AnalyseProfit(grid, start, end);
        PrintPreview *preview = open(grid);
        QCOMPARE(preview->headerBox(0)->text(), u"示例公司利润分析"_s);
        const QString path = planPdf(u"profit.pdf"_s);
        preview->printAll();
        expectPrinted(path, {"示例公司利润分析",
                             "分析：张三 日期：2024-03-01至2024-03-31 分析内容：利润"});
        QVERIFY(!pdfText(path).contains(u"示例公司示例公司"_s));
    }

    // Cancelled choices print nothing; a missing printer or unwritable PDF says so.
    void printingThatCannotGoOn()
    {
        PrintPreview *preview = openList(30);
        const QString path = m_fx->folder.filePath(u"x.pdf"_s);
        m_fx->prompts.fileNames << path;
        preview->PrintBatch(1, 2); // no printer planned: cancelled
        preview->printCurrentPage();
        // Two choices offered, the file name never asked.
        QCOMPARE(QList<qsizetype>(
                         {m_fx->prompts.printerLists.size(), m_fx->prompts.fileNames.size()}),
                 QList<qsizetype>({2, 1}));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(store::GetVar(kDefaultPrinterKey), QString());

        m_fx->prompts.fileNames.clear();
        m_fx->prompts.printers << kPdfPrinterName;
        preview->printAll(); // file name cancelled
        QVERIFY(QDir(m_fx->folder.path()).entryList({u"*.pdf"_s}).isEmpty());

        m_fx->prompts.printers << u"不存在的打印机"_s;
        preview->printAll();
        QCOMPARE(m_fx->prompts.messages, QStringList{kPrinterFailedText});
        m_fx->prompts.messages.clear();

        const QString blocker = m_fx->folder.filePath(u"not-a-folder"_s);
        QVERIFY(testsupport::writeFile(blocker, "keep"));
        planPdf(u"not-a-folder/report.pdf"_s);
        preview->printAll();
        const QStringList refused = std::exchange(m_fx->prompts.messages, {});
        QVERIFY(refused.size() == 1 && refused.first().startsWith(u"无法写入文件"_s));
        QCOMPARE(testsupport::readFile(blocker), QByteArray("keep"));
    }
};

QTEST_MAIN(TestPrintPreview)
#include "tst_printpreview.moc"
