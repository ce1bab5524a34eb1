#include "purchases.h"

#include <QStringList>

namespace records {

const QStringList &purchaseListTitles()
{
    static const QStringList titles
            = {QStringLiteral("ID"),       QStringLiteral("序号"),     QStringLiteral("日期"),
               QStringLiteral("产品"),     QStringLiteral("供应商"),   QStringLiteral("付款账号"),
               QStringLiteral("采购员"),   QStringLiteral("采购价"),   QStringLiteral("数量"),
               QStringLiteral("应付金额"), QStringLiteral("已付金额"), QStringLiteral("备注")};
    return titles;
}

QString PurchaseFilter(const FilterBar &bar)
{
    return tradeFilter(purchaseTable(), bar);
}

QString purchaseListSql(const QDate &start, const QDate &end, const QString &filter)
{
    return tradeListSql(purchaseTable(), start, end, filter);
}

void LoadPurchaseList(grid::Grid &grid, const QDate &start, const QDate &end, const FilterBar &bar)
{
    loadTradeList(grid, purchaseTable(), purchaseListTitles(), start, end, PurchaseFilter(bar),
                  QStringLiteral("采购表"));
}

void DeleteSelectedPurchases(grid::Grid &grid)
{
    deleteSelectedTrades(grid, QStringLiteral("您确定要删除选中的采购记录？"),
                         QStringLiteral("正在删除选中的采购记录..."));
}

} // namespace records
