#include "app/startup.h"
#include "store/schema.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The build writes the template beside the executable with this call;
    // it is not a user-facing option.
    if (argc == 3 && qstrcmp(argv[1], "--write-template") == 0) {
        QCoreApplication core(argc, argv);
        QString error;
        if (!store::BuildTemplate(QString::fromLocal8Bit(argv[2]), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }

    QApplication app(argc, argv);
    // The icon and the menu entry that scripts/run.sh installs for the user.
    QGuiApplication::setDesktopFileName(QStringLiteral("korvo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("korvo")));
    return app::run();
}
