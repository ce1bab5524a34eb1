#pragma once

#include <QColor>
#include <QFrame>
#include <QString>
#include <QVector>

namespace grid {

class GridModel;
class GridView;

// A grid with the MSFlexGrid vocabulary the lists are written in. Positions
// and sizes are in twips (ui::kTwipsPerPixel to the pixel), as the lists,
// printing and export expect.
//
// Coordinates are grid coordinates: rows 0 .. rows()-1 and columns
// 0 .. cols()-1, the first fixedRows() rows and fixedCols() columns being
// fixed. Of the fixed rows only the last one is shown, as the column titles,
// and it stays in view while the data rows scroll; the rows above it (the
// hidden key row of the list layout) are never shown. Fixed columns stay at
// the left while the other columns scroll sideways; a column of width 0 is
// not shown.
//
// The current cell is (row(), col()); the selection spans from it to
// (rowSel(), colSel()), either way round, and is shown as whole rows. A
// mouse press sets the current cell, a drag moves the selection end.
//
// Filling many cells: open a GridBatch (or beginUpdate/endUpdate) so the
// views are told once at the end instead of once per cell.
class Grid : public QFrame
{
    Q_OBJECT

public:
    explicit Grid(QWidget *parent = nullptr);
    ~Grid() override;

    // Shape. Setting rows or columns keeps the cells that remain.
    int rows() const;
    void setRows(int rows);
    int cols() const;
    void setCols(int cols);
    int fixedRows() const;
    void setFixedRows(int n);
    int fixedCols() const;
    void setFixedCols(int n);
    int dataRows() const;

    // Cell text; empty outside the grid, writes outside it are ignored.
    QString textMatrix(int row, int col) const;
    const QString &cellText(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);
    void setTextMatrix(int row, int col, QString &&text);

    // Column widths and row heights in twips. A row without a height of its
    // own has the default height of the font.
    int colWidth(int col) const;
    void setColWidth(int col, int twips);
    // The widths of columns 0 .. widths.size()-1 at once.
    void setColWidths(const QVector<int> &twips);
    int rowHeight(int row) const;
    void setRowHeight(int row, int twips);
    // MSFlexGrid alignment codes: 0 left-top, 1 left-centre, 2 left-bottom,
    // 3..5 centre, 6..8 right (top, centre, bottom), 9 general.
    int colAlignment(int col) const;
    void setColAlignment(int col, int code);

    // Cell colours (invalid = default) and bold text.
    QColor cellForeColor(int row, int col) const;
    void setCellForeColor(int row, int col, const QColor &color);
    QColor cellBackColor(int row, int col) const;
    void setCellBackColor(int row, int col, const QColor &color);
    bool cellFontBold(int row, int col) const;
    void setCellFontBold(int row, int col, bool bold);

    // Current cell and selection end. Setting row or col also moves the
    // selection end there (the selection becomes the current cell).
    int row() const { return m_row; }
    void setRow(int row);
    int col() const { return m_col; }
    void setCol(int col);
    int rowSel() const { return m_rowSel; }
    void setRowSel(int row);
    int colSel() const { return m_colSel; }
    void setColSel(int col);
    // First data row in view; setting it scrolls.
    int topRow() const;
    void setTopRow(int row);
    // First scrollable column in view.
    int leftCol() const;

    // The grid's source (a table name or a statement) and its report title.
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }
    QString reportTitle() const { return m_reportTitle; }
    void setReportTitle(const QString &title) { m_reportTitle = title; }

    // Sizes in twips used by the mouse routines: the grid's width, the
    // fixed rows' total height, the fixed columns' total width.
    int widthTwips() const;
    int fixedRowsHeight() const;
    int fixedColsWidth() const;
    // The cell under the last mouse event (-1 when none), as MouseRow/MouseCol.
    int mouseRow() const { return m_mouseRow; }
    int mouseCol() const { return m_mouseCol; }

    // Sorts the data rows by one column, numerically (leading number of the
    // text) or as text (case-sensitive), keeping equal rows in their order.
    void sortDataRows(int col, bool numeric, bool ascending);
    // Removes count rows from row on; the rows below move up.
    void removeRows(int row, int count);

    // Batch updates: nested calls are counted; the last endUpdate shows the
    // result once.
    void beginUpdate();
    void endUpdate();

    GridModel *model() const { return m_model; }

signals:
    // Mouse events with coordinates in twips from the grid's top-left
    // corner (the title row starts at y 0, the fixed columns at x 0).
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    // A left click (press and release), after the selection is updated.
    void clicked();
    void doubleClicked();
    // A left click on a column title (not ending a column resize).
    void headerClicked(int col);
    // A right-button release, at a global screen position (pop-up menus).
    void rightClicked(const QPoint &globalPos);
    // The current cell or the selection changed through mouse or keyboard.
    void selectionChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class GridView;
    void applyGeometry();
    void applySelection();
    void applyTopRow();
    void clampCurrentCell();
    int defaultRowPixels() const;
    int displayedHeaderPixels() const;
    QPoint toTwips(const GridView *view, bool header, const QPoint &pos);
    // Called by the views on user input.
    void userPress(const GridView *view, bool header, QMouseEvent *event);
    void userMove(const GridView *view, QMouseEvent *event);
    void userRelease(const GridView *view, bool header, QMouseEvent *event);
    void userDoubleClick(const GridView *view, QMouseEvent *event);
    void userMoveCursor(int row, int col, bool extend);

    GridModel *m_model = nullptr;
    GridView *m_view = nullptr;   // scrollable columns
    GridView *m_frozen = nullptr; // fixed columns
    int m_row = 0;
    int m_col = 0;
    int m_rowSel = 0;
    int m_colSel = 0;
    int m_topRow = 0;
    int m_mouseRow = -1;
    int m_mouseCol = -1;
    int m_updateDepth = 0;
    bool m_dragging = false;
    bool m_applying = false;
    bool m_userResized = false;
    bool m_headerPressed = false;
    QString m_tag;
    QString m_reportTitle;
};

// Opens a batch update for its lifetime.
class GridBatch
{
public:
    explicit GridBatch(Grid &grid)
        : m_grid(grid)
    {
        m_grid.beginUpdate();
    }
    ~GridBatch() { m_grid.endUpdate(); }
    GridBatch(const GridBatch &) = delete;
    GridBatch &operator=(const GridBatch &) = delete;

private:
    Grid &m_grid;
};

} // namespace grid
