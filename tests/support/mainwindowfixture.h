#pragma once

// The main window on a fresh program folder, header only for the tests that link the app.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "store/accountsets.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/shellhost.h"

#include <QApplication>
#include <QtTest>

#include <memory>

namespace testsupport {

// The visible top-level window with this caption.
template<typename T = QWidget>
T *openWindow(const QString &caption)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == caption)
            return qobject_cast<T *>(w);
    return nullptr;
}

// Sets 甲账 and, when asked, 乙账, the main window on 甲账, and scripted prompts.
class MainWindowFixture
{
public:
    explicit MainWindowFixture(bool secondSet = true)
    {
        QString error;
        if (!store::EnsureTemplate(&error))
            qFatal("no template: %s", qPrintable(error));
        if (store::CreateAccountSet(QStringLiteral("甲公司"), QStringLiteral("甲账")) != 0
            || (secondSet
                && store::CreateAccountSet(QStringLiteral("乙公司"), QStringLiteral("乙账")) != 1))
            qFatal("the account sets were not made");
        window = std::make_unique<app::MainWindow>();
        window->setQuitHandler([] {});
        ui::setShellHost(window.get());
        window->SelectAccountSet(0, false);
    }

    ~MainWindowFixture() { close(); }

    // Closes every window and forgets registry, shell and user; folder and prompts stay.
    void close()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != window.get())
                w->close();
        window.reset();
        app::commands().clear();
        ui::setShellHost(nullptr);
        store::CurrentUser.clear();
        store::CurrentRights.clear();
        store::CurrentUserID = 0;
    }

    // Logs a member in (the administrator's ID) with these rights.
    void login(const QString &user = QStringLiteral("zunta"),
               const QString &rights = QStringLiteral("所有权限"))
    {
        store::CurrentUserID = 2;
        store::CurrentUser = user;
        store::CurrentRights = rights;
        window->ApplyRights();
        window->UpdateMainCaption();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<app::MainWindow> window;
};

} // namespace testsupport
