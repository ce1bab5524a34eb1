#pragma once

#include <QWidget>

class QTabBar;

namespace app {

// A tab control in the old style: a row of tabs along the top and an area
// below in which the owner places one frame per tab at fixed positions and
// shows the frame of the selected tab. Every change of the selected tab
// reports the tab that was selected before.
class TabControl : public QWidget
{
    Q_OBJECT

public:
    explicit TabControl(const QStringList &captions, QWidget *parent = nullptr);

    int count() const;
    QString tabText(int index) const;
    int currentIndex() const;
    // Selects a tab; when it changes, tabClicked(previous) is emitted.
    void setCurrentIndex(int index);
    QTabBar *tabBar() const { return m_bar; }

    // Height of the tab row in pixels (360 twips).
    static int tabRowHeight();

signals:
    void tabClicked(int previousTab);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QTabBar *m_bar = nullptr;
    int m_current = 0;
};

} // namespace app
