#include "productfieldsdialog.h"

#include "masterrecords.h"
#include "products.h"

#include "ui/dialogkeys.h"
#include "ui/shellhost.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace records {

ProductFieldsDialog::ProductFieldsDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kProductFieldsDialogCaption);

    auto *layout = new QGridLayout(this);
    const QStringList names = productFieldNames();
    // Two columns of five: boxes 0 to 4 on the left, 5 to 9 on the right.
    for (int k = 0; k < kProductFieldCount; ++k) {
        QLineEdit *edit = newMasterBox(this);
        edit->setText(names.value(k));
        TXT.append(edit);
        const int row = k % 5;
        const int column = (k / 5) * 2;
        layout->addWidget(new QLabel(QStringLiteral("字段名称："), this), row, column);
        layout->addWidget(edit, row, column + 1);
    }

    auto *buttons = new QHBoxLayout;
    Com.append(new QPushButton(QStringLiteral("确   定"), this));
    Com.append(new QPushButton(QStringLiteral("取   消"), this));
    buttons->addStretch();
    buttons->addWidget(Com[0]);
    buttons->addWidget(Com[1]);
    layout->addLayout(buttons, 5, 0, 1, 4);
    // The dialog stays open with the typed names when they could not be
    // stored.
    connect(Com[0], &QPushButton::clicked, this, [this] {
        if (SaveField() || !m_session.isCurrent())
            close();
    });
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);
    ui::prepareDialog(this, Com[0], Com[1]);
}

bool ProductFieldsDialog::SaveField()
{
    if (!m_session.checkBeforeSaving())
        return false;
    QStringList names;
    for (const QLineEdit *edit : std::as_const(TXT))
        names << edit->text();
    if (!saveProductFieldNames(names))
        return false;
    if (ui::ShellHost *host = ui::shellHost())
        host->ReloadCurrentList();
    return true;
}

ProductFieldsDialog *showProductFieldsDialog(QWidget *parent)
{
    static QPointer<ProductFieldsDialog> open;
    if (open)
        open->close();
    open = new ProductFieldsDialog(parent);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

} // namespace records
