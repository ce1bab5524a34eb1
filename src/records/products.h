#pragma once

#include "masterrecords.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace grid {
class Grid;
}

namespace records {

// Record tab of the product list.
inline constexpr int kProductListTab = 3;

// Custom product fields: up to ten, k = 0 to 9, each stored in the column
// "P" + k of Pro and named by the setting "产品定义_P" + k. A field exists
// exactly when its setting holds a non-empty name.
inline constexpr int kProductFieldCount = 10;
// The product dialog's boxes: 0 name, 1 price, 2 unit, 3 memo, then one per
// defined custom field; load and save walk indices 0 to 13.
inline constexpr int kProductBoxCount = 14;
inline constexpr int kFirstCustomBox = 4;

QString productFieldKey(int k);    // "产品定义_P3"
QString productFieldColumn(int k); // "P3"

// The custom field names by k (always ten entries, empty where no field is
// defined), from the settings of the family 产品定义_P.
QStringList productFieldNames();
// Replaces the family 产品定义_P by the non-empty names of names (index = k,
// at most ten). The values stored in the columns stay in Pro. All or
// nothing: when a name cannot be written the old definitions stay, the
// failure is reported with "记录保存失败，数据没有写入！" and false returned.
bool saveProductFieldNames(const QStringList &names);

// The field bound to each product box, by box index: Name, Price, Unit,
// Memo, then "P" + k for each defined field in order of k.
QStringList productBoxFields(const QStringList &fieldNames);

// The column of a product's 最低库存: the stock at or below which it is to
// be reordered; empty (null) when it has none.
inline const QString kStockFloorField = QStringLiteral("MinNum");

// The 最低库存 a text gives: null for an empty text (no floor), the number
// for a number (blanks around it allowed); false for any other text.
bool stockFloorValue(const QString &text, QVariant &floor);

// A product whose stock is at or below its 最低库存.
struct LowStock
{
    int id = 0;
    QString name;
    double stock = 0;
    double floor = 0;
};

// Every product with a floor whose stock now (currentStock; 0 without any
// purchase or sale) is at or below it, in name order. Empty when the set
// has no floors (or no such column, as a set that could not be brought up
// to date).
QVector<LowStock> lowStockProducts();

// The list of low products as the user reads it: one line per product,
// "name：库存 X，最低库存 Y", at most maxLines of them and then how many
// more there are.
QString lowStockListText(const QVector<LowStock> &products, int maxLines = 30);

// One product as its dialog edits it: the box texts by field name
// (Name, Price, Unit, Memo, P0 … P9, MinNum).
struct ProductInfo
{
    int id = 0;
    QMap<QString, QString> texts;
};

// Reads product id; false (info untouched) when there is no such row.
bool loadProduct(int id, ProductInfo &info);
// Stores the texts under id, adding a product when there is none (id 0
// always adds one). The price is the leading number of its text (0 when
// none); the floor as stockFloorValue reads it (a text that is no number
// is stored as no floor); every other field is stored as typed. Returns the
// stored ID, 0 on failure.
int saveProduct(int id, const ProductInfo &info);

// The values of the named custom fields of every product (codes or
// barcodes a shop keeps there), by product ID; empty values are left out.
QHash<qint64, QStringList> productCodes();

// The product list's columns: ID, 序号, 产品名称, 市场定价, 单位, the
// defined custom fields in order of k, 最低库存, 备注.
ListColumns productListColumns();
// The product list: tag "Pro", whole table in table order, report title
// "产品表".
void LoadProductList(grid::Grid &grid);
// Deletes the selected products with their sales and purchases, after
// asking.
void DeleteSelectedProducts(grid::Grid &grid);

} // namespace records
