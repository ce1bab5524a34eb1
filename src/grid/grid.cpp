#include "grid.h"

#include "gridmodel.h"
#include "gridview.h"

#include "store/formatting.h"
#include "ui/helpers.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

namespace grid {

// --- GridView ---------------------------------------------------------------

GridView::GridView(Grid *grid)
    : QTableView(grid)
    , m_grid(grid)
{
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(false);
    // The grid scrolls in code only where it means to (top row, keys, drag).
    setAutoScroll(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setTextElideMode(Qt::ElideNone);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void GridView::mousePressEvent(QMouseEvent *event)
{
    m_grid->userPress(this, false, event);
    event->accept();
}

void GridView::mouseMoveEvent(QMouseEvent *event)
{
    m_grid->userMove(this, event);
    event->accept();
}

void GridView::mouseReleaseEvent(QMouseEvent *event)
{
    m_grid->userRelease(this, false, event);
    event->accept();
}

void GridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_grid->userDoubleClick(this, event);
    event->accept();
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    CursorAction action;
    switch (event->key()) {
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_Left:
        action = MoveLeft;
        break;
    case Qt::Key_Right:
        action = MoveRight;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    default:
        // Enter, Escape and the rest belong to the window around the grid.
        event->ignore();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const int fixedRows = m_grid->fixedRows();
    const int fromRow = (extend ? m_grid->rowSel() : m_grid->row()) - fixedRows;
    const int fromCol = extend ? m_grid->colSel() : m_grid->col();
    const QModelIndex from = model()->index(fromRow, fromCol);
    if (from.isValid())
        selectionModel()->setCurrentIndex(from, QItemSelectionModel::NoUpdate);
    const QModelIndex next = moveCursor(action, event->modifiers());
    if (next.isValid()) {
        m_grid->userMoveCursor(next.row() + fixedRows, next.column(), extend);
        scrollTo(next);
    }
    event->accept();
}

// --- Grid -------------------------------------------------------------------

Grid::Grid(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    m_model = new GridModel(this);
    m_frozen = new GridView(this);
    m_frozen->setObjectName(QStringLiteral("fixedColumnsView"));
    m_view = new GridView(this);
    m_view->setObjectName(QStringLiteral("cellsView"));
    m_frozen->setModel(m_model);
    m_view->setModel(m_model);
    m_frozen->setSelectionModel(m_view->selectionModel());
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_frozen);
    layout->addWidget(m_view, 1);
    setFocusProxy(m_view);

    // Both views scroll together vertically.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, m_frozen->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(m_frozen->verticalScrollBar(), &QScrollBar::valueChanged, m_view->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_applying || !m_view->isVisible())
            return;
        const int r = m_view->rowAt(0);
        if (r >= 0)
            m_topRow = r + fixedRows();
    });
    // The fixed columns get an (empty) horizontal scroll bar whenever the
    // other columns have one, so both views end at the same row.
    connect(m_view->horizontalScrollBar(), &QScrollBar::rangeChanged, this,
            [this](int min, int max) {
                m_frozen->setHorizontalScrollBarPolicy(max > min ? Qt::ScrollBarAlwaysOn
                                                                 : Qt::ScrollBarAlwaysOff);
            });
    // Widths the user drags are kept in twips like any other width.
    for (GridView *view : {m_view, m_frozen}) {
        connect(view->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int logical, int, int newSize) {
                    // Only drags on a title change stored widths; the views
                    // also resize sections when they rebuild or hide them.
                    if (m_applying || !m_headerPressed)
                        return;
                    m_userResized = true;
                    m_model->setColWidth(logical, newSize * ui::kTwipsPerPixel);
                });
        view->horizontalHeader()->viewport()->installEventFilter(this);
    }

    connect(m_model, &GridModel::geometrySettingsChanged, this, &Grid::applyGeometry);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        clampCurrentCell();
        applyGeometry();
        applySelection();
        applyTopRow();
    });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        clampCurrentCell();
        applySelection();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        clampCurrentCell();
        applySelection();
    });

    // MSFlexGrid starts with two rows and two columns, one of each fixed.
    m_model->setShape(2, 2);
    m_model->setFixedRows(1);
    m_model->setFixedCols(1);
    m_row = m_rowSel = 1;
    m_col = m_colSel = 1;
    applyGeometry();
}

Grid::~Grid() = default;

int Grid::rows() const
{
    return m_model->rows();
}

void Grid::setRows(int rows)
{
    m_model->setShape(rows, m_model->cols());
    clampCurrentCell();
}

int Grid::cols() const
{
    return m_model->cols();
}

void Grid::setCols(int cols)
{
    m_model->setShape(m_model->rows(), cols);
    clampCurrentCell();
}

int Grid::fixedRows() const
{
    return m_model->fixedRows();
}

void Grid::setFixedRows(int n)
{
    m_model->setFixedRows(n);
}

int Grid::fixedCols() const
{
    return m_model->fixedCols();
}

void Grid::setFixedCols(int n)
{
    m_model->setFixedCols(n);
}

int Grid::dataRows() const
{
    return m_model->dataRows();
}

QString Grid::textMatrix(int row, int col) const
{
    return m_model->text(row, col);
}

const QString &Grid::cellText(int row, int col) const
{
    return m_model->text(row, col);
}

void Grid::setTextMatrix(int row, int col, const QString &text)
{
    m_model->setText(row, col, text);
}

void Grid::setTextMatrix(int row, int col, QString &&text)
{
    m_model->setText(row, col, std::move(text));
}

int Grid::colWidth(int col) const
{
    return m_model->colWidth(col);
}

void Grid::setColWidth(int col, int twips)
{
    m_model->setColWidth(col, twips);
}

void Grid::setColWidths(const QVector<int> &twips)
{
    m_model->setColWidths(twips);
}

int Grid::rowHeight(int row) const
{
    if (row < 0 || row >= rows())
        return 0;
    const int setting = m_model->rowHeightSetting(row);
    if (setting >= 0)
        return setting;
    if (row == fixedRows() - 1)
        return displayedHeaderPixels() * ui::kTwipsPerPixel;
    return defaultRowPixels() * ui::kTwipsPerPixel;
}

void Grid::setRowHeight(int row, int twips)
{
    m_model->setRowHeightSetting(row, std::max(0, twips));
}

int Grid::colAlignment(int col) const
{
    return m_model->alignment(col);
}

void Grid::setColAlignment(int col, int code)
{
    m_model->setAlignment(col, code);
}

QColor Grid::cellForeColor(int row, int col) const
{
    return m_model->foreColor(row, col);
}

void Grid::setCellForeColor(int row, int col, const QColor &color)
{
    m_model->setForeColor(row, col, color);
}

QColor Grid::cellBackColor(int row, int col) const
{
    return m_model->backColor(row, col);
}

void Grid::setCellBackColor(int row, int col, const QColor &color)
{
    m_model->setBackColor(row, col, color);
}

bool Grid::cellFontBold(int row, int col) const
{
    return m_model->bold(row, col);
}

void Grid::setCellFontBold(int row, int col, bool bold)
{
    m_model->setBold(row, col, bold);
}

void Grid::setRow(int row)
{
    if (rows() == 0)
        return;
    m_row = m_rowSel = std::clamp(row, 0, rows() - 1);
    applySelection();
}

void Grid::setCol(int col)
{
    if (cols() == 0)
        return;
    m_col = m_colSel = std::clamp(col, 0, cols() - 1);
    applySelection();
}

void Grid::setRowSel(int row)
{
    if (rows() == 0)
        return;
    m_rowSel = std::clamp(row, 0, rows() - 1);
    applySelection();
}

void Grid::setColSel(int col)
{
    if (cols() == 0)
        return;
    m_colSel = std::clamp(col, 0, cols() - 1);
    applySelection();
}

int Grid::topRow() const
{
    if (m_view->isVisible() && dataRows() > 0) {
        const int r = m_view->rowAt(0);
        if (r >= 0)
            return r + fixedRows();
    }
    return m_topRow;
}

void Grid::setTopRow(int row)
{
    if (dataRows() == 0)
        return;
    m_topRow = std::clamp(row, fixedRows(), rows() - 1);
    applyTopRow();
}

int Grid::leftCol() const
{
    const int c = m_view->columnAt(0);
    return c < 0 ? cols() : std::max(c, fixedCols());
}

int Grid::widthTwips() const
{
    return width() * ui::kTwipsPerPixel;
}

int Grid::fixedRowsHeight() const
{
    int total = 0;
    for (int r = 0; r < fixedRows(); ++r)
        total += rowHeight(r);
    return total;
}

int Grid::fixedColsWidth() const
{
    int total = 0;
    for (int c = 0; c < fixedCols(); ++c)
        total += colWidth(c);
    return total;
}

void Grid::sortDataRows(int col, bool numeric, bool ascending)
{
    const int first = fixedRows();
    const int count = dataRows();
    if (count < 2 || col < 0 || col >= cols())
        return;
    QVector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    if (numeric) {
        QVector<double> keys(count);
        for (int i = 0; i < count; ++i)
            keys[i] = store::leadingNumber(m_model->text(first + i, col));
        if (ascending)
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return keys[a] < keys[b]; });
        else
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return keys[b] < keys[a]; });
    } else {
        auto key = [&](int i) -> const QString & {
            return m_model->text(first + i, col);
        };
        if (ascending)
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                return QString::compare(key(a), key(b), Qt::CaseSensitive) < 0;
            });
        else
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                return QString::compare(key(b), key(a), Qt::CaseSensitive) < 0;
            });
    }
    m_model->permuteDataRows(order);
}

void Grid::removeRows(int row, int count)
{
    m_model->removeGridRows(row, count);
    clampCurrentCell();
    applySelection();
}

void Grid::beginUpdate()
{
    if (m_updateDepth++ == 0) {
        setUpdatesEnabled(false);
        m_model->beginBatch();
    }
}

void Grid::endUpdate()
{
    if (m_updateDepth <= 0)
        return;
    if (--m_updateDepth == 0) {
        m_model->endBatch(); // the reset applies layout and selection
        setUpdatesEnabled(true);
    }
}

void Grid::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    applyTopRow();
}

void Grid::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyGeometry();
}

int Grid::defaultRowPixels() const
{
    // Room above and below the tallest glyphs, so that no character touches
    // the grid lines.
    return QFontMetrics(font()).height() + 8;
}

int Grid::displayedHeaderPixels() const
{
    const int titleRow = fixedRows() - 1;
    if (titleRow < 0)
        return 0;
    const int setting = m_model->rowHeightSetting(titleRow);
    return setting >= 0 ? ui::pixels(setting) : defaultRowPixels() + 2;
}

void Grid::clampCurrentCell()
{
    const int rowCount = rows();
    const int colCount = cols();
    // While there are data rows the current cell sits on one of them.
    auto clampRow = [&](int r) {
        if (rowCount == 0)
            return 0;
        if (dataRows() > 0 && r < fixedRows())
            r = fixedRows();
        return std::clamp(r, 0, rowCount - 1);
    };
    auto clampCol = [&](int c) {
        return colCount == 0 ? 0 : std::clamp(c, 0, colCount - 1);
    };
    m_row = clampRow(m_row);
    m_rowSel = clampRow(m_rowSel);
    m_col = clampCol(m_col);
    m_colSel = clampCol(m_colSel);
}

void Grid::applyGeometry()
{
    if (m_updateDepth > 0 || m_model->inBatch())
        return;
    m_applying = true;
    const int fixed = fixedCols();
    const int colCount = cols();
    const int headerPixels = displayedHeaderPixels();
    const int rowPixels = defaultRowPixels();
    int frozenWidth = 0;
    for (GridView *view : {m_view, m_frozen}) {
        QHeaderView *header = view->horizontalHeader();
        for (int c = 0; c < colCount; ++c) {
            const int width = ui::pixels(colWidth(c));
            const bool inView = (view == m_view) != (c < fixed);
            const bool hidden = !inView || colWidth(c) == 0;
            if (header->isSectionHidden(c) != hidden)
                header->setSectionHidden(c, hidden);
            if (!hidden && header->sectionSize(c) != width)
                header->resizeSection(c, width);
            if (!hidden && view == m_frozen)
                frozenWidth += width;
        }
        header->setVisible(headerPixels > 0);
        header->setFixedHeight(headerPixels);
        QHeaderView *rowsHeader = view->verticalHeader();
        if (rowsHeader->defaultSectionSize() != rowPixels)
            rowsHeader->setDefaultSectionSize(rowPixels);
        if (m_model->hasRowHeights()) {
            const int first = fixedRows();
            for (int r = 0; r < dataRows(); ++r) {
                const int setting = m_model->rowHeightSetting(first + r);
                const int pixels = setting >= 0 ? ui::pixels(setting) : rowPixels;
                if (rowsHeader->sectionSize(r) != pixels)
                    rowsHeader->resizeSection(r, pixels);
            }
        }
    }
    m_frozen->setVisible(frozenWidth > 0);
    m_frozen->setFixedWidth(frozenWidth);
    m_applying = false;
}

void Grid::applySelection()
{
    if (m_updateDepth > 0 || m_model->inBatch())
        return;
    QItemSelectionModel *selection = m_view->selectionModel();
    const int first = fixedRows();
    if (dataRows() == 0 || cols() == 0 || m_row < first) {
        selection->clear();
        return;
    }
    const int last = rows() - 1;
    const int top = std::clamp(std::min(m_row, m_rowSel), first, last) - first;
    const int bottom = std::clamp(std::max(m_row, m_rowSel), first, last) - first;
    selection->select(QItemSelection(m_model->index(top, 0), m_model->index(bottom, cols() - 1)),
                      QItemSelectionModel::ClearAndSelect);
    selection->setCurrentIndex(m_model->index(m_row - first, m_col), QItemSelectionModel::NoUpdate);
}

void Grid::applyTopRow()
{
    if (m_updateDepth > 0 || m_model->inBatch() || dataRows() == 0)
        return;
    m_topRow = std::clamp(m_topRow, fixedRows(), rows() - 1);
    m_applying = true;
    m_view->refreshGeometries();
    m_view->verticalScrollBar()->setValue(m_topRow - fixedRows());
    m_applying = false;
}

QPoint Grid::toTwips(const GridView *view, bool header, const QPoint &pos)
{
    const int first = fixedRows();
    int y = 0;
    if (header) {
        int above = 0;
        for (int r = 0; r < first - 1; ++r)
            above += rowHeight(r);
        const int titleHeight = rowHeight(first - 1);
        y = above + std::clamp(pos.y() * ui::kTwipsPerPixel, 0, std::max(0, titleHeight - 1));
        m_mouseRow = first - 1;
    } else {
        y = fixedRowsHeight() + std::max(0, pos.y()) * ui::kTwipsPerPixel;
        const int r = view->rowAt(pos.y());
        m_mouseRow = r < 0 ? -1 : r + first;
    }

    // x is measured per column, so a position inside a column always maps
    // into that column's span of twips whatever the pixel rounding.
    const int c = view->columnAt(pos.x());
    m_mouseCol = c;
    int x = 0;
    if (view == m_frozen) {
        if (c < 0) {
            x = std::max(0, pos.x()) * ui::kTwipsPerPixel;
        } else {
            int left = 0;
            for (int k = 0; k < c; ++k)
                left += colWidth(k);
            const int offset = (pos.x() - view->columnViewportPosition(c)) * ui::kTwipsPerPixel;
            x = left + std::clamp(offset, 0, std::max(0, colWidth(c) - 1));
        }
    } else {
        int left = fixedColsWidth();
        const int start = leftCol();
        const int end = c < 0 ? cols() : c;
        for (int k = start; k < end; ++k)
            left += colWidth(k);
        if (c < 0) {
            x = left + 1;
        } else {
            const int offset = (pos.x() - view->columnViewportPosition(c)) * ui::kTwipsPerPixel;
            x = left + std::clamp(offset, 1, std::max(1, colWidth(c) - 1));
        }
    }
    return QPoint(x, y);
}

void Grid::userPress(const GridView *view, bool header, QMouseEvent *event)
{
    const QPoint twips = toTwips(view, header, event->position().toPoint());
    m_userResized = false;
    if (!header && event->button() == Qt::LeftButton && m_mouseRow >= fixedRows()
        && m_mouseCol >= 0) {
        if (event->modifiers() & Qt::ShiftModifier) {
            m_rowSel = m_mouseRow;
            m_colSel = m_mouseCol;
        } else {
            m_row = m_rowSel = m_mouseRow;
            m_col = m_colSel = m_mouseCol;
        }
        m_dragging = true;
        applySelection();
        emit selectionChanged();
    }
    if (!header)
        const_cast<GridView *>(view)->setFocus(Qt::MouseFocusReason);
    emit mouseDown(event->button(), event->modifiers(), twips.x(), twips.y());
}

void Grid::userMove(const GridView *view, QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint pos = event->position().toPoint();
    const int height = view->viewport()->height();
    QScrollBar *bar = m_view->verticalScrollBar();
    // Dragging past the top or bottom edge scrolls one row per move.
    if (pos.y() < 0)
        bar->setValue(bar->value() - 1);
    else if (pos.y() >= height)
        bar->setValue(bar->value() + 1);
    const int y = std::clamp(pos.y(), 0, std::max(0, height - 1));
    const int r = view->rowAt(y);
    const int c
            = view->columnAt(std::clamp(pos.x(), 0, std::max(0, view->viewport()->width() - 1)));
    if (r < 0)
        return;
    const int row = r + fixedRows();
    const int col = c < 0 ? m_colSel : c;
    if (row == m_rowSel && col == m_colSel)
        return;
    m_rowSel = row;
    m_colSel = col;
    applySelection();
    emit selectionChanged();
}

void Grid::userRelease(const GridView *view, bool header, QMouseEvent *event)
{
    const QPoint twips = toTwips(view, header, event->position().toPoint());
    m_dragging = false;
    emit mouseUp(event->button(), event->modifiers(), twips.x(), twips.y());
    if (event->button() == Qt::LeftButton) {
        if (!header)
            emit clicked();
        else if (!m_userResized && m_mouseCol >= 0)
            emit headerClicked(m_mouseCol);
    } else if (event->button() == Qt::RightButton) {
        emit rightClicked(event->globalPosition().toPoint());
    }
    m_userResized = false;
}

void Grid::userDoubleClick(const GridView *view, QMouseEvent *event)
{
    userPress(view, false, event);
    if (event->button() == Qt::LeftButton && m_mouseRow >= fixedRows())
        emit doubleClicked();
}

void Grid::userMoveCursor(int row, int col, bool extend)
{
    if (extend) {
        m_rowSel = row;
        m_colSel = col;
    } else {
        m_row = m_rowSel = row;
        m_col = m_colSel = col;
    }
    applySelection();
    emit selectionChanged();
}

bool Grid::eventFilter(QObject *watched, QEvent *event)
{
    const GridView *view = nullptr;
    if (watched == m_view->horizontalHeader()->viewport())
        view = m_view;
    else if (watched == m_frozen->horizontalHeader()->viewport())
        view = m_frozen;
    if (view) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_headerPressed = true;
            userPress(view, true, static_cast<QMouseEvent *>(event));
            break;
        case QEvent::MouseButtonRelease:
            userRelease(view, true, static_cast<QMouseEvent *>(event));
            m_headerPressed = false;
            break;
        default:
            break;
        }
    }
    // The header still handles the event (column resizing).
    return QFrame::eventFilter(watched, event);
}

} // namespace grid
