#pragma once

#include <QTableView>

namespace grid {

class Grid;

// One of the two table views of a grid (fixed columns, scrollable columns).
// It shows what the grid's model holds and hands mouse and keyboard input to
// the grid, which keeps the MSFlexGrid current cell and selection itself.
class GridView : public QTableView
{
    Q_OBJECT

public:
    explicit GridView(Grid *grid);

    // Brings the scroll-bar ranges up to date before scrolling in code.
    void refreshGeometries() { updateGeometries(); }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Grid *m_grid;
};

} // namespace grid
