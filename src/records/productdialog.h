#pragma once

#include "masterdialog.h"

#include <QString>
#include <QStringList>
#include <QVector>

class QGridLayout;
class QLabel;
class QLineEdit;

namespace records {

// Caption of the product dialog; callers wait for it with WaitFormClosed.
inline const QString kProductDialogCaption = QStringLiteral("添加/编辑产品");

// The product dialog "添加/编辑产品": the number box, the four fixed boxes
// (0 产品名称, 1 销售定价, 2 产品单位, 3 备注信息) and one box per defined
// custom field, two to a row.
class ProductDialog : public MasterDialog
{
    Q_OBJECT

public:
    explicit ProductDialog(QWidget *parent = nullptr);

    // Builds a label and a box for every defined custom field, from box 4
    // on, even indices in the left column and odd ones in the right, and
    // grows the window by one row height (480 twips) for every added row.
    // Runs when the dialog opens.
    void AddTxt();
    // Fills the dialog with product id; id below 1 (a new product) shows the
    // proposed next number instead and leaves the boxes as they are.
    void LoadContent(int id);
    // Stores the boxes: into the product of the number box, or as a new
    // product when the box is empty or shows a proposed number. False when
    // nothing could be stored.
    bool SaveContent();

    // Box index 0 to 13 (box(), nullptr where there is none), its bound
    // field and its label; the read-only "产品编号：" box and buttons
    // 0 "确      定", 1 "取      消" come from MasterDialog.
    QString boxField(int index) const { return m_fields.value(index); }
    QLabel *label(int index) const { return Lbl.value(index); }
    // Rows of custom-field boxes added by AddTxt.
    int addedRows() const { return m_addedRows; }
    // The 最低库存 box, below the others: empty for no floor, else a number.
    QLineEdit *floorBox() const { return m_floorBox; }

protected:
    bool saveShown() override { return SaveContent(); }

private:
    void addFieldBox(int index, const QString &caption, const QString &field);

    QVector<QLabel *> Lbl;
    QStringList m_fields;
    QGridLayout *m_boxes = nullptr;
    QLineEdit *m_floorBox = nullptr;
    int m_addedRows = 0;
    // The number box shows a proposal for a new product, not a stored one.
    bool m_proposed = false;
};

// Opens the product dialog as the one instance (an open one is closed
// first). With load, LoadContent(id) runs: id 0 proposes the next number,
// as the sale and purchase dialogs' add shortcuts want; without it the
// number box stays empty (the list's 添加记录).
ProductDialog *showProductDialog(int id, bool load = true, QWidget *parent = nullptr);

} // namespace records
