#pragma once

#include <QObject>

#include <memory>

#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <unordered_map>

// The program's own window messages, at fixed offsets from WM_USER.
enum TWindowMessage : int
{
    WM_USER = 0x400,
    WM_START_JOBS = WM_USER + 1,
    WM_STOP_JOB = WM_USER + 2,
    WM_RESUME_JOB = WM_USER + 3,
    WM_CHECK_VERSION = WM_USER + 5,
    WM_NEW_VERSION = WM_USER + 6,
    WM_LATEST_VERSION = WM_USER + 7,
    WM_START_CONVERT = WM_USER + 8,
    WM_CHECK_FOLLOWED = WM_USER + 10,
};

// Messages for the GUI thread. Any thread may post (queue and return) or send (queue and
// wait until the handler has run); the GUI thread runs the handlers in arrival order. The
// data travels through a queue of ours under a std::mutex; an eventfd watched by the GUI
// thread's event loop only wakes it, so no memory crosses threads behind ThreadSanitizer's
// back (as a posted QEvent would).
class QSocketNotifier;

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

    void Post(int message, int wParam = 0);
    // Runs the handler at once when called on the GUI thread; otherwise waits for it.
    void Send(int message, int wParam = 0);

    // The same for a piece of work on the GUI thread (row changes of workers, for one).
    void PostTask(std::function<void()> task);
    void SendTask(std::function<void()> task);

    bool OnGuiThread() const { return std::this_thread::get_id() == m_guiThread; }

    // Runs everything queued so far (GUI thread); tests use it instead of an event loop.
    void Drain();

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
    void dispatch(int message, int wParam);

    const std::thread::id m_guiThread;
    int m_wakeFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unordered_map<int, Handler> m_handlers; // GUI thread only

    std::mutex m_mutex;
    std::deque<Pending> m_queue;
    bool m_wakePending = false;
};
