#include "rights.h"

namespace records {

const QStringList &rightAreas()
{
    static const QStringList areas
            = {QStringLiteral("销售数据"), QStringLiteral("采购数据"),   QStringLiteral("产品数据"),
               QStringLiteral("客户数据"), QStringLiteral("供应商数据"), QStringLiteral("账号数据"),
               QStringLiteral("员工数据")};
    return areas;
}

const QStringList &rightAreaLabels()
{
    static const QStringList labels
            = {QStringLiteral("销售数据"), QStringLiteral("采购数据"),   QStringLiteral("产品设置"),
               QStringLiteral("客户设置"), QStringLiteral("供应商设置"), QStringLiteral("账号设置"),
               QStringLiteral("员工设置")};
    return labels;
}

const QStringList &rightActions()
{
    static const QStringList actions
            = {QStringLiteral("查看"), QStringLiteral("添加"), QStringLiteral("修改"),
               QStringLiteral("删除"), QStringLiteral("打印"), QStringLiteral("导出"),
               QStringLiteral("导入")};
    return actions;
}

QStringList allRightTokens()
{
    QStringList tokens;
    for (const QString &area : rightAreas())
        for (const QString &action : rightActions())
            tokens << area + action;
    return tokens;
}

bool HasRight(const QString &rights, const QString &token)
{
    if (token.isEmpty())
        return !rights.isEmpty();
    return rights.contains(token) || rights.contains(kAllRights);
}

bool RightsCover(const QString &holder, const QString &rights)
{
    if (rights.contains(kAllRights))
        return holder.contains(kAllRights);
    for (const QString &token : allRightTokens()) {
        if (rights.contains(token) && !HasRight(holder, token))
            return false;
    }
    return true;
}

QString RightsWithin(const QString &holder, const QString &rights)
{
    if (holder.contains(kAllRights))
        return rights.contains(kAllRights) ? kAllRights : rightsStringFor(rightMarksFor(rights));
    QStringList granted;
    for (const QString &token : allRightTokens()) {
        if (HasRight(rights, token) && HasRight(holder, token))
            granted << token;
    }
    return granted.join(QLatin1Char(';'));
}

const QVector<RightsTreeRow> &rightsTreeRows()
{
    static const QVector<RightsTreeRow> rows = [] {
        QVector<RightsTreeRow> list;
        list.append({RightsTreeRow::Kind::Top, kAllRights, QString()});
        for (int a = 0; a < rightAreas().size(); ++a) {
            list.append({RightsTreeRow::Kind::Area, QStringLiteral("└─") + rightAreaLabels().at(a),
                         QString()});
            for (const QString &action : rightActions()) {
                const QString token = rightAreas().at(a) + action;
                list.append({RightsTreeRow::Kind::Action, QStringLiteral("  └┄") + token, token});
            }
        }
        return list;
    }();
    return rows;
}

QVector<bool> rightMarksFor(const QString &rights)
{
    const auto &rows = rightsTreeRows();
    QVector<bool> marks(rows.size(), false);
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).kind == RightsTreeRow::Kind::Action)
            marks[i] = HasRight(rights, rows.at(i).token);
    }
    return marks;
}

void settleRightMarks(QVector<bool> &marks)
{
    const auto &rows = rightsTreeRows();
    bool allOfArea = true;
    bool all = true;
    bool anyOfArea = false;
    for (int i = rows.size() - 1; i >= 0; --i) {
        switch (rows.at(i).kind) {
        case RightsTreeRow::Kind::Action:
            if (!marks.at(i)) {
                allOfArea = false;
                all = false;
            } else {
                anyOfArea = true;
            }
            break;
        case RightsTreeRow::Kind::Area:
            marks[i] = allOfArea;
            // Any right of an area implies viewing its list: mark the 查看 row.
            if (anyOfArea && i + 1 < rows.size())
                marks[i + 1] = true;
            allOfArea = true;
            anyOfArea = false;
            break;
        case RightsTreeRow::Kind::Top:
            marks[i] = all;
            break;
        }
    }
}

QString rightsStringFor(const QVector<bool> &marks)
{
    const auto &rows = rightsTreeRows();
    if (!marks.isEmpty() && marks.first())
        return kAllRights;
    QStringList granted;
    for (int i = 1; i < rows.size() && i < marks.size(); ++i) {
        if (rows.at(i).kind == RightsTreeRow::Kind::Action && marks.at(i))
            granted << rows.at(i).token;
    }
    return granted.join(QLatin1Char(';'));
}

} // namespace records
