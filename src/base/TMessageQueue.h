#pragma once

#include "WindowMessages.h"

#include <QObject>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

class QSocketNotifier;

// Messages for the GUI thread. Any thread may post (queue and return) or send (queue and
// wait until the handler has run); the GUI thread runs the handlers in arrival order. The
// data travels through a queue of ours under a std::mutex; an eventfd watched by the GUI
// thread's event loop only wakes it, so no memory crosses threads behind ThreadSanitizer's
// back (as a posted QEvent would).
//
// A handler may open a modal box: while its nested event loop runs, later messages are
// still handled, so no worker waits behind a question. A handler that throws releases its
// sender; the error goes to the error reporter (or the log).
class TMessageQueue : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(int wParam)>;

    // Create on the GUI thread.
    explicit TMessageQueue(QObject* parent = nullptr);
    ~TMessageQueue() override;

    // GUI thread only. A message without a handler is dropped when it arrives.
    void SetHandler(int message, Handler handler);
    // GUI thread only. Told of every exception a handler or task let escape.
    void SetErrorReporter(std::function<void(const QString&)> reporter);

    void Post(int message, int wParam = 0);
    // Runs the handler at once when called on the GUI thread; otherwise waits for it.
    void Send(int message, int wParam = 0);

    // The same for a piece of work on the GUI thread (row changes of workers, for one).
    void PostTask(std::function<void()> task);
    void SendTask(std::function<void()> task);

    bool OnGuiThread() const { return std::this_thread::get_id() == m_guiThread; }

    // Runs everything queued so far (GUI thread); tests use it instead of an event loop.
    void Drain();

    // GUI thread only. Runs each time the queue has been worked off, so whoever waits for
    // the state the messages change (the last job's end) sees each change as it comes.
    void SetIdleHandler(std::function<void()> idle);

private:
    struct Pending
    {
        int message;
        int wParam;
        std::function<void()> task; // instead of a message when set
        std::promise<void>* done;   // set for a send from another thread
    };

    void enqueue(Pending pending);
    void sendAndWait(Pending pending);
    void wake();
    void woken();
    void run(Pending& pending);
    void dispatch(int message, int wParam);
    void report(const QString& error);

    const std::thread::id m_guiThread;
    int m_wakeFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unordered_map<int, Handler> m_handlers;       // GUI thread only
    std::function<void(const QString&)> m_reportError; // GUI thread only
    std::function<void()> m_idle;                      // GUI thread only
    bool m_inIdle = false;

    std::mutex m_mutex;
    std::deque<Pending> m_queue;
};
