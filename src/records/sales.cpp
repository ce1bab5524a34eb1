#include "sales.h"

#include <QStringList>

namespace records {

const QStringList &salesListTitles()
{
    static const QStringList titles
            = {QStringLiteral("ID"),       QStringLiteral("序号"),     QStringLiteral("销售日期"),
               QStringLiteral("产品"),     QStringLiteral("客户"),     QStringLiteral("收款账号"),
               QStringLiteral("销售员"),   QStringLiteral("售价"),     QStringLiteral("数量"),
               QStringLiteral("应收金额"), QStringLiteral("已收金额"), QStringLiteral("备注")};
    return titles;
}

QString SalesFilter(const FilterBar &bar)
{
    return tradeFilter(saleTable(), bar);
}

QString salesListSql(const QDate &start, const QDate &end, const QString &filter)
{
    return tradeListSql(saleTable(), start, end, filter);
}

void LoadSalesList(grid::Grid &grid, const QDate &start, const QDate &end, const FilterBar &bar)
{
    loadTradeList(grid, saleTable(), salesListTitles(), start, end, SalesFilter(bar),
                  QStringLiteral("销售单"));
}

void DeleteSelectedSales(grid::Grid &grid)
{
    deleteSelectedTrades(grid, QStringLiteral("您确定要删除选中的销售记录？"),
                         QStringLiteral("正在删除选中的销售记录..."));
}

} // namespace records
