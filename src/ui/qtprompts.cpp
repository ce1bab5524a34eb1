#include "qtprompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QVBoxLayout>

#include "helpers.h"
#include "windowmemory.h"

namespace ui {

namespace {

QWidget *dialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

// A plain box without a title; texts are shown as they are, never as markup.
int showBox(const QString &text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(dialogParent());
    box.setWindowTitle(QString());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(buttons);
    if (QAbstractButton *ok = box.button(QMessageBox::Ok))
        ok->setText(QStringLiteral("确定"));
    if (QAbstractButton *yes = box.button(QMessageBox::Yes))
        yes->setText(QStringLiteral("是(&Y)"));
    if (QAbstractButton *no = box.button(QMessageBox::No))
        no->setText(QStringLiteral("否(&N)"));
    if (buttons.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    return box.exec();
}

void paintSwatch(QPushButton *button, const QColor &color)
{
    QPixmap swatch(16, 16);
    swatch.fill(color);
    button->setIcon(QIcon(swatch));
}

} // namespace

void QtPrompts::message(const QString &text)
{
    showBox(text, QMessageBox::Ok);
}

bool QtPrompts::question(const QString &text)
{
    return showBox(text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString QtPrompts::openFileName(const QString &caption, const QString &filter,
                                const QString &folder)
{
    const QString chosen = QFileDialog::getOpenFileName(
            dialogParent(), caption, dialogStartFolder(caption, folder), qtFileFilter(filter));
    rememberFolder(caption, chosen);
    return chosen;
}

QString QtPrompts::saveFileName(const QString &caption, const QString &filter,
                                const QString &suggestedPath)
{
    // Every caller asks its own overwrite question (with its own words and
    // what follows a No), so Qt's dialog must not ask a second time.
    const QString chosen = QFileDialog::getSaveFileName(
            dialogParent(), caption, dialogStartPath(caption, suggestedPath), qtFileFilter(filter),
            nullptr, QFileDialog::DontConfirmOverwrite);
    rememberFolder(caption, chosen);
    return chosen;
}

// Qt's font dialog has no colour, so it is shown inside a small dialog with
// a colour button beside OK and Cancel.
bool QtPrompts::chooseFont(store::FontChoice &font)
{
    QDialog dialog(dialogParent());
    dialog.setWindowTitle(QStringLiteral("字体"));

    auto *fonts = new QFontDialog(toQFont(font), &dialog);
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);

    QColor color = fontColor(font);
    auto *colorButton = new QPushButton(QStringLiteral("颜色..."), &dialog);
    paintSwatch(colorButton, color);
    QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
        const QColor chosen = QColorDialog::getColor(color, &dialog, QStringLiteral("颜色"));
        if (chosen.isValid()) {
            color = chosen;
            paintSwatch(colorButton, color);
        }
    });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(colorButton);
    row->addStretch(1);
    row->addWidget(buttons);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    layout->addLayout(row);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = toFontChoice(fonts->currentFont(), color);
    return true;
}

// The chooser "选择": a list the user can only pick from, OK and Cancel;
// topmost and centred on the screen.
QString QtPrompts::password(const QString &text)
{
    bool ok = false;
    const QString typed = QInputDialog::getText(dialogParent(), QStringLiteral("Korvo进销存"), text,
                                                QLineEdit::Password, QString(), &ok);
    return ok ? typed : QString();
}

QString QtPrompts::choosePrinter(const QStringList &printers, const QString &preselected)
{
    QDialog dialog(dialogParent());
    dialog.setWindowTitle(kPrinterChooserCaption);

    auto *list = new QComboBox(&dialog);
    list->setEditable(false);
    list->setToolTip(QStringLiteral("要选择的打印机名称。"));
    list->addItems(printers);
    list->setCurrentIndex(qMax(0, printers.indexOf(preselected)));
    list->setMinimumWidth(pixels(3600));

    auto *ok = new QPushButton(QStringLiteral("确   定"), &dialog);
    auto *cancel = new QPushButton(QStringLiteral("取   消"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addLayout(row);

    dialog.adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog.move(frame.topLeft());
    }
    SetTopMost(&dialog);
    if (dialog.exec() != QDialog::Accepted || list->currentIndex() < 0)
        return QString();
    return list->currentText();
}

QFont toQFont(const store::FontChoice &choice)
{
    QFont font;
    if (!choice.family.isEmpty())
        font.setFamily(choice.family);
    if (choice.pointSize > 0)
        font.setPointSizeF(choice.pointSize);
    font.setBold(choice.bold);
    font.setItalic(choice.italic);
    font.setUnderline(choice.underline);
    font.setStrikeOut(choice.strikeOut);
    return font;
}

QColor fontColor(const store::FontChoice &choice)
{
    return QColor::fromRgb(QRgb(choice.color & 0xFFFFFFu));
}

store::FontChoice toFontChoice(const QFont &font, const QColor &color)
{
    store::FontChoice choice;
    choice.family = font.family();
    choice.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : choice.pointSize;
    choice.bold = font.bold();
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.strikeOut = font.strikeOut();
    choice.color = color.isValid() ? (color.rgb() & 0xFFFFFFu) : 0;
    return choice;
}

QString qtFileFilter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')) || filter.contains(QLatin1String(";;")))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    static const QRegularExpression patternGroup(QStringLiteral("\\([^()]*\\*[^()]*\\)\\s*$"));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns)
            p = p.trimmed();
        const QString patternText = patterns.join(QLatin1Char(' '));
        if (description.contains(patternGroup))
            entries << description;
        else
            entries << description + QStringLiteral(" (") + patternText + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace ui
