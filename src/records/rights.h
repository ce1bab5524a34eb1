#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace records {

// The token that grants every right.
inline const QString kAllRights = QStringLiteral("所有权限");

// The seven areas as they appear in tokens and their labels in the rights tree.
const QStringList &rightAreas();
const QStringList &rightAreaLabels();
// The seven actions, in catalogue order.
const QStringList &rightActions();
// All 49 tokens, area by area, action by action.
QStringList allRightTokens();

// True when rights grants token: a plain case-sensitive substring test, or
// the rights contain 所有权限. An empty token (a command without a right)
// is granted to anyone whose rights are not empty.
bool HasRight(const QString &rights, const QString &token);

// True when holder grants every right that rights grants: each of the 49
// tokens, and 所有权限 itself only when holder has 所有权限 too (it opens
// more than the tokens: product fields, merges, account-set maintenance).
bool RightsCover(const QString &holder, const QString &rights);

// The part of rights that holder grants too, as a rights string: 所有权限
// when both have it, else the common tokens in catalogue order.
QString RightsWithin(const QString &holder, const QString &rights);

// One row of the 57-row rights tree.
struct RightsTreeRow
{
    enum class Kind { Top, Area, Action };
    Kind kind;
    QString label; // as shown in the 权限内容 column
    QString token; // for action rows; empty otherwise
};

// The rows in catalogue order: top row, then per area one area row and its
// seven action rows.
const QVector<RightsTreeRow> &rightsTreeRows();

// Initial marks of the tree for a rights string (action rows only; area and
// top rows are settled by settleRightMarks).
QVector<bool> rightMarksFor(const QString &rights);

// Settles the area and top rows from the action rows, walking from the last
// row up: an area is marked when all seven of its actions are, the top row
// when all 49 are, and any marked action of an area also marks its 查看 row.
void settleRightMarks(QVector<bool> &marks);

// Rights string of settled marks: 所有权限 when the top row is marked, else
// the marked tokens in catalogue order joined by ";".
QString rightsStringFor(const QVector<bool> &marks);

} // namespace records
