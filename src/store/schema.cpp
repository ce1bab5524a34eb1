#include "schema.h"

#include "engine.h"
#include "programfolder.h"
#include "workfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cstdio>

namespace store {

namespace {

// Text columns that lists show and sort by names compare in pinyin order;
// keys, passwords and rights stay byte-exact.
QString sortedText()
{
    return QStringLiteral("TEXT COLLATE ") + QLatin1String(kTextCollation);
}

QString tableSql(const QString &table, const QStringList &columns)
{
    return QStringLiteral("CREATE TABLE %1 (%2);\n").arg(table, columns.join(QStringLiteral(", ")));
}

// The lists and analyses select by date range and group or join by
// product; settings are read by key. The analyses of stock and profit walk
// each product's movements in date order, which the product-and-date
// indexes give them without sorting or reading the rows themselves.
QString indexesSql()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS Sale_Dat ON Sale (Dat);\n"
                          "CREATE INDEX IF NOT EXISTS Sale_PID ON Sale (PID);\n"
                          "CREATE INDEX IF NOT EXISTS Sale_CID ON Sale (CID);\n"
                          "CREATE INDEX IF NOT EXISTS Pur_Dat ON Pur (Dat);\n"
                          "CREATE INDEX IF NOT EXISTS Pur_PID ON Pur (PID);\n"
                          "CREATE INDEX IF NOT EXISTS Pur_VID ON Pur (VID);\n"
                          "CREATE INDEX IF NOT EXISTS Param_Var ON 参数 (Var);\n"
                          "CREATE INDEX IF NOT EXISTS Sale_PID_Dat ON Sale (PID, Dat, Num, Pay);\n"
                          "CREATE INDEX IF NOT EXISTS Pur_PID_Dat ON Pur (PID, Dat, Num, Pay);\n");
}

// Every base table with its columns in the order the lists and the import
// field lists show them.
QString createTablesSql()
{
    const QString id = QStringLiteral("ID INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString name = QStringLiteral("Name ") + sortedText();
    const QString memo = QStringLiteral("Memo TEXT");
    const auto key = [](const char *field) {
        return QLatin1String(field) + QStringLiteral(" INTEGER DEFAULT 0");
    };
    const auto number = [](const char *field) {
        return QLatin1String(field) + QStringLiteral(" DOUBLE DEFAULT 0");
    };
    const auto text = [](const char *field) {
        return QLatin1String(field) + QStringLiteral(" TEXT");
    };

    QString sql;
    sql += tableSql(QStringLiteral("Sale"), {id, QStringLiteral("Dat DATETIME"), key("PID"),
                                             key("CID"), key("AID"), key("SID"), number("Price"),
                                             number("Num"), number("Pay"), number("Pay1"), memo});
    sql += tableSql(QStringLiteral("Pur"), {id, QStringLiteral("Dat DATETIME"), key("PID"),
                                            key("VID"), key("AID"), key("SID"), number("Price"),
                                            number("Num"), number("Pay"), number("Pay1"), memo});

    QStringList pro = {id, name, number("Price"), QStringLiteral("Unit ") + sortedText()};
    for (int n = 0; n <= 9; ++n)
        pro << QStringLiteral("P%1 ").arg(n) + sortedText();
    pro << memo;
    sql += tableSql(QStringLiteral("Pro"), pro);

    sql += tableSql(QStringLiteral("Cus"),
                    {id, name, QStringLiteral("CName ") + sortedText(), number("Disc"),
                     QStringLiteral("Prov ") + sortedText(),
                     QStringLiteral("Region ") + sortedText(), text("Address"), text("PC"),
                     text("Phone"), text("Mobile"), text("Fax"), text("Email"), text("Websit"),
                     memo});
    sql += tableSql(QStringLiteral("Prov"), {name});
    sql += tableSql(QStringLiteral("Vendor"),
                    {id, name, QStringLiteral("CName ") + sortedText(), text("Phone"),
                     text("Mobile"), text("Fax"), text("Email"), text("Address"), text("PC"),
                     text("Websit"), memo});
    sql += tableSql(QStringLiteral("Acc"), {id, name, text("Bank"), text("Account"), memo});
    sql += tableSql(QStringLiteral("Staff"), {id, name, text("PSD"), text("Phone"), text("MPhone"),
                                              text("Email"), text("Right"), memo});
    sql += tableSql(QStringLiteral("参数"), {text("Var"), text("Con")});

    return sql + indexesSql();
}

// Tables and columns added after the first account sets were made. A step
// runs once per set, in one transaction with the parameter row that records
// it, so a set has a step completely or not at all. New sets get every step
// from the template. Steps are only ever appended; a step's key and its
// statements never change once released.
struct SchemaStep
{
    const char *key; // parameter key, family 结构_
    QString sql;     // statements that add the tables or columns
};

QString receiptTablesSql(const char *table, const char *party, bool temporary)
{
    const QString create
            = temporary ? QStringLiteral("CREATE TEMP TABLE ") : QStringLiteral("CREATE TABLE ");
    const QString t = QLatin1String(table);
    QString sql = create + t
                  + QStringLiteral(" (ID INTEGER PRIMARY KEY AUTOINCREMENT, Dat DATETIME, %1 "
                                   "INTEGER DEFAULT 0, AID INTEGER DEFAULT 0, SID INTEGER "
                                   "DEFAULT 0, Pay DOUBLE DEFAULT 0, Memo TEXT);\n")
                            .arg(QLatin1String(party));
    sql += create + t
           + QStringLiteral("Line (ID INTEGER PRIMARY KEY AUTOINCREMENT, RID INTEGER DEFAULT 0, "
                            "TID INTEGER DEFAULT 0, Pay DOUBLE DEFAULT 0);\n");
    if (!temporary)
        sql += QStringLiteral("CREATE INDEX %1_%2 ON %1 (%2);\n"
                              "CREATE INDEX %1Line_RID ON %1Line (RID);\n"
                              "CREATE INDEX %1Line_TID ON %1Line (TID);\n")
                       .arg(t, QLatin1String(party));
    return sql;
}

// Receipts from customers (Rcv) and payments to vendors (Pmt); each line
// says which sale or purchase (TID) a receipt paid and by how much.
QString receiptsSql(bool temporary)
{
    return receiptTablesSql("Rcv", "CID", temporary) + receiptTablesSql("Pmt", "VID", temporary);
}

const QVector<SchemaStep> &schemaSteps()
{
    static const QVector<SchemaStep> steps = {
            {"结构_收付款", receiptsSql(false)},
    };
    return steps;
}

QString recordStepSql(const SchemaStep &step)
{
    return QStringLiteral("INSERT INTO 参数 (Var, Con) VALUES ('%1', '已添加');\n")
            .arg(QString::fromUtf8(step.key));
}

QString allStepsSql()
{
    QString sql;
    for (const SchemaStep &step : schemaSteps())
        sql += step.sql + recordStepSql(step);
    return sql;
}

// China's provincial-level divisions, offered in the customer dialog.
const char *const kProvinces[] = {
        "北京市",           "天津市", "河北省",         "山西省",         "内蒙古自治区",
        "辽宁省",           "吉林省", "黑龙江省",       "上海市",         "江苏省",
        "浙江省",           "安徽省", "福建省",         "江西省",         "山东省",
        "河南省",           "湖北省", "湖南省",         "广东省",         "广西壮族自治区",
        "海南省",           "重庆市", "四川省",         "贵州省",         "云南省",
        "西藏自治区",       "陕西省", "甘肃省",         "青海省",         "宁夏回族自治区",
        "新疆维吾尔自治区", "台湾省", "香港特别行政区", "澳门特别行政区",
};

QString startingRowsSql()
{
    QString sql;
    for (const char *province : kProvinces)
        sql += QStringLiteral("INSERT INTO Prov (Name) VALUES ('%1');\n")
                       .arg(QString::fromUtf8(province));
    // The catch-all salesman, and the first user the login window names. The
    // catch-all row has no password at all (not an empty one), so nobody
    // logs in under it until it is given a password.
    sql += QStringLiteral("INSERT INTO Staff (Name, PSD, Right) VALUES ('其他', NULL, '');\n"
                          "INSERT INTO Staff (Name, PSD, Right) VALUES ('zunta', 'zunta', "
                          "'所有权限');\n");
    return sql;
}

} // namespace

bool BuildTemplate(const QString &path, QString *error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("文件已存在：%1").arg(path);
        return false;
    }
    bool ok = false;
    {
        const DatabasePtr db = Registry::create(path, error);
        if (!db)
            return false;
        ok = db->execNative(QStringLiteral("BEGIN;\n") + createTablesSql() + startingRowsSql()
                                    + allStepsSql() + QStringLiteral("COMMIT;"),
                            error);
        if (!ok)
            db->execNative(QStringLiteral("ROLLBACK"));
    }
    // The template is copied as a file; no connection may stay on it.
    Registry::close(path);
    if (!ok)
        QFile::remove(path);
    return ok;
}

QStringList BaseTableNames()
{
    static const QStringList names = [] {
        QStringList found;
        const QRegularExpression create(QStringLiteral("CREATE TABLE (\\S+) \\("));
        auto it = create.globalMatch(createTablesSql());
        while (it.hasNext())
            found << it.next().captured(1);
        return found;
    }();
    return names;
}

bool IsSoundAccountSetFile(const QString &path)
{
    bool sound = false;
    {
        const DatabasePtr db = Registry::open(path);
        if (db) {
            const QStringList tables = db->tableNames();
            sound = std::all_of(BaseTableNames().cbegin(), BaseTableNames().cend(),
                                [&tables](const QString &name) { return tables.contains(name); });
            RecordSet rs;
            sound = sound && rs.open(db, QStringLiteral("PRAGMA quick_check")) && !rs.eof()
                    && rs.value(0).toString() == QLatin1String("ok");
        }
    }
    Registry::close(path);
    return sound;
}

bool EnsureSchema(const QString &fileName)
{
    const DatabasePtr db = Registry::open(programFilePath(fileName));
    if (!db)
        return false;
    // Only sets that have the tables get them; a foreign file stays as it is.
    const QStringList tables = db->tableNames();
    if (!tables.contains(QStringLiteral("Sale")) || !tables.contains(QStringLiteral("Pur"))
        || !tables.contains(QStringLiteral("参数")))
        return false;
    QStringList done;
    {
        RecordSet rs;
        if (!rs.open(db, QStringLiteral("SELECT Var FROM 参数 WHERE Var LIKE '结构_%'")))
            return false;
        for (; !rs.eof(); rs.moveNext())
            done << rs.value(0).toString();
    }
    if (db->isReadOnly()) {
        // A set that cannot be written still shows its receipts as none, so
        // the lists and analyses that read them work for looking.
        if (!done.contains(QStringLiteral("结构_收付款"))
            && !tables.contains(QStringLiteral("Rcv")))
            db->execNative(receiptsSql(true));
        return false;
    }
    bool ok = true;
    for (const SchemaStep &step : schemaSteps()) {
        if (done.contains(QString::fromUtf8(step.key)))
            continue;
        if (db->execNative(QStringLiteral("BEGIN;\n") + step.sql + recordStepSql(step)
                           + QStringLiteral("COMMIT;")))
            continue;
        db->execNative(QStringLiteral("ROLLBACK"));
        ok = false;
        break;
    }
    // Indexes change no result, only speed; made last so a step's tables
    // never wait for them. A set that has them all is only read: opening it
    // writes nothing.
    QStringList indexes;
    {
        RecordSet rs;
        if (!rs.open(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='index'")))
            return false;
        for (; !rs.eof(); rs.moveNext())
            indexes << rs.value(0).toString();
    }
    static const QRegularExpression named(QStringLiteral("IF NOT EXISTS (\\S+) ON"));
    bool missing = false;
    for (auto it = named.globalMatch(indexesSql()); it.hasNext() && !missing;)
        missing = !indexes.contains(it.next().captured(1));
    if (!missing)
        return ok;
    if (db->execNative(QStringLiteral("BEGIN;\n") + indexesSql() + QStringLiteral("COMMIT;")))
        return ok;
    db->execNative(QStringLiteral("ROLLBACK"));
    return false;
}

QStringList SchemaStepKeys()
{
    QStringList keys;
    for (const SchemaStep &step : schemaSteps())
        keys << QString::fromUtf8(step.key);
    return keys;
}

bool EnsureTemplate(QString *error)
{
    const QString target = programFilePath(QLatin1String(kTemplateFileName));
    if (QFileInfo::exists(target) && IsSoundAccountSetFile(target))
        return true;
    return RebuildTemplate(error);
}

bool RebuildTemplate(QString *error)
{
    const QString target = programFilePath(QLatin1String(kTemplateFileName));
    Registry::close(target);
    // Built under a work name and renamed, so a half-written template never
    // carries the real name. A damaged template (random bytes, empty,
    // truncated, another password) is replaced in the same rename.
    const QString work = workFileBeside(target, QStringLiteral("new"));
    if (!BuildTemplate(work, error))
        return false;
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(target + QLatin1String(suffix));
    if (!replaceFileWith(work, target)) {
        QFile::remove(work);
        if (error)
            *error = QStringLiteral("无法写入模板文件：%1").arg(target);
        return false;
    }
    return true;
}

} // namespace store
