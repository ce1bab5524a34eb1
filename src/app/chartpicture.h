#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

namespace app {

// The chart picture of an analysis tab. An analysis hands it the drawing of
// its chart (setDrawing), which the picture runs again whenever its size
// changes, so the chart always fills the box and is never lost when another
// window covered it. Saving as JPEG takes image(), drawn off screen at the
// picture's size, so a covered window still saves the whole chart.
class ChartPicture : public QWidget
{
    Q_OBJECT

public:
    // Draws the chart on a white picture of the given size in pixels.
    using Drawing = std::function<void(QPainter &, const QSize &)>;

    explicit ChartPicture(QWidget *parent = nullptr);

    void setDrawing(Drawing drawing);
    // Empties the picture (white).
    void clear();
    bool isEmpty() const { return !m_drawing; }
    // The picture as shown, at its present size (white when empty).
    QImage image() const;

signals:
    // Right button pressed at globalPos: the owner opens the pop-up menu.
    void contextMenuWanted(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    Drawing m_drawing;
    // The drawing at the size it was last shown; drawn again on resize.
    mutable QImage m_shown;
};

} // namespace app
