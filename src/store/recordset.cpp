#include "enginedetail.h"

#include "changes.h"
#include "pgconnection.h"
#include "schema.h"

#include "formatting.h"
#include "jetdialect.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>

#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace store {

using namespace detail;

// ---------------------------------------------------------------------------
// RecordSet

namespace {

// One stored value: numbers inline, text and blobs as a slice of the record
// set's byte store. Sixteen bytes a cell keeps big lists compact.
struct Cell
{
    union
    {
        qint64 integer;
        double real;
        const char *text;
    };
    quint32 length;
    quint8 storage; // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB, SQLITE_NULL
};

struct Field
{
    QString name;
    ColumnType declared = ColumnType::Null; // Null: typed by each value
    ColumnType type = ColumnType::Null;     // what fieldType() reports
    QString originTable;
    QString originColumn;
};

// Reloading a list needs the same amount of memory again. Handing freed
// chunks back to the system and faulting fresh pages in costs about as much
// as copying the rows, so a bounded number of chunks is kept for reuse.
template<typename T>
class ChunkPool
{
public:
    std::unique_ptr<T[]> take(size_t size)
    {
        if (m_spare.empty())
            return std::unique_ptr<T[]>(new T[size]);
        std::unique_ptr<T[]> chunk = std::move(m_spare.back());
        m_spare.pop_back();
        return chunk;
    }
    void give(std::vector<std::unique_ptr<T[]>> &chunks)
    {
        for (auto &chunk : chunks) {
            if (m_spare.size() >= kKeptChunks)
                break;
            m_spare.push_back(std::move(chunk));
        }
        chunks.clear();
    }

private:
    static constexpr size_t kKeptChunks = 512; // 32 MB of 64 KB chunks
    std::vector<std::unique_ptr<T[]>> m_spare;
};

ChunkPool<Cell> &cellPool()
{
    static ChunkPool<Cell> pool;
    return pool;
}

ChunkPool<char> &bytePool()
{
    static ChunkPool<char> pool;
    return pool;
}

} // namespace

struct RecordSet::Data
{
    Data() = default;
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;
    ~Data()
    {
        cellPool().give(cellChunks);
        bytePool().give(byteChunks);
    }

    DatabasePtr db;
    bool open = false;
    std::vector<Field> fields;
    // Cells row by row, and the bytes of texts and blobs, in fixed-size
    // chunks: a growing list never moves what it already holds.
    static constexpr size_t kChunkShift = 12;
    static constexpr size_t kChunkCells = size_t(1) << kChunkShift;
    static constexpr size_t kByteChunk = 64 * 1024;
    std::vector<std::unique_ptr<Cell[]>> cellChunks;
    size_t cellCount = 0;
    std::vector<std::unique_ptr<char[]>> byteChunks; // all of kByteChunk bytes
    std::vector<std::unique_ptr<char[]>> longTexts;  // one text each
    char *byteCursor = nullptr;
    size_t bytesLeft = 0;
    std::vector<qint64> rowids; // only for an editable record set
    // On a server: each row's key (ID, or Var for the parameters) and the
    // row version it was read at, so a save never overwrites another PC's.
    QString serverKey;
    std::vector<QVariant> serverKeys;
    std::vector<QString> serverVersions;
    int rows = 0;
    int position = 0;
    int rowLimit = -1;     // rows kept; the rest are only counted (-1: keep all)
    bool readOnly = false; // no hidden key: rows cannot be written back
    int rowsGiven = 0;     // rows the query gave, kept or not

    QString table; // the table rows are written back to; empty when not editable

    enum class Edit { None, Adding, Changing };
    Edit edit = Edit::None;
    QMap<int, QVariant> pending;

    mutable std::unordered_map<quint64, QDateTime> dates;

    int columns() const { return int(fields.size()); }

    Cell &cellAt(size_t index) const
    {
        return cellChunks[index >> kChunkShift][index & (kChunkCells - 1)];
    }
    const Cell &cell(int row, int column) const
    {
        return cellAt(size_t(row) * size_t(columns()) + size_t(column));
    }
    Cell &newCell()
    {
        if ((cellCount >> kChunkShift) == cellChunks.size())
            cellChunks.push_back(cellPool().take(kChunkCells));
        return cellAt(cellCount++);
    }
    const char *storeBytes(const void *data, size_t length)
    {
        if (length == 0)
            return nullptr;
        char *target;
        if (length > kByteChunk / 4) {
            // A long text gets a chunk of its own.
            longTexts.emplace_back(new char[length]);
            target = longTexts.back().get();
        } else {
            if (length > bytesLeft) {
                byteChunks.push_back(bytePool().take(kByteChunk));
                byteCursor = byteChunks.back().get();
                bytesLeft = kByteChunk;
            }
            target = byteCursor;
            byteCursor += length;
            bytesLeft -= length;
        }
        std::memcpy(target, data, length);
        return target;
    }

    void appendRow(sqlite3_stmt *stmt, int firstColumn)
    {
        const int count = columns();
        for (int c = 0; c < count; ++c) {
            const int source = c + firstColumn;
            Cell &cell = newCell();
            cell.integer = 0;
            cell.length = 0;
            cell.storage = quint8(sqlite3_column_type(stmt, source));
            switch (cell.storage) {
            case SQLITE_INTEGER:
                cell.integer = sqlite3_column_int64(stmt, source);
                break;
            case SQLITE_FLOAT:
                cell.real = sqlite3_column_double(stmt, source);
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const void *data
                        = cell.storage == SQLITE_TEXT
                                  ? static_cast<const void *>(sqlite3_column_text(stmt, source))
                                  : sqlite3_column_blob(stmt, source);
                const int length = sqlite3_column_bytes(stmt, source);
                cell.text = storeBytes(data, size_t(length));
                cell.length = quint32(length);
                break;
            }
            default:
                cell.storage = SQLITE_NULL;
                break;
            }
        }
        if (firstColumn > 0)
            rowids.push_back(sqlite3_column_int64(stmt, 0));
        ++rows;
    }

    // A cell of a value a server gave: dates kept as their stored text, so
    // that they read back like a file set's.
    void setCell(Cell &cell, const QVariant &value)
    {
        if (!value.isValid())
            return;
        switch (value.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Bool:
            cell.storage = SQLITE_INTEGER;
            cell.integer = value.toLongLong();
            break;
        case QMetaType::Double:
            cell.storage = SQLITE_FLOAT;
            cell.real = value.toDouble();
            break;
        default: {
            const QByteArray text = value.typeId() == QMetaType::QDateTime
                                            ? storedDateText(value.toDateTime()).toUtf8()
                                            : value.toString().toUtf8();
            cell.storage = SQLITE_TEXT;
            cell.text = storeBytes(text.constData(), size_t(text.size()));
            cell.length = quint32(text.size());
        }
        }
    }

    // One row as a server wrote it, the first hidden fields its key and row
    // version. Numbers are read straight from the text, and a text or a date
    // in the stored form is kept as it came: a long list is read without a
    // value made for each field.
    void appendServerRow(const std::vector<CopyField> &fields, const QVector<ColumnType> &types,
                         int hidden)
    {
        if (hidden == 2) {
            serverKeys.push_back(serverValue(fields[0].data, types.at(0)));
            serverVersions.push_back(QString::fromUtf8(fields[1].data, fields[1].size));
        }
        for (size_t c = size_t(hidden); c < fields.size(); ++c) {
            const CopyField &field = fields[c];
            const ColumnType type = types.at(int(c));
            Cell &cell = newCell();
            cell.integer = 0;
            cell.length = 0;
            cell.storage = SQLITE_NULL;
            if (!field.data)
                continue;
            if (type == ColumnType::Integer) {
                if (readWholeNumber(field.data, field.size, cell.integer)) {
                    cell.storage = SQLITE_INTEGER;
                    continue;
                }
            } else if (type == ColumnType::Double) {
                if (readWholeNumber(field.data, field.size, cell.real)) {
                    cell.storage = SQLITE_FLOAT;
                    continue;
                }
            } else if (type == ColumnType::Text || type == ColumnType::Null
                       || (type == ColumnType::Date && isPlainStoredDate(field))) {
                cell.storage = SQLITE_TEXT;
                cell.text = storeBytes(field.data, size_t(field.size));
                cell.length = quint32(field.size);
                continue;
            }
            setCell(cell, serverValue(field.data, type));
        }
        ++rows;
    }

    // A date text 'YYYY-MM-DD HH:MM:SS' of a real day and time.
    static bool isPlainStoredDate(const CopyField &field)
    {
        int p[7];
        return field.size == 19 && parseStoredDate(field.data, field.size, p)
               && QDate::isValid(p[0], p[1], p[2]) && QTime::isValid(p[3], p[4], p[5]);
    }

    QDateTime dateFromText(const char *text, int length) const
    {
        int p[7];
        if (!parseStoredDate(text, length, p))
            return QDateTime();
        const quint64 key = ((((((quint64(p[0]) * 13 + quint64(p[1])) * 32 + quint64(p[2])) * 24
                                + quint64(p[3]))
                                       * 60
                               + quint64(p[4]))
                                      * 60
                              + quint64(p[5]))
                             * 1000)
                            + quint64(p[6]);
        const auto found = dates.find(key);
        if (found != dates.end())
            return found->second;
        const QDate date(p[0], p[1], p[2]);
        const QTime time(p[3], p[4], p[5], p[6]);
        QDateTime value;
        if (date.isValid() && time.isValid())
            value = QDateTime(date, time);
        dates.emplace(key, value);
        return value;
    }

    QVariant cellValue(int row, int column) const
    {
        const Cell &cell = this->cell(row, column);
        const ColumnType type = fields[size_t(column)].declared;
        switch (cell.storage) {
        case SQLITE_INTEGER:
            switch (type) {
            case ColumnType::Double:
                return double(cell.integer);
            case ColumnType::Bool:
                return cell.integer != 0;
            case ColumnType::Date:
                return dateFromNumber(double(cell.integer));
            default:
                return qlonglong(cell.integer);
            }
        case SQLITE_FLOAT:
            switch (type) {
            case ColumnType::Integer:
                if (cell.real == std::floor(cell.real) && std::fabs(cell.real) < 9.0e18)
                    return qlonglong(cell.real);
                return cell.real;
            case ColumnType::Bool:
                return cell.real != 0.0;
            case ColumnType::Date:
                return dateFromNumber(cell.real);
            default:
                return cell.real;
            }
        case SQLITE_TEXT: {
            const char *text = cell.text;
            const int length = int(cell.length);
            if (type == ColumnType::Date) {
                const QDateTime date = dateFromText(text, length);
                if (date.isValid())
                    return date;
            } else if (type == ColumnType::Bool) {
                const QByteArray word = QByteArray::fromRawData(text, length).trimmed().toLower();
                if (word == "true" || word == "yes" || word == "-1" || word == "1")
                    return true;
                if (word == "false" || word == "no" || word == "0")
                    return false;
            }
            return QString::fromUtf8(text, length);
        }
        case SQLITE_BLOB:
            return QByteArray(cell.text, int(cell.length));
        default:
            return QVariant();
        }
    }

    // Reads one row of the editable table back by rowid, so stored values
    // show as the database keeps them (assigned ID, converted types).
    bool readBack(qint64 rowid, int targetRow, QString *error)
    {
        QStringList columnsSql;
        for (const Field &field : fields) {
            columnsSql << (field.originColumn.isEmpty() ? QStringLiteral("NULL")
                                                        : quoteIdentifier(field.originColumn));
        }
        Statement stmt;
        if (!stmt.prepare(
                    db->handle(),
                    QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid=?")
                            .arg(columnsSql.join(QStringLiteral(", ")), quoteIdentifier(table)),
                    error)) {
            return false;
        }
        sqlite3_bind_int64(stmt.get(), 1, rowid);
        if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
            setError(error, QStringLiteral("写入的记录无法读回"));
            return false;
        }
        if (targetRow == rows) {
            appendRow(stmt.get(), 1);
            return true;
        }
        // Replace the row in place: read it as an extra row, move its cells.
        const int count = columns();
        appendRow(stmt.get(), 1);
        for (int c = 0; c < count; ++c)
            cellAt(size_t(targetRow) * size_t(count) + size_t(c))
                    = cellAt(cellCount - size_t(count) + size_t(c));
        cellCount -= size_t(count);
        rowids.pop_back();
        --rows;
        return true;
    }
};

namespace {

void bindValue(sqlite3_stmt *stmt, int index, const QVariant &value, ColumnType target)
{
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    auto bindText = [&](const QString &text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(stmt, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
    };
    if (isIntegerType(value.typeId()) || isByteType(value.typeId())) {
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int64(stmt, index, value.toBool() ? 1 : 0);
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, value.toDouble());
        return;
    case QMetaType::QDateTime:
        if (value.toDateTime().isValid())
            bindText(storedDateText(value.toDateTime()));
        else
            sqlite3_bind_null(stmt, index);
        return;
    case QMetaType::QDate:
        if (value.toDate().isValid())
            bindText(storedDateText(QDateTime(value.toDate(), QTime(0, 0))));
        else
            sqlite3_bind_null(stmt, index);
        return;
    case QMetaType::QTime:
        bindText(storedDateText(QDateTime(QDate(1899, 12, 30), value.toTime())));
        return;
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        sqlite3_bind_blob(stmt, index, data.constData(), int(data.size()), SQLITE_TRANSIENT);
        return;
    }
    default:
        break;
    }
    const QString text = value.toString();
    if (target == ColumnType::Date) {
        // A date typed as text is stored in the one date format, as Jet
        // converted it on writing.
        const QString canonical = jetDateToSqlite(text);
        if (!canonical.isEmpty()) {
            bindText(canonical);
            return;
        }
    }
    bindText(text);
}

} // namespace

RecordSet::RecordSet()
    : d(new Data)
{}

RecordSet::~RecordSet() = default;
RecordSet::RecordSet(RecordSet &&) noexcept = default;
RecordSet &RecordSet::operator=(RecordSet &&) noexcept = default;

bool RecordSet::open(const DatabasePtr &db, const QString &jetSql, QString *error)
{
    return open(db, jetSql, QVariantList(), error);
}

bool RecordSet::open(const DatabasePtr &db, const QString &jetSql, const QVariantList &values,
                     QString *error)
{
    close();
    if (!db) {
        setError(error, QStringLiteral("数据库未打开"));
        return false;
    }
    if (db->isServer())
        return openOnServer(db, jetSql, values, error);
    const TranslatedSql translated = translateJet(jetSql);
    if (translated.kind != TranslatedSql::Kind::Plain) {
        // An action statement opened as a query runs and gives no rows.
        if (!values.isEmpty()) {
            setError(error, QStringLiteral("该语句不能带参数值"));
            return false;
        }
        return db->exec(jetSql, error);
    }

    sqlite3 *handle = db->handle();
    Statement stmt;
    QByteArray tail;
    int firstColumn = 0;
    const RowidQuery editable = d->readOnly ? RowidQuery() : withHiddenRowid(translated.sql);
    if (!editable.table.isEmpty() && stmt.prepare(handle, editable.sql, nullptr, &tail)
        && stmt.get()) {
        firstColumn = 1;
        d->table = editable.table;
    } else if (!stmt.prepare(handle, translated.sql, error, &tail)) {
        return false;
    }
    if (!stmt.get() || !onlyBlanksAndSemicolons(tail)) {
        setError(error, QStringLiteral("查询语句无效"));
        d->table.clear();
        return false;
    }
    // Every parameter gets a value: one left over (:x, @x, $x, ?, #x) would
    // silently read as NULL and the query would answer something else.
    if (sqlite3_bind_parameter_count(stmt.get()) != values.size()) {
        setError(error, kUnboundParameterError);
        d->table.clear();
        return false;
    }
    for (int i = 0; i < values.size(); ++i)
        bindValue(stmt.get(), i + 1, values.at(i), ColumnType::Null);

    const int count = sqlite3_column_count(stmt.get()) - firstColumn;
    d->fields.resize(size_t(qMax(count, 0)));
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        const int source = c + firstColumn;
        field.name = QString::fromUtf8(sqlite3_column_name(stmt.get(), source));
        field.declared = typeFromDeclaration(sqlite3_column_decltype(stmt.get(), source));
        field.type = field.declared;
        const char *table = sqlite3_column_table_name(stmt.get(), source);
        const char *origin = sqlite3_column_origin_name(stmt.get(), source);
        if (table && origin) {
            field.originTable = QString::fromUtf8(table);
            field.originColumn = QString::fromUtf8(origin);
        }
    }
    // Two result columns of one name: as Jet does, the table's own column
    // takes the qualified name (Sale.AID) and the renamed one keeps AID.
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        if (field.originTable.isEmpty()
            || field.originColumn.compare(field.name, Qt::CaseInsensitive) != 0) {
            continue;
        }
        for (int other = 0; other < count; ++other) {
            if (other != c
                && d->fields[size_t(other)].name.compare(field.name, Qt::CaseInsensitive) == 0) {
                field.name = field.originTable + QLatin1Char('.') + field.name;
                break;
            }
        }
    }
    // Fields that are not columns of the editable table cannot be written.
    for (Field &field : d->fields) {
        if (field.originTable.compare(d->table, Qt::CaseInsensitive) != 0)
            field.originColumn.clear();
    }

    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        if (d->rowLimit < 0 || d->rows < d->rowLimit) {
            d->appendRow(stmt.get(), firstColumn);
            ++d->rowsGiven;
            continue;
        }
        // Past the limit the rows are only counted, so a grid that shows the
        // first rows of a huge result holds only those. A count statement
        // does that without working out every column of every row; should
        // it fail, the rows are stepped over instead.
        Statement counter;
        const auto counted = [&](const QString &sql) {
            return counter.prepare(handle, sql, nullptr) && counter.get()
                   && sqlite3_step(counter.get()) == SQLITE_ROW;
        };
        const QString fast = countingSql(translated.sql);
        const QString plain = countingSql(translated.sql, false);
        if (values.isEmpty() && (counted(fast) || (fast != plain && counted(plain)))) {
            d->rowsGiven = std::max(d->rows, int(sqlite3_column_int64(counter.get(), 0)));
            rc = SQLITE_DONE;
            break;
        }
        ++d->rowsGiven;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
            ++d->rowsGiven;
        break;
    }
    if (rc != SQLITE_DONE) {
        setError(error, lastError(handle));
        close();
        return false;
    }

    // A column without a declared type reports the type of its first value.
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        if (field.declared != ColumnType::Null)
            continue;
        for (int r = 0; r < d->rows; ++r) {
            const Cell &cell = d->cell(r, c);
            if (cell.storage == SQLITE_INTEGER)
                field.type = ColumnType::Integer;
            else if (cell.storage == SQLITE_FLOAT)
                field.type = ColumnType::Double;
            else if (cell.storage == SQLITE_TEXT || cell.storage == SQLITE_BLOB)
                field.type = ColumnType::Text;
            if (field.type != ColumnType::Null)
                break;
        }
    }

    d->db = db;
    d->open = true;
    d->position = 0;
    return true;
}

namespace {

// A value as the text the server reads for a column of the given type.
std::optional<QByteArray> serverParam(const QVariant &value, ColumnType target)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QByteArray(value.toBool() ? "1" : "0");
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(value.toDouble(), 'g', 17);
    case QMetaType::QDateTime:
        if (!value.toDateTime().isValid())
            return std::nullopt;
        return storedDateText(value.toDateTime()).toUtf8();
    case QMetaType::QDate:
        if (!value.toDate().isValid())
            return std::nullopt;
        return storedDateText(QDateTime(value.toDate(), QTime(0, 0))).toUtf8();
    case QMetaType::QTime:
        return storedDateText(QDateTime(QDate(1899, 12, 30), value.toTime())).toUtf8();
    default:
        break;
    }
    const QString text = value.toString();
    if (target == ColumnType::Date) {
        const QString canonical = jetDateToSqlite(text);
        if (!canonical.isEmpty())
            return canonical.toUtf8();
    }
    return text.toUtf8();
}

} // namespace

bool RecordSet::openOnServer(const DatabasePtr &db, const QString &jetSql,
                             const QVariantList &values, QString *error)
{
    const TranslatedSql translated = translateJet(jetSql, SqlTarget::Postgres);
    if (translated.kind != TranslatedSql::Kind::Plain) {
        if (!values.isEmpty()) {
            setError(error, QStringLiteral("该语句不能带参数值"));
            return false;
        }
        return db->exec(jetSql, error);
    }
    QVector<std::optional<QByteArray>> params;
    for (const QVariant &value : values)
        params << serverParam(value, ColumnType::Null);
    // A plain query on one table with a key can be edited: its key and row
    // version are read first, unseen.
    QString sql = translated.sql;
    int hidden = 0;
    const RowidQuery editable = d->readOnly ? RowidQuery() : withHiddenRowid(sql);
    const QString table = schemaSpelling(editable.table);
    const QStringList tableColumns = schemaColumns(table);
    // A scratch table of an analysis (T_…, the connection's own temporary
    // table) has no key of its own; its rows are written back by their place.
    const bool scratch = tableColumns.isEmpty()
                         && editable.table.startsWith(QLatin1String("T_"), Qt::CaseInsensitive);
    const QString key = table == QStringLiteral("参数")              ? QStringLiteral("Var")
                        : tableColumns.contains(QLatin1String("ID")) ? QStringLiteral("ID")
                        : scratch                                    ? QStringLiteral("ctid")
                                                                     : QString();
    // An aggregate over the table (SELECT Count(*) FROM T) has no rows of
    // its own to edit; the server would refuse the key beside it, and inside
    // a transaction that refusal would undo the transaction.
    static const QRegularExpression aggregate(
            QStringLiteral(
                    "\\b(count|sum|avg|min|max|stdev|stddev|var|variance|first|last)\\s*\\("),
            QRegularExpression::CaseInsensitiveOption);
    const QString selectList
            = sql.left(sql.indexOf(QLatin1String(" FROM "), 0, Qt::CaseInsensitive));
    if (!editable.table.isEmpty() && !key.isEmpty() && !aggregate.match(selectList).hasMatch()) {
        const int at = editable.sql.indexOf(QLatin1String("rowid, "));
        sql = editable.sql.left(at) + key + QStringLiteral(", xmin::text, ")
              + editable.sql.mid(at + 7);
        hidden = 2;
        d->table = table;
        d->serverKey = key;
    }
    PgRows result;
    const auto read = [&](const std::vector<CopyField> &fields) {
        d->appendServerRow(fields, result.types, hidden);
    };
    if (!db->settlePending(sql, error)
        || !db->m_server->query(sql, params, result, read, error, d->rowLimit)) {
        d->table.clear();
        return false;
    }
    // The server gives names in lower case: a name the statement spells
    // (an alias such as Sm) keeps that spelling, a column the schema's.
    QHash<QString, QString> spelled;
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    for (auto it = word.globalMatch(jetSql); it.hasNext();) {
        const QString w = it.next().captured();
        if (!spelled.contains(w.toLower()))
            spelled.insert(w.toLower(), w);
    }
    const int count = result.names.size() - hidden;
    // Two result columns of one name (Sale.* beside Pro.Name AS PID): the
    // table's own column is named "Sale.PID" and the renamed one keeps "PID",
    // as on a file set.
    static const QRegularExpression star(QStringLiteral("([A-Za-z_][A-Za-z0-9_]*)\\.\\*"));
    const QString starTable = star.match(selectList).captured(1);
    QHash<QString, int> lastOfName;
    for (int c = 0; c < count; ++c)
        lastOfName.insert(result.names.at(c + hidden), c);
    d->fields.resize(size_t(count));
    for (int c = 0; c < count; ++c) {
        Field &field = d->fields[size_t(c)];
        const QString name = result.names.at(c + hidden);
        field.name = spelled.value(name, schemaSpelling(name));
        if (!starTable.isEmpty() && lastOfName.value(name) != c)
            field.name = schemaSpelling(starTable) + QLatin1Char('.') + field.name;
        field.declared = result.types.at(c + hidden);
        field.type = field.declared;
        const QString column = schemaSpelling(name);
        if (hidden > 0 && (tableColumns.contains(column) || scratch))
            field.originColumn = scratch ? field.name : column;
    }
    d->rowsGiven = result.given;
    d->db = db;
    d->open = true;
    d->position = 0;
    return true;
}

void RecordSet::close()
{
    // The row limit and reading only belong to the record set, not to one
    // result.
    const int rowLimit = d ? d->rowLimit : -1;
    const bool readOnly = d && d->readOnly;
    d.reset(new Data);
    d->rowLimit = rowLimit;
    d->readOnly = readOnly;
}

bool RecordSet::isOpen() const
{
    return d && d->open;
}

int RecordSet::recordCount() const
{
    return d ? d->rows : 0;
}

void RecordSet::setRowLimit(int rows)
{
    if (d)
        d->rowLimit = rows;
}

void RecordSet::setReadOnly(bool readOnly)
{
    if (d)
        d->readOnly = readOnly;
}

int RecordSet::totalCount() const
{
    return d ? std::max(d->rowsGiven, d->rows) : 0;
}

bool RecordSet::eof() const
{
    return !d || d->position >= d->rows || d->rows == 0;
}

bool RecordSet::bof() const
{
    return !d || d->position < 0 || d->rows == 0;
}

int RecordSet::position() const
{
    return d ? d->position : 0;
}

void RecordSet::moveFirst()
{
    move(0);
}

void RecordSet::moveNext()
{
    if (d)
        move(qMin(d->position + 1, d->rows));
}

void RecordSet::movePrevious()
{
    if (d)
        move(qMax(d->position - 1, -1));
}

void RecordSet::moveLast()
{
    if (d)
        move(d->rows - 1);
}

void RecordSet::move(int row)
{
    if (!d)
        return;
    // Leaving a changed row stores it, as a keyset cursor does.
    if (d->edit != Data::Edit::None)
        update(nullptr);
    d->position = qBound(-1, row, d->rows);
    if (d->rows == 0)
        d->position = 0;
}

int RecordSet::fieldCount() const
{
    return d ? d->columns() : 0;
}

QString RecordSet::fieldName(int column) const
{
    if (!d || column < 0 || column >= d->columns())
        return QString();
    return d->fields[size_t(column)].name;
}

int RecordSet::fieldIndex(const QString &name) const
{
    if (!d)
        return -1;
    for (int c = 0; c < d->columns(); ++c) {
        if (d->fields[size_t(c)].name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

ColumnType RecordSet::fieldType(int column) const
{
    if (!d || column < 0 || column >= d->columns())
        return ColumnType::Null;
    return d->fields[size_t(column)].type;
}

QString RecordSet::rowVersion() const
{
    if (!d || d->position < 0 || size_t(d->position) >= d->serverVersions.size())
        return QString();
    return d->serverVersions[size_t(d->position)];
}

QVariant RecordSet::value(int column) const
{
    if (!d || column < 0 || column >= d->columns())
        return QVariant();
    if (d->edit != Data::Edit::None) {
        const auto found = d->pending.constFind(column);
        if (found != d->pending.constEnd())
            return found.value();
        if (d->edit == Data::Edit::Adding)
            return QVariant();
    }
    return valueAt(d->position, column);
}

QVariant RecordSet::value(const QString &name) const
{
    return value(fieldIndex(name));
}

QVariant RecordSet::valueAt(int row, int column) const
{
    if (!d || row < 0 || row >= d->rows || column < 0 || column >= d->columns())
        return QVariant();
    return d->cellValue(row, column);
}

void RecordSet::addNew()
{
    if (!d || !d->open)
        return;
    if (d->edit == Data::Edit::Changing)
        update(nullptr);
    d->pending.clear();
    d->edit = Data::Edit::Adding;
}

void RecordSet::setValue(const QString &name, const QVariant &value)
{
    if (!d || !d->open)
        return;
    const int column = fieldIndex(name);
    if (column < 0)
        return;
    if (d->edit == Data::Edit::None) {
        if (d->position < 0 || d->position >= d->rows)
            return;
        d->edit = Data::Edit::Changing;
    }
    d->pending[column] = value;
}

bool RecordSet::update(QString *error)
{
    if (!d || !d->open) {
        setError(error, QStringLiteral("记录集未打开"));
        return false;
    }
    if (d->edit == Data::Edit::None)
        return true;
    const Data::Edit edit = d->edit;
    const QMap<int, QVariant> pending = d->pending;
    d->edit = Data::Edit::None;
    d->pending.clear();

    if (d->table.isEmpty()) {
        setError(error, QStringLiteral("该查询的记录不能修改"));
        return false;
    }
    QStringList columns;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
        const Field &field = d->fields[size_t(it.key())];
        if (field.originColumn.isEmpty()) {
            setError(error, QStringLiteral("字段不能修改：%1").arg(field.name));
            return false;
        }
        columns << quoteIdentifier(field.originColumn);
    }
    if (d->db->isServer())
        return updateOnServer(int(edit), pending, error);
    d->db->beginWriting();
    sqlite3 *handle = d->db->handle();
    const QString table = quoteIdentifier(d->table);
    QString sql;
    if (edit == Data::Edit::Adding) {
        if (columns.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
        } else {
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(table, columns.join(QStringLiteral(", ")),
                               marks.join(QStringLiteral(", ")));
        }
    } else {
        if (columns.isEmpty())
            return true;
        if (d->position < 0 || d->position >= d->rows) {
            setError(error, QStringLiteral("没有当前记录"));
            return false;
        }
        sql = QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?")
                      .arg(table, columns.join(QStringLiteral("=?, ")));
    }

    Statement stmt;
    if (!stmt.prepare(handle, sql, error))
        return false;
    int index = 1;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it, ++index)
        bindValue(stmt.get(), index, it.value(), d->fields[size_t(it.key())].declared);
    if (edit == Data::Edit::Changing)
        sqlite3_bind_int64(stmt.get(), index, d->rowids[size_t(d->position)]);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
        setError(error, lastError(handle));
        return false;
    }

    if (edit == Data::Edit::Adding) {
        const qint64 rowid = sqlite3_last_insert_rowid(handle);
        if (!d->readBack(rowid, d->rows, error))
            return false;
        d->rowids.back() = rowid;
        d->position = d->rows - 1;
        return true;
    }
    const qint64 rowid = d->rowids[size_t(d->position)];
    return d->readBack(rowid, d->position, error);
}

bool RecordSet::updateOnServer(int editKind, const QMap<int, QVariant> &pending, QString *error)
{
    const Data::Edit edit = Data::Edit(editKind);
    QStringList columns;
    QVector<std::optional<QByteArray>> params;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
        const Field &field = d->fields[size_t(it.key())];
        if (field.originColumn.isEmpty()) {
            setError(error, QStringLiteral("字段不能修改：%1").arg(field.name));
            return false;
        }
        columns << serverName(field.originColumn);
        params << serverParam(it.value(), field.declared);
    }
    const QString table = serverName(d->table);
    const QString key = serverName(d->serverKey);
    // The statement gives back the row as the server keeps it now (assigned
    // ID, converted values, new version), so a save is one round trip.
    QStringList fieldsSql;
    for (const Field &field : d->fields)
        fieldsSql << (field.originColumn.isEmpty() ? QStringLiteral("NULL")
                                                   : serverName(field.originColumn));
    const QString returning
            = key + QStringLiteral(", xmin::text, ") + fieldsSql.join(QStringLiteral(", "));
    QString sql;
    if (edit == Data::Edit::Adding) {
        QStringList marks;
        for (int i = 1; i <= columns.size(); ++i)
            marks << QStringLiteral("$%1").arg(i);
        sql = columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2")
                                          .arg(table, returning)
                                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                                          .arg(table, columns.join(QStringLiteral(", ")),
                                               marks.join(QStringLiteral(", ")), returning);
    } else {
        if (columns.isEmpty())
            return true;
        if (d->position < 0 || d->position >= d->rows) {
            setError(error, QStringLiteral("没有当前记录"));
            return false;
        }
        QStringList sets;
        for (int i = 0; i < columns.size(); ++i)
            sets << QStringLiteral("%1=$%2").arg(columns.at(i)).arg(i + 1);
        // Only the row as it was read is changed: another PC's save in
        // between gives it a new version, and then nothing is written.
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3=$%4 AND xmin::text=$%5 RETURNING %6")
                      .arg(table, sets.join(QStringLiteral(", ")), key)
                      .arg(columns.size() + 1)
                      .arg(columns.size() + 2)
                      .arg(returning);
        params << serverParam(d->serverKeys[size_t(d->position)], ColumnType::Null)
               << d->serverVersions[size_t(d->position)].toUtf8();
    }
    PgRows written;
    const int target = edit == Data::Edit::Adding ? d->rows : d->position;
    const auto keep = [&](const std::vector<CopyField> &fields) {
        d->appendServerRow(fields, written.types, 2);
    };
    noteDataChange(d->db->path(), d->table);
    if (!d->db->settlePending(sql, error)
        || !d->db->m_server->query(sql, params, written, keep, error))
        return false;
    if (written.given == 0) {
        PgRows still;
        d->db->m_server->query(QStringLiteral("SELECT 1 FROM %1 WHERE %2=$1").arg(table, key),
                               {params.at(params.size() - 2)}, still);
        setError(error, QString::fromUtf8(still.rows.isEmpty() ? kDeletedByOtherUser
                                                               : kChangedByOtherUser));
        return false;
    }
    if (target < d->rows - 1) {
        // Replace the row in place: move the extra row's cells over it.
        const int count = d->columns();
        for (int c = 0; c < count; ++c)
            d->cellAt(size_t(target) * size_t(count) + size_t(c))
                    = d->cellAt(d->cellCount - size_t(count) + size_t(c));
        d->cellCount -= size_t(count);
        d->serverKeys[size_t(target)] = d->serverKeys.back();
        d->serverVersions[size_t(target)] = d->serverVersions.back();
        d->serverKeys.pop_back();
        d->serverVersions.pop_back();
        --d->rows;
    }
    d->position = target;
    return true;
}

} // namespace store
