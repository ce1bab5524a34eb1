#pragma once

#include <QWidget>

namespace app {

// The splitter bar between an analysis grid and its chart: a thin bar that
// follows the mouse horizontally while the left button is held on it. The
// owner keeps the position (bounded to the frame) and lays out the grid and
// the chart beside it.
class SplitBar : public QWidget
{
    Q_OBJECT

public:
    explicit SplitBar(QWidget *parent = nullptr);

    // Width of the bar in twips.
    static constexpr int kWidthTwips = 45;

signals:
    // The mouse asks for the bar's left edge at x pixels in the parent.
    void dragged(int x);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_grabOffset = -1; // where in the bar the mouse took hold; -1 when not held
};

} // namespace app
