#pragma once

#include "store/access.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

class QLineEdit;

namespace grid {
class Grid;
}

namespace records {

// What the master lists (products, customers, vendors, fund accounts) share:
// their numbers and list entries, reading and writing one record by field
// name, and deleting selected rows together with the records that point to
// them.

// A master number as the dialogs show it: five digits, 12 → "00012".
QString masterNumberText(qint64 id);
// A master-list entry as the sale and purchase dialogs list it: "00012|钢管".
QString masterEntry(qint64 id, const QString &name);
// The number a new record of table is offered in its dialog: the highest ID
// plus one, in five digits ("00008" after rows 1 to 7), "00001" for an empty
// table. For display only; the database assigns the stored number.
QString proposedMasterNumber(const QString &table);

// The text a box shows for a stored value: NULL as empty text, a number as
// plain text with up to 15 significant digits (12.5, 3, 0.57), a text as it is.
QString boxText(const QVariant &value);

// The fields of record id of table, by field name; false (values untouched)
// when there is no such record.
bool loadMasterRecord(const QString &table, int id, QVariantMap &values);
// Writes values (by field name) into record id of table, adding a record
// when there is none (id 0 always adds one). Fields the table does not have
// are passed over. Returns the stored record's ID, 0 when nothing was stored
// (a write the database refuses is reported with "记录保存失败，数据没有写入！").
int saveMasterRecord(const QString &table, int id, const QVariantMap &values);

// Tells the user that the database refused a write and nothing was stored.
// Said by every dialog's save, or 确定 would seem to do nothing.
void tellSaveRefused();

// On a server set, a dialog's save must not overwrite what another user
// stored after the dialog read the record. rememberRead() keeps the version
// of rs's current row as read for record id of table; changedSinceRead(),
// called on the row freshly read for saving, says (and tells the user) when
// that row is not the one read then, or is gone. On a file set both do
// nothing.
void rememberRead(const QString &table, int id, const store::RecordSet &rs);
bool changedSinceRead(const QString &table, int id, const store::RecordSet &rs);
// Writes the current row of rs and closes the query: the stored row's ID,
// or 0 after tellSaveRefused when the database refused the write.
int storeRowAndClose(store::Connection &conn, store::RecordSet &rs);

// One master record as a dialog of text boxes edits it: its ID and the box
// texts, one per bound field in box order.
struct MasterTexts
{
    int id = 0;
    QStringList boxes;
};
// Reads record id of table into info, a box text per field of fields (see
// boxText); false (info untouched) when there is no such record.
bool loadMasterTexts(const QString &table, const QStringList &fields, int id, MasterTexts &info);
// Stores info's boxes into fields of record id of table, adding a record
// when there is none (id 0 always adds one). Returns the stored record's ID,
// 0 when nothing was stored.
int saveMasterTexts(const QString &table, const QStringList &fields, int id,
                    const MasterTexts &info);

// A table whose records point to a master record through keyField, or,
// with ownerTable, whose keyField names a row of ownerTable that points to
// the master through ownerField (a receipt line through its receipt).
struct DependentTable
{
    QString table;
    QString keyField;
    QString ownerTable = QString();
    QString ownerField = QString();
};

// The data rows selected in a list grid: the current row to the selection
// end, ordered and kept within the data rows. False when no data row is
// selected (an empty grid, or the selection lies on the title rows).
bool selectedDataRows(const grid::Grid &grid, int &first, int &last);
// The record IDs in column 0 of grid rows first..last; cells that are not a
// number are left out.
QVector<qint64> rowIds(const grid::Grid &grid, int first, int last);

// Deletes, for each ID of table in order, the records of every dependent
// table that point to it ("DELETE * FROM Sale WHERE CID=12", then the next
// table). The row of table is taken first, so that on a server no other user
// can save a record for it meanwhile. Runs in one transaction on the account
// set's connection; each step advances the progress window by one when
// progress is true. False when the deletes could not be committed (then
// nothing was deleted).
bool deleteDependentRecords(const QString &table, const QVector<qint64> &ids,
                            const QVector<DependentTable> &dependents, bool progress);

// The delete command of a master list: asks question (No stops), shows the
// progress window with progressText, deletes the dependent records of every
// selected row, then the selected rows with their master records
// (DeleteGridRows without asking), all in one transaction: after a crash
// either every record and master of the selection is gone or none is.
// Nothing happens when no data row is selected. True when rows were deleted.
bool deleteSelectedWithDependents(grid::Grid &grid, const QString &question,
                                  const QString &progressText,
                                  const QVector<DependentTable> &dependents);

// The columns of a list grid: field keys and titles.
struct ListColumns
{
    QStringList keys;
    QStringList titles;
};
// Lays the grid out with columns, tags it with table, loads the whole table
// (ordered by order when given) and sets the report title.
void loadMasterList(grid::Grid &grid, const ListColumns &columns, const QString &table,
                    const QString &order, const QString &reportTitle);

// A box for master texts: holds texts of any length (a plain line edit cuts
// them at 32767 characters, so a long imported note would be cut on save).
QLineEdit *newMasterBox(QWidget *parent);

// Reloads the main window's visible list when it shows record tab tab.
void reloadListIfShowing(int tab);

} // namespace records
