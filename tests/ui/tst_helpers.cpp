#include "store/access.h"
#include "store/params.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/helpers.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

QStringList items(const QComboBox &box)
{
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

} // namespace

class TestHelpers : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::FolderWithSet> m_fx;

private slots:
    void init() { m_fx = std::make_unique<testsupport::FolderWithSet>(); }

    void cleanup()
    {
        const QStringList shown = m_fx->prompts.messages;
        m_fx.reset();
        QCOMPARE(shown, QStringList());
    }

    // Entries read "ID in five digits|name" in name order; the saved default is
    // matched by its leading number.
    void fillIdNameComboSelectsDefault()
    {
        QVERIFY(store::ExecSQL(
                QStringLiteral("INSERT INTO Pro (Name) VALUES ('C线'), ('A板'), ('B管')")));
        const QStringList saved = {"00003|B管", "00001|旧名", "2", "B管", "00009|D"};
        const QStringList selected = {"00003|B管", "00001|C线", "00002|A板", "", ""};
        for (int i = 0; i < saved.size(); ++i) {
            store::SetVar(QStringLiteral("默认值_Pro"), saved.at(i));
            QComboBox box;
            box.addItem(QStringLiteral("上次的内容"));
            QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
            ui::FillIdNameCombo(&box, QStringLiteral("Pro"), QStringLiteral("Name"));
            QCOMPARE(items(box), QStringList({"00002|A板", "00003|B管", "00001|C线"}));
            QCOMPARE(box.currentText(), selected.at(i));
            QCOMPARE(box.currentIndex() >= 0, !selected.at(i).isEmpty());
            // Only the final choice is announced, so a dialog computes its price once.
            QCOMPARE(changed.count(), selected.at(i).isEmpty() ? 0 : 1);
        }
    }

    // A name box starts with an empty entry; a distinct box lists the values
    // in order and selects the saved default only on an exact match.
    void fillNameAndDistinctCombos()
    {
        QComboBox box;
        ui::FillNameCombo(&box, QStringLiteral("Staff"));
        QCOMPARE(items(box), QStringList({QString(), "其他", "zunta"}));
        QCOMPARE(QList<int>({box.currentIndex(), box.itemData(0).toInt(), box.itemData(2).toInt()}),
                 QList<int>({0, 0, 2}));
        ui::FillNameCombo(&box, QStringLiteral("NoSuchTable"));
        QCOMPARE(QList<int>({box.count(), box.currentIndex()}), QList<int>({0, -1}));

        QVERIFY(store::ExecSQL(QStringLiteral("DELETE FROM Prov")));
        QVERIFY(store::ExecSQL(
                QStringLiteral("INSERT INTO Prov (Name) VALUES ('上海市'), ('北京市'), ('上海市'), "
                               "('Anhui'), ('北京市'), (NULL)")));
        box.setEditable(true);
        for (const QString &saved : {QStringLiteral("北京市"), QStringLiteral("anhui")}) {
            store::SetVar(QStringLiteral("默认值_Prov"), saved);
            ui::FillComboDistinct(&box, QStringLiteral("Prov"), QStringLiteral("Name"));
            QCOMPARE(items(box), QStringList({"北京市", "上海市", "Anhui"}));
            QCOMPARE(box.currentText(), saved == QStringLiteral("北京市") ? saved : QString());
        }

        QVERIFY(store::ExecSQL(QStringLiteral("DELETE FROM Prov")));
        ui::FillComboDistinct(&box, QStringLiteral("Prov"), QStringLiteral("Name"));
        QCOMPARE(QList<int>({box.count(), box.currentIndex()}), QList<int>({0, -1}));
    }

    // A dialog closed, deleted or retitled ends the wait, which sleeps.
    void waitFormClosed()
    {
        const QString caption = QStringLiteral("客户信息");
        for (const char *how : {"close", "delete", "retitle"}) {
            QPointer<QDialog> dialog = new QDialog;
            dialog->setWindowTitle(caption);
            dialog->show();
            QTimer::singleShot(300, dialog, [dialog, how = QByteArray(how)] {
                if (how == "close")
                    dialog->close();
                else if (how == "delete")
                    dialog->deleteLater();
                else
                    dialog->setWindowTitle(QStringLiteral("别的窗口"));
            });
            QElapsedTimer timer;
            timer.start();
            const std::clock_t start = std::clock();
            ui::WaitFormClosed(caption);
            // The process milliseconds spent waiting.
            const double busy = 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC;
            QVERIFY2(timer.elapsed() >= 290, how);
            QVERIFY2(busy < 100, qPrintable(QStringLiteral("%1: %2 ms").arg(how).arg(busy)));
            QVERIFY(!ui::FormIsOpen(caption));
            delete dialog.data();
        }

        // Nothing open: returns at once.
        QElapsedTimer timer;
        timer.start();
        ui::WaitFormClosed(caption);
        QVERIFY(timer.elapsed() < 1000);
    }
};

QTEST_MAIN(TestHelpers)
#include "tst_helpers.moc"
