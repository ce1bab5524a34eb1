#include "mapping.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/formatting.h"
#include "store/rowinserter.h"

#include <cmath>

namespace transfer {

QString mappingPrefix(const QString &table)
{
    return QStringLiteral("导入映射_") + table + QLatin1Char('_');
}

StoredMapping loadMapping(const QString &table)
{
    StoredMapping stored;
    stored.rowTexts = QStringList{QString(), QString(), QString()};
    const QString prefix = mappingPrefix(table);
    store::RecordSet rs;
    // substr counts characters, as the prefix's length does.
    store::OpenQuery(rs, QStringLiteral("SELECT Var, Con FROM 参数 WHERE substr(Var, 1, %1) = %2")
                                 .arg(prefix.size())
                                 .arg(store::sqlText(prefix)));
    for (int r = 0; r < rs.recordCount(); ++r) {
        const QString key = rs.valueAt(r, 0).toString();
        if (!key.startsWith(prefix))
            continue;
        const QString rest = key.mid(prefix.size());
        const QString value = rs.valueAt(r, 1).toString();
        stored.columnTexts.insert(rest, value);
        for (int i = 0; i < 3; ++i)
            if (rest == QStringLiteral("T%1").arg(i))
                stored.rowTexts[i] = value;
    }
    return stored;
}

void saveMapping(const QString &table, const QVector<MapEntry> &entries,
                 const QStringList &rowTexts)
{
    store::Connection conn;
    if (!store::OpenConn(conn))
        return;
    const QString prefix = mappingPrefix(table);
    store::WriteTransaction transaction(conn);
    store::ExecSQL(QStringLiteral("DELETE FROM 参数 WHERE substr(Var, 1, %1) = %2")
                           .arg(prefix.size())
                           .arg(store::sqlText(prefix)),
                   &conn);
    store::RowInserter inserter(conn, QStringLiteral("参数"),
                                {QStringLiteral("Var"), QStringLiteral("Con")});
    for (const MapEntry &entry : entries)
        if (!entry.columnsText.isEmpty())
            inserter.insert({prefix + entry.caption, entry.columnsText});
    for (int i = 0; i < 3; ++i)
        inserter.insert({prefix + QStringLiteral("T%1").arg(i), rowTexts.value(i)});
    transaction.commit();
}

QVector<MapEntry> gridMapEntries(const grid::Grid &grid)
{
    QVector<MapEntry> entries;
    const int titleRow = grid.fixedRows() - 1;
    if (titleRow < 0)
        return entries;
    for (int c = grid.fixedCols(); c < grid.cols(); ++c)
        entries.append(MapEntry{grid.cellText(titleRow, c), QString()});
    return entries;
}

bool importRowRange(const QString &firstText, const QString &lastText, int *first, int *last)
{
    // Kept within what a whole number holds, so absurd inputs cannot wrap.
    const auto rowOf = [](const QString &text) {
        const double value = std::round(store::leadingNumber(text));
        return int(qBound(-1e9, value, 1e9));
    };
    int a = rowOf(firstText);
    int b = rowOf(lastText);
    store::SwapIfGreater(a, b);
    *first = qMax(1, a);
    *last = b;
    return qint64(*last) - qint64(*first) <= kImportRowLimit - 1;
}

} // namespace transfer
