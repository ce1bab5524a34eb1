#include "splitbar.h"

#include <QMouseEvent>
#include <QPainter>

namespace app {

SplitBar::SplitBar(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
    setToolTip(QStringLiteral("拖动调整表格和图表的宽度"));
}

void SplitBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_grabOffset = int(event->position().x());
    event->accept();
}

void SplitBar::mouseMoveEvent(QMouseEvent *event)
{
    if (m_grabOffset < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint inParent = mapToParent(event->position().toPoint());
    emit dragged(inParent.x() - m_grabOffset);
    event->accept();
}

void SplitBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_grabOffset = -1;
    event->accept();
}

void SplitBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
}

} // namespace app
