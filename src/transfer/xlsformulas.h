#pragma once

#include <QHash>
#include <QString>
#include <QVector>

namespace transfer {

// The computed values of the formula cells of an .xls workbook. FreeXL,
// which reads the other cells, leaves formula cells empty; the workbook
// keeps each formula's last computed value beside it (a FORMULA record with
// the value, or the text in the STRING record that follows), and this reads
// those values from the workbook stream of the compound file.

// The computed value of one formula cell.
struct XlsFormulaValue
{
    enum Kind { Number, Text, Boolean, Error, Missing };
    Kind kind = Missing; // Missing: the workbook keeps no value for the cell
    double number = 0;   // Number; Boolean as 0 or 1
    QString text;        // Text; Error as the error's name, such as #DIV/0!
    int style = 0;       // the cell's XF index (its number format)
};

struct XlsFormulas
{
    // By worksheet name, then by cell: row << 16 | column, both from 0.
    QHash<QString, QHash<quint32, XlsFormulaValue>> sheets;
    QVector<int> styleFormats;       // number format of each XF index
    QHash<int, QString> formatCodes; // custom number formats by number
    bool system1904 = false;         // dates counted from 1904-01-01
};

// The key of a cell in XlsFormulas::sheets.
inline quint32 xlsCellKey(int row, int column)
{
    return (quint32(row) << 16) | quint32(column);
}

// Reads the formula values of every worksheet of the file. False when the
// file is not a compound file holding a BIFF5 or BIFF8 workbook stream this
// reader understands (an encrypted workbook among them).
bool readXlsFormulas(const QString &fileName, XlsFormulas *formulas);

} // namespace transfer
