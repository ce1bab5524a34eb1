#include "accounts.h"

namespace records {

const QStringList &accountBoxFields()
{
    static const QStringList fields = {QStringLiteral("Name"), QStringLiteral("Bank"),
                                       QStringLiteral("Account"), QStringLiteral("Memo")};
    return fields;
}

bool loadAccount(int id, AccountInfo &info)
{
    return loadMasterTexts(QStringLiteral("Acc"), accountBoxFields(), id, info);
}

int saveAccount(int id, const AccountInfo &info)
{
    return saveMasterTexts(QStringLiteral("Acc"), accountBoxFields(), id, info);
}

ListColumns accountListColumns()
{
    ListColumns columns;
    columns.keys = QStringList{QStringLiteral("ID"),      QString(),
                               QStringLiteral("Name"),    QStringLiteral("Bank"),
                               QStringLiteral("Account"), QStringLiteral("Memo")};
    columns.titles
            = QStringList{QStringLiteral("ID"),     QStringLiteral("序号"), QStringLiteral("名称"),
                          QStringLiteral("开户行"), QStringLiteral("账号"), QStringLiteral("备注")};
    return columns;
}

void LoadFundAccountList(grid::Grid &grid)
{
    loadMasterList(grid, accountListColumns(), QStringLiteral("Acc"), QString(),
                   QStringLiteral("资金库列表"));
}

void DeleteSelectedFundAccounts(grid::Grid &grid)
{
    deleteSelectedWithDependents(
            grid,
            QStringLiteral("您确定要删除选中的资金库(删除资金库将同时删除相关的采购和销售记录)？"),
            QStringLiteral("正在删除资金库及其相关的采购/销售记录..."),
            {{QStringLiteral("Sale"), QStringLiteral("AID")},
             {QStringLiteral("Pur"), QStringLiteral("AID")}});
}

} // namespace records
