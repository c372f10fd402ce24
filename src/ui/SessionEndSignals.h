#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill, Ctrl+C in a terminal) reach the GUI
// thread as a call of onEnd, through a pipe the handler writes to. A second signal ends the
// process at once. One instance at a time; the handlers stay until the process ends.
class SessionEndSignals : public QObject
{
    Q_OBJECT

public:
    explicit SessionEndSignals(std::function<void()> onEnd, QObject* parent = nullptr);
    ~SessionEndSignals() override;

private:
    std::function<void()> m_onEnd;
    QSocketNotifier* m_notifier = nullptr;
    int m_signals = 0;
};
