// korvo-cli: the account sets of the program folder from a terminal, for
// scripts and schedulers. No window is ever shown.

#include "clitool.h"

#include "store/engine.h"
#include "ui/chinesedesktop.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

// Qt's note that it made its own runtime folder (no desktop session, as
// under cron) says nothing to the user of a terminal tool; everything else
// Qt reports goes to standard error as usual.
void quietRuntimeNote(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fputs(qFormatLogMessage(type, context, text).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietRuntimeNote);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    // Lists and charts are widgets and pictures; they are drawn off screen,
    // so the tool runs where there is no display. Everything else needs no
    // window system at all.
    std::unique_ptr<QCoreApplication> app;
    if (cli::needsWidgets(args)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
        // The window's font and locale, so that column widths, dates and
        // pages come out as the window's do.
        ui::UseChineseDesktop();
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("korvo-cli"));
    const int code = cli::run(args);
    // Every set is let go (and its log folded back) while the application
    // still exists: the text order of the connections needs it.
    store::Registry::closeAll();
    return code;
}
