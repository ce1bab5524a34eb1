#include "store/engine.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using store::ColumnType;
using store::DatabasePtr;
using store::RecordSet;
using store::Registry;

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void encryption();
    void badFilesFailCleanly();
    void registryReusesConnections();
    void recordCountAndMoves();
    void valuesKeepTheirTypes();
    void emptyQueryKeepsFieldList();
    void addAndUpdateWriteBack();
    void joinedFieldNames();
    void selectIntoKeepsTypes();
    void alterColumnToLongRounds();
    void namesSortInPinyinOrder();
    void statementsRunOneAtATime();
    void tableNamesInCreationOrder();
    void compaction();

private:
    DatabasePtr createSales();
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestEngine::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestEngine::cleanup()
{
    Registry::closeAll();
    m_dir.reset();
}

// A small account-like database: a sales table with every column type and a
// master table.
DatabasePtr TestEngine::createSales()
{
    QString error;
    DatabasePtr db = Registry::create(path(QStringLiteral("sales.qdt")), &error);
    if (!db)
        return db;
    const bool made = db->execNative(
            QStringLiteral("CREATE TABLE Pro (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT "
                           "COLLATE PINYIN, Price DOUBLE);"
                           "CREATE TABLE Sale (ID INTEGER PRIMARY KEY AUTOINCREMENT, Dat DATETIME, "
                           "PID INTEGER, Num DOUBLE, Pay DOUBLE, Paid BOOLEAN, Memo TEXT COLLATE "
                           "PINYIN);"
                           "CREATE TABLE 参数 (Var TEXT COLLATE PINYIN, Con TEXT COLLATE PINYIN);"
                           "INSERT INTO Pro (Name, Price) VALUES ('钢管', 12.5), ('螺丝', 0.2);"
                           "INSERT INTO Sale (Dat, PID, Num, Pay, Paid, Memo) VALUES "
                           "('2024-01-05 09:30:00', 1, 2, 25, 1, 'a'),"
                           "('2024-01-05 15:00:00', 2, 10.5, 2.1, 0, NULL),"
                           "('2024-01-06 00:00:00', 1, 3, 37.5, 1, 'O''Neil'),"
                           "('1900-01-01 00:00:00', 2, 1, 0.2, 0, '');"),
            &error);
    if (!made) {
        qWarning() << error;
        return nullptr;
    }
    return db;
}

// The file on disk is encrypted: no plain SQLite header, readable only with
// the database password.
void TestEngine::encryption()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    const QString file = db->path();
    db.reset();
    Registry::close(file);

    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray header = raw.read(16);
    raw.close();
    QCOMPARE(header.size(), 16);
    QVERIFY(!header.startsWith("SQLite format 3"));
    QVERIFY(!raw.open(QIODevice::ReadOnly) || !raw.readAll().contains("钢管"));
    raw.close();

    QString error;
    db = Registry::open(file, &error);
    QVERIFY2(db, qPrintable(error));
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Pro"), &error));
    QCOMPARE(rs.recordCount(), 2);

    // Give the file another key: the program's password no longer opens it.
    QVERIFY(db->execNative(QStringLiteral("PRAGMA rekey='something else'"), &error));
    rs.close();
    db.reset();
    Registry::close(file);
    error.clear();
    QVERIFY(!Registry::open(file, &error));
    QVERIFY(!error.isEmpty());

    // A new file made by create() is encrypted too, even before any table.
    const QString fresh = path(QStringLiteral("fresh.qdt"));
    QVERIFY(Registry::create(fresh, &error));
    Registry::close(fresh);
    QFile freshFile(fresh);
    QVERIFY(freshFile.open(QIODevice::ReadOnly));
    QVERIFY(freshFile.size() > 0);
    QVERIFY(!freshFile.read(16).startsWith("SQLite format 3"));
    QVERIFY(Registry::open(fresh, &error));

    // create() never replaces an existing file.
    QVERIFY(!Registry::create(fresh, &error));
}

// Missing, empty, plain-text and unencrypted files give an error text, never
// a crash, and open() never creates a file.
void TestEngine::badFilesFailCleanly()
{
    QString error;
    const QString missing = path(QStringLiteral("missing.qdt"));
    QVERIFY(!Registry::open(missing, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(missing));

    const QString text = path(QStringLiteral("notes.qdt"));
    {
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("This is a plain text file, not a database.\n").repeated(100));
    }
    error.clear();
    QVERIFY(!Registry::open(text, &error));
    QVERIFY(!error.isEmpty());

    const QString empty = path(QStringLiteral("empty.qdt"));
    {
        QFile f(empty);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    error.clear();
    QVERIFY(!Registry::open(empty, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(QFileInfo(empty).size(), 0);

    // An unencrypted SQLite database is not an account set either.
    DatabasePtr db = createSales();
    QVERIFY(db);
    const QString plain = path(QStringLiteral("plain.db"));
    QVERIFY2(db->execNative(QStringLiteral("ATTACH DATABASE '%1' AS plain KEY '';"
                                           "CREATE TABLE plain.t (a INTEGER);"
                                           "INSERT INTO plain.t VALUES (1);"
                                           "DETACH DATABASE plain;")
                                    .arg(plain),
                            &error),
             qPrintable(error));
    {
        QFile f(plain);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(16).startsWith("SQLite format 3"));
    }
    error.clear();
    QVERIFY(!Registry::open(plain, &error));
    QVERIFY(!error.isEmpty());

    QVERIFY(!Registry::open(m_dir->path(), &error)); // a folder
}

// One connection per file: opened once, handed out again, and replaced by a
// fresh one after close() while old holders keep theirs.
void TestEngine::registryReusesConnections()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    const QString file = db->path();
    QString error;
    DatabasePtr again = Registry::open(file, &error);
    QCOMPARE(again.get(), db.get());
    QCOMPARE(Registry::open(path(QStringLiteral("./sales.qdt")), &error).get(), db.get());

    Registry::close(file);
    DatabasePtr fresh = Registry::open(file, &error);
    QVERIFY(fresh);
    QVERIFY(fresh.get() != db.get());
    // The old holder still works until it lets go.
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Pro"), &error));
    QCOMPARE(rs.recordCount(), 2);

    // Closed before deletion: the file goes and a later open fails.
    rs.close();
    db.reset();
    again.reset();
    fresh.reset();
    Registry::close(file);
    QVERIFY(QFile::remove(file));
    QVERIFY(!Registry::open(file, &error));
    QVERIFY(!QFile::exists(file));
}

// The count is exact at once; moves walk the rows and stop at both ends.
void TestEngine::recordCountAndMoves()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    RecordSet rs;
    QString error;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Sale ORDER BY ID"), &error));
    QVERIFY(rs.isOpen());
    QCOMPARE(rs.recordCount(), 4);
    QVERIFY(!rs.eof());
    QCOMPARE(rs.value(QStringLiteral("ID")).toLongLong(), 1);

    int walked = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        ++walked;
    QCOMPARE(walked, 4);
    QCOMPARE(rs.position(), 4);
    QVERIFY(!rs.value(0).isValid());
    rs.moveNext(); // stays at end-of-file
    QVERIFY(rs.eof());

    rs.moveLast();
    QCOMPARE(rs.value(QStringLiteral("id")).toLongLong(), 4);
    rs.movePrevious();
    QCOMPARE(rs.value(QStringLiteral("ID")).toLongLong(), 3);
    rs.moveFirst();
    rs.movePrevious();
    QVERIFY(rs.bof());
    QVERIFY(!rs.value(0).isValid());
    QCOMPARE(rs.valueAt(2, rs.fieldIndex(QStringLiteral("ID"))).toLongLong(), 3);
    QVERIFY(!rs.valueAt(9, 0).isValid());

    QVERIFY(rs.open(db, QStringLiteral("SELECT TOP 1 * FROM Pro ORDER BY ID DESC"), &error));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("螺丝"));

    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Sale WHERE ID>100"), &error));
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.eof());
    QVERIFY(rs.bof());

    // A failing query leaves a closed, empty record set and says why.
    error.clear();
    QVERIFY(!rs.open(db, QStringLiteral("SELECT * FROM NoSuchTable"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!rs.isOpen());
    QCOMPARE(rs.recordCount(), 0);
    QCOMPARE(rs.fieldCount(), 0);
    QVERIFY(rs.eof());
}

// Values come back with the type of their column: dates as local date-times
// (the null date included), whole and real numbers, booleans, texts, NULL.
void TestEngine::valuesKeepTheirTypes()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    RecordSet rs;
    QString error;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Sale ORDER BY ID"), &error));
    const int dat = rs.fieldIndex(QStringLiteral("Dat"));
    QCOMPARE(rs.fieldType(dat), ColumnType::Date);
    QCOMPARE(rs.fieldType(rs.fieldIndex(QStringLiteral("ID"))), ColumnType::Integer);
    QCOMPARE(rs.fieldType(rs.fieldIndex(QStringLiteral("Num"))), ColumnType::Double);
    QCOMPARE(rs.fieldType(rs.fieldIndex(QStringLiteral("Paid"))), ColumnType::Bool);
    QCOMPARE(rs.fieldType(rs.fieldIndex(QStringLiteral("Memo"))), ColumnType::Text);

    const QVariant date = rs.value(dat);
    QCOMPARE(date.typeId(), int(QMetaType::QDateTime));
    QCOMPARE(date.toDateTime(), QDateTime(QDate(2024, 1, 5), QTime(9, 30)));
    QCOMPARE(date.toDateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(rs.value(QStringLiteral("ID")).typeId(), int(QMetaType::LongLong));
    const QVariant num = rs.value(QStringLiteral("Num"));
    QCOMPARE(num.typeId(), int(QMetaType::Double)); // stored whole, still a double
    QCOMPARE(num.toDouble(), 2.0);
    QCOMPARE(rs.value(QStringLiteral("Paid")), QVariant(true));
    QCOMPARE(rs.value(QStringLiteral("Memo")), QVariant(QStringLiteral("a")));

    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("Num")).toDouble(), 10.5);
    QCOMPARE(rs.value(QStringLiteral("Paid")), QVariant(false));
    QVERIFY(!rs.value(QStringLiteral("Memo")).isValid()); // NULL
    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("Memo")).toString(), QStringLiteral("O'Neil"));
    rs.moveNext();
    QCOMPARE(rs.value(dat).toDateTime(), QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
    QCOMPARE(rs.value(QStringLiteral("Memo")), QVariant(QString())); // empty, not NULL
    QVERIFY(rs.value(QStringLiteral("Memo")).isValid());

    // Expression columns take the type of their values.
    QVERIFY(rs.open(db,
                    QStringLiteral("SELECT Count(*) AS N, Sum(Pay) AS S, Max(Memo) AS M FROM Sale"),
                    &error));
    QCOMPARE(rs.value(QStringLiteral("N")).typeId(), int(QMetaType::LongLong));
    QCOMPARE(rs.fieldType(0), ColumnType::Integer);
    QCOMPARE(rs.value(QStringLiteral("S")).typeId(), int(QMetaType::Double));
    QCOMPARE(rs.fieldType(1), ColumnType::Double);
    QCOMPARE(rs.fieldType(2), ColumnType::Text);

    // Dates written in other forms that SQLite tools may leave behind.
    QVERIFY(db->execNative(QStringLiteral("INSERT INTO Sale (Dat) VALUES ('2024-03-01');"
                                          "INSERT INTO Sale (Dat) VALUES (2460371.0);"
                                          "INSERT INTO Sale (Dat) VALUES ('2024-03-01 08:15');"
                                          "INSERT INTO Sale (Dat) VALUES ('not a date')"),
                           &error));
    QVERIFY(rs.open(db, QStringLiteral("SELECT Dat FROM Sale WHERE ID>4 ORDER BY ID"), &error));
    QCOMPARE(rs.valueAt(0, 0).toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    QCOMPARE(rs.valueAt(1, 0).toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(12, 0)));
    QCOMPARE(rs.valueAt(2, 0).toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(8, 15)));
    QCOMPARE(rs.valueAt(3, 0), QVariant(QStringLiteral("not a date"))); // kept, not lost
}

// A query that can give no rows still lists every field.
void TestEngine::emptyQueryKeepsFieldList()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    RecordSet rs;
    QString error;
    for (const QString &sql : {QStringLiteral("SELECT * FROM Sale WHERE FALSE"),
                               QStringLiteral("SELECT * FROM Sale WHERE false")}) {
        QVERIFY2(rs.open(db, sql, &error), qPrintable(error));
        QCOMPARE(rs.recordCount(), 0);
        QCOMPARE(rs.fieldCount(), 7);
        QCOMPARE(rs.fieldName(0), QStringLiteral("ID"));
        QCOMPARE(rs.fieldName(6), QStringLiteral("Memo"));
        QCOMPARE(rs.fieldType(1), ColumnType::Date);
    }
    QCOMPARE(rs.fieldIndex(QStringLiteral("rowid")), -1); // the hidden key is not a field
    QCOMPARE(rs.fieldIndex(QStringLiteral("nothing")), -1);
}

// Rows added through a record set get their ID from the database; changed
// rows are written back by rowid, also in a table without an ID column.
void TestEngine::addAndUpdateWriteBack()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Sale WHERE ID=0"), &error));
    rs.addNew();
    rs.setValue(QStringLiteral("Dat"), QDateTime(QDate(2024, 2, 29), QTime(17, 45, 3)));
    rs.setValue(QStringLiteral("PID"), 2);
    rs.setValue(QStringLiteral("Num"), 4);
    rs.setValue(QStringLiteral("Pay"), 0.8);
    rs.setValue(QStringLiteral("Paid"), true);
    rs.setValue(QStringLiteral("Memo"), QStringLiteral("it's 'quoted'; DROP TABLE Sale"));
    QVERIFY2(rs.update(&error), qPrintable(error));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.value(QStringLiteral("ID")).toLongLong(), 5);
    QCOMPARE(db->lastInsertId(), 5);
    QCOMPARE(rs.value(QStringLiteral("Num")).typeId(), int(QMetaType::Double));

    RecordSet check;
    QVERIFY(check.open(db,
                       QStringLiteral("SELECT Dat, typeof(Dat) AS T, Memo, Paid FROM Sale WHERE "
                                      "ID=5"),
                       &error));
    QCOMPARE(check.value(QStringLiteral("T")).toString(), QStringLiteral("text"));
    QCOMPARE(check.value(QStringLiteral("Dat")).toDateTime(),
             QDateTime(QDate(2024, 2, 29), QTime(17, 45, 3)));
    QCOMPARE(check.value(QStringLiteral("Memo")).toString(),
             QStringLiteral("it's 'quoted'; DROP TABLE Sale"));
    QCOMPARE(check.value(QStringLiteral("Paid")), QVariant(true));

    // Change the current row; NULL and a date typed as text are stored too.
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Sale WHERE ID=2"), &error));
    rs.setValue(QStringLiteral("memo"), QStringLiteral("改过"));
    rs.setValue(QStringLiteral("Pay"), QVariant());
    rs.setValue(QStringLiteral("Dat"), QStringLiteral("2024-7-8"));
    QCOMPARE(rs.value(QStringLiteral("Memo")).toString(), QStringLiteral("改过"));
    QVERIFY2(rs.update(&error), qPrintable(error));
    QVERIFY(check.open(db, QStringLiteral("SELECT Memo, Pay, Dat FROM Sale WHERE ID=2"), &error));
    QCOMPARE(check.value(QStringLiteral("Memo")).toString(), QStringLiteral("改过"));
    QVERIFY(!check.value(QStringLiteral("Pay")).isValid());
    QCOMPARE(check.value(QStringLiteral("Dat")).toDateTime(),
             QDateTime(QDate(2024, 7, 8), QTime(0, 0)));
    QVERIFY(check.open(db, QStringLiteral("SELECT Count(*) FROM Sale"), &error));
    QCOMPARE(check.valueAt(0, 0).toLongLong(), 5);

    // The parameter table has no ID: rowid still finds the row.
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM 参数 WHERE FALSE"), &error));
    rs.addNew();
    rs.setValue(QStringLiteral("Var"), QStringLiteral("默认值_Pro"));
    rs.setValue(QStringLiteral("Con"), QStringLiteral("00001|钢管"));
    QVERIFY2(rs.update(&error), qPrintable(error));
    QCOMPARE(rs.fieldCount(), 2);
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM 参数 WHERE Var='默认值_Pro'"), &error));
    QCOMPARE(rs.recordCount(), 1);
    rs.setValue(QStringLiteral("Con"), QStringLiteral("00002|螺丝"));
    QVERIFY(rs.update(&error));
    QVERIFY(check.open(db, QStringLiteral("SELECT Con FROM 参数"), &error));
    QCOMPARE(check.recordCount(), 1);
    QCOMPARE(check.value(0).toString(), QStringLiteral("00002|螺丝"));

    // A joined query cannot be written back; the database stays as it was.
    QVERIFY(rs.open(db,
                    QStringLiteral("SELECT Sale.ID, Pro.Name FROM Sale, Pro WHERE Sale.PID=Pro.ID"),
                    &error));
    rs.setValue(QStringLiteral("Name"), QStringLiteral("x"));
    error.clear();
    QVERIFY(!rs.update(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(check.open(db, QStringLiteral("SELECT * FROM Pro WHERE Name='x'"), &error));
    QCOMPARE(check.recordCount(), 0);
}

// The list query renames joined names onto the record's own field names; the
// renamed field wins the name, as Jet gives it.
void TestEngine::joinedFieldNames()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    RecordSet rs;
    QString error;
    QVERIFY2(rs.open(db,
                     QStringLiteral("SELECT Sale.*,Pro.Name AS PID FROM Sale,Pro WHERE "
                                    "Sale.PID=Pro.ID AND Sale.Dat>=#2024-1-5# AND "
                                    "Sale.Dat<#2024-1-6# ORDER BY Sale.ID"),
                     &error),
             qPrintable(error));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.value(QStringLiteral("PID")).toString(), QStringLiteral("钢管"));
    QCOMPARE(rs.value(QStringLiteral("Sale.PID")).toLongLong(), 1);
    QCOMPARE(rs.fieldName(rs.fieldIndex(QStringLiteral("pid"))), QStringLiteral("PID"));
}

// SELECT ... INTO makes a table with the declared types of its sources, so a
// date column read back from it is still a date; sums become doubles.
void TestEngine::selectIntoKeepsTypes()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    QVERIFY2(db->exec(QStringLiteral("SELECT Dat,SUM(Pay) AS Sm INTO T_SaleAna FROM Sale WHERE "
                                     "Dat>=#2024-1-1# AND Dat<#2024-1-7# GROUP BY Dat"),
                      &error),
             qPrintable(error));
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM T_SaleAna ORDER BY Dat"), &error));
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.fieldType(0), ColumnType::Date);
    QCOMPARE(rs.fieldType(1), ColumnType::Double);
    QCOMPARE(rs.value(QStringLiteral("Dat")).toDateTime(),
             QDateTime(QDate(2024, 1, 5), QTime(9, 30)));
    QCOMPARE(rs.value(QStringLiteral("Sm")).toDouble(), 25.0);

    QVERIFY2(db->exec(QStringLiteral("SELECT PID,Dat,0-Sum(Num) AS Sm, Count(*) AS N, Max(Dat) AS "
                                     "Last INTO T_AnaStock FROM Sale GROUP BY PID,Dat"),
                      &error),
             qPrintable(error));
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM T_AnaStock WHERE FALSE"), &error));
    QCOMPARE(rs.fieldType(0), ColumnType::Integer);
    QCOMPARE(rs.fieldType(1), ColumnType::Date);
    QCOMPARE(rs.fieldType(2), ColumnType::Double);
    QCOMPARE(rs.fieldType(3), ColumnType::Integer);
    QCOMPARE(rs.fieldType(4), ColumnType::Date);

    // The derived-table form of the product analysis, and an empty result.
    QVERIFY2(db->exec(QStringLiteral("SELECT Pro.Name,Ana.Sm INTO T_Empty FROM Pro,(SELECT PID AS "
                                     "ID,SUM(Pay) AS Sm FROM Sale WHERE Dat>#2030-1-1# GROUP BY "
                                     "PID) AS Ana WHERE Pro.ID=Ana.ID"),
                      &error),
             qPrintable(error));
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM T_Empty"), &error));
    QCOMPARE(rs.recordCount(), 0);
    QCOMPARE(rs.fieldName(0), QStringLiteral("Name"));
    QCOMPARE(rs.fieldType(0), ColumnType::Text);
    QCOMPARE(rs.fieldType(1), ColumnType::Double);

    // The target exists already: refused, nothing half made.
    error.clear();
    QVERIFY(!db->exec(QStringLiteral("SELECT Dat INTO T_SaleAna FROM Sale"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM T_SaleAna"), &error));
    QCOMPARE(rs.fieldCount(), 2);
}

// ALTER COLUMN ... LONG rounds the column's values to whole numbers and keeps
// the other columns, their types and their order.
void TestEngine::alterColumnToLongRounds()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    QVERIFY(db->exec(QStringLiteral("SELECT Pro.Name, Sum(Sale.Num) AS Sm, Max(Sale.Dat) AS D "
                                    "INTO T_AnaStock1 FROM Sale, Pro WHERE Sale.PID=Pro.ID "
                                    "GROUP BY Pro.Name"),
                     &error));
    QVERIFY(db->execNative(QStringLiteral("INSERT INTO T_AnaStock1 VALUES ('负', -2.5, NULL);"
                                          "INSERT INTO T_AnaStock1 VALUES ('空', NULL, NULL)"),
                           &error));
    QVERIFY2(db->exec(QStringLiteral("ALTER TABLE T_AnaStock1 ALTER COLUMN Sm LONG"), &error),
             qPrintable(error));
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM T_AnaStock1 ORDER BY Name"), &error));
    QCOMPARE(rs.fieldCount(), 3);
    QCOMPARE(rs.fieldName(0), QStringLiteral("Name"));
    QCOMPARE(rs.fieldName(1), QStringLiteral("Sm"));
    QCOMPARE(rs.fieldType(1), ColumnType::Integer);
    QCOMPARE(rs.fieldType(2), ColumnType::Date);
    QMap<QString, QVariant> sums;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        sums.insert(rs.value(0).toString(), rs.value(1));
    QCOMPARE(sums.value(QStringLiteral("钢管")), QVariant(qlonglong(5)));
    QCOMPARE(sums.value(QStringLiteral("螺丝")), QVariant(qlonglong(12))); // 11.5
    QCOMPARE(sums.value(QStringLiteral("负")), QVariant(qlonglong(-3)));
    QVERIFY(!sums.value(QStringLiteral("空")).isValid());
    QVERIFY(db->tableNames().contains(QStringLiteral("T_AnaStock1")));

    error.clear();
    QVERIFY(!db->exec(QStringLiteral("ALTER TABLE T_AnaStock1 ALTER COLUMN Nope LONG"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!db->exec(QStringLiteral("ALTER TABLE NoTable ALTER COLUMN Sm LONG"), &error));
}

// ORDER BY a text column sorts Chinese names by pinyin; equal tests stay exact.
void TestEngine::namesSortInPinyinOrder()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    QVERIFY(db->execNative(
            QStringLiteral("DELETE FROM Pro;"
                           "INSERT INTO Pro (Name) VALUES ('张三'),('李四'),('王五'),"
                           "('赵六'),('阿明'),('张三丰')"),
            &error));
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT ID, Name FROM Pro ORDER BY Name"), &error));
    QStringList names;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        names << rs.value(QStringLiteral("Name")).toString();
    QCOMPARE(names, QStringList({QStringLiteral("阿明"), QStringLiteral("李四"),
                                 QStringLiteral("王五"), QStringLiteral("张三"),
                                 QStringLiteral("张三丰"), QStringLiteral("赵六")}));

    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Pro WHERE Name='张三'"), &error));
    QCOMPARE(rs.recordCount(), 1);
    // 'ab' with a zero-width space inside sorts like 'ab', yet is another name.
    QVERIFY(db->execNative(
            QStringLiteral("INSERT INTO Pro (Name) VALUES ('ab'),('a'||char(8203)||'b'),('ab')"),
            &error));
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Pro WHERE Name='ab'"), &error));
    QCOMPARE(rs.recordCount(), 2);
    QVERIFY(rs.open(db, QStringLiteral("SELECT Name FROM Pro WHERE Name LIKE 'a%' GROUP BY Name"),
                    &error));
    QCOMPARE(rs.recordCount(), 2);
}

// Text spliced into a statement can never start a second statement.
void TestEngine::statementsRunOneAtATime()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    QVERIFY(!db->exec(QStringLiteral("DELETE * FROM Sale WHERE ID=1; DROP TABLE Pro"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(db->tableNames().contains(QStringLiteral("Pro")));
    RecordSet rs;
    QVERIFY(rs.open(db, QStringLiteral("SELECT * FROM Sale"), &error));
    QCOMPARE(rs.recordCount(), 4);

    QVERIFY2(db->exec(QStringLiteral("DELETE * FROM Sale WHERE ID=1;"), &error), qPrintable(error));
    QVERIFY(db->exec(QStringLiteral("UPDATE Sale SET Memo='x;y' WHERE ID=2"), &error));
    QVERIFY(rs.open(db, QStringLiteral("SELECT Memo FROM Sale WHERE ID=2"), &error));
    QCOMPARE(rs.value(0).toString(), QStringLiteral("x;y"));
    QVERIFY(!db->exec(QStringLiteral("UPDATE Nowhere SET a=1"), &error));
}

void TestEngine::tableNamesInCreationOrder()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    QVERIFY(db->exec(QStringLiteral("SELECT ID INTO T_A FROM Pro"), &error));
    QCOMPARE(db->tableNames(), QStringList({QStringLiteral("Pro"), QStringLiteral("Sale"),
                                            QStringLiteral("参数"), QStringLiteral("T_A")}));
    QVERIFY(db->exec(QStringLiteral("DROP TABLE T_A"), &error));
    QVERIFY(!db->tableNames().contains(QStringLiteral("T_A")));
}

// Compaction writes a new encrypted file with every table and row.
void TestEngine::compaction()
{
    DatabasePtr db = createSales();
    QVERIFY(db);
    QString error;
    QVERIFY(db->execNative(QStringLiteral("CREATE INDEX SaleDat ON Sale (Dat);"
                                          "DELETE FROM Sale WHERE ID=4"),
                           &error));
    // Work on a connection opened the ordinary way (one that cannot create
    // files itself).
    const QString file = db->path();
    db.reset();
    Registry::close(file);
    db = Registry::open(file, &error);
    QVERIFY(db);
    const QString target = path(QStringLiteral("compact.qdt"));
    QVERIFY2(store::compactInto(db, target, &error), qPrintable(error));
    QVERIFY(!store::compactInto(db, target, &error)); // never overwrites

    QFile raw(target);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(!raw.read(16).startsWith("SQLite format 3"));
    raw.close();

    DatabasePtr copy = Registry::open(target, &error);
    QVERIFY2(copy, qPrintable(error));
    QCOMPARE(copy->tableNames(), db->tableNames());
    RecordSet rs;
    QVERIFY(rs.open(copy, QStringLiteral("SELECT * FROM Sale ORDER BY ID"), &error));
    QCOMPARE(rs.recordCount(), 3);
    rs.moveLast();
    QCOMPARE(rs.value(QStringLiteral("Memo")).toString(), QStringLiteral("O'Neil"));
    QCOMPARE(rs.fieldType(1), ColumnType::Date);
    QVERIFY(rs.open(copy, QStringLiteral("SELECT name FROM sqlite_master WHERE type='index'"),
                    &error));
    QCOMPARE(rs.recordCount(), 1);
    // New IDs continue after the old ones.
    QVERIFY(copy->exec(QStringLiteral("INSERT INTO Sale (Num) VALUES (1)"), &error));
    QCOMPARE(copy->lastInsertId(), 5);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
