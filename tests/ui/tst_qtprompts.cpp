#include "ui/qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QMessageBox>
#include <QtTest>

#include <functional>

class TestQtPrompts : public QObject
{
    Q_OBJECT

private slots:
    void fileFilter_data();
    void fileFilter();
    void questionBoxAnswers_data();
    void questionBoxAnswers();
    void messageBoxIsPlain();
    void fontDialog();
};

namespace {

// Acts on the message box once it is up, instead of a user.
void whenBoxShows(std::function<void(QMessageBox *)> act)
{
    QTimer::singleShot(0, qApp, [act] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        act(box);
    });
}

} // namespace

// Filters written the old way become Qt filters; Qt filters stay as given.
void TestQtPrompts::fileFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("one pair") << "CSV文件|*.csv"
                              << "CSV文件 (*.csv)";
    QTest::newRow("two pairs") << "CSV文件|*.csv|Excel文件|*.xls;*.xlsx"
                               << "CSV文件 (*.csv);;Excel文件 (*.xls *.xlsx)";
    QTest::newRow("description names patterns") << "备份文件 (*.qdb)|*.qdb"
                                                << "备份文件 (*.qdb)";
    QTest::newRow("parentheses without pattern") << "逗号分隔(CSV)|*.csv"
                                                 << "逗号分隔(CSV) (*.csv)";
    QTest::newRow("qt form") << "图片 (*.jpg);;所有文件 (*)"
                             << "图片 (*.jpg);;所有文件 (*)";
}

void TestQtPrompts::fileFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(ui::qtFileFilter(filter), qt);
}

void TestQtPrompts::questionBoxAnswers_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

// A Yes/No box without a title, Chinese buttons, Yes means true.
void TestQtPrompts::questionBoxAnswers()
{
    QFETCH(int, button);
    QFETCH(bool, answer);
    QString title = QStringLiteral("unset");
    QStringList buttons;
    whenBoxShows([&](QMessageBox *box) {
        title = box->windowTitle();
        buttons = {box->button(QMessageBox::Yes)->text(), box->button(QMessageBox::No)->text()};
        box->button(QMessageBox::StandardButton(button))->click();
    });
    ui::QtPrompts prompts;
    QCOMPARE(prompts.question(QStringLiteral("确定要删除选定的记录吗？")), answer);
    QCOMPARE(title, QString());
    QCOMPARE(buttons, QStringList({QStringLiteral("是(&Y)"), QStringLiteral("否(&N)")}));
}

// Texts from the data show as they are, never as markup.
void TestQtPrompts::messageBoxIsPlain()
{
    Qt::TextFormat format = Qt::RichText;
    QString text;
    whenBoxShows([&](QMessageBox *box) {
        format = box->textFormat();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    ui::QtPrompts prompts;
    prompts.message(QStringLiteral("数据库打开错误(SELECT * FROM Pro WHERE Name='<b>')！"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(text, QStringLiteral("数据库打开错误(SELECT * FROM Pro WHERE Name='<b>')！"));
}

// The font dialog starts from the given font and colour; OK hands back the
// chosen font with the colour, Cancel leaves the choice untouched.
void TestQtPrompts::fontDialog()
{
    store::FontChoice choice;
    choice.pointSize = 12;
    choice.italic = true;
    choice.color = 0xFF0000;
    ui::QtPrompts prompts;
    // A family the dialog lists with a bold style.
    QString family;
    const QStringList families = QFontDatabase::families();
    for (const QString &f : families) {
        if (QFontDatabase::styles(f).contains(QStringLiteral("Bold"))) {
            family = f;
            break;
        }
    }
    if (family.isEmpty())
        QSKIP("no font with a bold style installed");

    for (const bool accept : {false, true}) {
        bool startedItalic = false;
        QTimer::singleShot(0, qApp, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto *fonts = dialog->findChild<QFontDialog *>();
            QVERIFY(fonts);
            startedItalic = fonts->currentFont().italic();
            QFont changed = fonts->currentFont();
            changed.setFamily(family);
            changed.setBold(true);
            changed.setItalic(false);
            fonts->setCurrentFont(changed);
            accept ? dialog->accept() : dialog->reject();
        });
        store::FontChoice result = choice;
        QCOMPARE(prompts.chooseFont(result), accept);
        QVERIFY(startedItalic);
        QCOMPARE(result.family == family, accept);
        QCOMPARE(result.bold, accept);
        QCOMPARE(result.italic, !accept);
        QCOMPARE(result.color, 0xFF0000u);
    }
}

QTEST_MAIN(TestQtPrompts)
#include "tst_qtprompts.moc"
