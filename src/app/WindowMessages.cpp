#include "WindowMessages.h"

#include <QCoreApplication>
#include <QEvent>

namespace {
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

TMessageQueue::TMessageQueue(QObject* parent)
    : QObject(parent), m_guiThread(std::this_thread::get_id())
{
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
        QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
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

bool TMessageQueue::event(QEvent* e)
{
    if (e->type() == kWakeEvent) {
        Drain();
        return true;
    }
    return QObject::event(e);
}

void TMessageQueue::dispatch(int message, int wParam)
{
    const auto it = m_handlers.find(message);
    if (it != m_handlers.end() && it->second)
        it->second(wParam);
}
