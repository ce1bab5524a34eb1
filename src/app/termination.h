#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace app {

// Turns SIGTERM and SIGHUP (a logout, a shutdown, `kill`) into a call on the
// event loop, so the program can close as through 退出 instead of dying in
// the middle of its work. A signal handler may do next to nothing; it writes
// one byte into a pipe, and a notifier on the pipe's other end calls
// onSignal from the event loop. One watcher at a time; the default handling
// of both signals returns when it is destroyed.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(std::function<void()> onSignal, QObject *parent = nullptr);
    ~TerminationWatcher() override;

    // False when the pipe or the handlers could not be set up (the signals
    // then keep their default effect).
    bool isActive() const { return m_notifier != nullptr; }

private:
    void readSignal();

    std::function<void()> m_onSignal;
    QSocketNotifier *m_notifier = nullptr;
    bool m_called = false;
};

} // namespace app
