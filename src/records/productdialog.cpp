#include "productdialog.h"

#include "masterrecords.h"
#include "products.h"

#include "store/formatting.h"
#include "store/params.h"
#include "store/prompts.h"
#include "ui/helpers.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace records {

namespace {

// Every row of boxes is this high; each added row grows the window by it.
constexpr int kRowTwips = 480;
// Grid row of the number box; the boxes start one row below it.
constexpr int kNumberRow = 0;

// Grid row of box index n: two boxes to a row under the number box.
int boxRow(int index)
{
    return kNumberRow + 1 + index / 2;
}

} // namespace

ProductDialog::ProductDialog(QWidget *parent)
    : MasterDialog(kProductDialogCaption, kProductListTab, Boxes::Long, parent)
{
    TXT.fill(nullptr, kProductBoxCount);
    Lbl.fill(nullptr, kProductBoxCount);
    for (int i = 0; i < kProductBoxCount; ++i)
        m_fields << QString();

    auto *outer = new QVBoxLayout(this);
    m_boxes = new QGridLayout;
    m_boxes->setVerticalSpacing(0);
    m_boxes->setColumnStretch(1, 1);
    m_boxes->setColumnStretch(3, 1);
    outer->addLayout(m_boxes);

    addIdBox(m_boxes, QStringLiteral("产品编号："), kNumberRow, 0);
    m_boxes->setRowMinimumHeight(kNumberRow, ui::pixels(kRowTwips));

    addFieldBox(0, QStringLiteral("产品名称："), QStringLiteral("Name"));
    addFieldBox(1, QStringLiteral("销售定价："), QStringLiteral("Price"));
    addFieldBox(2, QStringLiteral("产品单位："), QStringLiteral("Unit"));
    addFieldBox(3, QStringLiteral("备注信息："), QStringLiteral("Memo"));
    // Below every custom field, whatever their number.
    m_floorBox = newBox();
    m_floorBox->setPlaceholderText(QStringLiteral("空：不设下限"));
    const int floorRow = boxRow(kProductBoxCount);
    m_boxes->addWidget(new QLabel(QStringLiteral("最低库存："), this), floorRow, 0);
    m_boxes->addWidget(m_floorBox, floorRow, 1);
    m_boxes->setRowMinimumHeight(floorRow, ui::pixels(kRowTwips));

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);

    outer->addLayout(newButtonRow(QStringLiteral("确      定"), QStringLiteral("取      消")));

    resize(ui::pixels(7200), 0);
    AddTxt();
}

void ProductDialog::addFieldBox(int index, const QString &caption, const QString &field)
{
    auto *label = new QLabel(caption, this);
    QLineEdit *edit = newBox();
    const int row = boxRow(index);
    const int column = (index % 2) * 2; // even indices left, odd right
    m_boxes->addWidget(label, row, column);
    m_boxes->addWidget(edit, row, column + 1);
    m_boxes->setRowMinimumHeight(row, ui::pixels(kRowTwips));
    TXT[index] = edit;
    Lbl[index] = label;
    m_fields[index] = field;
}

void ProductDialog::AddTxt()
{
    // Built once, from the definitions current when the dialog opens.
    if (TXT.value(kFirstCustomBox))
        return;
    const QStringList names = productFieldNames();
    int next = kFirstCustomBox;
    for (int k = 0; k < kProductFieldCount && next < kProductBoxCount; ++k) {
        if (names.value(k).isEmpty())
            continue;
        addFieldBox(next, names.at(k) + QStringLiteral("："), productFieldColumn(k));
        ++next;
    }
    const int added = next - kFirstCustomBox;
    m_addedRows = (added + 1) / 2;
    // The layout puts the separator and the buttons below the new rows; the
    // window grows by one row height for each of them.
    const int width = this->width();
    adjustSize();
    resize(std::max(width, this->width()), sizeHint().height());
}

void ProductDialog::LoadContent(int id)
{
    if (id < 1) {
        m_idBox->setText(proposedMasterNumber(QStringLiteral("Pro")));
        m_proposed = true;
        return;
    }
    ProductInfo info;
    if (!loadProduct(id, info))
        return;
    for (int i = 0; i < kProductBoxCount; ++i) {
        if (TXT.at(i))
            TXT.at(i)->setText(info.texts.value(m_fields.at(i)));
    }
    m_floorBox->setText(info.texts.value(kStockFloorField));
    m_idBox->setText(masterNumberText(info.id));
    m_proposed = false;
}

bool ProductDialog::SaveContent()
{
    QVariant floor;
    if (!stockFloorValue(m_floorBox->text(), floor)) {
        store::prompts().message(QStringLiteral("最低库存必须是数字（不设下限请留空）！"));
        m_floorBox->setFocus(Qt::OtherFocusReason);
        m_floorBox->selectAll();
        return false;
    }
    // A proposed number is only shown: another product may have taken it
    // since, and saving into it would overwrite that product.
    const int id = m_proposed ? 0 : int(store::leadingNumber(m_idBox->text()));
    ProductInfo info;
    for (int i = 0; i < kProductBoxCount; ++i) {
        if (TXT.at(i))
            info.texts.insert(m_fields.at(i), TXT.at(i)->text());
    }
    info.texts.insert(kStockFloorField, m_floorBox->text());
    const int stored = saveProduct(id, info);
    if (stored == 0)
        return false;
    m_idBox->setText(masterNumberText(stored));
    m_proposed = false;
    return true;
}

ProductDialog *showProductDialog(int id, bool load, QWidget *parent)
{
    // A fresh window each time also makes its custom boxes follow the
    // definitions of the moment.
    return showMasterDialog<ProductDialog>(parent, [&](ProductDialog &d) {
        if (load)
            d.LoadContent(id);
    });
}

} // namespace records
