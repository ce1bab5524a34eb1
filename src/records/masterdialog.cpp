#include "masterdialog.h"

#include "masterrecords.h"

#include "ui/dialogkeys.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace records {

MasterDialog::MasterDialog(const QString &caption, int listTab, Boxes boxes, QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_listTab(listTab)
    , m_boxes(boxes)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
}

QLineEdit *MasterDialog::newBox()
{
    return m_boxes == Boxes::Long ? newMasterBox(this) : new QLineEdit(this);
}

void MasterDialog::addIdBox(QGridLayout *layout, const QString &caption, int row, int column)
{
    m_idBox = newBox();
    m_idBox->setReadOnly(true);
    layout->addWidget(new QLabel(caption, this), row, column);
    layout->addWidget(m_idBox, row, column + 1);
}

QLineEdit *MasterDialog::addBox(QGridLayout *layout, const QString &caption, int row, int column)
{
    QLineEdit *edit = newBox();
    TXT.append(edit);
    layout->addWidget(new QLabel(caption, this), row, column);
    layout->addWidget(edit, row, column + 1);
    return edit;
}

QHBoxLayout *MasterDialog::newButtonRow(const QString &ok, const QString &cancel)
{
    auto *buttons = new QHBoxLayout;
    Com.append(new QPushButton(ok, this));
    Com.append(new QPushButton(cancel, this));
    buttons->addStretch();
    buttons->addWidget(Com[0]);
    buttons->addWidget(Com[1]);
    connect(Com[0], &QPushButton::clicked, this, &MasterDialog::confirm);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    ui::prepareDialog(this, Com[0], Com[1]);
    return buttons;
}

void MasterDialog::widenBoxesForNames()
{
    for (QLineEdit *edit : TXT) {
        const int text = edit->fontMetrics().horizontalAdvance(QString(20, QChar(0x4E2D)));
        edit->setMinimumWidth(text + 12);
    }
}

QStringList MasterDialog::boxTexts() const
{
    QStringList texts;
    for (const QLineEdit *edit : TXT)
        texts << edit->text();
    return texts;
}

void MasterDialog::setBoxTexts(const QStringList &texts)
{
    for (int i = 0; i < TXT.size(); ++i)
        TXT[i]->setText(texts.value(i));
}

void MasterDialog::confirm()
{
    if (!m_session.checkBeforeSaving()) {
        close(); // its texts can never be stored now
        return;
    }
    if (!saveShown())
        return;
    if (m_listTab >= 0)
        reloadListIfShowing(m_listTab);
    close();
}

} // namespace records
