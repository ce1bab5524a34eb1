#include "store/access.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace store;

namespace {

const QString kSet = QStringLiteral("DATA00001.qdt");

QString typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
        return QStringLiteral("I");
    case ColumnType::Double:
        return QStringLiteral("D");
    case ColumnType::Date:
        return QStringLiteral("T");
    case ColumnType::Text:
        return QStringLiteral("S");
    case ColumnType::Bool:
        return QStringLiteral("B");
    case ColumnType::Null:
        break;
    }
    return QStringLiteral("?");
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tablesAndFields_data();
    void tablesAndFields();
    void idsAreAssignedAndNeverReused();
    void startingRows();
    void encryptedWithPassword();
    void ensureTemplate();

private:
    testsupport::TempProgramFolder *m_folder = nullptr;
};

void TestSchema::init()
{
    m_folder = new testsupport::TempProgramFolder;
    QString error;
    QVERIFY2(BuildTemplate(programFilePath(kSet), &error), qPrintable(error));
    CurrentAccountFile = kSet;
}

void TestSchema::cleanup()
{
    delete m_folder;
    m_folder = nullptr;
}

void TestSchema::tablesAndFields_data()
{
    // Fields in order, each "name:type" with I integer, D double, T date, S text.
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("fields");
    QTest::newRow("Sale") << "Sale"
                          << "ID:I Dat:T PID:I CID:I AID:I SID:I Price:D Num:D Pay:D Pay1:D Memo:S";
    QTest::newRow("Pur") << "Pur"
                         << "ID:I Dat:T PID:I VID:I AID:I SID:I Price:D Num:D Pay:D Pay1:D Memo:S";
    QTest::newRow("Pro") << "Pro"
                         << "ID:I Name:S Price:D Unit:S P0:S P1:S P2:S P3:S P4:S P5:S P6:S P7:S "
                            "P8:S P9:S Memo:S";
    QTest::newRow("Cus") << "Cus"
                         << "ID:I Name:S CName:S Disc:D Prov:S Region:S Address:S PC:S Phone:S "
                            "Mobile:S Fax:S Email:S Websit:S Memo:S";
    QTest::newRow("Prov") << "Prov"
                          << "Name:S";
    QTest::newRow("Vendor") << "Vendor"
                            << "ID:I Name:S CName:S Phone:S Mobile:S Fax:S Email:S Address:S PC:S "
                               "Websit:S Memo:S";
    QTest::newRow("Acc") << "Acc"
                         << "ID:I Name:S Bank:S Account:S Memo:S";
    QTest::newRow("Staff") << "Staff"
                           << "ID:I Name:S PSD:S Phone:S MPhone:S Email:S Right:S Memo:S";
    QTest::newRow("参数") << "参数"
                          << "Var:S Con:S";
}

// Every base table has exactly its fields, in list order and with the
// declared types the grid formats by; the import's "WHERE FALSE" reads them.
void TestSchema::tablesAndFields()
{
    QFETCH(QString, table);
    QFETCH(QString, fields);

    RecordSet rs;
    OpenQuery(rs, QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE FALSE"));
    QVERIFY(rs.isOpen());
    QCOMPARE(rs.recordCount(), 0);
    QStringList actual;
    for (int i = 0; i < rs.fieldCount(); ++i)
        actual << rs.fieldName(i) + QLatin1Char(':') + typeName(rs.fieldType(i));
    QCOMPARE(actual.join(QLatin1Char(' ')), fields);

    // No other base tables than these, and none of them looks like a scratch table.
    Connection conn;
    QVERIFY(OpenConn(conn));
    QStringList tables = conn->tableNames();
    tables.removeIf([](const QString &name) { return name.startsWith(QLatin1String("sqlite_")); });
    tables.sort();
    QStringList expected
            = {QStringLiteral("Sale"), QStringLiteral("Pur"),   QStringLiteral("Pro"),
               QStringLiteral("Cus"),  QStringLiteral("Prov"),  QStringLiteral("Vendor"),
               QStringLiteral("Acc"),  QStringLiteral("Staff"), QStringLiteral("参数")};
    expected.sort();
    QCOMPARE(tables, expected);
}

// IDs come from the database on insert, through SQL and through a record
// set, and a deleted number is not handed out again.
void TestSchema::idsAreAssignedAndNeverReused()
{
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, Num) VALUES (#2024-02-29#, 1)")));
    QVERIFY(ExecSQL(QStringLiteral("INSERT INTO Sale (Dat, Num) VALUES (#2024-03-01#, 2)")));
    QVERIFY(ExecSQL(QStringLiteral("DELETE * FROM Sale WHERE ID=2")));

    Connection conn;
    RecordSet rs;
    OpenQuery(conn, rs, QStringLiteral("SELECT * FROM Sale WHERE ID=0"));
    rs.addNew();
    rs.setValue(QStringLiteral("Dat"), QDateTime(QDate(2024, 3, 2), QTime(0, 0)));
    rs.setValue(QStringLiteral("Num"), 3.0);
    QVERIFY(rs.update());
    QCOMPARE(rs.value(QStringLiteral("ID")).toLongLong(), 3LL);
    CloseQuery(conn, rs);

    OpenQuery(conn, rs, QStringLiteral("SELECT * FROM Sale ORDER BY ID"));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.value(QStringLiteral("ID")).toLongLong(), 1LL);
    QCOMPARE(rs.value(QStringLiteral("Dat")).toDateTime().date(), QDate(2024, 2, 29));
    // Number fields not written read as 0, like the template's defaults.
    QCOMPARE(rs.value(QStringLiteral("Pay")).toDouble(), 0.0);
    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("ID")).toLongLong(), 3LL);
    CloseQuery(conn, rs);
}

void TestSchema::startingRows()
{
    RecordSet rs;
    OpenQuery(rs, QStringLiteral("SELECT Name FROM Prov GROUP BY Name"));
    QCOMPARE(rs.recordCount(), 34);
    QStringList provinces;
    for (; !rs.eof(); rs.moveNext())
        provinces << rs.value(0).toString();
    for (const char *name : {"北京市", "广东省", "新疆维吾尔自治区", "台湾省", "澳门特别行政区"})
        QVERIFY2(provinces.contains(QString::fromUtf8(name)), name);

    OpenQuery(rs, QStringLiteral("SELECT * FROM Staff ORDER BY ID"));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("其他"));
    QCOMPARE(rs.value(QStringLiteral("Right")).toString(), QString());
    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("zunta"));
    QCOMPARE(rs.value(QStringLiteral("PSD")).toString(), QStringLiteral("zunta"));
    QCOMPARE(rs.value(QStringLiteral("Right")).toString(), QStringLiteral("所有权限"));

    for (const char *empty : {"Sale", "Pur", "Pro", "Cus", "Vendor", "Acc", "参数"}) {
        OpenQuery(rs, QStringLiteral("SELECT * FROM ") + QString::fromUtf8(empty));
        QVERIFY2(rs.isOpen() && rs.recordCount() == 0, empty);
    }
}

// The file is not readable as plain SQLite and opens only with the password.
void TestSchema::encryptedWithPassword()
{
    Registry::closeAll();
    QFile file(programFilePath(kSet));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.size() >= 1024);
    QVERIFY(!content.startsWith("SQLite format 3"));
    QVERIFY(!content.contains("CREATE TABLE"));
    QVERIFY(!content.contains(QStringLiteral("所有权限").toUtf8()));

    QVERIFY(Registry::open(programFilePath(kSet)));
    // A second build refuses to overwrite an existing file.
    QString error;
    QVERIFY(!BuildTemplate(programFilePath(kSet), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(TableExists(QStringLiteral("Sale")));
}

// The template is written when missing, under a work name first, and an
// existing one is left alone.
void TestSchema::ensureTemplate()
{
    const QString path = programFilePath(QLatin1String(kTemplateFileName));
    QVERIFY(!QFile::exists(path));
    QString error;
    QVERIFY2(EnsureTemplate(&error), qPrintable(error));
    QVERIFY(QFile::exists(path));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{QStringLiteral("DATA00001.qdt"), QStringLiteral("DATA_NULL.DAT")}));
    QVERIFY(TableExists(QStringLiteral("Staff"), QLatin1String(kTemplateFileName)));
    Registry::closeAll();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray built = file.readAll();
    file.close();
    QVERIFY(EnsureTemplate(&error));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), built);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
