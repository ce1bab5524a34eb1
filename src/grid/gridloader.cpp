#include "gridloader.h"

#include "grid.h"
#include "gridops.h"

#include "store/access.h"
#include "store/formatting.h"
#include "store/prompts.h"
#include "ui/progress.h"

#include <QDateTime>
#include <QHash>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace grid {

namespace {

const QString kNumberTitle = QStringLiteral("序号");

// The texts of values seen shortly before in one column, in a fixed table
// indexed by a hash of the value. A repeated price or day is formatted once
// and its text shared by every cell, while a column of all-different amounts
// costs no more than formatting them: the table never grows or rehashes.
// It has a slot per row up to 4,096, so short lists stay cheap to load.
class RecentTexts
{
public:
    explicit RecentTexts(int rows = 0)
    {
        while (m_bits < kMaxBits && (1 << m_bits) < rows)
            ++m_bits;
    }

    template<typename Make>
    const QString &text(quint64 key, Make make)
    {
        Slot &slot = slotFor(key);
        if (!slot.used || slot.key != key) {
            slot.text = make();
            slot.key = key;
            slot.used = true;
        }
        return slot.text;
    }

    // The stored copy of a text seen shortly before, or the text itself,
    // kept for next time. Names repeat down a column; sharing one string
    // saves memory and lets the fitting measure each name once.
    const QString &shared(const QString &text)
    {
        const quint64 key = qHash(text);
        Slot &slot = slotFor(key);
        if (!slot.used || slot.key != key || slot.text != text) {
            slot.text = text;
            slot.key = key;
            slot.used = true;
        }
        return slot.text;
    }

private:
    static constexpr int kMaxBits = 12;
    struct Slot
    {
        quint64 key = 0;
        bool used = false;
        QString text;
    };

    Slot &slotFor(quint64 key)
    {
        if (m_slots.empty())
            m_slots.resize(size_t(1) << m_bits);
        return m_slots[size_t((key * 0x9E3779B97F4A7C15ULL) >> (64 - m_bits))];
    }

    int m_bits = 4;
    std::vector<Slot> m_slots;
};

// How one column is filled, worked out once per load from its key.
struct ColumnPlan
{
    enum class Kind { Empty, RunningNumber, Lookup, Field };
    Kind kind = Kind::Empty;
    int field = -1; // record-set column of the field (or of the lookup key)
    QString table;
    QString keyField;
    QString resultField;
    // Each name is looked up once per load; prices and days are formatted
    // once while they keep coming back.
    QHash<QString, QString> lookups;
    RecentTexts texts;
};

QString lookupText(const QVariant &value, bool dateOnly)
{
    if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate)
        return store::FormatCell(value, dateOnly);
    return value.toString();
}

// PutCell with the per-column text table. Doubles and dates give the same
// text as PutCell: the key holds everything their text depends on.
void putField(Grid &grid, int row, int col, const QVariant &value, bool dateOnly, ColumnPlan &plan,
              bool colourColumn)
{
    if (colourColumn)
        return PutCell(grid, row, col, value, dateOnly);
    const int type = value.typeId();
    if (type == QMetaType::Double) {
        const double number = value.toDouble();
        quint64 bits;
        std::memcpy(&bits, &number, sizeof bits);
        grid.setTextMatrix(row, col, plan.texts.text(bits, [&] {
            return store::FormatCell(value, dateOnly);
        }));
        if (row == grid.fixedRows())
            grid.setColAlignment(col, kAlignRightBottom);
    } else if (type == QMetaType::QDateTime) {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return;
        const QDate day = dt.date();
        const QTime time = dt.time();
        const qint64 minutes = day.toJulianDay() * 1440 + time.hour() * 60 + time.minute();
        const quint64 key = quint64(dateOnly ? day.toJulianDay() : minutes);
        grid.setTextMatrix(
                row, col, plan.texts.text(key, [&] { return store::FormatCell(value, dateOnly); }));
    } else if (type == QMetaType::QString) {
        const QString text = value.toString();
        grid.setTextMatrix(row, col, text.isEmpty() ? text : plan.texts.shared(text));
    } else {
        PutCell(grid, row, col, value, dateOnly);
    }
}

// A table name taken from a grid's tag goes into a DELETE statement; only
// a name of an existing table without quotes or separators is used.
bool usableTableName(const QString &tag)
{
    if (tag.isEmpty())
        return false;
    for (const QChar c : tag) {
        if (c.isSpace() || c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char(';')
            || c == QLatin1Char('[') || c == QLatin1Char(']'))
            return false;
    }
    return store::TableExists(tag);
}

} // namespace

int LoadGridRowLimit(int columns)
{
    if (columns < 1)
        return 0;
    // The integer nearest to 350000 / columns − 0.5, halves to even.
    const double value = 350000.0 / columns - 0.5;
    double nearest = std::floor(value);
    const double fraction = value - nearest;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(nearest, 2.0) != 0))
        nearest += 1;
    return int(nearest) - 2;
}

void ShowRowLimitMessage(int total, int shown)
{
    store::prompts().message(QStringLiteral("数据库里共有") + QString::number(total)
                             + QStringLiteral("条记录，表格只能显示") + QString::number(shown)
                             + QStringLiteral("条记录，因此无法全部显示，请修改筛选条件。"));
}

QString LoadGridSql(const QString &tag, const QString &where, const QString &order,
                    const QString &statement)
{
    if (!statement.isEmpty())
        return statement;
    if (tag.contains(QLatin1Char(' ')))
        return tag;
    QString sql = QStringLiteral("SELECT * FROM ") + tag;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order;
    return sql;
}

void LoadGrid(Grid &grid, const QString &where, const QString &order, bool dateOnly,
              const QString &statement)
{
    GridBatch hidden(grid);
    const int first = grid.fixedRows();
    grid.setRows(first);
    const int columns = grid.cols();
    if (columns < 1)
        return;
    const int maxRows = LoadGridRowLimit(columns);

    store::Connection conn;
    store::RecordSet rs;
    rs.setRowLimit(maxRows);
    store::OpenQuery(conn, rs, LoadGridSql(grid.tag(), where, order, statement));
    if (!rs.isOpen()) {
        store::CloseQuery(conn, rs);
        return;
    }
    const int total = rs.totalCount();
    int count = rs.recordCount();
    if (total > maxRows) {
        ShowRowLimitMessage(total, maxRows);
        count = maxRows;
    }

    const bool progress = count > 100;
    if (progress)
        ui::ProgressStart(QStringLiteral("正在读取记录……"), count);

    QVector<ColumnPlan> plans(columns);
    QVector<bool> colourColumn(columns, false);
    for (int c = 0; c < columns; ++c) {
        ColumnPlan &plan = plans[c];
        plan.texts = RecentTexts(count);
        const QString &key = grid.cellText(kKeyRow, c);
        if (key.isEmpty()) {
            if (first >= 1 && grid.cellText(first - 1, c) == kNumberTitle)
                plan.kind = ColumnPlan::Kind::RunningNumber;
            continue;
        }
        const QStringList parts = key.split(QLatin1Char(':'));
        if (parts.size() >= 4) {
            plan.kind = ColumnPlan::Kind::Lookup;
            plan.field = rs.fieldIndex(parts.at(0));
            plan.table = parts.at(1);
            plan.keyField = parts.at(2);
            plan.resultField = parts.at(3);
        } else {
            plan.kind = ColumnPlan::Kind::Field;
            plan.field = rs.fieldIndex(key);
            colourColumn[c] = key == QLatin1String("Cor");
        }
    }

    // The progress window shows whole percents; stepping it once per
    // percent keeps its event-loop runs down to a hundred.
    const int progressChunk = std::max(1, count / 100);
    grid.setRows(first + count);
    for (int i = 0; i < count; ++i) {
        const int row = first + i;
        for (int c = 0; c < columns; ++c) {
            ColumnPlan &plan = plans[c];
            switch (plan.kind) {
            case ColumnPlan::Kind::Empty:
                break;
            case ColumnPlan::Kind::RunningNumber:
                grid.setTextMatrix(row, c, QString::number(i + 1));
                break;
            case ColumnPlan::Kind::Lookup: {
                if (plan.field < 0)
                    break;
                const QVariant keyValue = rs.valueAt(i, plan.field);
                if (!keyValue.isValid() || keyValue.isNull())
                    break;
                // Numbers and texts of the same spelling make different
                // statements (quoted or not), so the type is part of the key.
                const QString cacheKey = QString::number(keyValue.typeId()) + QLatin1Char(':')
                                         + keyValue.toString();
                auto found = plan.lookups.constFind(cacheKey);
                if (found == plan.lookups.constEnd()) {
                    const QVariant result = store::LookupValue(plan.table, keyValue, plan.keyField,
                                                               plan.resultField);
                    found = plan.lookups.insert(cacheKey, lookupText(result, dateOnly));
                }
                grid.setTextMatrix(row, c, found.value());
                break;
            }
            case ColumnPlan::Kind::Field:
                if (plan.field >= 0)
                    putField(grid, row, c, rs.valueAt(i, plan.field), dateOnly, plan,
                             colourColumn[c]);
                break;
            }
        }
        if (progress && ((i + 1) % progressChunk == 0 || i + 1 == count))
            ui::ProgressStep((i + 1) % progressChunk == 0 ? progressChunk : (i + 1) % progressChunk,
                             QStringLiteral("pages"));
    }
    store::CloseQuery(conn, rs);
    FitGridColumns(grid, std::max(0, first - 1));
    if (progress)
        ui::ProgressClose();
}

bool DeleteGridRows(Grid &grid, int firstRow, int lastRow, bool ask)
{
    const int first = grid.fixedRows();
    if (grid.dataRows() == 0)
        return false;
    store::SwapIfGreater(firstRow, lastRow);
    // Only data rows can be deleted; the header rows stay whatever is asked.
    firstRow = std::max(firstRow, first);
    lastRow = std::min(lastRow, grid.rows() - 1);
    if (firstRow > lastRow)
        return false;
    const int count = lastRow - firstRow + 1;
    if (ask
        && !store::prompts().question(QStringLiteral("您确定要删除第")
                                      + QString::number(firstRow - first + 1) + QLatin1Char('-')
                                      + QString::number(lastRow - first + 1)
                                      + QStringLiteral("行数据？"))) {
        return false;
    }

    int idColumn = -1;
    for (int c = 0; c < grid.cols(); ++c) {
        if (grid.cellText(kKeyRow, c) == QLatin1String("ID")) {
            idColumn = c;
            break;
        }
    }

    const bool progress = count > 100;
    if (progress)
        ui::ProgressStart(QStringLiteral("正在删除记录……"), 2 * count);
    const QString table = grid.tag();
    if (idColumn >= 0 && usableTableName(table)) {
        store::Connection conn;
        if (store::OpenConn(conn)) {
            // One transaction for the whole block: a thousand deletes commit
            // once instead of a thousand times, and a crash leaves all or
            // none of them. Each statement still runs on its own and a
            // failing one is passed over.
            store::Transaction transaction(conn);
            for (int r = firstRow; r <= lastRow; ++r) {
                bool isNumber = false;
                const qlonglong id = grid.cellText(r, idColumn).trimmed().toLongLong(&isNumber);
                if (isNumber)
                    store::ExecSQL(QStringLiteral("DELETE * FROM ") + table
                                           + QStringLiteral(" WHERE ID=") + QString::number(id),
                                   &conn);
                if (progress)
                    ui::ProgressStep(1);
            }
            if (!transaction.commit()) {
                // Nothing was deleted after all; the rows stay in the grid.
                if (progress)
                    ui::ProgressClose();
                return false;
            }
        }
    }
    grid.removeRows(firstRow, count);
    if (progress) {
        ui::ProgressStep(count);
        ui::ProgressClose();
    }
    return true;
}

} // namespace grid
