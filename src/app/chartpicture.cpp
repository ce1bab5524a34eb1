#include "chartpicture.h"

#include <QMouseEvent>
#include <QPainter>

namespace app {

ChartPicture::ChartPicture(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartPicture::setDrawing(Drawing drawing)
{
    m_drawing = std::move(drawing);
    m_shown = QImage();
    update();
}

void ChartPicture::clear()
{
    setDrawing(Drawing());
}

QImage ChartPicture::image() const
{
    const QSize pixels = size().expandedTo(QSize(1, 1));
    if (m_shown.size() != pixels) {
        m_shown = QImage(pixels, QImage::Format_RGB32);
        m_shown.fill(Qt::white);
        if (m_drawing) {
            QPainter painter(&m_shown);
            m_drawing(painter, pixels);
        }
    }
    return m_shown;
}

void ChartPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ChartPicture::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        emit contextMenuWanted(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace app
