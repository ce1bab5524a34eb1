#pragma once

#include "engine.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct sqlite3_stmt;

namespace store {

// Appends many rows to one table through a single prepared statement, for
// imports that write thousands of rows. Values are bound, never placed into
// SQL text: whole numbers as integers, doubles as reals, QDateTime as the
// stored date text 'YYYY-MM-DD HH:MM:SS' (an invalid one as NULL), an invalid
// QVariant as NULL, anything else as text.
class RowInserter
{
public:
    // Prepares "INSERT INTO table (columns...) VALUES (?...)" on db. The table
    // and column names are quoted as identifiers; check them against the
    // table's own fields before. isValid() tells whether it prepared.
    RowInserter(const DatabasePtr &db, const QString &table, const QStringList &columns,
                QString *error = nullptr);
    ~RowInserter();
    RowInserter(const RowInserter &) = delete;
    RowInserter &operator=(const RowInserter &) = delete;

    bool isValid() const { return m_stmt != nullptr; }

    // Writes one row, values in the order of the columns. Returns the new
    // row's ID (its rowid), 0 with *error on failure.
    qint64 insert(const QVector<QVariant> &values, QString *error = nullptr);

private:
    DatabasePtr m_db;
    sqlite3_stmt *m_stmt = nullptr;
    int m_columns = 0;
};

// A write transaction on a connection for the lifetime of the object: begun
// on construction, rolled back on destruction unless committed. For loops
// that write many rows, so that a crash leaves all of them or none.
class WriteTransaction
{
public:
    explicit WriteTransaction(const DatabasePtr &db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit(QString *error = nullptr);

private:
    DatabasePtr m_db;
    bool m_active = false;
};

} // namespace store
