// korvo-cli: the account sets of the program folder from a terminal, for
// scripts and schedulers. No window is ever shown.

#include "clitool.h"

#include "store/engine.h"
#include "ui/chinesedesktop.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

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

// Reading a big list touches tens of megabytes of fresh memory, and a fresh
// process pays a page fault for every 4 KiB of it. The heap is reserved in
// one piece at the start and marked for huge pages, so where the kernel
// offers them it grows 2 MiB at a time instead. Nothing is committed until
// it is used; without huge pages this changes nothing.
void reserveHeapInHugePages()
{
    constexpr std::size_t kBlock = std::size_t(16) << 20; // below malloc's mmap limit
    constexpr int kBlocks = 16;
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    mallopt(M_MMAP_THRESHOLD, int(kBlock * 2));
    mallopt(M_TRIM_THRESHOLD, int(kBlock * (kBlocks + 2)));
    const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void *blocks[kBlocks];
    for (void *&block : blocks)
        block = std::malloc(kBlock);
    for (void *block : blocks)
        std::free(block);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (end > first)
        madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);
}

} // namespace

int main(int argc, char *argv[])
{
    reserveHeapInHugePages();
    qInstallMessageHandler(quietRuntimeNote);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    std::thread opening = cli::startOpeningSet(args);

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
    if (opening.joinable())
        opening.join();
    const int code = cli::run(args);
    // Every set is let go (and its log folded back) while the application
    // still exists: the text order of the connections needs it.
    store::Registry::closeAll();
    return code;
}
