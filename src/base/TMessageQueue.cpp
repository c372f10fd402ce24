#include "TMessageQueue.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <sys/eventfd.h>
#include <unistd.h>

TMessageQueue::TMessageQueue(QObject* parent)
    : QObject(parent), m_guiThread(std::this_thread::get_id()),
      m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_wakeFd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_wakeFd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &TMessageQueue::woken);
    }
}

TMessageQueue::~TMessageQueue()
{
    // A worker still waiting in Send must not hang forever on a queue that is gone.
    std::lock_guard lock(m_mutex);
    for (Pending& p : m_queue) {
        if (p.done)
            p.done->set_value();
    }
    m_queue.clear();
    m_notifier.reset();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void TMessageQueue::SetHandler(int message, Handler handler)
{
    m_handlers[message] = std::move(handler);
}

void TMessageQueue::SetErrorReporter(std::function<void(const QString&)> reporter)
{
    m_reportError = std::move(reporter);
}

void TMessageQueue::Post(int message, int wParam)
{
    enqueue({message, wParam, {}, nullptr});
}

void TMessageQueue::Send(int message, int wParam)
{
    if (OnGuiThread()) {
        Pending now{message, wParam, {}, nullptr};
        run(now);
        return;
    }
    sendAndWait({message, wParam, {}, nullptr});
}

void TMessageQueue::PostTask(std::function<void()> task)
{
    enqueue({0, 0, std::move(task), nullptr});
}

void TMessageQueue::SendTask(std::function<void()> task)
{
    if (OnGuiThread()) {
        Pending now{0, 0, std::move(task), nullptr};
        run(now);
        return;
    }
    sendAndWait({0, 0, std::move(task), nullptr});
}

void TMessageQueue::sendAndWait(Pending pending)
{
    std::promise<void> done;
    std::future<void> handled = done.get_future();
    pending.done = &done;
    enqueue(std::move(pending));
    handled.wait();
}

void TMessageQueue::enqueue(Pending pending)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(pending));
    }
    // Every arrival writes the eventfd (its counter folds them into one wake-up). A
    // handler that runs a nested event loop is then woken again for what came meanwhile.
    wake();
}

void TMessageQueue::wake()
{
    const std::uint64_t one = 1;
    while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TMessageQueue::woken()
{
    std::uint64_t count = 0;
    while (::read(m_wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    Drain();
}

void TMessageQueue::SetIdleHandler(std::function<void()> idle)
{
    m_idle = std::move(idle);
}

void TMessageQueue::Drain()
{
    for (;;) {
        Pending p{};
        bool more = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty())
                break;
            p = std::move(m_queue.front());
            m_queue.pop_front();
            more = !m_queue.empty();
        }
        // Should this item open a nested event loop, what is still queued behind it gets
        // handled there.
        if (more)
            wake();
        run(p);
    }
    // Not again from a Drain the idle handler itself runs.
    if (m_idle && !m_inIdle) {
        m_inIdle = true;
        struct Reset
        {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{m_inIdle};
        try {
            m_idle();
        } catch (const std::exception& e) {
            report(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            report(QStringLiteral("unknown error"));
        }
    }
}

void TMessageQueue::run(Pending& p)
{
    // The sender is released however the handler ends.
    struct Release
    {
        std::promise<void>* done;
        ~Release()
        {
            if (done)
                done->set_value();
        }
    } release{p.done};
    try {
        if (p.task)
            p.task();
        else
            dispatch(p.message, p.wParam);
    } catch (const std::exception& e) {
        report(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report(QStringLiteral("unknown error"));
    }
}

void TMessageQueue::dispatch(int message, int wParam)
{
    const auto it = m_handlers.find(message);
    if (it != m_handlers.end() && it->second)
        it->second(wParam);
}

void TMessageQueue::report(const QString& error)
{
    if (m_reportError) {
        try {
            m_reportError(error);
            return;
        } catch (...) {
        }
    }
    qCritical("A message handler failed: %s", qPrintable(error));
}
