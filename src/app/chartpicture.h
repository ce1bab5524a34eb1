#pragma once

#include <QImage>
#include <QWidget>

namespace app {

// The chart picture of an analysis tab. The analyses draw into an image of
// the picture's size (blankImage) and hand it over with setImage; the
// picture shows it until it is cleared or replaced. Saving as JPEG takes
// image(), so a covered window still saves the whole chart.
class ChartPicture : public QWidget
{
    Q_OBJECT

public:
    explicit ChartPicture(QWidget *parent = nullptr);

    // The chart shown; a null image when the picture is empty.
    const QImage &image() const { return m_image; }
    void setImage(const QImage &image);
    // Empties the picture (white).
    void clear();
    bool isEmpty() const { return m_image.isNull(); }
    // A white image of the picture's current size, ready to draw on.
    QImage blankImage() const;

signals:
    // Right button pressed at globalPos: the owner opens the pop-up menu.
    void contextMenuWanted(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QImage m_image;
};

} // namespace app
