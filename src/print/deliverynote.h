#pragma once

#include "pagelayout.h"

#include <QDate>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QVector>

class QPainter;
class QPaintDevice;

namespace print {

// Amounts from this many yuan on (1 千亿) are written in figures only: the
// capitals of a delivery note stop at 亿 in the groups of four they are
// read in.
inline constexpr double kLargestCapitalsAmount = 1e11;

// An amount of money in figures with thousands separators and two decimals,
// "1,234.56", "-0.05"; rounded to the cent.
QString amountFigures(double amount);

// An amount of money in Chinese capitals (人民币大写) as written on receipts
// and delivery notes, rounded to the cent: 壹仟贰佰叁拾肆元伍角陆分, 零元整
// for zero, 整 after whole yuan, 零 where a place of the figures is empty
// (壹仟零壹元整, 壹佰元零柒分), 负 before a negative amount. An amount too
// large for capitals (from 1 千亿 on) or not a number comes back in figures
// with a note saying so.
QString amountInCapitals(double amount);

// One line of a delivery note: one sale or purchase.
struct DeliveryNoteLine
{
    QString product;
    QStringList fields; // the values of the note's named product fields
    QString unit;
    double quantity = 0;
    double price = 0;
    double amount = 0; // 应收 or 应付
    double paid = 0;   // 已收 or 已付
};

// A delivery note (销售单 or 采购单) for the sales or purchases of one
// partner, as it is printed.
struct DeliveryNote
{
    QString title;        // "销售单" or "采购单"
    QString company;      // the account set's company
    QString companyLines; // its address and telephone, at the foot of each page
    QString number;       // the document number
    QDate date;
    QString partnerTitle; // "客户" or "供应商"
    QString partnerName;
    QString contact;
    QString phone;
    QString address;
    QStringList fieldNames; // the named user-defined product fields
    QVector<DeliveryNoteLine> lines;
    QString paidTitle;  // "已收" or "已付"
    QString staffTitle; // "销售员" or "采购员"
    QString staff;      // the salesmen or buyers of the lines

    double total() const;
    double paid() const;
    double quantity() const;
};

// The note's body font: the report font's face at 10 points.
QFont deliveryNoteFont(const QString &family);

// How the lines of a note fall onto pages of a paper: the pages before the
// last hold fullPage lines each, the last at most lastPage (it keeps room
// for the totals, the capitals and the signature lines); when the lines run
// out a page early the totals stand on a page of their own. At least one line a
// page, however small the paper. Measured once for the paper, so that the
// preview and every printer split the lines alike.
struct NotePages
{
    int fullPage = 1;
    int lastPage = 1;
    int pages = 1;
    double rows = 1; // rows of text the printable height holds
    // The lines of page (1-based): the first index and the count.
    int firstLine(int page) const { return (page - 1) * fullPage; }
    int lineCount(int page, int lines) const;
};
NotePages deliveryNotePages(int lines, const Paper &paper, const QFont &font);

// Draws page (1-based) of the note in the printable area: the company and
// the title with the number and date, the partner's name, contact, phone
// and address, the page's lines as a ruled table (序号, 产品, the named
// fields, 单位, 数量, 单价, 金额) and, on the last page, the total in figures
// and in capitals, the amount paid and owed, the salesman and the lines to
// sign (制单、送货、收货); the company's address and "第n页 共m页" at the foot.
// Texts too long for their cell end in "…"; numbers are made smaller until
// they fit.
void paintDeliveryNotePage(QPainter &painter, const DeliveryNote &note, const NotePages &pages,
                           const PageFrame &frame, const QFont &font, int page);

} // namespace print
