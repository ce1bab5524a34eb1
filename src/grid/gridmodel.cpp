#include "gridmodel.h"

#include <QBrush>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace grid {

namespace {

constexpr int kDefaultColWidth = 960; // twips, 64 pixels

const QString &emptyText()
{
    static const QString empty;
    return empty;
}

QRgb storedColor(const QColor &color)
{
    // A set colour is stored opaque, so 0 can mean "not set".
    return color.isValid() ? (color.rgb() | 0xFF000000u) : 0u;
}

} // namespace

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

template<typename T>
void GridModel::reshape(QVector<T> &cells, int oldRows, int oldCols, int rows, int cols,
                        const T &empty)
{
    if (oldCols == cols) {
        cells.resize(qsizetype(rows) * cols);
        if (rows > oldRows)
            std::fill(cells.begin() + qsizetype(oldRows) * cols, cells.end(), empty);
        return;
    }
    QVector<T> reshaped(qsizetype(rows) * cols, empty);
    const int keepRows = std::min(rows, oldRows);
    const int keepCols = std::min(cols, oldCols);
    for (int r = 0; r < keepRows; ++r)
        for (int c = 0; c < keepCols; ++c)
            reshaped[qsizetype(r) * cols + c] = std::move(cells[qsizetype(r) * oldCols + c]);
    cells = std::move(reshaped);
}

void GridModel::setShape(int rows, int cols)
{
    rows = std::max(0, rows);
    cols = std::max(0, cols);
    if (rows == m_rows && cols == m_cols)
        return;
    const int oldRows = m_rows;
    const int oldCols = m_cols;
    const int oldDataRows = dataRows();
    const bool onlyRows = cols == oldCols && !inBatch();
    const int newDataRows = rows > m_fixedRows ? rows - m_fixedRows : 0;
    // Growing or shrinking the data rows alone is announced as an insert or
    // a removal, so views keep their column layout.
    if (onlyRows && newDataRows > oldDataRows)
        beginInsertRows(QModelIndex(), oldDataRows, newDataRows - 1);
    else if (onlyRows && newDataRows < oldDataRows)
        beginRemoveRows(QModelIndex(), newDataRows, oldDataRows - 1);
    else if (!inBatch() && !onlyRows)
        beginResetModel();

    reshape(m_text, oldRows, oldCols, rows, cols, QString());
    if (!m_fore.isEmpty())
        reshape(m_fore, oldRows, oldCols, rows, cols, QRgb(0));
    if (!m_back.isEmpty())
        reshape(m_back, oldRows, oldCols, rows, cols, QRgb(0));
    if (!m_bold.isEmpty())
        reshape(m_bold, oldRows, oldCols, rows, cols, quint8(0));
    for (int r = rows; r < oldRows; ++r)
        if (m_rowHeight[r] >= 0)
            --m_customRowHeights;
    m_rowHeight.resize(rows);
    for (int r = oldRows; r < rows; ++r)
        m_rowHeight[r] = -1;
    m_alignment.resize(cols);
    m_colWidth.resize(cols);
    for (int c = oldCols; c < cols; ++c) {
        m_alignment[c] = 0;
        m_colWidth[c] = kDefaultColWidth;
    }
    m_rows = rows;
    m_cols = cols;
    if (m_fixedRows > rows)
        m_fixedRows = rows;
    if (m_fixedCols > cols)
        m_fixedCols = cols;

    if (onlyRows && newDataRows > oldDataRows)
        endInsertRows();
    else if (onlyRows && newDataRows < oldDataRows)
        endRemoveRows();
    else if (!inBatch() && !onlyRows)
        endResetModel();
}

void GridModel::setFixedRows(int n)
{
    n = std::clamp(n, 0, m_rows);
    if (n == m_fixedRows)
        return;
    if (!inBatch())
        beginResetModel();
    m_fixedRows = n;
    if (!inBatch())
        endResetModel();
}

void GridModel::setFixedCols(int n)
{
    n = std::clamp(n, 0, m_cols);
    if (n == m_fixedCols)
        return;
    if (!inBatch())
        beginResetModel();
    m_fixedCols = n;
    if (!inBatch())
        endResetModel();
    emit geometrySettingsChanged();
}

const QString &GridModel::text(int row, int col) const
{
    return contains(row, col) ? m_text[cellIndex(row, col)] : emptyText();
}

void GridModel::setText(int row, int col, const QString &text)
{
    if (!contains(row, col))
        return;
    m_text[cellIndex(row, col)] = text;
    cellChanged(row, col);
}

void GridModel::setText(int row, int col, QString &&text)
{
    if (!contains(row, col))
        return;
    m_text[cellIndex(row, col)] = std::move(text);
    cellChanged(row, col);
}

void GridModel::cellChanged(int row, int col)
{
    if (inBatch())
        return;
    if (row >= m_fixedRows) {
        const QModelIndex i = index(row - m_fixedRows, col);
        emit dataChanged(i, i);
    } else if (row == m_fixedRows - 1) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    }
}

int GridModel::alignment(int col) const
{
    return col >= 0 && col < m_cols ? m_alignment[col] : 0;
}

void GridModel::setAlignment(int col, int code)
{
    if (col < 0 || col >= m_cols || m_alignment[col] == code)
        return;
    m_alignment[col] = code;
    if (!inBatch() && dataRows() > 0)
        emit dataChanged(index(0, col), index(dataRows() - 1, col), {Qt::TextAlignmentRole});
}

int GridModel::colWidth(int col) const
{
    return col >= 0 && col < m_cols ? m_colWidth[col] : 0;
}

void GridModel::setColWidth(int col, int twips)
{
    if (col < 0 || col >= m_cols)
        return;
    twips = std::max(0, twips);
    if (m_colWidth[col] == twips)
        return;
    m_colWidth[col] = twips;
    if (!inBatch())
        emit geometrySettingsChanged();
}

void GridModel::setColWidths(const QVector<int> &twips)
{
    const int count = std::min(int(twips.size()), m_cols);
    for (int c = 0; c < count; ++c)
        m_colWidth[c] = std::max(0, twips[c]);
    if (!inBatch())
        emit geometrySettingsChanged();
}

int GridModel::rowHeightSetting(int row) const
{
    return row >= 0 && row < m_rows ? m_rowHeight[row] : -1;
}

void GridModel::setRowHeightSetting(int row, int twips)
{
    if (row < 0 || row >= m_rows)
        return;
    twips = std::max(-1, twips);
    if (m_rowHeight[row] == twips)
        return;
    if (m_rowHeight[row] < 0)
        ++m_customRowHeights;
    if (twips < 0)
        --m_customRowHeights;
    m_rowHeight[row] = twips;
    if (!inBatch())
        emit geometrySettingsChanged();
}

QColor GridModel::foreColor(int row, int col) const
{
    if (m_fore.isEmpty() || !contains(row, col) || m_fore[cellIndex(row, col)] == 0)
        return QColor();
    return QColor::fromRgb(m_fore[cellIndex(row, col)]);
}

void GridModel::setForeColor(int row, int col, const QColor &color)
{
    if (!contains(row, col))
        return;
    if (m_fore.isEmpty()) {
        if (!color.isValid())
            return;
        m_fore.fill(0, qsizetype(m_rows) * m_cols);
    }
    m_fore[cellIndex(row, col)] = storedColor(color);
    cellChanged(row, col);
}

QColor GridModel::backColor(int row, int col) const
{
    if (m_back.isEmpty() || !contains(row, col) || m_back[cellIndex(row, col)] == 0)
        return QColor();
    return QColor::fromRgb(m_back[cellIndex(row, col)]);
}

void GridModel::setBackColor(int row, int col, const QColor &color)
{
    if (!contains(row, col))
        return;
    if (m_back.isEmpty()) {
        if (!color.isValid())
            return;
        m_back.fill(0, qsizetype(m_rows) * m_cols);
    }
    m_back[cellIndex(row, col)] = storedColor(color);
    cellChanged(row, col);
}

bool GridModel::bold(int row, int col) const
{
    return !m_bold.isEmpty() && contains(row, col) && m_bold[cellIndex(row, col)] != 0;
}

void GridModel::setBold(int row, int col, bool bold)
{
    if (!contains(row, col))
        return;
    if (m_bold.isEmpty()) {
        if (!bold)
            return;
        m_bold.fill(0, qsizetype(m_rows) * m_cols);
    }
    m_bold[cellIndex(row, col)] = bold ? 1 : 0;
    cellChanged(row, col);
}

void GridModel::beginBatch()
{
    if (m_batch++ == 0)
        beginResetModel();
}

void GridModel::endBatch()
{
    if (m_batch <= 0)
        return;
    if (--m_batch == 0) {
        endResetModel();
        emit geometrySettingsChanged();
    }
}

void GridModel::permuteDataRows(const QVector<int> &order)
{
    const int first = m_fixedRows;
    if (order.size() != dataRows())
        return;
    if (!inBatch())
        beginResetModel();
    auto permute = [&](auto &cells, int width) {
        if (cells.isEmpty())
            return;
        std::remove_reference_t<decltype(cells)> sorted(cells.size());
        const qsizetype base = qsizetype(first) * width;
        std::move(cells.begin(), cells.begin() + base, sorted.begin());
        for (int i = 0; i < order.size(); ++i) {
            auto from = cells.begin() + base + qsizetype(order[i]) * width;
            std::move(from, from + width, sorted.begin() + base + qsizetype(i) * width);
        }
        cells = std::move(sorted);
    };
    permute(m_text, m_cols);
    permute(m_fore, m_cols);
    permute(m_back, m_cols);
    permute(m_bold, m_cols);
    permute(m_rowHeight, 1);
    if (!inBatch())
        endResetModel();
    emit geometrySettingsChanged();
}

void GridModel::removeGridRows(int row, int count)
{
    if (row < 0 || count <= 0 || row >= m_rows)
        return;
    count = std::min(count, m_rows - row);
    const bool dataOnly = row >= m_fixedRows && !inBatch();
    if (dataOnly)
        beginRemoveRows(QModelIndex(), row - m_fixedRows, row - m_fixedRows + count - 1);
    else if (!inBatch())
        beginResetModel();
    auto erase = [&](auto &cells, int width) {
        if (cells.isEmpty())
            return;
        const qsizetype from = qsizetype(row) * width;
        cells.erase(cells.begin() + from, cells.begin() + from + qsizetype(count) * width);
    };
    for (int r = row; r < row + count; ++r)
        if (m_rowHeight[r] >= 0)
            --m_customRowHeights;
    erase(m_text, m_cols);
    erase(m_fore, m_cols);
    erase(m_back, m_cols);
    erase(m_bold, m_cols);
    erase(m_rowHeight, 1);
    m_rows -= count;
    if (m_fixedRows > m_rows)
        m_fixedRows = m_rows;
    if (dataOnly)
        endRemoveRows();
    else if (!inBatch())
        endResetModel();
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : dataRows();
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

Qt::Alignment GridModel::qtAlignment(int code)
{
    // MSFlexGrid codes: 0..2 left, 3..5 centre, 6..8 right, each top,
    // centre, bottom; 9 general (left). Cells hold one line, so every text
    // is centred vertically: numbers set to the bottom would sit lower than
    // the names beside them.
    if (code < 0 || code > 8)
        return Qt::AlignLeft | Qt::AlignVCenter;
    static const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    return horizontal[code / 3] | Qt::AlignVCenter;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    const int row = index.row() + m_fixedRows;
    const int col = index.column();
    // Views may ask while a batch is rebuilding the cells; answer only for
    // cells that exist.
    if (!index.isValid() || !contains(row, col))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_text[cellIndex(row, col)];
    case Qt::TextAlignmentRole:
        return int(qtAlignment(m_alignment[col]));
    case Qt::ForegroundRole: {
        const QColor c = foreColor(row, col);
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    case Qt::BackgroundRole: {
        const QColor c = backColor(row, col);
        if (c.isValid())
            return QBrush(c);
        // Fixed cells look like buttons, as in MSFlexGrid.
        if (col < m_fixedCols)
            return QBrush(QGuiApplication::palette().color(QPalette::Button));
        return QVariant();
    }
    case Qt::FontRole:
        if (bold(row, col)) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || m_fixedRows < 1 || section < 0 || section >= m_cols)
        return QVariant();
    const int row = m_fixedRows - 1;
    switch (role) {
    case Qt::DisplayRole:
        return m_text[cellIndex(row, section)];
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole: {
        const QColor c = foreColor(row, section);
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    case Qt::BackgroundRole: {
        const QColor c = backColor(row, section);
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    default:
        return QVariant();
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace grid
