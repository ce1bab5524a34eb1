#include "masterrecords.h"

#include "grid/grid.h"
#include "grid/gridloader.h"
#include "grid/gridops.h"
#include "store/access.h"
#include "store/prompts.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QHash>
#include <QLineEdit>

#include <limits>

namespace records {

namespace {

QString recordById(const QString &table, int id)
{
    return QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ID=")
           + QString::number(id);
}

} // namespace

QString masterNumberText(qint64 id)
{
    return QStringLiteral("%1").arg(id, 5, 10, QLatin1Char('0'));
}

QString masterEntry(qint64 id, const QString &name)
{
    return masterNumberText(id) + QLatin1Char('|') + name;
}

QString proposedMasterNumber(const QString &table)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs,
                     QStringLiteral("SELECT TOP 1 * FROM ") + table
                             + QStringLiteral(" ORDER BY ID DESC"));
    qint64 next = 1;
    if (rs.isOpen() && !rs.eof())
        next = rs.value(QStringLiteral("ID")).toLongLong() + 1;
    store::CloseQuery(conn, rs);
    return masterNumberText(next);
}

QString boxText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

bool loadMasterRecord(const QString &table, int id, QVariantMap &values)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, recordById(table, id));
    const bool found = rs.isOpen() && !rs.eof();
    if (found) {
        rememberRead(table, id, rs);
        values.clear();
        for (int c = 0; c < rs.fieldCount(); ++c)
            values.insert(rs.fieldName(c), rs.value(c));
    }
    store::CloseQuery(conn, rs);
    return found;
}

int saveMasterRecord(const QString &table, int id, const QVariantMap &values)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, recordById(table, id));
    if (!rs.isOpen() || changedSinceRead(table, id, rs)) {
        store::CloseQuery(conn, rs);
        return 0;
    }
    if (rs.eof())
        rs.addNew();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        // The number is the database's; a field the table lacks (a custom
        // field beyond its columns) is passed over.
        if (it.key().compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0
            || rs.fieldIndex(it.key()) < 0)
            continue;
        rs.setValue(it.key(), it.value());
    }
    return storeRowAndClose(conn, rs);
}

namespace {

QHash<QString, QString> &versionsRead()
{
    static QHash<QString, QString> versions;
    return versions;
}

QString readKey(const QString &table, int id)
{
    return table + QLatin1Char('#') + QString::number(id);
}

} // namespace

void rememberRead(const QString &table, int id, const store::RecordSet &rs)
{
    const QString version = rs.rowVersion();
    if (!version.isEmpty())
        versionsRead().insert(readKey(table, id), version);
}

bool changedSinceRead(const QString &table, int id, const store::RecordSet &rs)
{
    const QString read = versionsRead().take(readKey(table, id));
    if (read.isEmpty() || (!rs.eof() && rs.rowVersion() == read))
        return false;
    store::prompts().message(
            QString::fromUtf8(rs.eof() ? store::kDeletedByOtherUser : store::kChangedByOtherUser));
    return true;
}

void tellSaveRefused()
{
    store::prompts().message(QStringLiteral("记录保存失败，数据没有写入！"));
}

int storeRowAndClose(store::Connection &conn, store::RecordSet &rs)
{
    int stored = 0;
    QString error;
    if (rs.update(&error))
        stored = rs.value(QStringLiteral("ID")).toInt();
    store::CloseQuery(conn, rs);
    // A failed open has been reported by the access layer already. A row
    // another user changed or deleted meanwhile is said as such.
    if (stored == 0
        && (error == QString::fromUtf8(store::kChangedByOtherUser)
            || error == QString::fromUtf8(store::kDeletedByOtherUser)))
        store::prompts().message(error);
    else if (stored == 0)
        tellSaveRefused();
    return stored;
}

bool selectedDataRows(const grid::Grid &grid, int &first, int &last)
{
    if (grid.dataRows() == 0)
        return false;
    first = grid.row();
    last = grid.rowSel();
    if (first > last)
        std::swap(first, last);
    first = std::max(first, grid.fixedRows());
    last = std::min(last, grid.rows() - 1);
    return first <= last;
}

QVector<qint64> rowIds(const grid::Grid &grid, int first, int last)
{
    QVector<qint64> ids;
    for (int r = first; r <= last; ++r) {
        bool isNumber = false;
        const qint64 id = grid.cellText(r, grid::kIdColumn).trimmed().toLongLong(&isNumber);
        if (isNumber)
            ids.append(id);
    }
    return ids;
}

bool deleteDependentRecords(const QString &table, const QVector<qint64> &ids,
                            const QVector<DependentTable> &dependents, bool progress)
{
    store::Connection conn;
    if (!store::OpenConn(conn))
        return false;
    // One transaction for the whole selection: hundreds of deletes commit
    // once. A statement that fails is passed over, as each one ran on its
    // own before.
    store::Transaction transaction(conn);
    constexpr int kIdsPerLock = 500;
    for (int from = 0; from < ids.size(); from += kIdsPerLock) {
        QStringList block;
        for (int i = from; i < std::min<int>(from + kIdsPerLock, ids.size()); ++i)
            block << QString::number(ids.at(i));
        if (conn->lockRows(table,
                           QStringLiteral("ID IN (") + block.join(QLatin1Char(','))
                                   + QLatin1Char(')'),
                           true)
            < 0)
            return false;
    }
    for (const qint64 id : ids) {
        for (const DependentTable &dependent : dependents) {
            const QString master = QString::number(id);
            const QString condition
                    = dependent.ownerTable.isEmpty()
                              ? dependent.keyField + QLatin1Char('=') + master
                              : dependent.keyField + QStringLiteral(" IN (SELECT ID FROM ")
                                        + dependent.ownerTable + QStringLiteral(" WHERE ")
                                        + dependent.ownerField + QLatin1Char('=') + master
                                        + QLatin1Char(')');
            store::ExecSQL(QStringLiteral("DELETE * FROM ") + dependent.table
                                   + QStringLiteral(" WHERE ") + condition,
                           &conn);
        }
        if (progress)
            ui::ProgressStep(1);
    }
    return transaction.commit();
}

bool deleteSelectedWithDependents(grid::Grid &grid, const QString &question,
                                  const QString &progressText,
                                  const QVector<DependentTable> &dependents)
{
    int first = 0;
    int last = 0;
    if (!selectedDataRows(grid, first, last))
        return false;
    if (!store::prompts().question(question))
        return false;
    const QVector<qint64> ids = rowIds(grid, first, last);
    ui::ProgressStart(progressText, last - first + 1);
    // The records and their masters go in one transaction: after a crash
    // either all of them are gone or none, never the sales without their
    // customers. Within it the masters go only after their records, so no
    // record ever points to a deleted master.
    store::Connection conn;
    bool deleted = false;
    if (store::OpenConn(conn)) {
        store::Transaction transaction(conn);
        deleted = transaction.isActive()
                  && deleteDependentRecords(grid.tag(), ids, dependents, true)
                  && grid::DeleteGridRows(grid, first, last, false) && transaction.commit();
    }
    ui::ProgressClose();
    return deleted;
}

void loadMasterList(grid::Grid &grid, const ListColumns &columns, const QString &table,
                    const QString &order, const QString &reportTitle)
{
    grid::SetupGridColumns(grid, columns.keys, columns.titles);
    grid.setTag(table);
    // LoadGrid fits the columns from the title row when it is done.
    grid::LoadGrid(grid, QString(), order, true);
    grid.setReportTitle(reportTitle);
}

bool loadMasterTexts(const QString &table, const QStringList &fields, int id, MasterTexts &info)
{
    QVariantMap values;
    if (!loadMasterRecord(table, id, values))
        return false;
    info.id = values.value(QStringLiteral("ID")).toInt();
    info.boxes.clear();
    for (const QString &field : fields)
        info.boxes << boxText(values.value(field));
    return true;
}

int saveMasterTexts(const QString &table, const QStringList &fields, int id,
                    const MasterTexts &info)
{
    QVariantMap values;
    for (int i = 0; i < fields.size(); ++i)
        values.insert(fields.at(i), info.boxes.value(i));
    return saveMasterRecord(table, id, values);
}

QLineEdit *newMasterBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

void reloadListIfShowing(int tab)
{
    ui::ShellHost *host = ui::shellHost();
    if (host && host->currentRecordTab() == tab)
        host->ReloadCurrentList();
}

} // namespace records
