#pragma once

// Shared set-up of the app tests.

#include "app/tabcontrol.h"
#include "grid/grid.h"
#include "mainwindowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <initializer_list>

namespace appfixture {

using testsupport::column;
using testsupport::exec;
using testsupport::openWindow;

inline void execAll(std::initializer_list<const char *> statements)
{
    for (const char *sql : statements)
        exec(QString::fromUtf8(sql));
}

template<typename T>
QList<int> enabledKeys(const QMap<int, T *> &map)
{
    QList<int> keys;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        if (it.value()->isEnabled())
            keys << it.key();
    return keys;
}

// Lets events run until the condition holds, for ten seconds at most.
inline void waitUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        QTest::qWait(20);
}

// A test class whose functions each get a fresh main window fixture.
class WindowTest : public QObject
{
protected:
    void start(bool secondSet = true)
    {
        fx = std::make_unique<testsupport::MainWindowFixture>(secondSet);
        w = fx->window.get();
        prompts = &fx->prompts;
    }
    void stop() { fx.reset(); }

    std::unique_ptr<testsupport::MainWindowFixture> fx;
    app::MainWindow *w = nullptr;
    testsupport::ScriptedPrompts *prompts = nullptr;
};

} // namespace appfixture
