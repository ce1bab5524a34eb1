#include "store/jetdialect.h"

#include <QRandomGenerator>

#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;

using store::TranslatedSql;
using Kind = store::TranslatedSql::Kind;

namespace {

// A statement, its SQLite text, and the table and column INTO or ALTER COLUMN name.
void row(const char *name, const QString &jet, Kind kind, const QString &sql,
         const QString &table = QString(), const QString &column = QString())
{
    const TranslatedSql t = store::translateJet(jet);
    const bool ok = t.kind == kind && (kind == Kind::AlterToLong || t.sql == sql)
                    && (kind == Kind::Plain || (t.table == table && t.column == column));
    QVERIFY2(ok, qPrintable(u"%1: %2 [%3.%4]"_s.arg(QString::fromUtf8(name), t.sql, t.table,
                                                    t.column)));
}

void plain(const char *name, const QString &jet, const QString &sql)
{
    row(name, jet, Kind::Plain, sql);
}

// A statement left exactly as written.
void same(const char *name, const QString &jet)
{
    plain(name, jet, jet);
}
} // namespace

class TestJetDialect : public QObject
{
    Q_OBJECT

private slots:
    // Every Jet construct is rewritten; text in quotes or brackets is left as written.
    void translate()
    {
        same("untouched", "SELECT * FROM Sale WHERE ID=7");
        plain("date range", "SELECT * FROM Sale WHERE Dat>=#2024-1-5# AND Dat<#2024-01-06#",
              "SELECT * FROM Sale WHERE Dat>='2024-01-05 00:00:00' AND Dat<'2024-01-06 00:00:00'");
        same("not a date stays", "SELECT * FROM T WHERE A=#abc#");
        plain("delete star", "DELETE * FROM Sale WHERE PID=3", "DELETE FROM Sale WHERE PID=3");
        plain("top with order", "SELECT TOP 1 * FROM Pro ORDER BY ID DESC",
              "SELECT * FROM Pro ORDER BY ID DESC LIMIT 1");
        plain("top with semicolon", "select top 5 Name from Cus;", "select Name from Cus LIMIT 5;");
        same("top percent left alone", "SELECT TOP 10 PERCENT * FROM Pro");
        plain("where False, TRUE", "SELECT * FROM T where False OR TRUE",
              "SELECT * FROM T where 0 OR 1");
        same("qualified column named False", "SELECT T.False FROM T");
        same("quotes untouched",
             "SELECT * FROM Cus WHERE Name='O''Neil #1# DELETE * FROM TOP 1 false' AND ID=2");
        same("double quotes untouched", "SELECT * FROM Cus WHERE Name=\"a #1# false\"");
        same("brackets untouched", "SELECT [False], [Top 1] FROM [My Table]");
        plain("a bracket ends at its first ]", "SELECT [a]] FROM T WHERE d=#2001-1-1#",
              "SELECT [a]] FROM T WHERE d='2001-01-01 00:00:00'");
        same("unterminated quote", "SELECT 'abc #2024-1-1# false");

        // Only a top-level INTO makes a SELECT ... INTO.
        row("select into",
            "SELECT CID,Sum(Pay) AS Sm INTO T_AnaCus FROM Sale WHERE Dat>=#2024-1-1# GROUP BY CID",
            Kind::SelectInto,
            "SELECT CID,Sum(Pay) AS Sm FROM Sale WHERE Dat>='2024-01-01 00:00:00' GROUP BY CID",
            "T_AnaCus");
        row("select into, lower case, bracket name", "select Dat into [T_X] from Sale",
            Kind::SelectInto, "select Dat from Sale", "T_X");

        // No literal may run into another or be rewritten.
        plain("date against a quote", "SELECT * FROM Cus WHERE Name='x'#2001-01-01#",
              "SELECT * FROM Cus WHERE Name='x' '2001-01-01 00:00:00'");
        plain("two dates against each other", "SELECT #2001-1-1##2001-1-2#",
              "SELECT '2001-01-01 00:00:00' '2001-01-02 00:00:00'");
        same("lone # before a quote", "SELECT * FROM T WHERE a=# AND b='#TRUE' OR c=#x");
        same("# closed only inside a quote", "UPDATE T SET a=#2001-1-1 WHERE b='#'");
        row("into against a quote", "SELECT 'a' INTO T'b' FROM X", Kind::SelectInto,
            "SELECT 'a' 'b' FROM X", "T");
        plain("tops side by side", "SELECT TOP 1 a FROM t UNION SELECT TOP 2 b FROM u;",
              "SELECT a FROM t UNION SELECT b FROM u LIMIT 2 LIMIT 1;");

        row("alter to long", "ALTER TABLE T_SaleAna ALTER COLUMN Sm LONG", Kind::AlterToLong,
            QString(), "T_SaleAna", "Sm");
        same("alter to another type", "ALTER TABLE T ALTER COLUMN Sm TEXT");
    }

    // For PostgreSQL names, texts and operators are spelled as the server reads them.
    void postgres()
    {
        const auto pg = [](const char *name, const char *jet, const char *sql) {
            const QString got
                    = store::translateJet(QString::fromUtf8(jet), store::SqlTarget::Postgres).sql;
            QVERIFY2(got == QString::fromUtf8(sql),
                     qPrintable(QString::fromUtf8(name) + u": "_s + got));
        };
        pg("dates", "SELECT * FROM Sale WHERE Dat>=#2024-1-5# AND Dat<#1/6/2024 2:30 PM#",
           "SELECT * FROM Sale WHERE Dat>=TIMESTAMP '2024-01-05 00:00:00' AND Dat<TIMESTAMP "
           "'2024-01-06 14:30:00'");
        pg("booleans stay", "SELECT * FROM T where False OR TRUE",
           "SELECT * FROM T where False OR TRUE");
        pg("no rows", "SELECT * FROM Sale WHERE 0 ORDER BY ID; SELECT 1 FROM T WHERE 0=ID",
           "SELECT * FROM Sale WHERE FALSE ORDER BY ID; SELECT 1 FROM T WHERE 0=ID");
        pg("brackets", "SELECT [Name], [A\"b] FROM [参数]",
           "SELECT \"name\", \"a\"\"b\" FROM \"参数\"");
        pg("double quotes are texts", "SELECT * FROM Cus WHERE Name=\"O'Neil \"\"x\"\"\"",
           "SELECT * FROM Cus WHERE Name='O''Neil \"x\"'");
        pg("like ignores case", "SELECT * FROM Cus WHERE Name like '%a!_%' ESCAPE '!'",
           "SELECT * FROM Cus WHERE Name ILIKE '%a!_%' ESCAPE '!'");
        pg("the Right column",
           "SELECT Right, Staff.Right, right(Name, 1) FROM Staff RIGHT JOIN T ON 1=1",
           "SELECT \"right\", Staff.\"right\", right(Name, 1) FROM Staff RIGHT JOIN T ON 1=1");
        pg("numbered parameters", "SELECT * FROM Cus WHERE Name=? AND Memo<>'?' AND ID>?",
           "SELECT * FROM Cus WHERE Name=$1 AND Memo<>'?' AND ID>$2");
        pg("binary collation", "SELECT * FROM Staff WHERE Name='a' COLLATE BINARY",
           "SELECT * FROM Staff WHERE Name='a' COLLATE \"C\"");
        pg("select into a scratch table",
           "SELECT TOP 3 CID,Sum(Pay) AS Sm INTO T_AnaCus FROM Sale WHERE Dat>=#2024-1-1# GROUP BY "
           "CID",
           "CREATE TEMP TABLE T_AnaCus AS SELECT CID,Sum(Pay) AS Sm FROM Sale WHERE Dat>=TIMESTAMP "
           "'2024-01-01 00:00:00' GROUP BY CID LIMIT 3");
        pg("alter to long", "ALTER TABLE T_SaleAna ALTER COLUMN [Sm] LONG",
           "ALTER TABLE \"t_saleana\" ALTER COLUMN \"sm\" TYPE bigint USING "
           "round(\"sm\"::numeric)::bigint");
        pg("empty values the smallest, record numbers as they are",
           "SELECT * FROM T ORDER BY Sm DESC, ID, Dat, T.[ID] DESC, Name ASC, x NULLS LAST; SELECT "
           "(SELECT TOP 1 Dat FROM Pur ORDER BY Pur.Dat) FROM T ORDER BY Pay/Num FOR UPDATE",
           "SELECT * FROM T ORDER BY Sm DESC NULLS LAST, ID, Dat NULLS FIRST, T.\"id\" DESC, Name "
           "ASC NULLS FIRST, x NULLS LAST; SELECT (SELECT Dat FROM Pur ORDER BY Pur.Dat NULLS "
           "FIRST LIMIT 1) FROM T ORDER BY Pay/NULLIF(Num, 0) NULLS FIRST FOR UPDATE");
        pg("division by zero gives NULL",
           "SELECT Sum(Pay)/Sum(Num), Pay / [Sale].[Num], (Pay+1)/(Num-1), 6/2 FROM Sale",
           "SELECT Sum(Pay)/NULLIF(Sum(Num), 0), Pay / NULLIF(\"sale\".\"num\", 0), "
           "(Pay+1)/NULLIF((Num-1), 0), 6/NULLIF(2, 0) FROM Sale");
        pg("inner queries named",
           "SELECT Count(*) FROM (SELECT TOP 2 * FROM Sale) WHERE ID IN (SELECT ID FROM (SELECT ID "
           "FROM Pur) AS p) AND 0 < (SELECT Count(*) FROM (SELECT 1 FROM Cus) x) ORDER BY 1",
           "SELECT Count(*) FROM (SELECT * FROM Sale LIMIT 2) AS sub1 WHERE ID IN (SELECT ID FROM "
           "(SELECT ID FROM Pur) AS p) AND 0 < (SELECT Count(*) FROM (SELECT 1 FROM Cus) x) ORDER "
           "BY 1 NULLS FIRST");
        pg("literals untouched", "DELETE * FROM Sale WHERE Memo='TOP 1 [x] \"y\" like #1/1/2001#'",
           "DELETE FROM Sale WHERE Memo='TOP 1 [x] \"y\" like #1/1/2001#'");
    }

    // A date literal as stored (ISO, slashes or US order); empty when it is no date.
    void dateLiterals()
    {
        const QList<QPair<QString, QString>> cases
                = {{"2024-1-5", "2024-01-05 00:00:00"},
                   {"2024/12/31", "2024-12-31 00:00:00"},
                   {"1/5/2024", "2024-01-05 00:00:00"},
                   {"2024-1-5 9:3", "2024-01-05 09:03:00"},
                   {"1/5/2024 2:30:00 PM", "2024-01-05 14:30:00"},
                   {"1/5/2024 12:00 AM", "2024-01-05 00:00:00"},
                   {"2023-02-29", ""},
                   {"2024-1-5 25:00", ""},
                   {"1/5/2024 13:00 PM", ""},
                   {"5-1-2024", ""}};
        for (const auto &[body, stored] : cases)
            QCOMPARE(store::jetDateToSqlite(body), stored);
    }

    // Only a plain query on one table gets the hidden rowid for writing rows back.
    void hiddenRowid()
    {
        // A query, its table and the query with the rowid; no table when it gets none.
        const QList<std::tuple<QString, QString, QString>> cases
                = {{"SELECT * FROM 参数 WHERE 0", "参数", "SELECT rowid, * FROM 参数 WHERE 0"},
                   {"SELECT s.Num FROM Sale AS s", "Sale", "SELECT rowid, s.Num FROM Sale AS s"},
                   {"SELECT * FROM Sale WHERE PID IN (SELECT ID FROM Pro GROUP BY ID)", "Sale",
                    "SELECT rowid, * FROM Sale WHERE PID IN (SELECT ID FROM Pro GROUP BY ID)"},
                   {"SELECT Sale.* FROM Sale,Pro WHERE Sale.PID=Pro.ID", "", ""},
                   {"SELECT PID FROM Sale GROUP BY PID", "", ""},
                   {"SELECT DISTINCT PID FROM Sale", "", ""},
                   {"SELECT * FROM (SELECT * FROM Sale)", "", ""}};
        for (const auto &[sql, table, withRowid] : cases) {
            const store::RowidQuery q = store::withHiddenRowid(sql);
            QCOMPARE(q.table, table);
            if (!table.isEmpty())
                QCOMPARE(q.sql, withRowid);
        }
    }

    // The count of a query's rows drops a final ORDER BY, not one that decides the rows.
    void countingSql()
    {
        const QList<QPair<QString, QString>> cases = {
                {"SELECT * FROM Sale WHERE Memo='ORDER BY' order by Dat, ID",
                 "(SELECT * FROM Sale  NOT INDEXED WHERE Memo='ORDER BY' )"},
                {"SELECT a FROM t AS x,u UNION SELECT a FROM v ORDER BY a",
                 "(SELECT a FROM t AS x NOT INDEXED ,u UNION SELECT a FROM v )"},
                {"SELECT s.ID FROM Sale s LEFT JOIN Pro ON s.PID=Pro.ID",
                 "(SELECT s.ID FROM Sale s  NOT INDEXED LEFT JOIN Pro ON s.PID=Pro.ID)"},
                {"SELECT * FROM t ORDER BY (SELECT 1 LIMIT 1)", "(SELECT * FROM t  NOT INDEXED )"},
                {"SELECT * FROM (SELECT * FROM t ORDER BY a LIMIT 3)",
                 "(SELECT * FROM (SELECT * FROM t ORDER BY a LIMIT 3))"},
                {"SELECT * FROM t ORDER BY a LIMIT 3", "(SELECT * FROM t ORDER BY a LIMIT 3)"},
                {"SELECT * FROM t ORDER BY a OFFSET 3", "(SELECT * FROM t ORDER BY a OFFSET 3)"},
                {"SELECT * FROM t /* ORDER BY */ WHERE a=1",
                 "(SELECT * FROM t /* ORDER BY */ WHERE a=1)"},
                {"SELECT * FROM t INDEXED BY t_a WHERE a>1",
                 "(SELECT * FROM t INDEXED BY t_a WHERE a>1)"}};
        for (const auto &[sql, counted] : cases)
            QCOMPARE(store::countingSql(sql), u"SELECT Count(*) FROM "_s + counted);
    }

    // Random statements: every quoted text comes out as it went in, and translating is stable.
    void literalsNeverChange()
    {
        static const QRegularExpression literal(u"'(?:[^']|'')*'"_s);
        static const QRegularExpression fromDoubleQuotes(u"^'a # b(\"a # b)*'$"_s);
        static const QRegularExpression storedDate(
                u"^'\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d'$"_s);
        const auto check = [&](const QString &sql, const QStringList &texts) {
            for (const store::SqlTarget target :
                 {store::SqlTarget::Sqlite, store::SqlTarget::Postgres}) {
                const TranslatedSql t = store::translateJet(sql, target);
                QStringList out;
                for (auto it = literal.globalMatch(t.sql); it.hasNext();)
                    out << it.next().captured();
                // New texts: dates, and for PostgreSQL the double-quoted ones.
                out.removeIf([](const QString &text) {
                    return storedDate.match(text).hasMatch()
                           || fromDoubleQuotes.match(text).hasMatch();
                });
                QVERIFY2(out == texts, qPrintable(sql + u" => "_s + t.sql));
                if (t.kind == Kind::Plain && target == store::SqlTarget::Sqlite)
                    QVERIFY2(store::translateJet(t.sql).sql == t.sql, qPrintable(sql));
            }
        };

        const QStringList code
                = u"SELECT|TOP 2|DISTINCT|*|FROM|T|WHERE|INTO|T_Y|(|)|=|AND|OR|TRUE|"
                  "false|DELETE * FROM|#2001-01-01#|#1/5/2024 2:30 PM#|#|#x|#abc#|"
                  ":p|@p|$p|?|;|ALTER|COLUMN|LONG|\"a # b\"|[Top 1]|\n"_s.split(QLatin1Char('|'));
        const QStringList pieces = u"#|'|TRUE|TOP 1|INTO T|2001-01-01|DELETE * FROM|"
                                   " |张|:p|?|x"_s.split(QLatin1Char('|'));
        QRandomGenerator random(19491001);
        for (int round = 0; round < 5000; ++round) {
            QString sql;
            QStringList texts;
            const int length = 2 + int(random.bounded(16));
            bool textEnds = false; // the statement so far ends in a quoted text
            for (int i = 0; i < length; ++i) {
                if (random.bounded(3) == 0) {
                    // Two texts glued together are one with a quote in it.
                    if (textEnds)
                        sql += QLatin1Char(' ');
                    QString inner;
                    for (int k = int(random.bounded(5)); k > 0; --k)
                        inner += pieces.at(int(random.bounded(pieces.size())));
                    inner.replace(QLatin1Char('\''), u"''"_s);
                    texts << QLatin1Char('\'') + inner + QLatin1Char('\'');
                    sql += texts.last();
                    textEnds = true;
                } else {
                    sql += code.at(int(random.bounded(code.size())));
                    textEnds = false;
                }
                if (random.bounded(2) == 0) {
                    sql += QLatin1Char(' ');
                    textEnds = false;
                }
            }
            check(sql, texts);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestJetDialect)
#include "tst_jetdialect.moc"
