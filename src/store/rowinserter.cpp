#include "rowinserter.h"

#include "changes.h"
#include "enginedetail.h"
#include "formatting.h"
#include "pgconnection.h"
#include "schema.h"

#include <algorithm>

#include <sqlite3.h>

namespace store {

namespace {

// Rows sent to the server in one COPY: few enough that their text fits the
// connection's buffers, so sending them never waits for the server, which
// writes them while the next rows are made.
constexpr int kRowsPerCopy = 1000;
// Rows given with their record numbers are waited for (see send), so they
// go in bigger COPYs, each followed by one catching up of the numbering.
constexpr int kRowsPerWaitedCopy = 5000;
// Most record numbers taken from the server at a time. Each request waits
// for the rows sent before it, so it comes once per several COPYs.
constexpr int kIdsPerBlock = 8000;
// Copied rows written by one statement, within SQLite's 999 values.
constexpr int kCopiedRowsPerStatement = 50;
constexpr int kMostValuesPerStatement = 999;

using detail::quoteIdentifier;

void setError(QString *error, sqlite3 *db)
{
    detail::setError(error, detail::lastError(db));
}

void bindText(sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void bind(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    const int type = value.typeId();
    if (isIntegerType(type) || type == QMetaType::Bool) {
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        return;
    }
    if (type == QMetaType::Double || type == QMetaType::Float) {
        sqlite3_bind_double(stmt, index, value.toDouble());
        return;
    }
    if (type == QMetaType::QDateTime) {
        const QDateTime when = value.toDateTime();
        if (when.isValid())
            bindText(stmt, index, detail::storedDateText(when));
        else
            sqlite3_bind_null(stmt, index);
        return;
    }
    bindText(stmt, index, value.toString());
}

} // namespace

RowInserter::RowInserter(const DatabasePtr &db, const QString &table, const QStringList &columns,
                         QString *error, Ids ids)
    : m_db(db)
    , m_columns(int(columns.size()))
{
    if (!m_db)
        return;
    if (m_db->isServer()) {
        m_server = true;
        m_table = schemaSpelling(table);
        m_names = columns;
        m_takesIds = ids == Ids::Returned && schemaColumns(m_table).contains(QLatin1String("ID"))
                     && !columns.contains(QLatin1String("ID"), Qt::CaseInsensitive);
        if (m_takesIds)
            m_names.prepend(QStringLiteral("ID"));
        m_givesIds = !m_takesIds && columns.contains(QLatin1String("ID"), Qt::CaseInsensitive);
        for (QString &name : m_names)
            name = detail::serverName(name);
        m_db->m_inserters.push_back(this);
        return;
    }
    QStringList names;
    QStringList marks;
    for (const QString &column : columns) {
        names << quoteIdentifier(column);
        marks << QStringLiteral("?");
    }
    const QString sql
            = columns.isEmpty()
                      ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(table))
                      : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quoteIdentifier(table), names.join(QStringLiteral(", ")),
                                     marks.join(QStringLiteral(", ")));
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db->handle(), utf8.constData(), int(utf8.size()), &m_stmt, nullptr)
        != SQLITE_OK) {
        setError(error, m_db->handle());
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

RowInserter::~RowInserter()
{
    sqlite3_finalize(m_stmt);
    sqlite3_finalize(m_copiedRows);
    if (m_server) {
        flush();
        auto &list = m_db->m_inserters;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

bool RowInserter::flush(QString *error)
{
    if (!m_server)
        return m_copied.empty() || writeCopied(error);
    return send(true, error);
}

bool RowInserter::send(bool wait, QString *error)
{
    if (m_rows.isEmpty())
        return !wait || m_db->m_server->settleCopy(error);
    const QVector<QVector<QVariant>> rows = std::move(m_rows);
    m_rows.clear();
    // Record numbers given with the rows must be known to the numbering at
    // once, so such rows are always waited for.
    return m_db->m_server->copyRows(detail::serverName(m_table), m_names, rows, error,
                                    wait || m_givesIds)
           && (!m_givesIds || m_db->m_server->exec(detail::identityCatchUpSql(m_table), error));
}

qint64 RowInserter::insert(const QVector<QVariant> &values, QString *error)
{
    if (m_server) {
        QVector<QVariant> row = values;
        row.resize(m_columns);
        qint64 id = 1;
        if (m_takesIds) {
            if (m_freeIds.isEmpty()) {
                PgRows block;
                const QString sql
                        = QStringLiteral("SELECT nextval(pg_get_serial_sequence('%1', 'id')) "
                                         "FROM generate_series(1, %2)")
                                  .arg(m_table.toLower())
                                  .arg(m_idBlock);
                m_idBlock = std::min(m_idBlock * 2, kIdsPerBlock);
                if (!m_db->m_server->query(sql, block, error))
                    return 0;
                for (auto it = block.rows.crbegin(); it != block.rows.crend(); ++it)
                    m_freeIds << it->at(0).toLongLong();
            }
            id = m_freeIds.takeLast();
            row.prepend(id);
        } else {
            const int given = m_names.indexOf(QStringLiteral("\"id\""));
            if (given >= 0)
                id = row.value(given).toLongLong();
        }
        m_rows << row;
        if (m_rows.size() == 1)
            noteDataChange(m_db->path(), m_table);
        if (m_rows.size() >= (m_givesIds ? kRowsPerWaitedCopy : kRowsPerCopy)
            && !send(false, error))
            return 0;
        return id;
    }
    if (!m_stmt) {
        if (error)
            *error = QStringLiteral("语句没有准备好");
        return 0;
    }
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    for (int i = 0; i < m_columns; ++i)
        bind(m_stmt, i + 1, values.value(i));
    if (sqlite3_step(m_stmt) != SQLITE_DONE) {
        setError(error, m_db->handle());
        sqlite3_reset(m_stmt);
        return 0;
    }
    sqlite3_reset(m_stmt);
    return sqlite3_last_insert_rowid(m_db->handle());
}

bool RowInserter::insertCopied(const std::vector<CopyField> &fields,
                               const QVector<ColumnType> &types, QString *error)
{
    if (!m_stmt || int(fields.size()) != m_columns || types.size() != m_columns) {
        if (error)
            *error = QStringLiteral("复制的数据与数据表的字段不符");
        return false;
    }
    for (int i = 0; i < m_columns; ++i) {
        const CopyField &field = fields[i];
        CopiedValue value{ColumnType::Text, 0, 0, m_copiedText.size(), field.size};
        if (!field.data) {
            value.type = ColumnType::Null;
        } else if (types.at(i) == ColumnType::Integer
                   && detail::readWholeNumber(field.data, field.size, value.whole)) {
            value.type = ColumnType::Integer;
        } else if (types.at(i) == ColumnType::Double
                   && detail::readWholeNumber(field.data, field.size, value.real)) {
            value.type = ColumnType::Double;
        }
        if (value.type == ColumnType::Text)
            m_copiedText.append(field.data, field.size);
        m_copied.push_back(value);
    }
    if (m_rowsPerStatement == 0) {
        m_rowsPerStatement = m_columns == 0 ? 1
                                            : std::clamp(kMostValuesPerStatement / m_columns, 1,
                                                         kCopiedRowsPerStatement);
        // The one-row statement with the marks of the further rows after it.
        const QString row = QStringLiteral(", (%1)").arg(
                QStringList(m_columns, QStringLiteral("?")).join(QStringLiteral(", ")));
        const QByteArray utf8
                = QByteArray(sqlite3_sql(m_stmt)) + row.repeated(m_rowsPerStatement - 1).toUtf8();
        if (m_rowsPerStatement > 1
            && sqlite3_prepare_v2(m_db->handle(), utf8.constData(), int(utf8.size()), &m_copiedRows,
                                  nullptr)
                       != SQLITE_OK) {
            setError(error, m_db->handle());
            return false;
        }
    }
    return int(m_copied.size()) < m_rowsPerStatement * m_columns || writeCopied(error);
}

bool RowInserter::writeCopied(QString *error)
{
    const int rows = int(m_copied.size()) / std::max(1, m_columns);
    sqlite3_stmt *stmt = rows == m_rowsPerStatement && m_copiedRows ? m_copiedRows : m_stmt;
    const int perStep = stmt == m_stmt ? 1 : rows;
    bool written = true;
    for (int first = 0; written && first < rows; first += perStep) {
        sqlite3_reset(stmt);
        for (int i = 0; i < perStep * m_columns; ++i) {
            const CopiedValue &value = m_copied[std::size_t(first * m_columns + i)];
            switch (value.type) {
            case ColumnType::Null:
                sqlite3_bind_null(stmt, i + 1);
                break;
            case ColumnType::Integer:
                sqlite3_bind_int64(stmt, i + 1, value.whole);
                break;
            case ColumnType::Double:
                sqlite3_bind_double(stmt, i + 1, value.real);
                break;
            default:
                sqlite3_bind_text(stmt, i + 1, m_copiedText.constData() + value.offset, value.size,
                                  SQLITE_STATIC);
            }
        }
        written = sqlite3_step(stmt) == SQLITE_DONE;
    }
    if (!written)
        setError(error, m_db->handle());
    sqlite3_reset(stmt);
    m_copied.clear();
    m_copiedText.resize(0);
    return written;
}

WriteTransaction::WriteTransaction(const DatabasePtr &db)
    : m_db(db)
{
    if (m_db && m_db->isServer()) {
        m_server = std::make_unique<Transaction>(m_db);
        m_active = m_server->isActive();
        return;
    }
    // A connection already inside a transaction (autocommit off) keeps it;
    // this object then owns nothing and commits nothing.
    if (m_db && sqlite3_get_autocommit(m_db->handle()))
        m_active = m_db->execNative(QStringLiteral("BEGIN IMMEDIATE"));
}

WriteTransaction::~WriteTransaction()
{
    if (m_server)
        return; // the transaction rolls back unless committed
    if (m_active)
        m_db->execNative(QStringLiteral("ROLLBACK"));
}

bool WriteTransaction::commit(QString *error)
{
    if (!m_active)
        return true;
    if (m_server) {
        m_active = false;
        return m_server->commit(error);
    }
    if (!m_db->execNative(QStringLiteral("COMMIT"), error))
        return false;
    m_active = false;
    return true;
}

} // namespace store
