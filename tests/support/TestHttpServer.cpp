#include "TestHttpServer.h"

#include "net/TUniqueFd.h"
#include "net/TWakeEvent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qbtest {

namespace {
constexpr int kMaxHead = 1024 * 1024;
constexpr int kDefaultPatternPiece = 64 * 1024;
} // namespace

struct TTestHttpServer::TImpl
{
    TUniqueFd m_listen;
    quint16 m_port = 0;
    TWakeEvent m_stopEvent; // signalled once, never drained: wakes every poll for good
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestArrived;
    std::deque<TScriptedReply> m_queue;
    THandler m_handler;
    QList<TRecordedRequest> m_requests;
    int m_connections = 0;
    std::vector<std::thread> m_connectionThreads;

    void acceptLoop();
    void serve(TUniqueFd fd, int connection);
    TScriptedReply nextReply(const TRecordedRequest& request);
    bool play(int fd, const TScriptedReply& reply);
    // Polls fd for events and the stop event; false when stopping or on timeout.
    bool wait(int fd, short events, int timeoutMs = -1);
    bool sendAll(int fd, const char* data, std::size_t size);
    bool pause(std::chrono::milliseconds duration);
};

bool TTestHttpServer::TImpl::wait(int fd, short events, int timeoutMs)
{
    for (;;) {
        pollfd fds[2] = {{m_stopEvent.fd(), POLLIN, 0}, {fd, events, 0}};
        const int count = fd >= 0 ? 2 : 1;
        const int rc = ::poll(fds, count, timeoutMs);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0 || fds[0].revents)
            return false;
        return true;
    }
}

bool TTestHttpServer::TImpl::pause(std::chrono::milliseconds duration)
{
    if (duration.count() <= 0)
        return !m_stopping.load();
    // Only the stop event can end the wait early.
    wait(-1, 0, int(duration.count()));
    return !m_stopping.load();
}

bool TTestHttpServer::TImpl::sendAll(int fd, const char* data, std::size_t size)
{
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait(fd, POLLOUT))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

void TTestHttpServer::TImpl::acceptLoop()
{
    while (wait(m_listen.get(), POLLIN)) {
        TUniqueFd client(::accept4(m_listen.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!client)
            continue;
        std::lock_guard lock(m_mutex);
        const int number = ++m_connections;
        m_connectionThreads.emplace_back(
            [this, fd = std::move(client), number]() mutable { serve(std::move(fd), number); });
    }
}

void TTestHttpServer::TImpl::serve(TUniqueFd fd, int connection)
{
    QByteArray pending;
    for (;;) {
        qsizetype headEnd = -1;
        for (;;) {
            const qsizetype crlf = pending.indexOf("\r\n\r\n");
            const qsizetype lf = pending.indexOf("\n\n");
            if (crlf >= 0 && (lf < 0 || crlf < lf))
                headEnd = crlf + 4;
            else if (lf >= 0)
                headEnd = lf + 2;
            if (headEnd >= 0 || pending.size() > kMaxHead)
                break;
            if (!wait(fd.get(), POLLIN))
                return;
            char buf[4096];
            const ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return;
            pending.append(buf, n);
        }
        if (headEnd < 0)
            return;
        const TRecordedRequest request =
            TRecordedRequest::FromHead(pending.left(headEnd), connection);
        pending.remove(0, headEnd);
        {
            std::lock_guard lock(m_mutex);
            m_requests.append(request);
        }
        m_requestArrived.notify_all();

        const TScriptedReply reply = nextReply(request);
        if (!play(fd.get(), reply) || !reply.KeepsAlive())
            break;
    }
    ::shutdown(fd.get(), SHUT_WR);
}

TScriptedReply TTestHttpServer::TImpl::nextReply(const TRecordedRequest& request)
{
    THandler handler;
    {
        std::lock_guard lock(m_mutex);
        if (!m_queue.empty()) {
            TScriptedReply reply = m_queue.front();
            m_queue.pop_front();
            return reply;
        }
        handler = m_handler;
    }
    if (handler)
        return handler(request);
    return TScriptedReply::Response(500, "No scripted reply", "no scripted reply\n");
}

bool TTestHttpServer::TImpl::play(int fd, const TScriptedReply& reply)
{
    for (const TScriptedReply::TStep& step : reply.Steps()) {
        switch (step.t_Kind) {
        case TScriptedReply::TStep::Send: {
            const std::size_t piece = step.t_PieceSize > 0 ? std::size_t(step.t_PieceSize)
                                                           : std::size_t(step.t_Bytes.size());
            for (qsizetype at = 0; at < step.t_Bytes.size(); at += qsizetype(piece)) {
                if (at > 0 && !pause(step.t_Gap))
                    return false;
                const std::size_t n = std::min(piece, std::size_t(step.t_Bytes.size() - at));
                if (!sendAll(fd, step.t_Bytes.constData() + at, n))
                    return false;
            }
            break;
        }
        case TScriptedReply::TStep::Pattern: {
            const int piece = step.t_PieceSize > 0 ? step.t_PieceSize : kDefaultPatternPiece;
            std::vector<char> buf(static_cast<std::size_t>(piece));
            for (std::int64_t at = 0; at < step.t_Size; at += piece) {
                if (at > 0 && !pause(step.t_Gap))
                    return false;
                const std::size_t n = std::size_t(std::min<std::int64_t>(piece, step.t_Size - at));
                for (std::size_t i = 0; i < n; ++i)
                    buf[i] = TScriptedReply::PatternByte(at + std::int64_t(i));
                if (!sendAll(fd, buf.data(), n))
                    return false;
            }
            break;
        }
        case TScriptedReply::TStep::Delay:
            if (!pause(step.t_Gap))
                return false;
            break;
        case TScriptedReply::TStep::Stall:
            // Hold the connection until the client closes it or the server stops.
            for (;;) {
                if (!wait(fd, POLLIN))
                    return false;
                char buf[4096];
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                    return false;
            }
        }
    }
    return true;
}

TTestHttpServer::TTestHttpServer() : m_impl(std::make_unique<TImpl>())
{
    TImpl& d = *m_impl;
    d.m_listen.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (!d.m_listen ||
        ::bind(d.m_listen.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        ::listen(d.m_listen.get(), 64) < 0 ||
        ::getsockname(d.m_listen.get(), reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        throw std::runtime_error(std::string("test server: ") + std::strerror(errno));
    }
    d.m_port = ntohs(address.sin_port);
    d.m_acceptThread = std::thread([&d] { d.acceptLoop(); });
}

TTestHttpServer::~TTestHttpServer()
{
    Stop();
}

void TTestHttpServer::Stop()
{
    TImpl& d = *m_impl;
    if (d.m_stopping.exchange(true))
        return;
    d.m_stopEvent.signal();
    if (d.m_acceptThread.joinable())
        d.m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(d.m_mutex);
        threads.swap(d.m_connectionThreads);
    }
    for (std::thread& thread : threads)
        thread.join();
    d.m_listen.reset();
}

quint16 TTestHttpServer::Port() const
{
    return m_impl->m_port;
}

QString TTestHttpServer::Url(const QString& pathAndQuery) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_impl->m_port).arg(pathAndQuery);
}

void TTestHttpServer::Enqueue(const TScriptedReply& reply)
{
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->m_queue.push_back(reply);
}

void TTestHttpServer::SetHandler(THandler handler)
{
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->m_handler = std::move(handler);
}

QList<TRecordedRequest> TTestHttpServer::Requests() const
{
    std::lock_guard lock(m_impl->m_mutex);
    return m_impl->m_requests;
}

bool TTestHttpServer::WaitForRequests(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_impl->m_mutex);
    return m_impl->m_requestArrived.wait_for(lock, timeout,
                                             [&] { return m_impl->m_requests.size() >= count; });
}

int TTestHttpServer::ConnectionCount() const
{
    std::lock_guard lock(m_impl->m_mutex);
    return m_impl->m_connections;
}

} // namespace qbtest
