#pragma once

#include "engine.h"
#include "pgconnection.h"

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
    // Whether the caller needs each new row's ID from insert().
    enum class Ids { Returned, NotNeeded };

    // Prepares "INSERT INTO table (columns...) VALUES (?...)" on db. The table
    // and column names are quoted as identifiers; check them against the
    // table's own fields before. isValid() tells whether it prepared.
    RowInserter(const DatabasePtr &db, const QString &table, const QStringList &columns,
                QString *error = nullptr, Ids ids = Ids::Returned);
    ~RowInserter();
    RowInserter(const RowInserter &) = delete;
    RowInserter &operator=(const RowInserter &) = delete;

    bool isValid() const { return m_stmt != nullptr || m_server; }

    // Writes one row, values in the order of the columns. Returns the new
    // row's ID (its rowid), 0 with *error on failure.
    //
    // On a server the rows are collected and sent a thousand at a time with
    // COPY, never one round trip each, and the server writes them while the
    // next ones are collected. IDs are taken from the table's sequence in
    // blocks, so the ID is known at once; with Ids::NotNeeded the server
    // numbers the rows as it writes them, asks nothing in between, and
    // insert() returns 1 for a row taken. Collected rows go out before the
    // next statement on the connection and before a commit (a failure then
    // fails that statement or the commit); a rollback drops them.
    qint64 insert(const QVector<QVariant> &values, QString *error = nullptr);
    // Takes one row for a file set from the texts a server's COPY gave, each
    // read as the type its server column has: whole and real numbers bound
    // as numbers (to the last bit), everything else as the text itself (a
    // server's date text is already the stored form). The rows are written
    // many to a statement, which SQLite runs much faster than one statement
    // a row; flush() writes the last ones. False with *error on failure.
    bool insertCopied(const std::vector<CopyField> &fields, const QVector<ColumnType> &types,
                      QString *error = nullptr);
    // Sends the collected rows now and waits until the server has them; on a
    // file, writes the copied rows insertCopied still holds.
    bool flush(QString *error = nullptr);
    // Forgets the collected rows (their transaction was rolled back).
    void discard() { m_rows.clear(); }

private:
    // Sends the collected rows with one COPY; with wait, reads the answer.
    bool send(bool wait, QString *error);
    // Writes the copied rows held in m_copied: a full statement's worth with
    // m_copiedRows, fewer one by one.
    bool writeCopied(QString *error);

    // A value of a copied row, held until its statement runs; a text lies
    // in m_copiedText.
    struct CopiedValue
    {
        ColumnType type;
        qint64 whole;
        double real;
        qsizetype offset;
        int size;
    };

    DatabasePtr m_db;
    sqlite3_stmt *m_stmt = nullptr;
    int m_columns = 0;
    bool m_server = false;
    QString m_table;
    QStringList m_names;
    bool m_takesIds = false; // the table has an ID the columns do not give
    bool m_givesIds = false; // the columns give the record numbers
    QVector<qint64> m_freeIds;
    // Record numbers taken from the server at a time: a few for a few rows,
    // doubling up to several COPYs' worth for many, so that neither wastes
    // many numbers nor asks the server often.
    int m_idBlock = 1000;
    QVector<QVector<QVariant>> m_rows;
    sqlite3_stmt *m_copiedRows = nullptr; // INSERT of many rows, prepared on first use
    int m_rowsPerStatement = 0;
    std::vector<CopiedValue> m_copied;
    QByteArray m_copiedText;
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
    std::unique_ptr<Transaction> m_server; // on a server: a transaction or a savepoint
};

} // namespace store
