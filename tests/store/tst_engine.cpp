#include "store/engine.h"

#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace store;

namespace {

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// Every field of a record set as "name:type" (Integer, Double, daTe, String,
// Bool), separated by spaces.
QString fields(const RecordSet &rs)
{
    QStringList list;
    for (int i = 0; i < rs.fieldCount(); ++i)
        list << rs.fieldName(i) + QLatin1Char(':') + QLatin1Char("?IDTSB"[int(rs.fieldType(i))]);
    return list.join(QLatin1Char(' '));
}

bool plainSqliteHeader(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(16).startsWith("SQLite format 3");
}
} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    // A small account-like database: a sales table with every column type, a
    // master table and the parameter table (no ID column).
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QString error;
        m_db = Registry::create(path(u"sales.qdt"_s), &error);
        QVERIFY2(m_db, qPrintable(error));
        QVERIFY(run(u"CREATE TABLE Pro (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT COLLATE "
                    "PINYIN, Price DOUBLE);"
                    "CREATE TABLE Sale (ID INTEGER PRIMARY KEY AUTOINCREMENT, Dat DATETIME, "
                    "PID INTEGER, Num DOUBLE, Pay DOUBLE, Paid BOOLEAN, Memo TEXT COLLATE "
                    "PINYIN);"
                    "CREATE TABLE 参数 (Var TEXT COLLATE PINYIN, Con TEXT COLLATE PINYIN);"
                    "INSERT INTO Pro (Name, Price) VALUES ('钢管', 12.5), ('螺丝', 0.2);"
                    "INSERT INTO Sale (Dat, PID, Num, Pay, Paid, Memo) VALUES "
                    "('2024-01-05 09:30:00', 1, 2, 25, 1, 'a'),"
                    "('2024-01-05 15:00:00', 2, 10.5, 2.1, 0, NULL),"
                    "('2024-01-06 00:00:00', 1, 3, 37.5, 1, 'O''Neil'),"
                    "('1900-01-01 00:00:00', 2, 1, 0.2, 0, '');"_s,
                    true));
    }

    void cleanup()
    {
        m_db.reset();
        Registry::closeAll();
        m_dir.reset();
    }

    // The file on disk is encrypted and opens only with the database password.
    // Missing, empty, plain-text, unencrypted and otherwise keyed files give an
    // error text, never a crash, and open() never creates a file.
    void encryptionAndBadFiles()
    {
        const QString file = m_db->path();
        const QString plain = path(u"plain.db"_s);
        QVERIFY(run(u"ATTACH DATABASE '%1' AS plain KEY ''; CREATE TABLE plain.t (a);"
                    "DETACH DATABASE plain;"_s.arg(plain),
                    true));
        QVERIFY(plainSqliteHeader(plain));
        // A compacted copy never lands on an existing file, the set itself included.
        const QByteArray plainBytes = testsupport::readFile(plain);
        QVERIFY(!compactInto(m_db, plain));
        QVERIFY(!compactInto(m_db, file));
        QCOMPARE(testsupport::readFile(plain), plainBytes);
        QCOMPARE(column(u"SELECT Name FROM Pro"_s).size(), 2);
        m_db.reset();
        Registry::close(file);
        QVERIFY(QFileInfo(file).size() >= 1024);
        QVERIFY(!plainSqliteHeader(file));

        QString error;
        m_db = Registry::open(file, &error);
        QVERIFY2(m_db, qPrintable(error));
        QCOMPARE(column(u"SELECT Name FROM Pro ORDER BY ID"_s), QVariantList({"钢管", "螺丝"}));
        QVERIFY(run(u"PRAGMA rekey='something else'"_s, true));
        m_db.reset();
        Registry::close(file);

        const QString missing = path(u"missing.qdt"_s);
        const QString text = path(u"notes.qdt"_s);
        const QString empty = path(u"empty.qdt"_s);
        QVERIFY(testsupport::writeFile(text,
                                       QByteArray("Plain text, not a database.\n").repeated(100)));
        QVERIFY(testsupport::writeFile(empty));
        for (const QString &bad : {file, missing, text, empty, plain, m_dir->path()}) {
            error.clear();
            QVERIFY2(!Registry::open(bad, &error), qPrintable(bad));
            QVERIFY2(!error.isEmpty(), qPrintable(bad));
        }
        QVERIFY(!QFile::exists(missing));
        QCOMPARE(QFileInfo(empty).size(), 0);
        QVERIFY(!Registry::create(text)); // never replaces a file
    }

    // One connection per file: opened once, handed out again, and replaced by a
    // fresh one after close() while old holders keep theirs.
    void registryReusesConnections()
    {
        const QString file = m_db->path();
        QCOMPARE(Registry::open(file).get(), m_db.get());
        QCOMPARE(Registry::open(path(u"./sales.qdt"_s)).get(), m_db.get());
        Registry::close(file);
        DatabasePtr fresh = Registry::open(file);
        QVERIFY(fresh && fresh.get() != m_db.get());
        QCOMPARE(column(u"SELECT ID FROM Pro"_s).size(), 2); // the old holder still works
    }

    // The count is exact at once; moves walk the rows and stop at both ends; a
    // query without rows still lists every field.
    void recordCountAndMoves()
    {
        RecordSet rs;
        QVERIFY(rs.open(m_db, u"SELECT * FROM Sale ORDER BY ID"_s));
        QCOMPARE(rs.recordCount(), 4);
        QCOMPARE(rs.value(u"ID"_s), QVariant(1LL));
        int walked = 0;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            ++walked;
        QCOMPARE(walked, 4);
        QVERIFY(!rs.value(0).isValid());
        rs.moveNext(); // stays at end-of-file
        QVERIFY(rs.eof());
        rs.moveLast();
        rs.movePrevious();
        QCOMPARE(rs.value(u"id"_s), QVariant(3LL));
        rs.moveFirst();
        rs.movePrevious();
        QVERIFY(rs.bof() && !rs.value(0).isValid());
        QCOMPARE(rs.valueAt(3, 0), QVariant(4LL));
        QVERIFY(rs.open(m_db, u"SELECT * FROM Sale WHERE FALSE"_s));
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(rs.eof() && rs.bof());
        QCOMPARE(fields(rs), u"ID:I Dat:T PID:I Num:D Pay:D Paid:B Memo:S"_s);
        QCOMPARE(rs.fieldIndex(u"rowid"_s), -1); // the hidden key is not a field

        // The renamed joined field wins the name, as Jet gives it.
        QVERIFY(rs.open(m_db, u"SELECT Sale.*,Pro.Name AS PID FROM Sale,Pro WHERE "
                              "Sale.PID=Pro.ID AND Sale.Dat>=#2024-1-5# AND "
                              "Sale.Dat<#2024-1-6# ORDER BY Sale.ID"_s));
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.value(u"PID"_s), QVariant("钢管"));
        QCOMPARE(rs.value(u"Sale.PID"_s), QVariant(1LL));

        // A failing query leaves a closed, empty record set and says why.
        QString error;
        QVERIFY(!rs.open(m_db, u"SELECT * FROM NoSuchTable"_s, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!rs.isOpen() && rs.eof());
        QCOMPARE(rs.recordCount(), 0);
        QCOMPARE(rs.fieldCount(), 0);
    }

    // Values come back with the type of their column: dates as local date-times
    // (the null date included), whole and real numbers, booleans, texts, NULL.
    void valuesKeepTheirTypes()
    {
        const QVariantList first = firstRow(u"SELECT * FROM Sale ORDER BY ID"_s);
        QCOMPARE(first, QVariantList({1LL, at(2024, 1, 5, 9, 30), 1LL, 2.0, 25.0, true, "a"}));
        const QList<int> expectedTypes = {
                QMetaType::LongLong, QMetaType::QDateTime, QMetaType::LongLong, QMetaType::Double,
                QMetaType::Double,   QMetaType::Bool,      QMetaType::QString};
        for (int i = 0; i < first.size(); ++i)
            QCOMPARE(first.at(i).typeId(), expectedTypes.at(i)); // Num stored whole, still a double
        QCOMPARE(first.at(1).toDateTime().timeSpec(), Qt::LocalTime);
        QCOMPARE(firstRow(u"SELECT Num, Paid, Memo FROM Sale WHERE ID=2"_s),
                 QVariantList({10.5, false, QVariant()})); // Memo NULL
        const QVariantList last = firstRow(u"SELECT Dat, Memo FROM Sale WHERE ID=4"_s);
        QCOMPARE(last, QVariantList({at(1900, 1, 1), QString()}));
        QVERIFY(last.at(1).isValid()); // empty, not NULL

        // Expression columns take the type of their values.
        RecordSet rs;
        QVERIFY(rs.open(m_db, u"SELECT Count(*) AS N, Sum(Pay) AS S, Max(Memo) AS M "
                              "FROM Sale"_s));
        QCOMPARE(fields(rs), u"N:I S:D M:S"_s);

        // Dates written in other forms that SQLite tools may leave behind.
        QVERIFY(run(u"INSERT INTO Sale (Dat) VALUES ('2024-03-01'), (2460371.0), "
                    "(45352.25), ('2024-03-01T08:15'), ('not a date')"_s,
                    true));
        QCOMPARE(column(u"SELECT Dat FROM Sale WHERE ID>4 ORDER BY ID"_s),
                 QVariantList({at(2024, 3, 1), at(2024, 3, 1, 12), at(2024, 3, 1, 6),
                               at(2024, 3, 1, 8, 15), "not a date"}));
    }

    // Rows added through a record set get their ID from the database; changed
    // rows are written back by rowid, also in a table without an ID column.
    void addAndUpdateWriteBack()
    {
        RecordSet rs;
        QString error;
        QVERIFY(rs.open(m_db, u"SELECT * FROM Sale WHERE ID=0"_s));
        rs.addNew();
        rs.setValue(u"Dat"_s, at(2024, 2, 29, 17, 45, 3));
        rs.setValue(u"Num"_s, 4);
        rs.setValue(u"Paid"_s, true);
        rs.setValue(u"Memo"_s, u"it's 'quoted'; DROP TABLE Sale"_s);
        QVERIFY2(rs.update(&error), qPrintable(error));
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value(u"ID"_s), QVariant(5LL));
        QCOMPARE(m_db->lastInsertId(), 5);
        QCOMPARE(firstRow(u"SELECT typeof(Dat), Dat, Memo, Paid FROM Sale WHERE ID=5"_s),
                 QVariantList({"text", at(2024, 2, 29, 17, 45, 3), "it's 'quoted'; DROP TABLE Sale",
                               true}));

        // Change a row; NULL and a date typed as text are stored too.
        QVERIFY(rs.open(m_db, u"SELECT * FROM Sale WHERE ID=2"_s));
        rs.setValue(u"memo"_s, u"改过"_s);
        rs.setValue(u"Pay"_s, QVariant());
        rs.setValue(u"Dat"_s, u"2024-7-8"_s);
        QVERIFY2(rs.update(&error), qPrintable(error));
        QCOMPARE(firstRow(u"SELECT Memo, Pay, Dat FROM Sale WHERE ID=2"_s),
                 QVariantList({"改过", QVariant(), at(2024, 7, 8)}));
        QCOMPARE(column(u"SELECT Count(*) FROM Sale"_s), QVariantList({5LL}));

        // The parameter table has no ID: rowid still finds the row.
        QVERIFY(rs.open(m_db, u"SELECT * FROM 参数 WHERE FALSE"_s));
        rs.addNew();
        rs.setValue(u"Var"_s, u"默认值_Pro"_s);
        rs.setValue(u"Con"_s, u"00001|钢管"_s);
        QVERIFY2(rs.update(&error), qPrintable(error));
        QVERIFY(rs.open(m_db, u"SELECT * FROM 参数 WHERE Var='默认值_Pro'"_s));
        rs.setValue(u"Con"_s, u"00002|螺丝"_s);
        QVERIFY2(rs.update(&error), qPrintable(error));
        QCOMPARE(firstRow(u"SELECT Count(*), Max(Con) FROM 参数"_s),
                 QVariantList({1LL, "00002|螺丝"}));

        // A joined query cannot be written back; the database stays as it was.
        QVERIFY(rs.open(m_db, u"SELECT Sale.ID, Pro.Name FROM Sale, Pro WHERE "
                              "Sale.PID=Pro.ID"_s));
        rs.setValue(u"Name"_s, u"x"_s);
        QVERIFY(!rs.update(&error));
        QCOMPARE(column(u"SELECT ID FROM Pro WHERE Name='x'"_s), QVariantList());
    }

    // SELECT ... INTO makes a table with the declared types of its sources, so a
    // date column read back from it is still a date; sums become doubles, also
    // when there is no row. New tables are listed after the older ones.
    void selectIntoKeepsTypes()
    {
        QVERIFY(run(u"SELECT Dat,SUM(Pay) AS Sm INTO T_SaleAna FROM Sale WHERE "
                    "Dat>=#2024-1-1# AND Dat<#2024-1-7# GROUP BY Dat"_s));
        RecordSet rs;
        QVERIFY(rs.open(m_db, u"SELECT * FROM T_SaleAna ORDER BY Dat"_s));
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(fields(rs), u"Dat:T Sm:D"_s);
        QCOMPARE(rs.value(0), QVariant(at(2024, 1, 5, 9, 30)));
        QCOMPARE(rs.value(1), QVariant(25.0));

        QVERIFY(run(u"SELECT PID,Dat,0-Sum(Num) AS Sm, Count(*) AS N, Max(Dat) AS Last "
                    "INTO T_AnaStock FROM Sale GROUP BY PID,Dat"_s));
        QVERIFY(rs.open(m_db, u"SELECT * FROM T_AnaStock WHERE FALSE"_s));
        QCOMPARE(fields(rs), u"PID:I Dat:T Sm:D N:I Last:T"_s);

        // The derived-table form of the product analysis, with an empty result.
        QVERIFY(run(u"SELECT Pro.Name,Ana.Sm INTO T_Empty FROM Pro,(SELECT PID AS "
                    "ID,SUM(Pay) AS Sm FROM Sale WHERE Dat>#2030-1-1# GROUP BY PID) AS "
                    "Ana WHERE Pro.ID=Ana.ID"_s));
        QVERIFY(rs.open(m_db, u"SELECT * FROM T_Empty"_s));
        QCOMPARE(rs.recordCount(), 0);
        QCOMPARE(fields(rs), u"Name:S Sm:D"_s);
        QCOMPARE(m_db->tableNames(),
                 QStringList({"Pro", "Sale", "参数", "T_SaleAna", "T_AnaStock", "T_Empty"}));

        // The target exists already: refused, nothing half made.
        QVERIFY(!m_db->exec(u"SELECT PID INTO T_SaleAna FROM Sale"_s));
        QVERIFY(rs.open(m_db, u"SELECT * FROM T_SaleAna"_s));
        QCOMPARE(fields(rs), u"Dat:T Sm:D"_s);
    }

    // ALTER COLUMN ... LONG rounds the column's values to whole numbers and keeps
    // the other columns, their types and their order.
    void alterColumnToLongRounds()
    {
        QVERIFY(run(u"SELECT Pro.Name, Sum(Sale.Num) AS Sm, Max(Sale.Dat) AS D INTO "
                    "T_AnaStock1 FROM Sale, Pro WHERE Sale.PID=Pro.ID GROUP BY "
                    "Pro.Name"_s));
        QVERIFY(run(u"INSERT INTO T_AnaStock1 VALUES ('负', -2.5, NULL), ('空', NULL, "
                    "NULL)"_s));
        QVERIFY(run(u"ALTER TABLE T_AnaStock1 ALTER COLUMN Sm LONG"_s));
        RecordSet rs;
        QVERIFY(rs.open(m_db, u"SELECT * FROM T_AnaStock1 ORDER BY Name"_s));
        QCOMPARE(fields(rs), u"Name:S Sm:I D:T"_s);
        QMap<QString, QVariant> sums;
        for (; !rs.eof(); rs.moveNext())
            sums.insert(rs.value(0).toString(), rs.value(1));
        // 钢管 sums to 5, 螺丝 to 11.5; NULL stays NULL.
        QCOMPARE(sums, (QMap<QString, QVariant>{
                               {"钢管", 5LL}, {"螺丝", 12LL}, {"负", -3LL}, {"空", QVariant()}}));

        QVERIFY(!m_db->exec(u"ALTER TABLE T_AnaStock1 ALTER COLUMN Nope LONG"_s));
        QVERIFY(!m_db->exec(u"ALTER TABLE NoTable ALTER COLUMN Sm LONG"_s));
        QVERIFY(m_db->tableNames().contains(u"T_AnaStock1"_s));
    }

    // ORDER BY a text column sorts Chinese names by pinyin; equality tests and
    // grouping stay exact.
    void namesSortInPinyinOrder()
    {
        QVERIFY(run(u"DELETE FROM Pro; INSERT INTO Pro (Name) VALUES ('张三'),('李四'),"
                    "('王五'),('赵六'),('阿明'),('张三丰')"_s,
                    true));
        QCOMPARE(column(u"SELECT Name FROM Pro ORDER BY Name"_s),
                 QVariantList({"阿明", "李四", "王五", "张三", "张三丰", "赵六"}));
        // 'ab' with a zero-width space inside sorts like 'ab', yet is another name.
        QVERIFY(run(u"INSERT INTO Pro (Name) VALUES ('ab'),('a'||char(8203)||'b'),"
                    "('ab')"_s,
                    true));
        QCOMPARE(column(u"SELECT Count(*) FROM Pro WHERE Name='ab'"_s), QVariantList({2LL}));
        QCOMPARE(column(u"SELECT Name FROM Pro WHERE Name LIKE 'a%' GROUP BY Name"_s).size(), 2);
    }

    // A statement runs only as written: one that still holds a parameter nobody
    // gives a value for fails instead of running with NULL (a DELETE deleting
    // nothing, an UPDATE writing NULL everywhere); values given to a query are
    // bound; text spliced in can never start a second statement.
    void unboundParametersFail()
    {
        const QVariantList numsBefore = column(u"SELECT Num FROM Sale ORDER BY ID"_s);
        for (const char *sql :
             {"UPDATE Sale SET Num=:n", "UPDATE Sale SET Num=?", "UPDATE Sale SET Num=#n",
              "SELECT PID, Sum(Num) AS N INTO T_X FROM Sale WHERE PID=:p GROUP BY PID"}) {
            QString error;
            QVERIFY2(!m_db->exec(QString::fromUtf8(sql), &error), sql);
            QVERIFY2(!error.isEmpty(), sql);
        }
        QCOMPARE(column(u"SELECT Num FROM Sale ORDER BY ID"_s), numsBefore);
        QVERIFY(!m_db->tableNames().contains(u"T_X"_s));

        RecordSet rs;
        QVERIFY(!rs.open(m_db, u"SELECT * FROM Sale WHERE ID=:id"_s));
        QVERIFY(!rs.isOpen() && rs.recordCount() == 0);
        QVERIFY(!rs.open(m_db, u"SELECT * FROM Sale WHERE ID=?"_s, {1, 2}));
        QVERIFY(rs.open(m_db, u"SELECT Memo FROM Sale WHERE Memo=? OR ID=?"_s, {u"O'Neil"_s, -5}));
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value(0).toString(), u"O'Neil"_s);
        // Text that looks like a parameter inside a literal is no parameter.
        QVERIFY(run(u"UPDATE Sale SET Memo=':n @n $n ? #n' WHERE ID=1"_s));

        // Text spliced into a statement can never start a second statement.
        QString error;
        QVERIFY(!m_db->exec(u"DELETE * FROM Sale WHERE ID=1; DROP TABLE Pro"_s, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(m_db->tableNames().contains(u"Pro"_s));
        QCOMPARE(column(u"SELECT ID FROM Sale"_s).size(), 4);

        QVERIFY(run(u"DELETE * FROM Sale WHERE ID=1;"_s));
        QVERIFY(run(u"UPDATE Sale SET Memo='x;y' WHERE ID=2"_s));
        QCOMPARE(column(u"SELECT Memo FROM Sale ORDER BY ID"_s),
                 QVariantList({"x;y", "O'Neil", QString()}));
    }

    // Work inside a transaction reaches the file only on commit; a nested one
    // rolls back its own part only; an abandoned one leaves nothing.
    void transactionsAreAllOrNothing()
    {
        const auto count = [this] {
            return column(u"SELECT ID FROM Sale"_s).size();
        };
        const int before = count();
        {
            Transaction abandoned(m_db);
            QVERIFY(abandoned.isActive());
            QVERIFY(run(u"DELETE * FROM Sale"_s));
            QCOMPARE(count(), 0);
        }
        QCOMPARE(count(), before);

        {
            Transaction outer(m_db);
            QVERIFY(run(u"DELETE * FROM Sale WHERE ID=1"_s));
            {
                Transaction inner(m_db);
                QVERIFY(run(u"DELETE * FROM Sale WHERE ID=2"_s));
                inner.rollback();
            }
            {
                Transaction inner(m_db);
                QVERIFY(run(u"DELETE * FROM Sale WHERE ID=3"_s));
                QVERIFY(inner.commit());
            }
            QVERIFY(outer.commit());
        }
        QCOMPARE(column(u"SELECT ID FROM Sale ORDER BY ID"_s), QVariantList({2, 4}));

        // Committed work is in the file for another connection.
        const QString file = m_db->path();
        m_db.reset();
        Registry::close(file);
        m_db = Registry::open(file);
        QCOMPARE(count(), 2);
        Transaction none(nullptr);
        QVERIFY(!none.isActive());
        QVERIFY(!none.commit());
    }

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Runs a Jet statement (native SQLite ones when native is set); a failure
    // is logged with its reason.
    bool run(const QString &sql, bool native = false)
    {
        QString error;
        const bool ok = native ? m_db->execNative(sql, &error) : m_db->exec(sql, &error);
        if (!ok)
            qWarning() << sql << error;
        return ok;
    }
    // Values of the first column of every row, or of every field of the
    // first row; empty when the query fails.
    QVariantList values(const QString &sql, bool firstRowOnly)
    {
        RecordSet rs;
        QString error;
        if (!rs.open(m_db, sql, &error))
            qWarning() << sql << error;
        QVariantList values;
        for (int i = 0; !rs.eof() && (firstRowOnly ? i < rs.fieldCount() : true); ++i) {
            values << rs.value(firstRowOnly ? i : 0);
            if (!firstRowOnly)
                rs.moveNext();
        }
        return values;
    }
    QVariantList column(const QString &sql) { return values(sql, false); }
    QVariantList firstRow(const QString &sql) { return values(sql, true); }

    std::unique_ptr<QTemporaryDir> m_dir;
    DatabasePtr m_db;
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
