// The program is Chinese whatever the system language.

#include "ui/chinesedesktop.h"

#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

class TestChineseDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Started under an English system language.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(ui::UseChineseDesktop(),
                 "qtbase_zh_CN.qm not found (package qt6-translations-l10n)");
    }

    // Dates and Qt's standard buttons read in Chinese.
    void localeAndStandardTexts()
    {
        QCOMPARE(QLocale().dayName(1), QStringLiteral("星期一"));
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::No);
        for (const auto &[which, text] :
             {std::pair{QDialogButtonBox::Ok, "确定"}, std::pair{QDialogButtonBox::No, "否"}}) {
            const QString shown = buttons.button(which)->text();
            QVERIFY2(shown.startsWith(QString::fromUtf8(text)), qPrintable(shown));
        }
    }
};

QTEST_MAIN(TestChineseDesktop)
#include "tst_chinesedesktop.moc"
