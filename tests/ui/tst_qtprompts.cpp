#include "ui/qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class TestQtPrompts : public QObject
{
    Q_OBJECT

private slots:
    // Filters written the old way become Qt filters; Qt filters stay as given.
    void fileFilter()
    {
        QCOMPARE(ui::qtFileFilter("CSV文件|*.csv|Excel文件|*.xls;*.xlsx"),
                 QString("CSV文件 (*.csv);;Excel文件 (*.xls *.xlsx)"));
        QCOMPARE(ui::qtFileFilter("备份文件 (*.qdb)|*.qdb"), QString("备份文件 (*.qdb)"));
        QCOMPARE(ui::qtFileFilter("逗号分隔(CSV)|*.csv"), QString("逗号分隔(CSV) (*.csv)"));
        QCOMPARE(ui::qtFileFilter("图片 (*.jpg);;所有文件 (*)"),
                 QString("图片 (*.jpg);;所有文件 (*)"));
    }

    // Yes means true; texts show as they are, never as markup.
    void boxes()
    {
        ui::QtPrompts prompts;
        QStringList seen;
        const auto press = [&seen](QMessageBox::StandardButton button) {
            QTimer::singleShot(0, qApp, [&seen, button] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                seen = QStringList{box->windowTitle(), box->text()};
                for (QAbstractButton *b : box->buttons())
                    seen << b->text();
                if (box->textFormat() != Qt::PlainText)
                    seen << QStringLiteral("rich text");
                box->button(button)->click();
            });
        };
        for (const bool yes : {true, false}) {
            press(yes ? QMessageBox::Yes : QMessageBox::No);
            QCOMPARE(prompts.question(QStringLiteral("确定要删除选定的记录吗？")), yes);
            QCOMPARE(seen,
                     QStringList({QString(), "确定要删除选定的记录吗？", "是(&Y)", "否(&N)"}));
        }
        const QString markup
                = QStringLiteral("数据库打开错误(SELECT * FROM Pro WHERE Name='<b>')！");
        press(QMessageBox::Ok);
        prompts.message(markup);
        QCOMPARE(seen, QStringList({QString(), markup, "确定"}));
    }

    // A font choice survives the trip through the font dialog's Qt forms.
    void fontConversions()
    {
        const auto fields = [](const store::FontChoice &f) {
            return QVariantList(
                    {f.family, f.pointSize, f.bold, f.italic, f.underline, f.strikeOut, f.color});
        };
        for (const store::FontChoice &choice :
             {store::FontChoice{"宋体", 12.5, true, false, true, false, 0x123456},
              store::FontChoice{"Arial", 9, false, true, false, true, 0xFFFFFF}})
            QCOMPARE(fields(ui::toFontChoice(ui::toQFont(choice), ui::fontColor(choice))),
                     fields(choice));
    }

    // The printer chooser stays on top, opens on the preselected printer, and
    // gives the choice on OK and nothing on Cancel.
    void printerChooser()
    {
        ui::QtPrompts prompts;
        const QStringList printers = {QStringLiteral("HP LaserJet"),
                                      QStringLiteral("Epson LQ-630K"), QStringLiteral("PDF 文件")};
        for (const QString &button : {QStringLiteral("确   定"), QStringLiteral("取   消")}) {
            QStringList seen;
            QTimer::singleShot(0, qApp, [&seen, button] {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto *list = dialog->findChild<QComboBox *>();
                QVERIFY(list);
                seen << list->currentText();
                if (dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
                    seen << QStringLiteral("topmost");
                list->setCurrentIndex(2);
                for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
                    if (b->text() == button)
                        b->click();
                }
            });
            const QString chosen = prompts.choosePrinter(printers, QStringLiteral("Epson LQ-630K"));
            QCOMPARE(seen, QStringList({"Epson LQ-630K", "topmost"}));
            QCOMPARE(chosen, button == QStringLiteral("确   定") ? printers.at(2) : QString());
        }
    }
};

QTEST_MAIN(TestQtPrompts)
#include "tst_qtprompts.moc"
