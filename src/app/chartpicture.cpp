#include "chartpicture.h"

#include <QMouseEvent>
#include <QPainter>

namespace app {

ChartPicture::ChartPicture(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartPicture::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void ChartPicture::clear()
{
    m_image = QImage();
    update();
}

QImage ChartPicture::blankImage() const
{
    QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void ChartPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull())
        painter.drawImage(QPoint(0, 0), m_image);
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
