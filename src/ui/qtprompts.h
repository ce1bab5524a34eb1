#pragma once

#include "store/prompts.h"

#include <QColor>
#include <QFont>

class QWidget;

namespace ui {

// The prompts the program shows: message boxes without a title, file
// dialogs and a font dialog with a colour choice. Dialogs open over the
// active window.
class QtPrompts : public store::Prompts
{
public:
    void message(const QString &text) override;
    bool question(const QString &text) override;
    QString openFileName(const QString &caption, const QString &filter,
                         const QString &folder) override;
    QString saveFileName(const QString &caption, const QString &filter,
                         const QString &suggestedPath) override;
    bool chooseFont(store::FontChoice &font) override;
    QString choosePrinter(const QStringList &printers, const QString &preselected) override;
    QString password(const QString &text) override;
};

inline const QString kPrinterChooserCaption = QStringLiteral("选择");

// Conversions between the store's font description and Qt's.
QFont toQFont(const store::FontChoice &choice);
QColor fontColor(const store::FontChoice &choice);
store::FontChoice toFontChoice(const QFont &font, const QColor &color);

// A file-dialog filter in Qt's form. Filters written the old way,
// "描述|*.csv|描述|*.xls;*.xlsx", become "描述 (*.csv);;描述 (*.xls *.xlsx)";
// a filter already in Qt's form is returned unchanged.
QString qtFileFilter(const QString &filter);

} // namespace ui
