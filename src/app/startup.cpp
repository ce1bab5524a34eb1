#include "startup.h"

#include "commands.h"
#include "mainwindow.h"
#include "newaccountsetdialog.h"
#include "termination.h"

#include "store/accountsets.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/prompts.h"
#include "store/schema.h"
#include "store/session.h"
#include "ui/chinesedesktop.h"
#include "ui/progress.h"
#include "ui/qtprompts.h"
#include "ui/shellhost.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QPointer>

namespace app {

QString MainCaption(const QString &title, const QString &setName, const QString &user)
{
    const QString separator = QStringLiteral(" >> ");
    const int cut = title.indexOf(separator);
    QString caption = cut < 0 ? title : title.left(cut);
    caption += separator + setName;
    if (!user.isEmpty())
        caption += QStringLiteral("=>") + user;
    return caption;
}

std::unique_ptr<QLockFile> acquireInstanceLock(const QString &folder)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(kInstanceLockName));
    // A running copy holds the lock for as long as it runs, however long
    // that is: never treat the lock as stale by its age. A lock whose
    // process has ended is still recognised as stale and taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

bool LoadAccountSets(ui::ShellHost &host, const std::function<void()> &openNewSetDialog)
{
    store::CurrentAccountIndex = -1;
    const QStringList files = store::ListAccountSetFiles();
    int count = 0;
    if (!files.isEmpty()) {
        ui::ProgressStart(QStringLiteral("正在初化化套账列表..."), files.size());
        count = store::BuildAccountSetList(files, [](int) { ui::ProgressStep(1); });
        // The set opened is one that opens: BuildAccountSetList passes over
        // damaged and foreign files (-1 when no file opens).
        if (count > 0 && store::CurrentAccountIndex >= 0)
            host.SelectAccountSet(store::CurrentAccountIndex, false);
        ui::ProgressClose();
    }
    if (count == 0 || store::CurrentAccountIndex < 0) {
        store::prompts().message(count == 0 ? QStringLiteral("没有任何进销存套账,请建立新套账！")
                                            : store::kNoSetOpensMessage);
        if (openNewSetDialog)
            openNewSetDialog();
        return false;
    }
    return true;
}

QWidget *ShowFirstAccountSetDialog(QWidget *parent, const std::function<void()> &quit)
{
    NewAccountSetDialog *dialog = ShowNewAccountSetDialog(parent);
    // The main window shows once a set has been opened; while it is hidden
    // nothing else would end the run.
    const QPointer<QWidget> mainWindow(parent);
    QObject::connect(dialog, &QObject::destroyed, [quit, mainWindow] {
        const bool opened = mainWindow ? mainWindow->isVisible() : store::CurrentAccountIndex >= 0;
        if (!opened && quit)
            quit();
    });
    return dialog;
}

void prepareApplication()
{
    ui::UseChineseDesktop();
    QApplication::setQuitOnLastWindowClosed(false);
}

int run()
{
    const std::unique_ptr<QLockFile> lock = acquireInstanceLock(store::programFolder());
    if (!lock)
        return 0; // another copy runs in this folder: end silently

    prepareApplication();

    // Ending the session (SIGTERM, SIGHUP) closes the program as 退出 does,
    // without questions: settings saved, scratch tables dropped, every set
    // let go and complete by itself. Watched from the start: a signal that
    // comes before the event loop runs waits in the watcher's pipe.
    MainWindow *mainWindow = nullptr;
    const TerminationWatcher termination([&mainWindow] {
        if (mainWindow)
            mainWindow->ExitWithoutQuestions();
        else
            QCoreApplication::quit();
    });

    ui::QtPrompts prompts;
    store::setPrompts(&prompts);
    QString error;
    if (!store::EnsureTemplate(&error) && !error.isEmpty())
        store::prompts().message(error);
    registerCommands();

    int code = 0;
    {
        MainWindow window;
        ui::setShellHost(&window);
        mainWindow = &window;
        LoadAccountSets(window, [&window] {
            ShowFirstAccountSetDialog(&window, [] { QCoreApplication::quit(); });
        });
        code = QApplication::exec();
        ui::setShellHost(nullptr);
        mainWindow = nullptr;
    }
    store::Registry::closeAll();
    store::setPrompts(nullptr);
    return code;
}

} // namespace app
