#include "params.h"

#include "access.h"

namespace store {

namespace {

QString keyCondition(const QString &key)
{
    return QStringLiteral("Var='") + escapeSql(key) + QLatin1Char('\'');
}

} // namespace

QString GetVar(const QString &key)
{
    return LookupWhere(QStringLiteral("参数"), keyCondition(key), QStringLiteral("Con")).toString();
}

bool SetVar(const QString &key, const QString &value)
{
    Connection conn;
    RecordSet rs;
    OpenQuery(conn, rs, QStringLiteral("SELECT * FROM 参数 WHERE ") + keyCondition(key));
    bool written = false;
    if (rs.isOpen()) {
        if (rs.recordCount() == 0)
            rs.addNew();
        rs.setValue(QStringLiteral("Var"), key);
        rs.setValue(QStringLiteral("Con"), value);
        written = rs.update();
    }
    CloseQuery(conn, rs);
    return written;
}

} // namespace store
