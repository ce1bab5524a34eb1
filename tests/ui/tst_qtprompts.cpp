#include "ui/qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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
};

QTEST_MAIN(TestQtPrompts)
#include "tst_qtprompts.moc"
