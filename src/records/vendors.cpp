#include "vendors.h"

#include "store/params.h"

namespace records {

const QStringList &vendorBoxFields()
{
    static const QStringList fields
            = {QStringLiteral("Name"),    QStringLiteral("CName"), QStringLiteral("Phone"),
               QStringLiteral("Mobile"),  QStringLiteral("Fax"),   QStringLiteral("Email"),
               QStringLiteral("Address"), QStringLiteral("PC"),    QStringLiteral("Websit"),
               QStringLiteral("Memo")};
    return fields;
}

bool loadVendor(int id, VendorInfo &info)
{
    return loadMasterTexts(QStringLiteral("Vendor"), vendorBoxFields(), id, info);
}

int saveVendor(int id, const VendorInfo &info)
{
    const int stored = saveMasterTexts(QStringLiteral("Vendor"), vendorBoxFields(), id, info);
    // The purchase dialog picks its default vendor by the entry's leading
    // number, so the entry it lists is stored, not the bare name.
    if (stored != 0)
        store::SetVar(QStringLiteral("默认值_Vendor"), masterEntry(stored, info.boxes.value(0)));
    return stored;
}

ListColumns vendorListColumns()
{
    ListColumns columns;
    columns.keys = QStringList{QStringLiteral("ID"),      QString(),
                               QStringLiteral("Name"),    QStringLiteral("CName"),
                               QStringLiteral("Phone"),   QStringLiteral("Mobile"),
                               QStringLiteral("Fax"),     QStringLiteral("Email"),
                               QStringLiteral("Address"), QStringLiteral("PC"),
                               QStringLiteral("Websit"),  QStringLiteral("Memo")};
    columns.titles
            = QStringList{QStringLiteral("ID"),     QStringLiteral("序号"), QStringLiteral("名称"),
                          QStringLiteral("联系人"), QStringLiteral("电话"), QStringLiteral("手机"),
                          QStringLiteral("传真"),   QStringLiteral("邮箱"), QStringLiteral("地址"),
                          QStringLiteral("邮编"),   QStringLiteral("网址"), QStringLiteral("备注")};
    return columns;
}

void LoadVendorList(grid::Grid &grid)
{
    loadMasterList(grid, vendorListColumns(), QStringLiteral("Vendor"), QStringLiteral("Name"),
                   QStringLiteral("供应商表"));
}

void DeleteSelectedVendors(grid::Grid &grid)
{
    // Worded as the program always has, 供庆商 included.
    deleteSelectedWithDependents(
            grid,
            QStringLiteral(
                    "您确定要删除选中的供庆商(删除供庆商将同时删除此供庆商相关的采购记录)？"),
            QStringLiteral("正在删除供庆商及其相关的采购记录..."),
            {{QStringLiteral("PmtLine"), QStringLiteral("RID"), QStringLiteral("Pmt"),
              QStringLiteral("VID")},
             {QStringLiteral("Pmt"), QStringLiteral("VID")},
             {QStringLiteral("Pur"), QStringLiteral("VID")}});
}

} // namespace records
