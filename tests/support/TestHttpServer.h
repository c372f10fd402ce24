#pragma once

#include "TestHttpReply.h"
#include "TestHttpRequest.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace qbtest {

// An HTTP/1.x server inside the test process, on 127.0.0.1 at a free port. Each request
// gets the next queued TScriptedReply, or the handler's answer when the queue is empty
// (a 500 when there is neither). Every request is recorded with the number of the
// connection it came on. Runs on std::threads; Stop() or the destructor ends them all.
class TTestHttpServer
{
public:
    using THandler = std::function<TScriptedReply(const TRecordedRequest&)>;

    TTestHttpServer();
    ~TTestHttpServer();
    TTestHttpServer(const TTestHttpServer&) = delete;
    TTestHttpServer& operator=(const TTestHttpServer&) = delete;

    quint16 Port() const;
    // "http://127.0.0.1:<port>" followed by pathAndQuery.
    QString Url(const QString& pathAndQuery = QStringLiteral("/")) const;

    void Enqueue(const TScriptedReply& reply);
    void SetHandler(THandler handler);

    QList<TRecordedRequest> Requests() const;
    // Waits until at least count requests have arrived; false on timeout.
    bool WaitForRequests(int count, std::chrono::milliseconds timeout) const;
    int ConnectionCount() const;

    // Closes the listening socket and every connection and joins the threads.
    void Stop();

private:
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
};

} // namespace qbtest
