#include "WindowMessages.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
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

void TMessageQueue::Post(int message, int wParam)
{
    enqueue({message, wParam, {}, nullptr});
}

void TMessageQueue::Send(int message, int wParam)
{
    if (OnGuiThread()) {
        dispatch(message, wParam);
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
        task();
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
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(pending));
        if (!m_wakePending) {
            m_wakePending = true;
            wake = true;
        }
    }
    if (wake)
        this->wake();
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

void TMessageQueue::Drain()
{
    for (;;) {
        Pending p{};
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                m_wakePending = false;
                return;
            }
            p = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (p.task)
            p.task();
        else
            dispatch(p.message, p.wParam);
        if (p.done)
            p.done->set_value();
    }
}

void TMessageQueue::dispatch(int message, int wParam)
{
    const auto it = m_handlers.find(message);
    if (it != m_handlers.end() && it->second)
        it->second(wParam);
}
