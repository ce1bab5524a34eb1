// The grid widget and the grid operations that need no database.

#include "grid/grid.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"
#include "testsupport.h"

#include "ui/helpers.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using grid::Grid;
using namespace Qt::StringLiterals;
using testsupport::column;

namespace {

const QStringList kKeys{"ID", "", "Name", "Price", "Memo"};
const QStringList kTitles{"ID", "序号", "名称", "价格", "备注"};

// A list grid of rows from column 2 on: IDs 101…, numbers 1…, the price right-aligned.
void fillList(Grid &grid, const QVector<QStringList> &rows)
{
    grid::SetupGridColumns(grid, kKeys, kTitles);
    grid.setRows(2 + int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        grid.setTextMatrix(2 + i, 0, QString::number(101 + i));
        grid.setTextMatrix(2 + i, 1, QString::number(i + 1));
        for (int c = 0; c < rows.at(i).size(); ++c)
            grid.setTextMatrix(2 + i, 2 + c, rows.at(i).at(c));
    }
    grid.setColAlignment(3, grid::kAlignRightBottom);
}

// Rows for fillList written as "a,1.00;b,2.00".
QVector<QStringList> table(const QString &text)
{
    QVector<QStringList> rows;
    for (const QString &row : text.split(QLatin1Char(';')))
        rows << row.split(QLatin1Char(','));
    return rows;
}

// What FitGridColumns must give, measured cell by cell.
int expectedWidth(const Grid &grid, int col, int firstRow)
{
    if (col < grid.fixedCols() - 1)
        return 0;
    const QFontMetrics metrics(grid.font());
    const int start = grid.dataRows() == 0 ? 0 : firstRow;
    int widest = 0;
    for (int r = start; r < grid.rows(); ++r)
        widest = std::max(widest, metrics.horizontalAdvance(grid.textMatrix(r, col)));
    double w = widest * 15.0;
    if (w != 0)
        w = std::max(w,
                     metrics.horizontalAdvance(grid.textMatrix(grid.fixedRows() - 1, col)) * 15.0);
    w = w != 0 ? w + 100 : 50;
    w = std::min(w, grid.widthTwips() / 2.0);
    return int(std::lround(w + 20));
}

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

private slots:
    // Keys hidden in row 0, titles in row 1; rows taller than their glyphs by a few pixels.
    void setupBuildsTheListLayout()
    {
        Grid grid;
        fillList(grid, table(u"钢管Ag,3.00"_s));
        for (const int points : {9, 14}) {
            QFont font = grid.font();
            font.setPointSize(points);
            grid.setFont(font);
            const int glyphs = QFontMetrics(font).height();
            QVERIFY2(grid.rowHeight(2) / 15 >= glyphs + 6, qPrintable(QString::number(glyphs)));
        }
        grid::SetupGridColumns(grid, kKeys, kTitles);
        QCOMPARE(QList<int>({grid.cols(), grid.rows(), grid.fixedRows(), grid.fixedCols()}),
                 QList<int>({5, 2, 2, 2}));
        QCOMPARE(grid.colAlignment(3), grid::kAlignLeftTop); // was 8 before setup
        grid::SetupGridColumns(grid, {u"ID"_s}, {});
        QCOMPARE(QStringList({grid.textMatrix(1, 1), grid.textMatrix(0, 2),
                              QString::number(grid.cols())}),
                 QStringList({"序号", "Name", "5"}));
    }

    // Colours go with their cells as rows come and go; new cells are empty.
    void rowsKeepTheirFormats()
    {
        Grid grid;
        fillList(grid, table(u"a;b;c;d"_s));
        grid.setCellBackColor(5, 2, Qt::green);
        grid.setCols(6);
        QCOMPARE(grid.cellBackColor(5, 2), QColor(Qt::green));
        QVERIFY(!grid.cellBackColor(5, 5).isValid());
        grid.setRow(5);
        grid.removeRows(3, 2);
        QCOMPARE(column(grid, 2) + column(grid, 1), (QStringList{"a", "d", "1", "4"}));
        QCOMPARE(grid.cellBackColor(3, 2), QColor(Qt::green));
        QCOMPARE(grid.row(), 3);
        grid.setRows(3);
        QCOMPARE(grid.row(), 2);
        grid.setRows(4);
        QVERIFY(grid.textMatrix(3, 2).isEmpty() && !grid.cellBackColor(3, 2).isValid());
        grid.setTextMatrix(10, 10, u"y"_s); // outside: ignored
        QCOMPARE(grid.textMatrix(10, 10), QString());

        // Row text colour and cell background in the stored (BGR) colour form.
        grid::PaintGridRow(grid, 3, 255);
        for (int c = 0; c < grid.cols(); ++c)
            QCOMPARE(grid.cellForeColor(3, c), QColor(255, 0, 0));
        QVERIFY(!grid.cellForeColor(2, 2).isValid());
        grid::PaintGridCell(grid, 2, 3, 0xFF3300);
        QCOMPARE(grid.cellBackColor(2, 3), QColor(0x00, 0x33, 0xFF));
        const grid::GridModel *model = grid.model();
        QCOMPARE(model->data(model->index(1, 0), Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(255, 0, 0));
    }

    // The model shows the data rows under row 1; a batch reaches the views once, at its end.
    void modelShowsDataRowsUnderTitles()
    {
        Grid grid;
        fillList(grid, table(u"钢管,3.00;角铁,4.50"_s));
        const grid::GridModel *model = grid.model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(QStringList({model->headerData(2, Qt::Horizontal).toString(),
                              model->data(model->index(1, 2)).toString()}),
                 QStringList({"名称", "角铁"}));

        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        {
            grid::GridBatch batch(grid);
            grid.setRows(1002);
            for (int r = 2; r < 1002; ++r)
                grid.setTextMatrix(r, 2, QString::number(r));
        }
        QCOMPARE(QList<int>({int(changed.count()), int(reset.count()), model->rowCount()}),
                 QList<int>({0, 1, 1000}));
    }

    // PutCell writes by value type, right-aligning numbers found on the first data row only.
    void putCellFormatsByType()
    {
        const QDateTime afternoon(QDate(2024, 3, 5), QTime(14, 7, 30));
        // key, value, date only, row, text, alignment
        const std::tuple<const char *, QVariant, bool, int, const char *, int> cases[]
                = {{"Pay", 2.675, true, 2, "2.68", 8},
                   {"CD", qlonglong(7), true, 2, "07", 8},
                   {"CD", qlonglong(-7), true, 2, "-07", 8},
                   {"CID", qlonglong(7), true, 2, "7", 8},
                   {"Pay", 3.0, true, 3, "3.00", 0},
                   {"Dat", afternoon, false, 2, "2024.03.05 14:07", 0},
                   {"Flag", false, true, 2, "", 0},
                   {"Name", u" 12 "_s, true, 2, " 12 ", 0},
                   {"Name", QVariant(), true, 2, "old", 0},
                   {"Num", 2.5f, true, 2, "2.5", 0}};
        for (const auto &[key, value, dateOnly, row, text, alignment] : cases) {
            Grid grid;
            grid::SetupGridColumns(grid, {"ID", "", QString::fromLatin1(key)},
                                   {"ID", "序号", "值"});
            grid.setRows(4);
            grid.setTextMatrix(row, 2, u"old"_s);
            grid::PutCell(grid, row, 2, value, dateOnly);
            QCOMPARE(grid.textMatrix(row, 2), QString::fromUtf8(text));
            QCOMPARE(grid.colAlignment(2), alignment);
        }
    }

    // Widths from content in twips: ID 0, empty 70, at most half the grid, title only with content.
    void fitGridColumns()
    {
        Grid grid;
        grid.resize(400, 300);
        QVector<QStringList> rows;
        for (int i = 0; i < 300; ++i)
            rows << QStringList{i % 7 == 0 ? u"上海钢铁贸易有限公司"_s : u"钢管"_s,
                                QString::number(i * 13.25, 'f', 2), QString()};
        fillList(grid, rows);
        grid.setTextMatrix(20, 4, QString(80, QLatin1Char('W'))); // wider than half the grid
        grid::FitGridColumns(grid, 1);
        QCOMPARE(grid.colWidth(0), 0);
        for (int c = 1; c < grid.cols(); ++c)
            QCOMPARE(grid.colWidth(c), expectedWidth(grid, c, 1));
        QCOMPARE(grid.colWidth(4), 400 * 15 / 2 + 20);

        // From the data rows only: a short column keeps the width of its text.
        grid.setTextMatrix(20, 4, u"1"_s);
        grid::FitGridColumns(grid, 2);
        QCOMPARE(grid.colWidth(4),
                 QFontMetrics(grid.font()).horizontalAdvance(u"备注"_s) * 15 + 120);

        // An empty column gets 50 + 20; without data rows the keys count too.
        Grid empty;
        grid::SetupGridColumns(empty, {"ID", "", ""}, {"ID", "序号", ""});
        grid::FitGridColumns(empty, 1);
        QCOMPARE(empty.colWidth(2), 70);
        QCOMPARE(empty.colWidth(1), expectedWidth(empty, 1, 0));
    }

    // Numbers sort by number, others as case-sensitive text; a second click turns the order round.
    void sortByColumn()
    {
        Grid grid;
        fillList(grid, table(u"b,10.00;B,9.00;a,100.00;a,9.00"_s));
        grid.setColAlignment(3, grid::kAlignCenterCenter); // centred numbers count as numbers too
        grid.setCellForeColor(3, 2, Qt::red);              // the row of "B"

        // Price, ID and number columns and the price title; equal keys keep their order.
        const auto sorted = [&grid] {
            return QStringList({column(grid, 3).join(' '), column(grid, 0).join(' '),
                                column(grid, 1).join(' '), grid.textMatrix(1, 3)});
        };
        grid::SortGridByColumn(grid, 3);
        QCOMPARE(sorted(),
                 QStringList({"9.00 9.00 10.00 100.00", "102 104 101 103", "1 2 3 4", "价格△"}));
        QCOMPARE(grid.cellForeColor(2, 2), QColor(Qt::red)); // the colour went with its row
        grid::SortGridByColumn(grid, 3);
        QCOMPARE(sorted(),
                 QStringList({"100.00 10.00 9.00 9.00", "103 101 102 104", "1 2 3 4", "价格▽"}));

        // A text column: code-point order, upper case first; the other mark goes.
        grid::SortGridByColumn(grid, 2);
        QCOMPARE(column(grid, 2), (QStringList{"B", "a", "a", "b"}));
        QCOMPARE(QStringList({grid.textMatrix(1, 2), grid.textMatrix(1, 3)}),
                 QStringList({"名称△", "价格"}));
    }

    // Title clicks over the fixed columns refit, over a column sort it; lower clicks do nothing.
    void headerClickSortsOrRefits()
    {
        Grid grid;
        grid.resize(800, 300);
        fillList(grid, table(u"b,1.00;a,2.00"_s));
        grid.setColWidths({0, 500, 1000, 1000, 1000});
        const int titleY = grid.fixedRowsHeight() - 1;
        grid::GridHeaderClick(grid, 1600, grid.fixedRowsHeight()); // a data row
        QCOMPARE(column(grid, 2), (QStringList{"b", "a"}));
        grid::GridHeaderClick(grid, 1000, titleY); // 名称: 500 ≤ x < 1500
        QCOMPARE(column(grid, 2), (QStringList{"a", "b"}));
        QCOMPARE(grid::ColumnAtX(grid, 1500), 3);
        QCOMPARE(grid::ColumnAtX(grid, 4000), -1);
        grid::GridHeaderClick(grid, 499, titleY); // on the fixed columns: refit
        QCOMPARE(grid.colWidth(2), expectedWidth(grid, 2, 1));
    }

    // Search skips ID and number columns, starts after the current row, wraps and minds case.
    void searchGrid()
    {
        testsupport::ScriptedPrompts prompts;
        Grid grid;
        grid.resize(600, 200);
        QVector<QStringList> rows;
        for (int i = 0; i < 40; ++i)
            rows << QStringList{u"item%1"_s.arg(i), u"1.00"_s, QString()};
        rows[5][2] = u"Steel pipe"_s;
        rows[30][2] = u"steel bar"_s;
        fillList(grid, rows);

        grid.setRow(10);
        grid::SearchGrid(grid, u"steel"_s);
        QCOMPARE(QList<int>({grid.row(), grid.colSel(), grid.topRow()}), QList<int>({32, 4, 32}));
        // Wrapping; the only match again; no match; the next row, not this one; nothing to find.
        const std::tuple<const char *, int, int> searches[]
                = {{"pipe", 7, 0}, {"pipe", 7, 0}, {"110", 7, 1},
                   {"PIPE", 7, 2}, {"item", 8, 2}, {"", 8, 2}};
        for (const auto &[text, row, messages] : searches) {
            grid::SearchGrid(grid, QString::fromLatin1(text));
            QCOMPARE(grid.row(), row);
            QCOMPARE(prompts.messages, QStringList(messages, u"没有查到匹配的记录！"_s));
        }
    }

    // Tick marks: one choice or several, by selection or by a title click.
    void toggleTickColumn()
    {
        Grid grid;
        fillList(grid, QVector<QStringList>(4, {QString(), QString()}));
        grid.setColWidths({0, 500, 1000, 1000, 1000});
        grid.setTextMatrix(2, 3, u"9"_s);
        grid.setTextMatrix(3, 3, u"1"_s);
        const int tick = 2; // spans x 500..1499
        const int below = grid.fixedRowsHeight() + 100;
        const int title = grid.fixedRowsHeight() - 1;
        // One choice marks the current row; a drag from 5 up to 3 follows row 5; a title marks all.
        const std::tuple<int, int, int, int, bool, const char *> steps[]
                = {{3, 3, 800, below, false, ",√,,"},   {5, 5, 800, below, false, ",,,√"},
                   {2, 2, 2000, below, true, ",,,√"},   {5, 3, 2000, below, true, ",,,"},
                   {5, 3, 2000, below, true, ",√,√,√"}, {2, 2, 800, title, true, "√,√,√,√"},
                   {2, 2, 800, title, true, ",,,"}};
        for (const auto &[row, rowSel, x, y, several, marks] : steps) {
            grid.setRow(row);
            grid.setRowSel(rowSel);
            grid::ToggleTickColumn(grid, tick, x, y, several);
            QCOMPARE(column(grid, tick), QString::fromUtf8(marks).split(QLatin1Char(',')));
        }
        // Another title sorts instead.
        grid::ToggleTickColumn(grid, tick, 2000, title, true);
        QCOMPARE(grid.textMatrix(1, 3), u"价格△"_s);
        QCOMPARE(column(grid, tick), QStringList(4, QString()));
    }

    // Numeric range of a block, pairs in either order, largest from 0, cut to the grid.
    void gridBlockRange()
    {
        Grid grid;
        fillList(grid, table(u"5,12.5元;-3,;abc,200"_s));
        const std::tuple<int, int, int, int, double, double> cases[]
                = {{3, 2, 4, 2, 200, -3},
                   {2, 2, 3, 3, 0, -3},
                   {3, 3, 2, 2, 12.5, 12.5},
                   {3, 30, 2, 99, 200, 0},
                   {3, 3, 50, 60, 0, 99999999999.0}};
        for (const auto &[firstCol, lastCol, firstRow, lastRow, largest, least] : cases) {
            double smallest = 0;
            QCOMPARE(grid::GridBlockRange(grid, firstCol, lastCol, firstRow, lastRow, smallest),
                     largest);
            QCOMPARE(smallest, least);
        }
    }

    // A drag selects whole rows; the mouse signals carry twips and the clicked column.
    void mouseSelectsAndReportsTwips()
    {
        Grid grid;
        grid.resize(700, 400);
        fillList(grid, QVector<QStringList>(20, {u"n"_s, u"1.00"_s, QString()}));
        grid.setColWidths({0, 600, 1500, 1500, 1500});
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        auto *view = grid.findChild<QTableView *>(u"cellsView"_s);
        QVERIFY(view);

        QSignalSpy ups(&grid, &Grid::mouseUp);
        QSignalSpy clicks(&grid, &Grid::clicked);
        QSignalSpy titles(&grid, &Grid::headerClicked);
        const auto press = [](QWidget *target, const QPoint &from, const QPoint &to) {
            sendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
            sendMouse(target, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            sendMouse(target, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        };
        const int x = view->columnViewportPosition(3) + 10;
        press(view->viewport(), QPoint(x, view->rowViewportPosition(6) + 3),
              QPoint(x, view->rowViewportPosition(2) + 3));
        QCOMPARE(QList<int>({grid.row(), grid.rowSel(), grid.col(), int(clicks.count()),
                             int(ups.count())}),
                 QList<int>({8, 4, 3, 1, 1}));
        QCOMPARE(grid::ColumnAtX(grid, ups.at(0).at(2).toInt()), 3);
        QVERIFY(ups.at(0).at(3).toInt() >= grid.fixedRowsHeight());
        QCOMPARE(view->selectionModel()->selectedRows().size(), 5); // grid rows 4..8

        // A title click: y inside the title row, x inside the column.
        const QPoint onTitle(view->columnViewportPosition(2) + 5, 5);
        press(view->horizontalHeader()->viewport(), onTitle, onTitle);
        QCOMPARE(QList<int>({int(titles.count()), titles.at(0).at(0).toInt(),
                             grid::ColumnAtX(grid, ups.last().at(2).toInt())}),
                 QList<int>({1, 2, 2}));
        QVERIFY(ups.last().at(3).toInt() < grid.fixedRowsHeight());
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
