#include "deliverynotes.h"

#include "grid/grid.h"
#include "print/deliverynotepreview.h"
#include "print/previewsettings.h"
#include "records/products.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/params.h"
#include "store/prompts.h"

#include <QDateTime>
#include <QSet>

#include <algorithm>

namespace app {

namespace {

struct NoteTexts
{
    const records::TradeTable &table;
    QString title;
    QString records; // what the records are called in messages
    QString partner;
    QString paid;
    QString staff;
    QString prefix;
};

NoteTexts textsOf(NoteKind kind)
{
    if (kind == NoteKind::Sale)
        return {records::saleTable(),   QStringLiteral("销售单"), QStringLiteral("销售记录"),
                QStringLiteral("客户"), QStringLiteral("已收"),   QStringLiteral("销售员"),
                QStringLiteral("XS")};
    return {records::purchaseTable(), QStringLiteral("采购单"), QStringLiteral("采购记录"),
            QStringLiteral("供应商"), QStringLiteral("已付"),   QStringLiteral("采购员"),
            QStringLiteral("CG")};
}

QString joinFilled(const QStringList &parts, const QString &separator)
{
    QStringList filled;
    for (const QString &part : parts) {
        if (!part.trimmed().isEmpty())
            filled << part.trimmed();
    }
    return filled.join(separator);
}

} // namespace

bool ReadDeliveryNote(NoteKind kind, const QList<int> &ids, print::DeliveryNote *note,
                      QString *error)
{
    const NoteTexts texts = textsOf(kind);
    const auto fail = [&](const QString &reason) {
        *error = reason;
        return false;
    };
    QList<int> wanted;
    for (int id : ids) {
        if (id > 0 && !wanted.contains(id))
            wanted << id;
    }
    if (wanted.isEmpty())
        return fail(
                QStringLiteral("请先在列表中选择要打印%1的%2。").arg(texts.title, texts.records));

    // The named product fields, in the order of their columns.
    const QStringList fieldNames = records::productFieldNames();
    QStringList fieldColumns;
    print::DeliveryNote read;
    for (int k = 0; k < fieldNames.size(); ++k) {
        if (fieldNames.at(k).isEmpty())
            continue;
        read.fieldNames << fieldNames.at(k);
        fieldColumns << records::productFieldColumn(k);
    }

    const QString &t = texts.table.table;
    QStringList idTexts;
    for (int id : std::as_const(wanted))
        idTexts << QString::number(id);
    QString sql = QStringLiteral("SELECT ") + t + QStringLiteral(".ID AS RecordID,") + t
                  + QStringLiteral(".Dat AS RecordDat,") + t + QLatin1Char('.')
                  + texts.table.partnerField + QStringLiteral(" AS PartnerID,") + t
                  + QStringLiteral(".Price AS RecordPrice,") + t
                  + QStringLiteral(".Num AS RecordNum,") + t + QStringLiteral(".Pay AS RecordPay,")
                  + t + QStringLiteral(".Pay1 AS RecordPay1,Pro.ID AS ProID,Pro.Name AS ProName,")
                  + QStringLiteral("Pro.Unit AS ProUnit,Staff.Name AS StaffName");
    for (const QString &column : std::as_const(fieldColumns))
        sql += QStringLiteral(",Pro.") + column + QStringLiteral(" AS Field") + column;
    sql += QStringLiteral(" FROM (") + t + QStringLiteral(" LEFT JOIN Pro ON ") + t
           + QStringLiteral(".PID=Pro.ID) LEFT JOIN Staff ON ") + t
           + QStringLiteral(".SID=Staff.ID WHERE ") + t + QStringLiteral(".ID IN (")
           + idTexts.join(QLatin1Char(',')) + QStringLiteral(") ORDER BY ") + t
           + QStringLiteral(".Dat,") + t + QStringLiteral(".ID");

    const int failures = store::FailedOperations();
    store::Connection conn;
    store::RecordSet rs;
    store::OpenQuery(conn, rs, sql);
    QSet<qint64> partners;
    qint64 partnerId = 0;
    QStringList staff;
    QDateTime latest;
    for (rs.moveFirst(); rs.isOpen() && !rs.eof(); rs.moveNext()) {
        print::DeliveryNoteLine line;
        line.product = rs.value(QStringLiteral("ProID")).isNull()
                               ? QStringLiteral("（产品已删除）")
                               : rs.value(QStringLiteral("ProName")).toString();
        line.unit = rs.value(QStringLiteral("ProUnit")).toString();
        for (const QString &column : std::as_const(fieldColumns))
            line.fields << rs.value(QStringLiteral("Field") + column).toString();
        line.quantity = rs.value(QStringLiteral("RecordNum")).toDouble();
        line.price = rs.value(QStringLiteral("RecordPrice")).toDouble();
        line.amount = rs.value(QStringLiteral("RecordPay")).toDouble();
        line.paid = rs.value(QStringLiteral("RecordPay1")).toDouble();
        read.lines << line;
        partnerId = rs.value(QStringLiteral("PartnerID")).toLongLong();
        partners.insert(partnerId);
        const QString name = rs.value(QStringLiteral("StaffName")).toString();
        if (!name.isEmpty() && !staff.contains(name))
            staff << name;
        const QDateTime date = rs.value(QStringLiteral("RecordDat")).toDateTime();
        if (date.isValid() && (!latest.isValid() || date > latest))
            latest = date;
    }
    store::CloseQuery(conn, rs);
    if (store::FailedOperations() != failures)
        return fail(QStringLiteral("%1无法读取，没有打印%2。").arg(texts.records, texts.title));
    if (read.lines.size() < wanted.size())
        return fail(
                QStringLiteral("所选的%1中有 %2 条已不存在（可能已被删除），请刷新列表后重新选择。")
                        .arg(texts.records)
                        .arg(wanted.size() - read.lines.size()));
    if (partners.size() > 1)
        return fail(
                QStringLiteral(
                        "所选的%1属于 %2 个不同的%3，一张%4只能开给一个%3。请只选择同一%3的记录。")
                        .arg(texts.records)
                        .arg(partners.size())
                        .arg(texts.partner, texts.title));

    store::OpenQuery(conn, rs,
                     QStringLiteral("SELECT * FROM ") + texts.table.partnerTable
                             + QStringLiteral(" WHERE ID=") + QString::number(partnerId));
    const bool partnerFound = rs.isOpen() && !rs.eof();
    if (partnerFound) {
        read.partnerName = rs.value(QStringLiteral("Name")).toString();
        read.contact = rs.value(QStringLiteral("CName")).toString();
        read.phone = joinFilled({rs.value(QStringLiteral("Phone")).toString(),
                                 rs.value(QStringLiteral("Mobile")).toString()},
                                QStringLiteral(" / "));
        read.address = rs.value(QStringLiteral("Address")).toString();
    }
    store::CloseQuery(conn, rs);
    if (store::FailedOperations() != failures)
        return fail(QStringLiteral("%1无法读取，没有打印%2。").arg(texts.partner, texts.title));
    if (!partnerFound)
        return fail(QStringLiteral("所选%1的%2已不存在（可能刚被删除），无法打印%3。请刷新列表。")
                            .arg(texts.records, texts.partner, texts.title));

    read.title = texts.title;
    read.company = print::DefaultReportTitle(QString());
    // The company's address, telephone and fax, each only when it is set.
    QStringList contact;
    const QPair<QString, QString> lines[] = {{QStringLiteral("地址："), store::kKeyAddress},
                                             {QStringLiteral("电话："), store::kKeyPhone},
                                             {QStringLiteral("传真："), store::kKeyFax}};
    for (const auto &[label, key] : lines) {
        const QString value = store::GetVar(key).trimmed();
        if (!value.isEmpty())
            contact << label + value;
    }
    read.companyLines = contact.join(QStringLiteral("    "));
    read.date = latest.isValid() ? latest.date() : QDate::currentDate();
    read.number = texts.prefix + read.date.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('-')
                  + records::orderNumberText(*std::min_element(wanted.cbegin(), wanted.cend()));
    read.partnerTitle = texts.partner;
    read.paidTitle = texts.paid;
    read.staffTitle = texts.staff;
    read.staff = staff.join(QStringLiteral("、"));
    *note = read;
    return true;
}

QList<int> selectedRecordIds(const grid::Grid &grid)
{
    QList<int> ids;
    int first = 0;
    int last = 0;
    if (!records::selectedTradeRows(grid, first, last))
        return ids;
    for (int row = first; row <= last; ++row) {
        const int id = records::idFromText(grid.textMatrix(row, 0));
        if (id > 0)
            ids << id;
    }
    return ids;
}

void PrintDeliveryNote(NoteKind kind, const grid::Grid &grid, QWidget *parent)
{
    print::DeliveryNote note;
    QString error;
    if (!ReadDeliveryNote(kind, selectedRecordIds(grid), &note, &error)) {
        store::prompts().message(error);
        return;
    }
    print::ShowDeliveryNotePreview(note, parent);
}

} // namespace app
