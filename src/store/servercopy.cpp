#include "servercopy.h"

#include "accountsets.h"
#include "engine.h"
#include "enginedetail.h"
#include "pgconnection.h"
#include "rowinserter.h"
#include "schema.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace store {

namespace {

// Rows read at a time from a table with record numbers, so that a big set
// is never held in memory whole.
constexpr int kRowsPerRead = 20000;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The table's field names, and with types their types, in the same order.
QStringList fieldNames(const DatabasePtr &db, const QString &table,
                       QVector<ColumnType> *types = nullptr)
{
    RecordSet rs;
    QStringList names;
    if (rs.open(db, QStringLiteral("SELECT * FROM [%1] WHERE 0").arg(table)))
        for (int c = 0; c < rs.fieldCount(); ++c) {
            names << rs.fieldName(c);
            if (types)
                *types << rs.fieldType(c);
        }
    return names;
}

// Reads the rows of a server table with COPY straight into a file set's
// table, without a QVariant or a QString for any field: a backup of a
// server set reads every row of the set. Each text is read as the type of
// its column on the server (types).
bool downloadTable(const DatabasePtr &server, const DatabasePtr &file, const QString &table,
                   const QStringList &columns, const QVector<ColumnType> &types, QString *error)
{
    QStringList selected;
    for (const QString &column : columns)
        selected << detail::serverName(column);
    RowInserter inserter(file, table, columns, error);
    if (!inserter.isValid())
        return false;
    // In record-number order the file's table grows at its end only.
    const bool numbered = columns.contains(QStringLiteral("ID"), Qt::CaseInsensitive);
    return server->serverConnection()->copyOut(
                   QStringLiteral("SELECT %1 FROM %2%3")
                           .arg(selected.join(QLatin1Char(',')),
                                detail::serverName(schemaSpelling(table)),
                                numbered ? QStringLiteral(" ORDER BY \"id\"") : QString()),
                   [&](const std::vector<CopyField> &fields) {
                       return inserter.insertCopied(fields, types, error);
                   },
                   error)
           && inserter.flush(error);
}

// Copies every row of table from one connection to the other, the columns
// both sides have, record numbers included.
bool copyTable(const DatabasePtr &from, const DatabasePtr &to, const QString &table, QString *error)
{
    const QStringList target = fieldNames(to, table);
    QVector<ColumnType> sourceTypes;
    const QStringList source = fieldNames(from, table, &sourceTypes);
    QStringList columns;
    QVector<ColumnType> types;
    for (int c = 0; c < source.size(); ++c)
        if (target.contains(source.at(c), Qt::CaseInsensitive)) {
            columns << source.at(c);
            types << sourceTypes.at(c);
        }
    if (columns.isEmpty())
        return true;
    if (from->isServer() && !to->isServer())
        return downloadTable(from, to, table, columns, types, error);
    QStringList selected;
    for (const QString &column : std::as_const(columns))
        selected << QLatin1Char('[') + column + QLatin1Char(']');
    const bool numbered = columns.contains(QStringLiteral("ID"), Qt::CaseInsensitive);
    RowInserter inserter(to, table, columns, error);
    if (!inserter.isValid())
        return false;
    QVector<QVariant> values(columns.size());
    qint64 last = std::numeric_limits<qint64>::min();
    for (;;) {
        const QString sql
                = numbered ? QStringLiteral("SELECT TOP %1 %2 FROM [%3] WHERE ID>%4 ORDER BY ID")
                                     .arg(kRowsPerRead)
                                     .arg(selected.join(QStringLiteral(", ")), table)
                                     .arg(last)
                           : QStringLiteral("SELECT %1 FROM [%2]")
                                     .arg(selected.join(QStringLiteral(", ")), table);
        RecordSet rs;
        if (!rs.open(from, sql, error))
            return false;
        const int idColumn = numbered ? rs.fieldIndex(QStringLiteral("ID")) : -1;
        for (int r = 0; r < rs.recordCount(); ++r) {
            for (int c = 0; c < columns.size(); ++c)
                values[c] = rs.valueAt(r, c);
            if (inserter.insert(values, error) == 0)
                return false;
            if (numbered)
                last = rs.valueAt(r, idColumn).toLongLong();
        }
        if (!numbered || rs.recordCount() < kRowsPerRead)
            break;
    }
    return inserter.flush(error);
}

// The count of a table's rows and the sums of its columns that hold money
// or quantities, in cents, as both sides must agree on them.
QString tableFigures(const DatabasePtr &db, const QString &table)
{
    static const QStringList money
            = {QStringLiteral("Price"), QStringLiteral("Num"), QStringLiteral("Pay"),
               QStringLiteral("Pay1"), QStringLiteral("Disc")};
    QStringList sums = {QStringLiteral("Count(*)")};
    for (const QString &field : fieldNames(db, table))
        if (money.contains(field, Qt::CaseInsensitive))
            sums << QStringLiteral("Sum([%1])").arg(field);
    RecordSet rs;
    if (!rs.open(db,
                 QStringLiteral("SELECT %1 FROM [%2]").arg(sums.join(QStringLiteral(", ")), table)))
        return QStringLiteral("?");
    QStringList figures;
    for (int c = 0; c < rs.fieldCount(); ++c)
        figures << QString::number(std::llround(rs.value(c).toDouble() * 100));
    return figures.join(QLatin1Char('/'));
}

// Copies every table of the schema that from has; false with the first
// table whose figures differ afterwards.
bool copyAllTables(const DatabasePtr &from, const DatabasePtr &to, QString *error)
{
    const QStringList present = from->tableNames();
    for (const QString &table : to->tableNames()) {
        if (!present.contains(table, Qt::CaseInsensitive))
            continue;
        if (!copyTable(from, to, table, error))
            return false;
        if (tableFigures(from, table) != tableFigures(to, table)) {
            setError(error,
                     QStringLiteral("复制后数据表 %1 的记录数或金额合计不一致，没有写入任何数据。")
                             .arg(table));
            return false;
        }
    }
    return true;
}

// The server database connInfo names, when it holds no table yet.
DatabasePtr emptyServerDatabase(const QString &connInfo, QString *error)
{
    DatabasePtr server = Registry::openServer(connInfo, error);
    if (server && !server->tableNames().isEmpty()) {
        setError(error, QStringLiteral("服务器上的数据库不是空的，只能使用空数据库。"));
        return {};
    }
    return server;
}

bool isAccountSet(const DatabasePtr &db)
{
    const QStringList tables = db->tableNames();
    for (const QString &table : BaseTableNames())
        if (!tables.contains(table, Qt::CaseInsensitive))
            return false;
    return true;
}

} // namespace

ServerSetState CheckServerSet(const QString &connInfo, const QString &password, QString *message)
{
    QString detail;
    const auto answer = [&](ServerSetState state, const QString &text) {
        setError(message, text);
        return state;
    };
    switch (PgConnection::probe(connInfo, password, &detail)) {
    case PgProbe::Connected:
        break;
    case PgProbe::Unreachable:
        return answer(ServerSetState::Unreachable,
                      QStringLiteral("无法连接数据库服务器：请检查主机和端口是否正确，"
                                     "服务器是否已启动。"));
    case PgProbe::TlsNotOffered:
        return answer(ServerSetState::TlsNotOffered,
                      QStringLiteral("数据库服务器不支持加密连接（SSL），"
                                     "为保护数据，不能通过网络以不加密的方式连接。"));
    case PgProbe::NeedsPassword:
        return answer(ServerSetState::NeedsPassword,
                      QStringLiteral("数据库服务器要求密码，请输入密码。"));
    case PgProbe::WrongPassword:
        return answer(ServerSetState::WrongPassword,
                      QStringLiteral("用户名或密码不正确，数据库服务器拒绝登录。"));
    case PgProbe::NoDatabase:
        return answer(ServerSetState::NoDatabase,
                      QStringLiteral("数据库服务器上没有这个数据库，请检查数据库名称。"));
    case PgProbe::Refused:
        return answer(ServerSetState::Failed,
                      QStringLiteral("无法连接数据库服务器：%1").arg(detail));
    }
    QString error;
    const DatabasePtr server = Registry::openServer(connInfo, &error);
    if (!server)
        return answer(ServerSetState::Failed, error);
    const QStringList tables = server->tableNames();
    if (tables.isEmpty())
        return answer(ServerSetState::Empty,
                      QStringLiteral("服务器上的数据库是空的，还没有套账。"));
    if (!isAccountSet(server))
        return answer(ServerSetState::NotAccountSet,
                      QStringLiteral("服务器上的数据库不是 Korvo进销存 的套账。"));
    RecordSet rs;
    if (!rs.open(server, QStringLiteral("SELECT Var FROM 参数 WHERE Var LIKE '结构_%'"), &error))
        return answer(ServerSetState::Failed, error);
    QStringList done;
    for (; !rs.eof(); rs.moveNext())
        done << rs.value(0).toString();
    const QStringList known = SchemaStepKeys();
    for (const QString &key : std::as_const(done))
        if (!known.contains(key))
            return answer(ServerSetState::Newer,
                          QStringLiteral("服务器上的套账由较新版本的 Korvo进销存 "
                                         "建立，请先升级本程序。"));
    for (const QString &key : known)
        if (!done.contains(key))
            return answer(ServerSetState::Older,
                          QStringLiteral("服务器上的套账由较早版本的程序建立，"
                                         "调用时将自动升级数据结构。"));
    return answer(ServerSetState::Ready, QStringLiteral("连接成功，服务器上的套账可以使用。"));
}

namespace {

// A text as a quoted literal of the server's SQL.
QString pgLiteral(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''"))
           + QLatin1Char('\'');
}

// The statements that give the set's database to role and to nobody else:
// the role logs in with no power beyond it (no superuser, no new databases
// or roles), owns every table of the set and may make new ones and
// temporary ones. The role name is a plain identifier (checked before).
QString grantToRoleSql(const QString &role, const QString &password)
{
    const QString grants = QStringLiteral(
            "DO $korvo$ DECLARE t record; BEGIN\n"
            "IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '%1') THEN\n"
            "  CREATE ROLE %1;\n"
            "END IF;\n"
            "EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());\n"
            "EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO %1', current_database());\n"
            "FOR t IN SELECT c.relname FROM pg_class c JOIN pg_namespace n ON "
            "n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind IN ('r', 'v') LOOP\n"
            "  EXECUTE format('ALTER TABLE public.%I OWNER TO %1', t.relname);\n"
            "END LOOP;\n"
            "END $korvo$;\n"
            "GRANT USAGE, CREATE ON SCHEMA public TO %1;\n"
            "ALTER ROLE %1 LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION PASSWORD ");
    return grants.arg(role) + (password.isEmpty() ? QStringLiteral("NULL") : pgLiteral(password));
}

bool initServerSet(const QString &connInfo, const QString &name, const QString &company,
                   const QString &role, const QString &rolePassword, QString *error)
{
    // Lower-case letters, digits and _ only: the name stays the same
    // unquoted and quoted, in every statement and in the link.
    static const QRegularExpression plainName(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!role.isEmpty() && !plainName.match(role).hasMatch()) {
        setError(error, QStringLiteral("服务器用户名只能由小写英文字母、数字和下划线组成，"
                                       "并以字母或下划线开头：%1")
                                .arg(role));
        return false;
    }
    const DatabasePtr server = emptyServerDatabase(connInfo, error);
    if (!server)
        return false;
    Transaction transaction(server);
    if (!server->execNative(PostgresSchemaSql(), error))
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    RecordSet rs;
    if (!rs.open(server, QStringLiteral("SELECT * FROM 参数 WHERE 0"), error))
        return false;
    const QList<QPair<QString, QString>> rows = {{kKeyCompany, company},
                                                 {kKeyName, name},
                                                 {kKeyCreated, dateText(now.date())},
                                                 {kKeyLastAccess, dateTimeText(now)}};
    for (const auto &row : rows) {
        rs.addNew();
        rs.setValue(QStringLiteral("Var"), row.first);
        rs.setValue(QStringLiteral("Con"), row.second);
        if (!rs.update(error))
            return false;
    }
    if (!role.isEmpty() && !server->execNative(grantToRoleSql(role, rolePassword), error))
        return false;
    return transaction.commit(error);
}

} // namespace

bool InitServerSet(const QString &connInfo, const QString &name, const QString &company,
                   QString *error)
{
    return initServerSet(connInfo, name, company, QString(), QString(), error);
}

bool InitServerSetForRole(const QString &connInfo, const QString &name, const QString &company,
                          const QString &role, const QString &rolePassword, QString *error)
{
    return initServerSet(connInfo, name, company, role, rolePassword, error);
}

bool UploadAccountSet(const QString &filePath, const QString &connInfo, QString *error)
{
    const DatabasePtr file = Registry::open(filePath, error);
    if (!file)
        return false;
    if (!isAccountSet(file)) {
        setError(error, QStringLiteral("文件不是套账：%1").arg(filePath));
        return false;
    }
    const DatabasePtr server = emptyServerDatabase(connInfo, error);
    if (!server)
        return false;
    // The upload is reported done only once the server has it on disk, even
    // where the server lets commits return before that. The cleaner below
    // needs it too: the server marks no row settled while the commit that
    // wrote it, or one close to it, may still be lost.
    if (!server->execNative(QStringLiteral("SET synchronous_commit TO on"), error))
        return false;
    Transaction transaction(server);
    if (!server->execNative(EmptySchemaSql(true), error) || !copyAllTables(file, server, error))
        return false;
    // The server has every table; an older file set may not have recorded
    // the steps that add them.
    for (const QString &key : SchemaStepKeys()) {
        RecordSet rs;
        if (!rs.open(server, QStringLiteral("SELECT * FROM 参数 WHERE Var='%1'").arg(key), error))
            return false;
        if (rs.recordCount() > 0)
            continue;
        rs.addNew();
        rs.setValue(QStringLiteral("Var"), key);
        rs.setValue(QStringLiteral("Con"), QStringLiteral("已添加"));
        if (!rs.update(error))
            return false;
    }
    // New records go on from the highest number each table holds: the rows
    // were copied with their numbers, and the copy moves the numbering on.
    if (!transaction.commit(error))
        return false;
    // The server learns what the new tables hold and which of their pages
    // are settled at once, not when its own cleaner next comes round: until
    // then it plans the first lists and analyses blind and reads every row
    // from the table where an index alone would do. Only speed hangs on it.
    server->execNative(QStringLiteral("VACUUM (ANALYZE)"));
    return true;
}

bool DownloadAccountSet(const QString &connInfo, const QString &filePath, QString *error)
{
    if (QFileInfo::exists(filePath)) {
        setError(error, QStringLiteral("文件已存在：%1").arg(filePath));
        return false;
    }
    const DatabasePtr server = Registry::openServer(connInfo, error);
    if (!server)
        return false;
    if (!isAccountSet(server)) {
        setError(error, QStringLiteral("服务器上的数据库不是 Korvo进销存 的套账。"));
        return false;
    }
    const QString work = filePath + QStringLiteral(".part");
    QFile::remove(work);
    bool copied = false;
    {
        const DatabasePtr file = Registry::create(work, error);
        if (!file)
            return false;
        // The work file is thrown away whole when anything fails, so it
        // needs no journal or log: each page is written once, not twice.
        if (!file->execNative(QStringLiteral("PRAGMA journal_mode=OFF"), error))
            return false;
        // One snapshot of the server for every table, however long the copy.
        if (!server->execNative(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"),
                                error))
            return false;
        // The big indexes are left to the first opening of the file as a
        // set: building them took most of the time of a server's backup,
        // which is taken at every close, while a backup is seldom opened.
        Transaction transaction(file);
        copied = file->execNative(EmptySchemaSql(false, false), error)
                 && copyAllTables(server, file, error) && transaction.commit(error);
        server->execNative(QStringLiteral("COMMIT"));
        // Checked while still open: opening it again costs a key derivation.
        if (copied && !IsSoundAccountSetFile(work)) {
            setError(error, QStringLiteral("写入的文件没有通过完整性检查：%1").arg(filePath));
            copied = false;
        }
    }
    Registry::close(work);
    if (!copied || !QFile::rename(work, filePath)) {
        if (copied)
            setError(error, QStringLiteral("无法写入文件：%1").arg(filePath));
        QFile::remove(work);
        return false;
    }
    return true;
}

} // namespace store
