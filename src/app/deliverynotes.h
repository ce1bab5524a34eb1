#pragma once

#include "print/deliverynote.h"

#include <QList>
#include <QString>

class QWidget;

namespace grid {
class Grid;
}

namespace app {

// Delivery notes: a 销售单 for sales of one customer, a 采购单 for purchases
// from one vendor.
enum class NoteKind { Sale, Purchase };

// Reads the note of the records ids (sales or purchases; any order, each
// once) from the current account set: the company and its address lines,
// one line per record in date order with its product, the named
// user-defined product fields, unit, quantity, price, amount and amount
// paid, the partner's name, contact, telephones and address, the salesmen
// or buyers, the latest record's date and a number made of it and the
// first record's number (XS20260308-0000012, CG… for purchases). False with
// a Chinese reason in *error when no record is given, a record is no longer
// there, the records belong to several partners, the partner has been
// deleted meanwhile, or the set cannot be read. A product deleted meanwhile
// prints as "（产品已删除）".
bool ReadDeliveryNote(NoteKind kind, const QList<int> &ids, print::DeliveryNote *note,
                      QString *error);

// The record IDs of the selected data rows of a sales or purchase list (the
// current row when only one is selected), in list order.
QList<int> selectedRecordIds(const grid::Grid &grid);

// 打印销售单 and 打印采购单: the note of the list's selected records in its
// preview over parent, or the reason it cannot be made.
void PrintDeliveryNote(NoteKind kind, const grid::Grid &grid, QWidget *parent);

} // namespace app
