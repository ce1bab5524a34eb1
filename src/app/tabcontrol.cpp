#include "tabcontrol.h"

#include "ui/helpers.h"

#include <QTabBar>

namespace app {

TabControl::TabControl(const QStringList &captions, QWidget *parent)
    : QWidget(parent)
    , m_bar(new QTabBar(this))
{
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(true);
    for (const QString &caption : captions)
        m_bar->addTab(caption);
    m_bar->setFixedHeight(tabRowHeight());
    m_bar->move(0, 0);
    m_current = m_bar->currentIndex();
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        const int previous = m_current;
        m_current = index;
        emit tabClicked(previous);
    });
}

int TabControl::count() const
{
    return m_bar->count();
}

QString TabControl::tabText(int index) const
{
    return m_bar->tabText(index);
}

int TabControl::currentIndex() const
{
    return m_bar->currentIndex();
}

void TabControl::setCurrentIndex(int index)
{
    m_bar->setCurrentIndex(index);
}

int TabControl::tabRowHeight()
{
    return ui::pixels(360);
}

void TabControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_bar->setFixedWidth(width());
}

} // namespace app
