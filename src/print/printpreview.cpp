#include "printpreview.h"

#include "previewsettings.h"

#include "grid/grid.h"
#include "store/formatting.h"
#include "store/params.h"
#include "ui/helpers.h"
#include "ui/qtprompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

namespace print {

namespace {

// Room around the paper picture inside its frame.
constexpr int kPaperBorderTwips = 120;
// Height of the title, footer and scroll-bar rows above the paper.
constexpr int kRowPixels = 26;

const char *const kBoxLabels[] = {"纸宽：",   "纸高：",   "左：",       "右：", "上：",      "下：",
                                  "总页数：", "当前页：", "打印页码：", "至",   "每页行数："};

} // namespace

PaperPicture::PaperPicture(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaperPicture::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void PaperPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(rect(), Qt::white);
    else
        painter.drawImage(QPoint(0, 0), m_image);
}

PrintPreview::PrintPreview(grid::Grid *grid, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_grid(grid)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kPreviewCaption);
    for (int i = 0; i < int(m_good.size()); ++i)
        m_good[i] = initialBoxValue(i);
    buildWidgets();

    // The screen less 400 × 430 twips, the top edge at the top of the screen.
    QRect screen(0, 0, 1024, 768);
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        screen = primary->availableGeometry();
    resize(std::max(screen.width() - ui::pixels(400), 640),
           std::max(screen.height() - ui::pixels(430), 480));
    move(screen.left() + (screen.width() - width()) / 2, screen.top());

    loadSettings();
    placeWidgets();
    CalHScroll();
}

void PrintPreview::buildWidgets()
{
    SettingsFrame = new QFrame(this);
    SettingsFrame->setFrameShape(QFrame::StyledPanel);
    auto *form = new QGridLayout(SettingsFrame);

    for (int i = 0; i < 12; ++i) {
        auto *edit = new QLineEdit(SettingsFrame);
        edit->setMaximumWidth(ui::pixels(900));
        TXT << edit;
    }
    const auto label = [this](int i) {
        return new QLabel(QString::fromUtf8(kBoxLabels[i]), SettingsFrame);
    };
    // Two boxes a row: paper, then the margins, then the pages.
    const int pairs[][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 9}};
    int row = 0;
    for (const auto &pair : pairs) {
        form->addWidget(label(pair[0]), row, 0);
        form->addWidget(TXT[pair[0]], row, 1);
        form->addWidget(label(pair[1]), row, 2);
        form->addWidget(TXT[pair[1]], row, 3);
        ++row;
    }
    form->addWidget(label(kRowsPerPageBox), row, 0);
    form->addWidget(TXT[kRowsPerPageBox], row, 1);
    ++row;
    TXT[6]->setReadOnly(true);
    TXT[7]->setReadOnly(true);

    CHK = new QCheckBox(QStringLiteral("旋转90度打印"), SettingsFrame);
    form->addWidget(CHK, row++, 0, 1, 4);

    const QStringList captions
            = {QStringLiteral("打   印   当前页 "), QStringLiteral("全   部   打   印"),
               QStringLiteral("打   印   指定页 "), QStringLiteral("字体设置")};
    for (const QString &caption : captions)
        Com << new QPushButton(caption, SettingsFrame);

    QLineEdit *sample = TXT[kFontSampleBox];
    sample->setText(QStringLiteral("示例"));
    sample->setReadOnly(true);
    sample->setAlignment(Qt::AlignCenter);
    sample->setMaximumWidth(QWIDGETSIZE_MAX);
    form->addWidget(sample, row, 0, 1, 2);
    form->addWidget(Com[3], row++, 2, 1, 2);
    for (int i = 0; i < 3; ++i)
        form->addWidget(Com[i], row++, 0, 1, 4);

    // Measures the report font as the screen shows it; never shown.
    LblTest = new QLabel(QStringLiteral("字号测试"), SettingsFrame);
    LblTest->hide();
    form->setRowStretch(row, 1);

    for (const QString &caption : {QStringLiteral("标题："), QStringLiteral("页脚：")}) {
        m_headerLabels << new QLabel(caption, this);
        TXT1 << new QLineEdit(this);
    }
    HScroll = new QScrollBar(Qt::Horizontal, this);
    HScroll->setMinimum(1);
    PaperFrame = new QFrame(this);
    PaperFrame->setFrameShape(QFrame::StyledPanel);
    PaperFrame->setAutoFillBackground(true);
    QPalette grey = PaperFrame->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    PaperFrame->setPalette(grey);
    Pic = new PaperPicture(PaperFrame);

    for (int i = 0; i < TXT.size(); ++i)
        connect(TXT[i], &QLineEdit::textChanged, this, [this, i] { boxChanged(i); });
    for (QLineEdit *edit : std::as_const(TXT1)) {
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!m_loading)
                CalHScroll();
        });
    }
    connect(CHK, &QCheckBox::toggled, this, [this](bool checked) {
        if (!m_loading && m_stamp.isCurrent())
            store::SetVar(kRotateKey, checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(HScroll, &QScrollBar::valueChanged, this, [this](int page) {
        TXT[7]->setText(QString::number(page));
        DrawOnePaper();
    });
    connect(Com[0], &QPushButton::clicked, this, &PrintPreview::printCurrentPage);
    connect(Com[1], &QPushButton::clicked, this, &PrintPreview::printAll);
    connect(Com[2], &QPushButton::clicked, this, &PrintPreview::printRange);
    connect(Com[3], &QPushButton::clicked, this, &PrintPreview::chooseFont);
}

void PrintPreview::loadSettings()
{
    m_loading = true;
    CHK->setChecked(LoadRotation(false));
    for (int box = 0; box < TXT.size(); ++box) {
        if (!isStoredBox(box))
            continue;
        const QString stored = store::GetVar(boxKey(box));
        if (const std::optional<double> value = boxValue(box, stored)) {
            m_good[box] = *value;
            TXT[box]->setText(stored.trimmed());
        } else {
            TXT[box]->setText(QString::number(initialBoxValue(box)));
        }
    }
    applyFont(LoadReportFont(store::FontChoice()));

    // An analysis grid's tag holds its two title lines: the first already
    // names the company and is the report's title, the second (user and
    // dates) its subtitle.
    const QString crlf = QStringLiteral("\r\n");
    const bool analysis = m_grid && m_grid->tag().contains(crlf);
    if (m_grid)
        m_reportTitle = m_grid->reportTitle().isEmpty() ? m_grid->tag().section(crlf, 0, 0)
                                                        : m_grid->reportTitle();
    m_subtitle = analysis ? m_grid->tag().section(crlf, 1).replace(crlf, QStringLiteral(" "))
                          : QString();
    QString title = store::GetVar(headerKey(m_reportTitle, 0));
    QString footer = store::GetVar(headerKey(m_reportTitle, 1));
    if (footer.isEmpty())
        footer = DefaultReportFooter();
    // Earlier versions stored an analysis title with the company twice.
    if (title.isEmpty() || (analysis && title == DefaultReportTitle(m_reportTitle)))
        title = analysis ? m_reportTitle : DefaultReportTitle(m_reportTitle);
    TXT1[0]->setText(title);
    TXT1[1]->setText(footer);
    m_loading = false;
}

void PrintPreview::placeWidgets()
{
    constexpr int margin = 8;
    const int settingsWidth = SettingsFrame->sizeHint().width();
    const int settingsHeight = std::max(height() - margin - ui::pixels(600), 120);
    SettingsFrame->setGeometry(margin, margin, settingsWidth, settingsHeight);

    const int left = 2 * margin + settingsWidth;
    const int width = std::max(this->width() - left - ui::pixels(240), 120);
    const int labelWidth = std::max(m_headerLabels[0]->sizeHint().width(), 40);
    int y = margin;
    for (int i = 0; i < 2; ++i) {
        m_headerLabels[i]->setGeometry(left, y, labelWidth, kRowPixels - 4);
        TXT1[i]->setGeometry(left + labelWidth, y, width - labelWidth, kRowPixels - 4);
        y += kRowPixels;
    }
    HScroll->setGeometry(left, y, width, kRowPixels - 6);
    y += kRowPixels;
    const int bottom = margin + settingsHeight;
    PaperFrame->setGeometry(left, y, width, std::max(bottom - y, 60));
}

void PrintPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_loading)
        return;
    placeWidgets();
    DrawOnePaper();
}

void PrintPreview::closeEvent(QCloseEvent *event)
{
    if (m_printing) {
        event->ignore();
        return;
    }
    if (m_stamp.isCurrent()) {
        store::SetVar(headerKey(m_reportTitle, 0), TXT1[0]->text());
        store::SetVar(headerKey(m_reportTitle, 1), TXT1[1]->text());
    }
    event->accept();
}

void PrintPreview::boxChanged(int index)
{
    if (m_loading || !isStoredBox(index))
        return;
    const QString text = TXT[index]->text();
    const std::optional<double> value = boxValue(index, text);
    if (value) {
        m_good[index] = *value;
        if (m_stamp.isCurrent())
            store::SetVar(boxKey(index), text.trimmed());
    }
    // A text that does not convert stays in the box, in red, and is not stored.
    TXT[index]->setStyleSheet(value ? QString() : QStringLiteral("color: #c00000;"));
    if (index == kRowsPerPageBox)
        CalHScroll();
    else
        DrawOnePaper();
}

double PrintPreview::boxNumber(int index) const
{
    return boxValue(index, TXT[index]->text()).value_or(m_good[index]);
}

Paper PrintPreview::paper() const
{
    Paper paper;
    paper.width = boxNumber(0);
    paper.height = boxNumber(1);
    paper.left = boxNumber(2);
    paper.right = boxNumber(3);
    paper.top = boxNumber(4);
    paper.bottom = boxNumber(5);
    return paper;
}

int PrintPreview::rowsPerPage() const
{
    return int(boxValue(kRowsPerPageBox, TXT[kRowsPerPageBox]->text()).value_or(0));
}

int PrintPreview::currentPage() const
{
    return HScroll->value();
}

ReportJob PrintPreview::reportJob() const
{
    ReportJob job;
    job.grid = m_grid;
    job.paper = paper();
    job.rowsPerPage = rowsPerPage();
    job.pageCount = m_pages;
    job.rotated = CHK->isChecked();
    job.font = m_font;
    job.screenTextHeight = LblTest->fontMetrics().height() * ui::kTwipsPerPixel;
    job.title = TXT1[0]->text();
    job.subtitle = m_subtitle;
    job.footer = TXT1[1]->text();
    job.operatorName = store::CurrentUser;
    job.date = QDate::currentDate();
    return job;
}

void PrintPreview::applyFont(const store::FontChoice &font)
{
    m_font = font;
    // The sample shows the face the report prints in.
    const QFont qfont = ReportFonts::forPreview(font).body;
    QLineEdit *sample = TXT[kFontSampleBox];
    sample->setFont(qfont);
    QPalette palette = sample->palette();
    palette.setColor(QPalette::Text, ui::fontColor(font));
    sample->setPalette(palette);
    QFont test = LblTest->font();
    test.setFamilies(qfont.families());
    test.setPointSizeF(qfont.pointSizeF());
    test.setBold(qfont.bold());
    LblTest->setFont(test);
}

void PrintPreview::CalHScroll()
{
    const int dataRows = m_grid ? std::max(0, m_grid->rows() - m_grid->fixedRows()) : 0;
    m_pages = print::pageCount(dataRows, rowsPerPage());
    {
        const QSignalBlocker quiet(HScroll);
        HScroll->setRange(1, std::max(m_pages, 1));
        HScroll->setPageStep(largeChange(m_pages));
        HScroll->setValue(1);
    }
    TXT[6]->setText(QString::number(m_pages));
    TXT[7]->setText(QString::number(HScroll->value()));
    TXT[8]->setText(QStringLiteral("1"));
    TXT[9]->setText(QString::number(m_pages));
    DrawOnePaper();
}

void PrintPreview::SetPaperPic()
{
    const Paper sheet = paper();
    Pic->setGeometry(paperPicture(PaperFrame->size(), sheet.width, sheet.height,
                                  ui::pixels(kPaperBorderTwips)));
}

void PrintPreview::DrawOnePaper()
{
    if (m_loading)
        return;
    SetPaperPic();
    const QSize size = Pic->size();
    const qreal ratio = devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);

    PageInput input;
    input.grid = m_grid;
    input.rowsPerPage = rowsPerPage();
    input.page = HScroll->value();
    input.pageCount = m_pages;
    input.title = TXT1[0]->text();
    input.subtitle = m_subtitle;
    input.footer = TXT1[1]->text();
    input.operatorName = store::CurrentUser;
    input.date = QDate::currentDate();
    const ReportFonts fonts = ReportFonts::forPreview(m_font);

    QPainter painter(&image);
    m_shown = layoutPage(input, previewFrame(size, paper()), fonts, &image, size.height());
    paintPage(painter, m_shown, fonts, 1);
    painter.end();
    Pic->setImage(image);
}

void PrintPreview::printPages(const QString &printer, const QVector<int> &pages)
{
    QPointer<PrintPreview> self(this);
    m_printing = true;
    // The preview follows the printing page by page, but redraws at most
    // every tenth of a second: drawing every page would double the time of
    // a long batch.
    QElapsedTimer sinceDrawn;
    PrintReport(printer, reportJob(), pages, [&](int page) {
        if (!self || !self->m_grid)
            return false; // the grid went away with its window
        if (!sinceDrawn.isValid() || sinceDrawn.elapsed() >= 100 || page == pages.last()) {
            HScroll->setValue(page);
            sinceDrawn.restart();
        } else {
            const QSignalBlocker quiet(HScroll);
            HScroll->setValue(page);
            TXT[7]->setText(QString::number(page));
        }
        return true;
    });
    if (self)
        m_printing = false;
}

void PrintPreview::PrintBatch(int first, int last)
{
    const QString printer = ChoosePrinter();
    if (printer.isEmpty())
        return;
    printPages(printer, batchPages(first, last, m_pages));
}

void PrintPreview::printCurrentPage()
{
    const QString printer = ChoosePrinter();
    if (printer.isEmpty())
        return;
    printPages(printer, {currentPage()});
}

void PrintPreview::printAll()
{
    PrintBatch(1, m_pages);
}

void PrintPreview::printRange()
{
    PrintBatch(int(std::lround(store::leadingNumber(TXT[8]->text()))),
               int(std::lround(store::leadingNumber(TXT[9]->text()))));
}

void PrintPreview::chooseFont()
{
    store::FontChoice font = m_font;
    if (font.family.isEmpty())
        font.family = QStringLiteral("宋体");
    if (!store::prompts().chooseFont(font))
        return;
    if (font.pointSize <= 0)
        font.pointSize = 0.1;
    applyFont(font);
    if (m_stamp.isCurrent())
        StoreReportFont(font);
    DrawOnePaper();
}

PrintPreview *ShowPrintPreview(grid::Grid &grid, QWidget *parent)
{
    static QPointer<PrintPreview> open;
    if (open) {
        if (!open->close())
            return open; // still printing
    }
    auto *preview = new PrintPreview(&grid, parent);
    preview->show();
    open = preview;
    return preview;
}

} // namespace print
