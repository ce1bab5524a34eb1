#include "products.h"

#include "trades.h"

#include "grid/grid.h"
#include "store/access.h"
#include "store/formatting.h"

#include <QLocale>

#include <cmath>

namespace records {

namespace {

const QString kFieldKeyPrefix = QStringLiteral("产品定义_P");

// k of a setting key of the family, -1 for a key that is not exactly the
// prefix followed by one digit (the family's LIKE also matches keys such as
// 产品定义XP1, where "_" stands for any character).
int fieldIndexOfKey(const QString &key)
{
    if (key.size() != kFieldKeyPrefix.size() + 1 || !key.startsWith(kFieldKeyPrefix))
        return -1;
    const QChar digit = key.back();
    if (digit < QLatin1Char('0') || digit > QLatin1Char('9'))
        return -1;
    return digit.unicode() - '0';
}

} // namespace

QString productFieldKey(int k)
{
    return kFieldKeyPrefix + QString::number(k);
}

QString productFieldColumn(int k)
{
    return QStringLiteral("P") + QString::number(k);
}

QStringList productFieldNames()
{
    QStringList names;
    for (int k = 0; k < kProductFieldCount; ++k)
        names << QString();
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, QStringLiteral("SELECT * FROM 参数 WHERE Var LIKE '产品定义_P%'"));
    for (; rs.isOpen() && !rs.eof(); rs.moveNext()) {
        const int k = fieldIndexOfKey(rs.value(QStringLiteral("Var")).toString());
        if (k >= 0)
            names[k] = boxText(rs.value(QStringLiteral("Con")));
    }
    store::CloseQuery(conn, rs);
    return names;
}

bool saveProductFieldNames(const QStringList &names)
{
    store::Connection conn;
    if (!store::OpenConn(conn))
        return false;
    // Old and new definitions change together: an interruption, or a name
    // the database refuses, never leaves the products without their fields.
    store::Transaction transaction(conn);
    bool written = store::ExecSQL(QStringLiteral("DELETE * FROM 参数 WHERE Var LIKE '产品定义_P%'"),
                                  &conn);
    store::RecordSet rs;
    // The names go in as bound values, so quotes in them are stored as typed.
    store::OpenQuery(conn, rs, QStringLiteral("SELECT * FROM 参数 WHERE false"));
    written = written && rs.isOpen();
    for (int k = 0; written && k < kProductFieldCount && k < names.size(); ++k) {
        if (names.at(k).isEmpty())
            continue;
        rs.addNew();
        rs.setValue(QStringLiteral("Var"), productFieldKey(k));
        rs.setValue(QStringLiteral("Con"), names.at(k));
        written = rs.update();
    }
    rs.close();
    if (transaction.isActive() && (!written || !transaction.commit())) {
        transaction.rollback();
        written = false;
    }
    store::CloseQuery(conn, rs);
    if (!written)
        tellSaveRefused();
    return written;
}

QStringList productBoxFields(const QStringList &fieldNames)
{
    QStringList fields = {QStringLiteral("Name"), QStringLiteral("Price"), QStringLiteral("Unit"),
                          QStringLiteral("Memo")};
    for (int k = 0; k < kProductFieldCount && k < fieldNames.size(); ++k) {
        if (!fieldNames.at(k).isEmpty())
            fields << productFieldColumn(k);
    }
    return fields;
}

bool stockFloorValue(const QString &text, QVariant &floor)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        floor = QVariant();
        return true;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return false;
    floor = value;
    return true;
}

bool loadProduct(int id, ProductInfo &info)
{
    QVariantMap values;
    if (!loadMasterRecord(QStringLiteral("Pro"), id, values))
        return false;
    info.id = values.value(QStringLiteral("ID")).toInt();
    info.texts.clear();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (it.key() != QLatin1String("ID"))
            info.texts.insert(it.key(), boxText(it.value()));
    }
    return true;
}

int saveProduct(int id, const ProductInfo &info)
{
    QVariantMap values;
    for (auto it = info.texts.constBegin(); it != info.texts.constEnd(); ++it) {
        QVariant floor;
        if (it.key() == QLatin1String("Price"))
            values.insert(it.key(), store::leadingNumber(it.value()));
        else if (it.key() == kStockFloorField)
            values.insert(it.key(), stockFloorValue(it.value(), floor) ? floor : QVariant());
        else
            values.insert(it.key(), it.value());
    }
    return saveMasterRecord(QStringLiteral("Pro"), id, values);
}

QHash<qint64, QStringList> productCodes()
{
    QHash<qint64, QStringList> codes;
    QStringList columns;
    const QStringList names = productFieldNames();
    for (int k = 0; k < names.size(); ++k) {
        if (!names.at(k).isEmpty())
            columns << productFieldColumn(k);
    }
    if (columns.isEmpty())
        return codes;
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT ID,") + columns.join(QLatin1Char(','))
                                 + QStringLiteral(" FROM Pro"));
    for (int row = 0; row < rs.recordCount(); ++row) {
        QStringList values;
        for (int c = 1; c <= columns.size(); ++c) {
            const QString value = boxText(rs.valueAt(row, c)).trimmed();
            if (!value.isEmpty())
                values << value;
        }
        if (!values.isEmpty())
            codes.insert(rs.valueAt(row, 0).toLongLong(), values);
    }
    return codes;
}

QVector<LowStock> lowStockProducts()
{
    QVector<LowStock> low;
    store::RecordSet rs;
    store::OpenQuery(rs,
                     QStringLiteral("SELECT ID,Name,MinNum,(SELECT Sum(Num) FROM Pur WHERE "
                                    "Pur.PID=Pro.ID),(SELECT Sum(Num) FROM Sale WHERE "
                                    "Sale.PID=Pro.ID) FROM Pro WHERE MinNum IS NOT NULL ORDER BY "
                                    "Name"));
    for (int row = 0; row < rs.recordCount(); ++row) {
        LowStock product;
        product.id = rs.valueAt(row, 0).toInt();
        product.name = rs.valueAt(row, 1).toString();
        product.floor = rs.valueAt(row, 2).toDouble();
        product.stock = rs.valueAt(row, 3).toDouble() - rs.valueAt(row, 4).toDouble();
        if (product.stock <= product.floor)
            low << product;
    }
    return low;
}

QString lowStockListText(const QVector<LowStock> &products, int maxLines)
{
    QStringList lines;
    for (int i = 0; i < products.size() && i < maxLines; ++i) {
        const LowStock &p = products.at(i);
        lines << QStringLiteral("%1：库存 %2，最低库存 %3")
                         .arg(p.name, plainNumber(p.stock), plainNumber(p.floor));
    }
    if (products.size() > maxLines)
        lines << QStringLiteral("……另有 %1 种").arg(products.size() - maxLines);
    return lines.join(QLatin1Char('\n'));
}

ListColumns productListColumns()
{
    ListColumns columns;
    columns.keys = QStringList{QStringLiteral("ID"), QString(), QStringLiteral("Name"),
                               QStringLiteral("Price"), QStringLiteral("Unit")};
    columns.titles
            = QStringList{QStringLiteral("ID"), QStringLiteral("序号"), QStringLiteral("产品名称"),
                          QStringLiteral("市场定价"), QStringLiteral("单位")};
    const QStringList names = productFieldNames();
    for (int k = 0; k < names.size(); ++k) {
        if (names.at(k).isEmpty())
            continue;
        columns.keys << productFieldColumn(k);
        columns.titles << names.at(k);
    }
    columns.keys << kStockFloorField << QStringLiteral("Memo");
    columns.titles << QStringLiteral("最低库存") << QStringLiteral("备注");
    return columns;
}

void LoadProductList(grid::Grid &grid)
{
    loadMasterList(grid, productListColumns(), QStringLiteral("Pro"), QString(),
                   QStringLiteral("产品表"));
}

void DeleteSelectedProducts(grid::Grid &grid)
{
    deleteSelectedWithDependents(
            grid,
            QStringLiteral(
                    "您确定要删除选中的产品(删除产品将同时删除此产品相关的采购和销售记录)？"),
            QStringLiteral("正在删除产品及其相关的采购/销售记录..."),
            {{QStringLiteral("Sale"), QStringLiteral("PID")},
             {QStringLiteral("Pur"), QStringLiteral("PID")}});
}

} // namespace records
