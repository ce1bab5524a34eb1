#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QVector>

namespace grid {

// Cells of a grid in flat row-major arrays, addressed in grid coordinates:
// row 0 is the first fixed row, column 0 the first fixed column. The Qt side
// of the model shows the data rows only (grid row = model row + fixed rows);
// the last fixed row is served as the horizontal header.
//
// Colours and bold flags are allocated on first use, so a plain list costs
// one QString per cell. While a batch is open the model emits nothing; the
// batch ends with one model reset.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit GridModel(QObject *parent = nullptr);

    int rows() const { return m_rows; }
    int cols() const { return m_cols; }
    // Resizes the grid; kept cells stay where they are, new cells are empty.
    void setShape(int rows, int cols);
    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }
    void setFixedRows(int n);
    void setFixedCols(int n);
    // Number of data rows (rows below the fixed rows).
    int dataRows() const { return m_rows > m_fixedRows ? m_rows - m_fixedRows : 0; }

    bool contains(int row, int col) const
    {
        return row >= 0 && row < m_rows && col >= 0 && col < m_cols;
    }
    // The cell's text; an empty text outside the grid.
    const QString &text(int row, int col) const;
    void setText(int row, int col, const QString &text);
    void setText(int row, int col, QString &&text);

    // MSFlexGrid alignment code (0..9) of a column.
    int alignment(int col) const;
    void setAlignment(int col, int code);

    // Column width and row height in twips. A row without its own height
    // has the height -1 here (the view's default).
    int colWidth(int col) const;
    void setColWidth(int col, int twips);
    // Sets the widths of the first widths.size() columns at once.
    void setColWidths(const QVector<int> &twips);
    int rowHeightSetting(int row) const;
    void setRowHeightSetting(int row, int twips);
    bool hasRowHeights() const { return m_customRowHeights > 0; }

    // Per-cell colours; an invalid colour means the default.
    QColor foreColor(int row, int col) const;
    void setForeColor(int row, int col, const QColor &color);
    QColor backColor(int row, int col) const;
    void setBackColor(int row, int col, const QColor &color);
    bool bold(int row, int col) const;
    void setBold(int row, int col, bool bold);

    void beginBatch();
    void endBatch();
    bool inBatch() const { return m_batch > 0; }

    // Reorders the data rows: new data row i is old data row order[i]
    // (indices counted from the first data row). Text, colours, bold flags
    // and row heights move with their rows.
    void permuteDataRows(const QVector<int> &order);
    // Removes count rows starting at row; the rows below move up with all
    // their cells and formats.
    void removeGridRows(int row, int count);

    // Qt model interface (data rows only).
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Qt alignment flags of an MSFlexGrid alignment code.
    static Qt::Alignment qtAlignment(int code);

signals:
    // Column widths or row heights changed (the views must apply them).
    void geometrySettingsChanged();

private:
    int cellIndex(int row, int col) const { return row * m_cols + col; }
    void cellChanged(int row, int col);
    template<typename T>
    static void reshape(QVector<T> &cells, int oldRows, int oldCols, int rows, int cols,
                        const T &empty);

    int m_rows = 0;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    QVector<QString> m_text;
    QVector<QRgb> m_fore; // empty until a colour is set; 0 = default
    QVector<QRgb> m_back;
    QVector<quint8> m_bold;
    QVector<int> m_alignment;
    QVector<int> m_colWidth;
    QVector<int> m_rowHeight; // -1 = default
    int m_customRowHeights = 0;
    int m_batch = 0;
};

} // namespace grid
