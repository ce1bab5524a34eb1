#include "store/access.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void fillIdNameComboSelectsDefault_data();
    void fillIdNameComboSelectsDefault();
    void fillNameCombo();
    void fillComboDistinct();
    void formIsOpen();
    void waitFormClosed_data();
    void waitFormClosed();
    void waitFormClosedFollowsTwoWindows();

private:
    testsupport::TempProgramFolder *m_folder = nullptr;
    testsupport::ScriptedPrompts *m_prompts = nullptr;
};

namespace {

const QString kTemplate = QStringLiteral("empty-set.qdt");

// A fresh account set: a copy of one empty set built once for the whole
// test (building one costs a key derivation and the schema).
void makeSet(const QString &name)
{
    const QString path = store::programFilePath(name);
    store::Registry::close(path);
    QFile::remove(path);
    QVERIFY(QFile::copy(store::programFilePath(kTemplate), path));
}

void exec(const QString &sql, const QString &file = QString())
{
    QVERIFY2(store::ExecSQL(sql, nullptr, file), qPrintable(sql));
}

// Hides every window with the caption after five seconds, so that a broken
// wait fails its test instead of hanging it. Returns the flag it sets.
std::shared_ptr<bool> rescueAfterFiveSeconds(QObject *context, const QString &caption)
{
    auto rescued = std::make_shared<bool>(false);
    QTimer::singleShot(5000, context, [rescued, caption] {
        *rescued = true;
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (w->windowTitle() == caption)
                w->hide();
        }
    });
    return rescued;
}

QStringList items(const QComboBox &box)
{
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

} // namespace

void TestHelpers::initTestCase()
{
    m_folder = new testsupport::TempProgramFolder;
    QString error;
    QVERIFY2(store::BuildTemplate(store::programFilePath(kTemplate), &error), qPrintable(error));
}

void TestHelpers::cleanupTestCase()
{
    delete m_folder;
}

void TestHelpers::init()
{
    m_prompts = new testsupport::ScriptedPrompts;
    makeSet(QStringLiteral("DATA00001.qdt"));
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
}

void TestHelpers::cleanup()
{
    const QStringList shown = m_prompts->messages;
    delete m_prompts;
    QCOMPARE(shown, QStringList());
}

// Entries read "ID in five digits|name" in name order; the saved default is
// matched by its leading number, so a renamed entry is still found.
void TestHelpers::fillIdNameComboSelectsDefault_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("selected");
    QTest::newRow("whole entry") << "00003|B管"
                                 << "00003|B管";
    QTest::newRow("renamed since") << "00001|旧名"
                                   << "00001|C线";
    QTest::newRow("bare number") << "2"
                                 << "00002|A板";
    QTest::newRow("never saved") << ""
                                 << "";
    QTest::newRow("name only") << "B管"
                               << "";
    QTest::newRow("deleted entry") << "00009|D"
                                   << "";
}

void TestHelpers::fillIdNameComboSelectsDefault()
{
    QFETCH(QString, saved);
    QFETCH(QString, selected);
    exec(QStringLiteral("INSERT INTO Pro (Name) VALUES ('C线')"));
    exec(QStringLiteral("INSERT INTO Pro (Name) VALUES ('A板')"));
    exec(QStringLiteral("INSERT INTO Pro (Name) VALUES ('B管')"));
    store::SetVar(QStringLiteral("默认值_Pro"), saved);

    QComboBox box;
    box.addItem(QStringLiteral("上次的内容"));
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    ui::FillIdNameCombo(&box, QStringLiteral("Pro"), QStringLiteral("Name"));
    QCOMPARE(items(box), QStringList({QStringLiteral("00002|A板"), QStringLiteral("00003|B管"),
                                      QStringLiteral("00001|C线")}));
    QCOMPARE(box.currentText(), selected);
    QCOMPARE(box.currentIndex() >= 0, !selected.isEmpty());
    // Only the final choice is announced, so a dialog computes its price once.
    QCOMPARE(changed.count(), selected.isEmpty() ? 0 : 1);
}

// An empty first entry with data 0, then the names with their IDs; a table
// that does not exist leaves the box empty.
void TestHelpers::fillNameCombo()
{
    QComboBox box;
    ui::FillNameCombo(&box, QStringLiteral("Staff"));
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.currentIndex(), 0);
    QCOMPARE(box.itemText(0), QString());
    QCOMPARE(box.itemData(0).toInt(), 0);
    for (int i = 1; i < box.count(); ++i) {
        const QVariant name = store::LookupValue(QStringLiteral("Staff"), box.itemData(i),
                                                 QStringLiteral("ID"), QStringLiteral("Name"));
        QCOMPARE(name.toString(), box.itemText(i));
    }
    QVERIFY(items(box).contains(QStringLiteral("zunta")));

    for (const QString &missing : {QStringLiteral("备注"), QStringLiteral("NoSuchTable")}) {
        ui::FillNameCombo(&box, missing);
        QCOMPARE(box.count(), 0);
        QCOMPARE(box.currentIndex(), -1);
    }
    QCOMPARE(m_prompts->messages, QStringList());
}

// Distinct values in order; the saved default is selected only on an exact
// match; an empty table gives an empty box with nothing selected.
void TestHelpers::fillComboDistinct()
{
    exec(QStringLiteral("DELETE FROM Prov"));
    for (const char *name : {"上海市", "北京市", "上海市", "Anhui", "北京市"})
        exec(QStringLiteral("INSERT INTO Prov (Name) VALUES ('%1')").arg(QString::fromUtf8(name)));
    exec(QStringLiteral("INSERT INTO Prov (Name) VALUES (NULL)"));

    QComboBox box;
    box.setEditable(true);
    store::SetVar(QStringLiteral("默认值_Prov"), QStringLiteral("北京市"));
    ui::FillComboDistinct(&box, QStringLiteral("Prov"), QStringLiteral("Name"));
    store::RecordSet ordered;
    store::OpenQuery(ordered, QStringLiteral("SELECT Name FROM Prov WHERE Name IS NOT NULL "
                                             "GROUP BY Name ORDER BY Name"));
    QStringList expected;
    for (int row = 0; row < ordered.recordCount(); ++row)
        expected << ordered.valueAt(row, 0).toString();
    QCOMPARE(expected.size(), 3);
    QCOMPARE(items(box), expected);
    QCOMPARE(box.currentText(), QStringLiteral("北京市"));

    for (const QString &saved : {QStringLiteral("北京"), QStringLiteral("anhui"), QString()}) {
        store::SetVar(QStringLiteral("默认值_Prov"), saved);
        ui::FillComboDistinct(&box, QStringLiteral("Prov"), QStringLiteral("Name"));
        QCOMPARE(box.count(), 3);
        QCOMPARE(box.currentIndex(), -1);
        QCOMPARE(box.currentText(), QString());
    }

    exec(QStringLiteral("DELETE FROM Prov"));
    store::SetVar(QStringLiteral("默认值_Prov"), QStringLiteral("甲省"));
    ui::FillComboDistinct(&box, QStringLiteral("Prov"), QStringLiteral("Name"));
    QCOMPARE(box.count(), 0);
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.currentText(), QString());

    // Another set's values; the default still comes from the current set.
    makeSet(QStringLiteral("DATA00002.qdt"));
    exec(QStringLiteral("DELETE FROM Prov"), QStringLiteral("DATA00002.qdt"));
    exec(QStringLiteral("INSERT INTO Prov (Name) VALUES ('甲省')"),
         QStringLiteral("DATA00002.qdt"));
    ui::FillComboDistinct(&box, QStringLiteral("Prov"), QStringLiteral("Name"),
                          QStringLiteral("DATA00002.qdt"));
    QCOMPARE(items(box), QStringList(QStringLiteral("甲省")));
    QCOMPARE(box.currentText(), QStringLiteral("甲省"));
}

void TestHelpers::formIsOpen()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("产品信息"));
    QVERIFY(!ui::FormIsOpen(QStringLiteral("产品信息")));
    dialog.show();
    QVERIFY(ui::FormIsOpen(QStringLiteral("产品信息")));
    QVERIFY(!ui::FormIsOpen(QStringLiteral("产品")));
    QVERIFY(!ui::FormIsOpen(QStringLiteral("产品信息 ")));
    dialog.hide();
    QVERIFY(!ui::FormIsOpen(QStringLiteral("产品信息")));
}

// Each way a dialog can go away ends the wait: closed, deleted or given
// another title.
void TestHelpers::waitFormClosed_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close") << "close";
    QTest::newRow("delete") << "delete";
    QTest::newRow("retitle") << "retitle";
}

void TestHelpers::waitFormClosed()
{
    QFETCH(QString, how);
    const QString caption = QStringLiteral("客户信息");
    QPointer<QDialog> dialog = new QDialog;
    dialog->setWindowTitle(caption);
    dialog->show();

    QTimer::singleShot(100, dialog, [dialog, how] {
        if (how == QLatin1String("close"))
            dialog->close();
        else if (how == QLatin1String("delete"))
            dialog->deleteLater();
        else
            dialog->setWindowTitle(QStringLiteral("别的窗口"));
    });
    QObject context;
    const auto rescued = rescueAfterFiveSeconds(&context, caption);

    QElapsedTimer timer;
    timer.start();
    ui::WaitFormClosed(caption);
    QVERIFY(!*rescued);
    QVERIFY(timer.elapsed() >= 90);
    QVERIFY(!ui::FormIsOpen(caption));
    delete dialog.data();

    // Nothing open: returns at once.
    timer.restart();
    ui::WaitFormClosed(caption);
    QVERIFY(timer.elapsed() < 50);
}

// Two windows with the same caption: the wait lasts until both are gone,
// also when the second one opens while waiting.
void TestHelpers::waitFormClosedFollowsTwoWindows()
{
    const QString caption = QStringLiteral("选择账套");
    QDialog first;
    first.setWindowTitle(caption);
    first.show();
    QDialog second;
    second.setWindowTitle(caption);

    QTimer::singleShot(50, &second, [&] { second.show(); });
    QTimer::singleShot(100, &first, [&] { first.close(); });
    bool secondClosed = false;
    QTimer::singleShot(250, &second, [&] {
        secondClosed = true;
        second.close();
    });
    QObject context;
    const auto rescued = rescueAfterFiveSeconds(&context, caption);
    ui::WaitFormClosed(caption);
    QVERIFY(secondClosed);
    QVERIFY(!*rescued);
}

QTEST_MAIN(TestHelpers)
#include "tst_helpers.moc"
