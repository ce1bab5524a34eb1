// The program is Chinese whatever the system language: locale, Qt's own
// buttons and dialogs, and one font for Latin and Chinese text.

#include "ui/chinesedesktop.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
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

    // Dates, calendars and the standard buttons of message boxes and dialogs
    // read in Chinese.
    void localeAndStandardTexts()
    {
        QCOMPARE(QLocale().language(), QLocale::Chinese);
        QCOMPARE(QLocale().dayName(1), QStringLiteral("星期一"));
        QCalendarWidget calendar;
        QCOMPARE(calendar.locale().monthName(3), QStringLiteral("三月"));

        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::No);
        for (const auto &[which, text] :
             {std::pair{QDialogButtonBox::Ok, "确定"}, std::pair{QDialogButtonBox::No, "否"}}) {
            const QString shown = buttons.button(which)->text();
            QVERIFY2(shown.startsWith(QString::fromUtf8(text)), qPrintable(shown));
        }

        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        QStringList labels;
        for (const QLabel *label : files.findChildren<QLabel *>())
            labels << label->text();
        QVERIFY2(labels.join(QLatin1Char('|')).contains(QStringLiteral("文件")),
                 qPrintable(labels.join(QLatin1Char('|'))));
    }

    // Latin letters, digits and Chinese come from the same font, so they share
    // one baseline in a grid cell.
    void oneFontForLatinAndChinese()
    {
        if (!QFontDatabase::families().contains(ui::kApplicationFontFamily))
            QSKIP("Noto Sans CJK SC is not installed (package fonts-noto-cjk)");
        const QFont font = QApplication::font();
        QCOMPARE(QFontInfo(font).family(), ui::kApplicationFontFamily);
        QVERIFY(font.pointSizeF() >= 9);
        const QFontMetrics metrics(font);
        QVERIFY(metrics.inFont(QChar(u'钢')));
        QVERIFY(metrics.inFont(QChar(u'a')));
    }
};

QTEST_MAIN(TestChineseDesktop)
#include "tst_chinesedesktop.moc"
