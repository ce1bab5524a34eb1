#include "deliverynotepreview.h"

#include "previewsettings.h"
#include "printpreview.h"

#include "store/params.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace print {

namespace {

// Room around the paper picture inside its grey frame, in pixels.
constexpr int kPaperBorder = 8;

QFont noteFont()
{
    return deliveryNoteFont(LoadReportFont(store::FontChoice()).family);
}

} // namespace

PageJob deliveryNoteJob(const DeliveryNote &note, const Paper &paper)
{
    PageJob job;
    job.paper = paper;
    job.title = note.title + QLatin1Char(' ') + note.number;
    const QFont font = noteFont();
    const NotePages pages = deliveryNotePages(int(note.lines.size()), paper, font);
    job.drawPage = [note, pages, font](QPainter &painter, const PageSurface &surface, int page) {
        paintDeliveryNotePage(painter, note, pages, surface.frame, font, page);
    };
    return job;
}

int deliveryNotePageCount(const DeliveryNote &note, const Paper &paper)
{
    return deliveryNotePages(int(note.lines.size()), paper, noteFont()).pages;
}

DeliveryNotePreview::DeliveryNotePreview(const DeliveryNote &note, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_note(note)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(note.title + QStringLiteral("预览"));

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("纸张："), this));
    m_paperBox = new QComboBox(this);
    m_paperBox->addItem(QStringLiteral("A4（210×297毫米）"), QStringLiteral("A4"));
    m_paperBox->addItem(QStringLiteral("A5（210×148毫米，横向）"), QStringLiteral("A5"));
    m_paperBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_paperBox->setCurrentIndex(std::max(0, m_paperBox->findData(LoadNotePaperName())));
    top->addWidget(m_paperBox);
    top->addSpacing(12);
    m_pageLabel = new QLabel(this);
    top->addWidget(m_pageLabel);
    m_pageBar = new QScrollBar(Qt::Horizontal, this);
    m_pageBar->setMinimumWidth(160);
    m_pageBar->setMinimum(1);
    top->addWidget(m_pageBar);
    top->addStretch(1);
    for (const QString &caption :
         {QStringLiteral("打印当前页"), QStringLiteral("全部打印"), QStringLiteral("关闭")}) {
        auto *button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        m_buttons << button;
        top->addWidget(button);
    }

    m_paperFrame = new QFrame(this);
    m_paperFrame->setFrameShape(QFrame::StyledPanel);
    m_paperFrame->setAutoFillBackground(true);
    QPalette grey = m_paperFrame->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    m_paperFrame->setPalette(grey);
    m_paperFrame->setMinimumSize(300, 300);
    m_paperFrame->installEventFilter(this);
    m_picture = new PaperPicture(m_paperFrame);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_paperFrame, 1);
    resize(900, 760);

    connect(m_paperBox, &QComboBox::activated, this, &DeliveryNotePreview::paperChosen);
    connect(m_pageBar, &QScrollBar::valueChanged, this, &DeliveryNotePreview::drawPage);
    connect(m_buttons[0], &QPushButton::clicked, this, &DeliveryNotePreview::printCurrentPage);
    connect(m_buttons[1], &QPushButton::clicked, this, &DeliveryNotePreview::printAll);
    connect(m_buttons[2], &QPushButton::clicked, this, &QWidget::close);
    paperChosen();
}

Paper DeliveryNotePreview::paper() const
{
    return notePaper(m_paperBox->currentData().toString());
}

void DeliveryNotePreview::paperChosen()
{
    const QString name = m_paperBox->currentData().toString();
    if (m_stamp.isCurrent() && name != store::GetVar(kNotePaperKey))
        StoreNotePaperName(name);
    m_pages = deliveryNotePageCount(m_note, paper());
    {
        const QSignalBlocker quiet(m_pageBar);
        m_pageBar->setRange(1, m_pages);
        m_pageBar->setValue(1);
    }
    m_pageBar->setEnabled(m_pages > 1);
    drawPage();
}

void DeliveryNotePreview::drawPage()
{
    const int page = m_pageBar->value();
    m_pageLabel->setText(QStringLiteral("第%1页 共%2页").arg(page).arg(m_pages));
    const Paper sheet = paper();
    m_picture->setGeometry(
            paperPicture(m_paperFrame->size(), sheet.width, sheet.height, 2 * kPaperBorder));
    const QSize size = m_picture->size();
    const qreal ratio = devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);

    // The page is laid out at the picture's resolution as if it were the
    // whole sheet, then drawn to the picture's size: the same drawing as on
    // paper, smaller.
    QPainter painter(&image);
    const double unitsPerMm = image.logicalDpiX() / kMmPerInch;
    painter.scale(size.width() / (sheet.width * unitsPerMm),
                  size.height() / (sheet.height * unitsPerMm));
    PageFrame frame;
    frame.unitsPerMm = unitsPerMm;
    frame.unitsPerTwip = unitsPerMm * kMmPerInch / kTwipsPerInch;
    frame.left = sheet.left * unitsPerMm;
    frame.top = sheet.top * unitsPerMm;
    frame.width = (sheet.width - sheet.left - sheet.right) * unitsPerMm;
    frame.height = (sheet.height - sheet.top - sheet.bottom) * unitsPerMm;
    const QFont font = noteFont();
    paintDeliveryNotePage(painter, m_note, deliveryNotePages(int(m_note.lines.size()), sheet, font),
                          frame, font, page);
    painter.end();
    m_picture->setImage(image);
}

bool DeliveryNotePreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_paperFrame && event->type() == QEvent::Resize)
        drawPage();
    return QWidget::eventFilter(watched, event);
}

void DeliveryNotePreview::printPages(const QVector<int> &pages)
{
    const QString printer = ChoosePrinter();
    if (printer.isEmpty())
        return;
    PrintPages(printer, deliveryNoteJob(m_note, paper()), pages);
}

void DeliveryNotePreview::printCurrentPage()
{
    printPages({m_pageBar->value()});
}

void DeliveryNotePreview::printAll()
{
    printPages(batchPages(1, m_pages, m_pages));
}

DeliveryNotePreview *ShowDeliveryNotePreview(const DeliveryNote &note, QWidget *parent)
{
    auto *preview = new DeliveryNotePreview(note, parent);
    preview->show();
    return preview;
}

} // namespace print
