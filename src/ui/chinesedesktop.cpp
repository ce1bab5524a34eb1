#include "chinesedesktop.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <algorithm>

namespace ui {

namespace {

// Qt's translations live in its translations folder; a copy beside the
// program (an installed folder of its own) is looked for first.
bool loadQtTranslation()
{
    static QTranslator translator;
    if (!translator.isEmpty())
        return true;
    const QString name = QStringLiteral("qtbase_zh_CN");
    const QStringList folders = {QCoreApplication::applicationDirPath(),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &folder : folders) {
        if (translator.load(name, folder))
            return QCoreApplication::installTranslator(&translator);
    }
    return false;
}

} // namespace

bool UseChineseDesktop()
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const bool translated = loadQtTranslation();
    if (QFontDatabase::families().contains(kApplicationFontFamily)) {
        QFont font(kApplicationFontFamily);
        const QFont current = QApplication::font();
        // Keep the desktop's size, but never below the size Chinese text
        // stays readable at.
        font.setPointSizeF(std::max(current.pointSizeF(), 9.0));
        QApplication::setFont(font);
    }
    return translated;
}

} // namespace ui
