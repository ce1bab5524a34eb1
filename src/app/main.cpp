#include "store/programfolder.h"
#include "store/schema.h"

#include <QApplication>
#include <QLabel>

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
    store::EnsureTemplate();
    QLabel window(QStringLiteral("Korvo进销存3.00\n套账文件夹：%1").arg(store::programFolder()));
    window.setWindowTitle(QStringLiteral("Korvo进销存3.00"));
    window.setMargin(40);
    window.show();
    return app.exec();
}
