#pragma once

#include "store/session.h"

#include <QString>
#include <QVector>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace records {

inline const QString kProductFieldsDialogCaption = QStringLiteral("自定义产品字段设置");

// The field-definition dialog "自定义产品字段设置": ten boxes "字段名称：",
// box k naming custom product field k.
class ProductFieldsDialog : public QWidget
{
    Q_OBJECT

public:
    // Opens with the names currently defined.
    explicit ProductFieldsDialog(QWidget *parent = nullptr);

    // Replaces the definitions by the non-empty boxes and reloads the main
    // window's visible list, so the product list shows the new columns.
    // False (definitions and list unchanged) when they could not be stored,
    // also when another account set was opened or another login made since
    // the dialog opened.
    bool SaveField();

    QLineEdit *box(int index) const { return TXT.value(index); }
    // Buttons: 0 "确   定", 1 "取   消".
    QPushButton *button(int index) const { return Com.value(index); }

private:
    QVector<QLineEdit *> TXT;
    QVector<QPushButton *> Com;
    store::SessionStamp m_session; // set and login the names were read under
};

// Opens the dialog as the one instance (an open one is closed first).
ProductFieldsDialog *showProductFieldsDialog(QWidget *parent = nullptr);

} // namespace records
