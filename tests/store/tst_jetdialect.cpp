#include "store/jetdialect.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using store::TranslatedSql;

class TestJetDialect : public QObject
{
    Q_OBJECT

private slots:
    void plainStatements_data();
    void plainStatements();
    void selectInto_data();
    void selectInto();
    void alterColumn_data();
    void alterColumn();
    void dateLiterals_data();
    void dateLiterals();
    void hiddenRowid_data();
    void hiddenRowid();
    void randomStatementsKeepQuotedText();
};

// Statements that stay one SQLite statement: every Jet construct is rewritten
// and text between quotes is left exactly as written.
void TestJetDialect::plainStatements_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sqlite");

    QTest::newRow("untouched") << "SELECT * FROM Sale WHERE ID=7"
                               << "SELECT * FROM Sale WHERE ID=7";
    QTest::newRow("date range")
            << "SELECT * FROM Sale WHERE Dat>=#2024-1-5# AND Dat<#2024-01-06#"
            << "SELECT * FROM Sale WHERE Dat>='2024-01-05 00:00:00' AND Dat<'2024-01-06 00:00:00'";
    QTest::newRow("date with time") << "UPDATE Sale SET Dat=#2024/3/9 8:05:07# WHERE ID=1"
                                    << "UPDATE Sale SET Dat='2024-03-09 08:05:07' WHERE ID=1";
    QTest::newRow("not a date stays") << "SELECT * FROM T WHERE A=#abc#"
                                      << "SELECT * FROM T WHERE A=#abc#";
    QTest::newRow("delete star") << "DELETE * FROM Sale WHERE PID=3"
                                 << "DELETE FROM Sale WHERE PID=3";
    QTest::newRow("delete star lower case") << "delete  *  from 参数 WHERE Var LIKE '产品定义_P%'"
                                            << "delete from 参数 WHERE Var LIKE '产品定义_P%'";
    QTest::newRow("delete star whole table") << "DELETE * FROM Pur"
                                             << "DELETE FROM Pur";
    QTest::newRow("top with order") << "SELECT TOP 1 * FROM Pro ORDER BY ID DESC"
                                    << "SELECT * FROM Pro ORDER BY ID DESC LIMIT 1";
    QTest::newRow("top with semicolon") << "select top 5 Name from Cus;"
                                        << "select Name from Cus LIMIT 5;";
    QTest::newRow("top in derived table")
            << "SELECT A.ID FROM (SELECT TOP 2 ID FROM Pro ORDER BY ID) AS A ORDER BY A.ID DESC"
            << "SELECT A.ID FROM (SELECT ID FROM Pro ORDER BY ID LIMIT 2) AS A ORDER BY A.ID DESC";
    QTest::newRow("where FALSE") << "SELECT * FROM 参数 WHERE FALSE"
                                 << "SELECT * FROM 参数 WHERE 0";
    QTest::newRow("where false") << "SELECT * FROM 参数 WHERE false"
                                 << "SELECT * FROM 参数 WHERE 0";
    QTest::newRow("where False, TRUE") << "SELECT * FROM T where False OR TRUE"
                                       << "SELECT * FROM T where 0 OR 1";
    QTest::newRow("qualified column named False") << "SELECT T.False FROM T"
                                                  << "SELECT T.False FROM T";
    QTest::newRow("quotes untouched")
            << "SELECT * FROM Cus WHERE Name='O''Neil #1# DELETE * FROM TOP 1 false' AND ID=2"
            << "SELECT * FROM Cus WHERE Name='O''Neil #1# DELETE * FROM TOP 1 false' AND ID=2";
    QTest::newRow("double quotes untouched") << "SELECT * FROM Cus WHERE Name=\"a #1# false\""
                                             << "SELECT * FROM Cus WHERE Name=\"a #1# false\"";
    QTest::newRow("brackets untouched") << "SELECT [False], [Top 1] FROM [My Table]"
                                        << "SELECT [False], [Top 1] FROM [My Table]";
    QTest::newRow("unterminated quote") << "SELECT 'abc #2024-1-1# false"
                                        << "SELECT 'abc #2024-1-1# false";
    QTest::newRow("insert into select")
            << "INSERT INTO T_AnaStock SELECT PID,Dat,Sum(Num) AS Sm FROM Pur WHERE Dat<#2024-2-1# "
               "GROUP BY PID,Dat"
            << "INSERT INTO T_AnaStock SELECT PID,Dat,Sum(Num) AS Sm FROM Pur WHERE "
               "Dat<'2024-02-01 00:00:00' GROUP BY PID,Dat";
    QTest::newRow("top percent left alone") << "SELECT TOP 10 PERCENT * FROM Pro"
                                            << "SELECT TOP 10 PERCENT * FROM Pro";
}

void TestJetDialect::plainStatements()
{
    QFETCH(QString, jet);
    QFETCH(QString, sqlite);
    const TranslatedSql t = store::translateJet(jet);
    QCOMPARE(t.kind, TranslatedSql::Kind::Plain);
    QCOMPARE(t.sql, sqlite);
}

// SELECT ... INTO becomes the bare SELECT plus the target table; only a
// top-level INTO counts.
void TestJetDialect::selectInto_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("table");

    QTest::newRow("grouped") << "SELECT CID,Sum(Pay) AS Sm INTO T_AnaCus FROM Sale WHERE "
                                "Dat>=#2024-1-1# AND Dat<#2024-2-1# GROUP BY CID"
                             << "SELECT CID,Sum(Pay) AS Sm FROM Sale WHERE Dat>='2024-01-01 "
                                "00:00:00' AND Dat<'2024-02-01 00:00:00' GROUP BY CID"
                             << "T_AnaCus";
    QTest::newRow("derived table")
            << "SELECT Pro.Name,Ana.Sm INTO T_SaleAna FROM Pro,(SELECT PID AS ID,SUM(Num) AS Sm "
               "FROM Sale GROUP BY PID) AS Ana WHERE Pro.ID=Ana.ID"
            << "SELECT Pro.Name,Ana.Sm FROM Pro,(SELECT PID AS ID,SUM(Num) AS Sm FROM Sale GROUP "
               "BY PID) AS Ana WHERE Pro.ID=Ana.ID"
            << "T_SaleAna";
    QTest::newRow("lower case, bracket name") << "select Dat into [T_X] from Sale"
                                              << "select Dat from Sale"
                                              << "T_X";
}

void TestJetDialect::selectInto()
{
    QFETCH(QString, jet);
    QFETCH(QString, select);
    QFETCH(QString, table);
    const TranslatedSql t = store::translateJet(jet);
    QCOMPARE(t.kind, TranslatedSql::Kind::SelectInto);
    QCOMPARE(t.sql, select);
    QCOMPARE(t.table, table);
}

void TestJetDialect::alterColumn_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");

    QTest::newRow("long") << "ALTER TABLE T_SaleAna ALTER COLUMN Sm LONG" << true << "T_SaleAna"
                          << "Sm";
    QTest::newRow("lower case, semicolon")
            << "alter table T_AnaCus alter column Sm long;" << true << "T_AnaCus"
            << "Sm";
    QTest::newRow("other type") << "ALTER TABLE T ALTER COLUMN Sm TEXT" << false << ""
                                << "";
    QTest::newRow("add column") << "ALTER TABLE T ADD COLUMN Sm LONG" << false << ""
                                << "";
}

void TestJetDialect::alterColumn()
{
    QFETCH(QString, jet);
    QFETCH(bool, recognised);
    QFETCH(QString, table);
    QFETCH(QString, column);
    const TranslatedSql t = store::translateJet(jet);
    QCOMPARE(t.kind == TranslatedSql::Kind::AlterToLong, recognised);
    if (recognised) {
        QCOMPARE(t.table, table);
        QCOMPARE(t.column, column);
    }
}

void TestJetDialect::dateLiterals_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("stored");

    QTest::newRow("ISO") << "2024-01-05"
                         << "2024-01-05 00:00:00";
    QTest::newRow("short ISO") << "2024-1-5"
                               << "2024-01-05 00:00:00";
    QTest::newRow("slashes") << "2024/12/31"
                             << "2024-12-31 00:00:00";
    QTest::newRow("US order") << "1/5/2024"
                              << "2024-01-05 00:00:00";
    QTest::newRow("time h:m") << "2024-1-5 9:3"
                              << "2024-01-05 09:03:00";
    QTest::newRow("time h:m:s") << "2024-1-5 23:59:59"
                                << "2024-01-05 23:59:59";
    QTest::newRow("PM") << "1/5/2024 2:30:00 PM"
                        << "2024-01-05 14:30:00";
    QTest::newRow("12 AM") << "1/5/2024 12:00 AM"
                           << "2024-01-05 00:00:00";
    QTest::newRow("null date") << "1900-1-1"
                               << "1900-01-01 00:00:00";
    QTest::newRow("padded") << " 2024-02-29 "
                            << "2024-02-29 00:00:00";
    QTest::newRow("no such day") << "2023-02-29"
                                 << "";
    QTest::newRow("bad time") << "2024-1-5 25:00"
                              << "";
    QTest::newRow("words") << "today"
                           << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("day-first with dashes") << "5-1-2024"
                                           << "";
}

void TestJetDialect::dateLiterals()
{
    QFETCH(QString, body);
    QFETCH(QString, stored);
    QCOMPARE(store::jetDateToSqlite(body), stored);
}

// Only a plain query on one table gets the hidden rowid that lets edited rows
// be written back.
void TestJetDialect::hiddenRowid_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("withRowid");

    QTest::newRow("star") << "SELECT * FROM Sale WHERE ID=3"
                          << "Sale"
                          << "SELECT rowid, * FROM Sale WHERE ID=3";
    QTest::newRow("no ID column") << "SELECT * FROM 参数 WHERE 0"
                                  << "参数"
                                  << "SELECT rowid, * FROM 参数 WHERE 0";
    QTest::newRow("order, limit") << "SELECT * FROM Pro ORDER BY ID DESC LIMIT 1"
                                  << "Pro"
                                  << "SELECT rowid, * FROM Pro ORDER BY ID DESC LIMIT 1";
    QTest::newRow("alias") << "SELECT s.Num FROM Sale AS s"
                           << "Sale"
                           << "SELECT rowid, s.Num FROM Sale AS s";
    QTest::newRow("sub-select in where")
            << "SELECT * FROM Sale WHERE PID IN (SELECT ID FROM Pro GROUP BY ID)"
            << "Sale"
            << "SELECT rowid, * FROM Sale WHERE PID IN (SELECT ID FROM Pro GROUP BY ID)";
    QTest::newRow("join") << "SELECT Sale.* FROM Sale,Pro WHERE Sale.PID=Pro.ID"
                          << ""
                          << "";
    QTest::newRow("join keyword") << "SELECT * FROM Sale JOIN Pro ON Sale.PID=Pro.ID"
                                  << ""
                                  << "";
    QTest::newRow("grouped") << "SELECT PID FROM Sale GROUP BY PID"
                             << ""
                             << "";
    QTest::newRow("distinct") << "SELECT DISTINCT PID FROM Sale"
                              << ""
                              << "";
    QTest::newRow("derived") << "SELECT * FROM (SELECT * FROM Sale)"
                             << ""
                             << "";
    QTest::newRow("union") << "SELECT ID FROM Sale UNION SELECT ID FROM Pur"
                           << ""
                           << "";
}

void TestJetDialect::hiddenRowid()
{
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QFETCH(QString, withRowid);
    const store::RowidQuery q = store::withHiddenRowid(sql);
    QCOMPARE(q.table, table);
    if (!table.isEmpty())
        QCOMPARE(q.sql, withRowid);
}

// Statements stitched together at random from keywords, symbols and quoted
// texts: the translator never touches a quoted text, and translating its own
// output again changes nothing.
void TestJetDialect::randomStatementsKeepQuotedText()
{
    const QStringList fragments = {QStringLiteral("SELECT"),
                                   QStringLiteral("TOP"),
                                   QStringLiteral("3"),
                                   QStringLiteral("*"),
                                   QStringLiteral("FROM"),
                                   QStringLiteral("DELETE"),
                                   QStringLiteral("INTO"),
                                   QStringLiteral("T_X"),
                                   QStringLiteral("WHERE"),
                                   QStringLiteral("false"),
                                   QStringLiteral("True"),
                                   QStringLiteral("("),
                                   QStringLiteral(")"),
                                   QStringLiteral(";"),
                                   QStringLiteral("#"),
                                   QStringLiteral("ALTER"),
                                   QStringLiteral("COLUMN"),
                                   QStringLiteral("LONG"),
                                   QStringLiteral("Sale.Dat"),
                                   QStringLiteral(","),
                                   QStringLiteral("="),
                                   QStringLiteral("'O''Neil #1# TOP 2'"),
                                   QStringLiteral("'DELETE * FROM x'"),
                                   QStringLiteral("'false'"),
                                   QStringLiteral("''"),
                                   QStringLiteral("'张三 INTO T'"),
                                   QStringLiteral("\"a # b\""),
                                   QStringLiteral("[Top 1]"),
                                   QStringLiteral("参数"),
                                   QStringLiteral("\n")};
    static const QRegularExpression literal(QStringLiteral("'(?:[^']|'')*'"));
    auto literals = [](const QString &sql) {
        QStringList found;
        auto it = literal.globalMatch(sql);
        while (it.hasNext())
            found << it.next().captured();
        return found;
    };
    QRandomGenerator random(20460311);
    for (int round = 0; round < 3000; ++round) {
        QString sql;
        const int length = 1 + int(random.bounded(14));
        for (int i = 0; i < length; ++i) {
            sql += fragments.at(int(random.bounded(fragments.size())));
            if (random.bounded(3) != 0)
                sql += QLatin1Char(' ');
        }
        const TranslatedSql t = store::translateJet(sql);
        QVERIFY2(literals(t.sql) == literals(sql), qPrintable(sql));
        if (t.kind == TranslatedSql::Kind::Plain)
            QVERIFY2(store::translateJet(t.sql).sql == t.sql, qPrintable(sql));
    }
}

QTEST_GUILESS_MAIN(TestJetDialect)
#include "tst_jetdialect.moc"
