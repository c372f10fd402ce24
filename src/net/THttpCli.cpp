#include "THttpCli.h"

#include "EHttpException.h"
#include "THostLookup.h"
#include "THttpResponseParser.h"
#include "THttpUrl.h"
#include "TUniqueFd.h"
#include "TWakeEvent.h"

#include <QBuffer>
#include <QFileDevice>
#include <QIODevice>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>

namespace {

using TClock = std::chrono::steady_clock;

std::atomic<bool> g_applicationTerminated{false};

enum TStopRequest : int
{
    stopNone,
    stopAbort,
    stopTerminate
};

constexpr int kWaitIntervalMs = 1000;

const QString kDefaultAccept =
    QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
const QString kDefaultAgent = QStringLiteral("Mozilla/4.0 (compatible; ICS)");

// A request line after its handler had it: no control character may split it apart, and
// no leading blank may fold it into the line before.
QByteArray wireLine(const QString& line)
{
    QByteArray out = line.toUtf8();
    out.removeIf(
        [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F; });
    qsizetype blanks = 0;
    while (blanks < out.size() && (out[blanks] == ' ' || out[blanks] == '\t'))
        ++blanks;
    out.remove(0, blanks);
    return out;
}

QString systemErrorText(int error)
{
    return QString::fromStdString(std::error_code(error, std::system_category()).message());
}

} // namespace

class THttpCli::TImpl final : private THttpResponseParser::TSink
{
public:
    explicit TImpl(THttpCli& owner) : m_owner(owner), m_parser(*this) {}

    // Properties.
    QString m_url;
    QIODevice* m_stream = nullptr;
    QString m_connection;
    QString m_accept = kDefaultAccept;
    QString m_agent = kDefaultAgent;
    bool m_noCache = false;
    QString m_requestVer = QStringLiteral("1.0");
    bool m_followRelocation = true;
    int m_locationChangeMaxCount = 5;
    unsigned m_timeout = 30;
    bool m_multiThreaded = false;
    QString m_name;

    // Written by the owning thread, and by Abort on an idle client from any thread.
    mutable std::mutex m_statusMutex;
    int m_statusCode = 0;
    QString m_reasonPhrase;
    std::atomic<int> m_state{httpReady};
    std::atomic<int> m_stop{stopNone};
    TWakeEvent m_wake;

    // Owning thread only.
    QStringList m_rcvdHeader;
    QString m_lastResponse;
    std::int64_t m_contentLength = -1;
    std::string m_location;

    void get();
    void setStatus(int code, const QString& reason)
    {
        std::lock_guard lock(m_statusMutex);
        m_statusCode = code;
        m_reasonPhrase = reason;
    }

private:
    void run();
    void beginHop();
    bool connect(const THttpUrl& url);
    bool sendRequest(const THttpUrl& url);
    bool receiveResponse();
    bool waitFor(int fd, short events);
    bool checkStop(bool withTimeout);
    void fail(int status, const QString& reason, std::uint16_t error);
    void closeConnection();
    qint64 streamPos() const;
    void cutStream();
    // This response carries a Location that will be followed: its body is not the document.
    bool followsRelocation() const
    {
        return m_followRelocation && m_parser.hasLocation() &&
               m_parser.end() != THttpResponseParser::TEnd::Malformed &&
               m_relocations < m_locationChangeMaxCount;
    }

    template <class F> bool fire(F&& handler);
    bool running() const
    {
        return m_stop.load(std::memory_order_relaxed) == stopNone && !m_writeFailed;
    }

    bool headerLine(std::string_view line, bool isStatus) override;
    bool interimResponseEnd() override;
    bool headerEnd() override;
    bool bodyData(const char* data, std::size_t size) override;

    THttpCli& m_owner;
    THttpResponseParser m_parser;
    TUniqueFd m_socket;
    THttpUrl m_connUrl;
    bool m_connReusable = false;
    char m_buf[THttpResponseParser::kMaxPiece];
    std::size_t m_bufStart = 0;
    std::size_t m_bufEnd = 0;
    bool m_hopReceived = false;
    bool m_failed = false;
    std::uint16_t m_requestError = 0;
    bool m_writeFailed = false;
    QString m_writeError;
    qint64 m_bodyStart = 0;
    int m_relocations = 0;
    TClock::time_point m_lastActivity;

    friend class THttpCli;
};

template <class F> bool THttpCli::TImpl::fire(F&& handler)
{
    try {
        handler();
    } catch (...) {
        // A handler that throws ends the request as an Abort would.
        int expected = stopNone;
        m_stop.compare_exchange_strong(expected, stopAbort);
    }
    return running();
}

void THttpCli::TImpl::get()
{
    {
        std::lock_guard lock(m_statusMutex);
        if (m_state.load() != httpReady) {
            throw EHttpException(QStringLiteral("HTTP component ") + m_name +
                                     QStringLiteral(" is busy"),
                                 httperrBusy);
        }
        m_state = httpNotConnected;
        m_stop = stopNone;
        m_statusCode = 0;
        m_reasonPhrase.clear();
    }
    m_wake.drain();
    m_failed = false;
    m_requestError = 0;
    m_writeFailed = false;
    m_writeError.clear();
    m_lastActivity = TClock::now();

    try {
        run();
        // Buffered writes that fail only when flushed would lose the tail of the body.
        auto* file = qobject_cast<QFileDevice*>(m_stream);
        if (!m_failed && file && file->isOpen() && !file->flush()) {
            fail(404, QStringLiteral("Can't write received data: ") + file->errorString(),
                 httperrStreamWrite);
        }
    } catch (...) {
        closeConnection();
        m_state = httpReady;
        throw;
    }
    closeConnection();

    int status = 0;
    QString reason;
    {
        std::lock_guard lock(m_statusMutex);
        m_state = httpReady;
        status = m_statusCode;
        reason = m_reasonPhrase;
    }
    if (m_failed)
        throw EHttpException(reason, m_requestError);
    if (status >= 400 && status != 401 && status != 407)
        throw EHttpException(reason, std::uint16_t(status));
}

void THttpCli::TImpl::run()
{
    m_location = m_url.toUtf8().toStdString();
    m_relocations = 0;
    bool retried = false;
    for (;;) {
        const THttpUrl url = THttpUrl::parse(m_location);
        if (url.t_Scheme != "http") {
            fail(501,
                 QStringLiteral("Protocol \"%1\" not implemented")
                     .arg(QString::fromStdString(url.t_Scheme)),
                 501);
            return;
        }
        beginHop();
        const bool reuse = m_socket && m_connReusable && m_connUrl.sameEndpoint(url);
        if (!reuse) {
            closeConnection();
            if (!connect(url))
                return;
        }
        m_connReusable = false;
        m_hopReceived = false;
        if (sendRequest(url)) {
            if (!receiveResponse())
                return;
        } else if (m_failed) {
            return;
        }

        if (!m_parser.hasStatus()) {
            // A kept-alive connection the server dropped before answering: one fresh try.
            if (reuse && !m_hopReceived && !retried) {
                retried = true;
                closeConnection();
                continue;
            }
            fail(0, QStringLiteral("HTTP no status code (connection closed prematurely)"),
                 httperrNoStatusCode);
            return;
        }
        m_connReusable = m_parser.reusable();
        if (!m_connReusable)
            closeConnection();

        // Past the last relocation allowed, the request ends as completed with the
        // redirect's status.
        if (!followsRelocation())
            return;
        ++m_relocations;
        cutStream();
        m_location = url.resolve(m_parser.location());
    }
}

void THttpCli::TImpl::beginHop()
{
    m_rcvdHeader.clear();
    m_lastResponse.clear();
    m_contentLength = -1;
    m_bodyStart = streamPos();
    m_parser.reset(m_requestVer == QLatin1String("1.1"));
}

bool THttpCli::TImpl::connect(const THttpUrl& url)
{
    m_state = httpDnsLookup;
    const std::string host = url.lookupHost();
    const int port = url.portNumber();
    const QString cantResolve = QStringLiteral("can't resolve hostname to IP address");
    if (host.empty() || port == 0) {
        // The resolver's own codes, kept as 16-bit patterns (EAI_* are negative).
        fail(404, cantResolve, std::uint16_t(host.empty() ? EAI_NONAME : EAI_SERVICE));
        return false;
    }
    THostLookup lookup(host, std::to_string(port));
    while (!lookup.done()) {
        if (!waitFor(lookup.waitFd(), POLLIN))
            return false;
    }
    if (lookup.error() != 0) {
        fail(404, cantResolve, std::uint16_t(lookup.error()));
        return false;
    }
    m_state = httpDnsLookupDone;

    int lastError = ECONNREFUSED;
    for (const addrinfo* ai = lookup.addresses(); ai; ai = ai->ai_next) {
        TUniqueFd fd(::socket(ai->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!fd) {
            lastError = errno;
            continue;
        }
        if (::connect(fd.get(), ai->ai_addr, ai->ai_addrlen) < 0) {
            // EINTR leaves a non-blocking connect running, just as EINPROGRESS does.
            if (errno != EINPROGRESS && errno != EINTR) {
                lastError = errno;
                continue;
            }
            if (!waitFor(fd.get(), POLLOUT))
                return false;
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                error = errno;
            if (error != 0) {
                lastError = error;
                continue;
            }
        }
        m_socket = std::move(fd);
        m_connUrl = url;
        m_bufStart = m_bufEnd = 0;
        m_state = httpConnected;
        return true;
    }
    fail(404,
         QStringLiteral("can't connect: %1 (Error #%2)")
             .arg(systemErrorText(lastError))
             .arg(lastError),
         std::uint16_t(lastError));
    return false;
}

bool THttpCli::TImpl::sendRequest(const THttpUrl& url)
{
    QString version = m_requestVer;
    version.remove(QLatin1Char(' '));
    QStringList lines;
    lines << QStringLiteral("GET ") + QString::fromStdString(url.requestTarget()) +
                 QStringLiteral(" HTTP/") + version;
    if (!m_accept.isEmpty())
        lines << QStringLiteral("Accept: ") + m_accept;
    if (!m_connection.isEmpty())
        lines << QStringLiteral("Connection: ") + m_connection;
    if (!m_agent.isEmpty())
        lines << QStringLiteral("User-Agent: ") + m_agent;
    lines << QStringLiteral("Host: ") + QString::fromStdString(url.hostHeader());
    if (m_noCache)
        lines << QStringLiteral("Pragma: no-cache");
    lines << QString();

    QByteArray request;
    for (QString& line : lines) {
        const bool last = &line == &lines.last();
        if (!fire([&] {
                if (m_owner.OnCommand)
                    m_owner.OnCommand(m_owner, line);
            })) {
            checkStop(false);
            return false;
        }
        // Only the last line may be empty: a line a handler emptied on the way is dropped, as
        // a blank line there would end the header early.
        const QByteArray bytes = wireLine(line);
        if (!bytes.isEmpty())
            request += bytes + "\r\n";
        if (last)
            request += "\r\n";
    }

    m_state = httpWaitingHeader;
    std::size_t sent = 0;
    while (sent < std::size_t(request.size())) {
        const ssize_t n =
            ::send(m_socket.get(), request.constData() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
            m_lastActivity = TClock::now();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(m_socket.get(), POLLOUT))
                return false;
        } else {
            // The peer is gone: handled as a connection closed before any answer.
            closeConnection();
            m_parser.connectionClosed();
            return false;
        }
    }
    return true;
}

bool THttpCli::TImpl::receiveResponse()
{
    for (;;) {
        if (m_bufStart < m_bufEnd) {
            m_bufStart += m_parser.feed(m_buf + m_bufStart, m_bufEnd - m_bufStart);
            if (checkStop(false))
                return false;
            if (m_parser.finished()) {
                if (m_parser.end() == THttpResponseParser::TEnd::Malformed)
                    closeConnection();
                m_state = httpBodyReceived;
                return true;
            }
        }
        m_bufStart = m_bufEnd = 0;
        if (checkStop(false))
            return false;
        const ssize_t n = ::recv(m_socket.get(), m_buf, sizeof m_buf, 0);
        if (n > 0) {
            m_bufEnd = std::size_t(n);
            m_hopReceived = true;
            m_lastActivity = TClock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(m_socket.get(), POLLIN))
                return false;
            continue;
        }
        // Orderly close, or a reset: either way the server has stopped sending.
        closeConnection();
        m_parser.connectionClosed();
        if (checkStop(false))
            return false;
        m_state = httpBodyReceived;
        return true;
    }
}

// Waits until fd is ready, at most one wait interval at a time. False when the request
// ended meanwhile (abort, termination, idle timeout), with its failure recorded.
bool THttpCli::TImpl::waitFor(int fd, short events)
{
    for (;;) {
        if (checkStop(true))
            return false;
        int waitMs = kWaitIntervalMs;
        if (m_timeout > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                m_lastActivity + std::chrono::seconds(m_timeout) - TClock::now());
            waitMs = int(std::clamp<std::int64_t>(left.count(), 1, kWaitIntervalMs));
        }
        pollfd fds[2] = {{fd, events, 0}, {m_wake.fd(), POLLIN, 0}};
        const int rc = ::poll(fds, 2, waitMs);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return true; // let the socket call report the error
        }
        if (fds[1].revents)
            m_wake.drain();
        if (fds[0].revents)
            return true;
    }
}

bool THttpCli::TImpl::checkStop(bool withTimeout)
{
    if (m_failed)
        return true;
    if (m_writeFailed) {
        fail(404, QStringLiteral("Can't write received data: ") + m_writeError, httperrStreamWrite);
        return true;
    }
    const int stop = m_stop.load();
    if (stop == stopAbort) {
        fail(404, QStringLiteral("Connection aborted on request"), httperrAborted);
        return true;
    }
    if (stop == stopTerminate || g_applicationTerminated.load()) {
        fail(404, QStringLiteral("Request aborted"), httperrAborted);
        return true;
    }
    if (withTimeout && m_timeout > 0 &&
        TClock::now() - m_lastActivity >= std::chrono::seconds(m_timeout)) {
        fail(404, QStringLiteral("Request aborted on timeout"), httperrTimeout);
        return true;
    }
    return false;
}

void THttpCli::TImpl::fail(int status, const QString& reason, std::uint16_t error)
{
    m_state = httpAborting;
    setStatus(status, reason);
    m_failed = true;
    m_requestError = error;
    closeConnection();
}

void THttpCli::TImpl::closeConnection()
{
    m_socket.reset();
    m_connReusable = false;
    m_bufStart = m_bufEnd = 0;
}

qint64 THttpCli::TImpl::streamPos() const
{
    return m_stream && !m_stream->isSequential() ? m_stream->pos() : 0;
}

// A redirect's body never stays in the stream: back to where that body began.
void THttpCli::TImpl::cutStream()
{
    if (!m_stream || m_stream->isSequential())
        return;
    if (auto* file = qobject_cast<QFileDevice*>(m_stream)) {
        file->resize(m_bodyStart);
    } else if (auto* buffer = qobject_cast<QBuffer*>(m_stream)) {
        buffer->buffer().truncate(m_bodyStart);
    }
    m_stream->seek(m_bodyStart);
}

bool THttpCli::TImpl::headerLine(std::string_view line, bool isStatus)
{
    const QString text = QString::fromLatin1(line.data(), qsizetype(line.size()));
    m_rcvdHeader.append(text);
    m_lastResponse = text;
    if (isStatus) {
        setStatus(m_parser.statusCode(),
                  QString::fromLatin1(m_parser.reasonPhrase().data(),
                                      qsizetype(m_parser.reasonPhrase().size())));
    }
    m_contentLength = m_parser.contentLength();
    return fire([&] {
        if (m_owner.OnHeaderData)
            m_owner.OnHeaderData(m_owner);
    });
}

bool THttpCli::TImpl::interimResponseEnd()
{
    m_rcvdHeader.clear();
    m_lastResponse.clear();
    m_contentLength = -1;
    return running();
}

bool THttpCli::TImpl::headerEnd()
{
    if (m_parser.withoutHeader()) {
        setStatus(m_parser.statusCode(), QString::fromStdString(m_parser.reasonPhrase()));
    }
    m_bodyStart = streamPos();
    m_state = httpWaitingBody;
    return fire([&] {
        if (m_owner.OnHeaderEnd)
            m_owner.OnHeaderEnd(m_owner);
    });
}

bool THttpCli::TImpl::bodyData(const char* data, std::size_t size)
{
    // A redirect that is followed hands on nothing: its body is read and dropped.
    if (followsRelocation())
        return running();
    if (m_stream && m_stream->write(data, qint64(size)) != qint64(size)) {
        // A piece that did not reach the stream is never reported as received.
        m_writeFailed = true;
        m_writeError = m_stream->errorString();
        return false;
    }
    return fire([&] {
        if (m_owner.OnDocData)
            m_owner.OnDocData(m_owner, data, int(size));
    });
}

// ---- THttpCli

THttpCli::THttpCli() : m_impl(std::make_unique<TImpl>(*this)) {}

THttpCli::~THttpCli() = default;

void THttpCli::Get()
{
    m_impl->get();
}

void THttpCli::Abort()
{
    TImpl& d = *m_impl;
    std::lock_guard lock(d.m_statusMutex);
    if (d.m_state.load() != httpReady) {
        int expected = stopNone;
        d.m_stop.compare_exchange_strong(expected, stopAbort);
        d.m_wake.signal();
        return;
    }
    // Idle: Get closes its connection before it returns, so only the status is reset.
    d.m_statusCode = 200;
    d.m_reasonPhrase = QStringLiteral("OK");
}

void THttpCli::Terminate()
{
    TImpl& d = *m_impl;
    std::lock_guard lock(d.m_statusMutex);
    if (d.m_state.load() != httpReady) {
        int expected = stopNone;
        d.m_stop.compare_exchange_strong(expected, stopTerminate);
        d.m_wake.signal();
    }
}

void THttpCli::SetApplicationTerminated(bool terminated)
{
    g_applicationTerminated.store(terminated);
}

QString THttpCli::URL() const
{
    return m_impl->m_url;
}
void THttpCli::SetURL(const QString& url)
{
    m_impl->m_url = url;
}
QIODevice* THttpCli::RcvdStream() const
{
    return m_impl->m_stream;
}
void THttpCli::SetRcvdStream(QIODevice* stream)
{
    m_impl->m_stream = stream;
}
QString THttpCli::Connection() const
{
    return m_impl->m_connection;
}
void THttpCli::SetConnection(const QString& value)
{
    m_impl->m_connection = value;
}
QString THttpCli::Accept() const
{
    return m_impl->m_accept;
}
void THttpCli::SetAccept(const QString& value)
{
    m_impl->m_accept = value;
}
QString THttpCli::Agent() const
{
    return m_impl->m_agent;
}
void THttpCli::SetAgent(const QString& value)
{
    m_impl->m_agent = value;
}
bool THttpCli::NoCache() const
{
    return m_impl->m_noCache;
}
void THttpCli::SetNoCache(bool value)
{
    m_impl->m_noCache = value;
}
QString THttpCli::RequestVer() const
{
    return m_impl->m_requestVer;
}
void THttpCli::SetRequestVer(const QString& value)
{
    m_impl->m_requestVer = value;
}
bool THttpCli::FollowRelocation() const
{
    return m_impl->m_followRelocation;
}
void THttpCli::SetFollowRelocation(bool value)
{
    m_impl->m_followRelocation = value;
}
int THttpCli::LocationChangeMaxCount() const
{
    return m_impl->m_locationChangeMaxCount;
}
void THttpCli::SetLocationChangeMaxCount(int value)
{
    m_impl->m_locationChangeMaxCount = value;
}
unsigned THttpCli::Timeout() const
{
    return m_impl->m_timeout;
}
void THttpCli::SetTimeout(unsigned seconds)
{
    m_impl->m_timeout = seconds;
}
bool THttpCli::MultiThreaded() const
{
    return m_impl->m_multiThreaded;
}
void THttpCli::SetMultiThreaded(bool value)
{
    m_impl->m_multiThreaded = value;
}
QString THttpCli::Name() const
{
    return m_impl->m_name;
}
void THttpCli::SetName(const QString& name)
{
    m_impl->m_name = name;
}

const QStringList& THttpCli::RcvdHeader() const
{
    return m_impl->m_rcvdHeader;
}
QString THttpCli::LastResponse() const
{
    return m_impl->m_lastResponse;
}

int THttpCli::StatusCode() const
{
    std::lock_guard lock(m_impl->m_statusMutex);
    return m_impl->m_statusCode;
}

QString THttpCli::ReasonPhrase() const
{
    std::lock_guard lock(m_impl->m_statusMutex);
    return m_impl->m_reasonPhrase;
}

std::int64_t THttpCli::ContentLength() const
{
    return m_impl->m_contentLength;
}
bool THttpCli::Chunked() const
{
    return m_impl->m_parser.chunked();
}
QString THttpCli::LocationHeader() const
{
    return QString::fromLatin1(QByteArrayView(m_impl->m_parser.location()));
}
bool THttpCli::Relocating() const
{
    return m_impl->followsRelocation();
}
bool THttpCli::ResponseComplete() const
{
    return m_impl->m_parser.end() == THttpResponseParser::TEnd::Complete;
}
QString THttpCli::ResponseError() const
{
    return QString::fromLatin1(QByteArrayView(m_impl->m_parser.error()));
}
bool THttpCli::TooManyRelocations() const
{
    const TImpl& d = *m_impl;
    return d.m_followRelocation && d.m_parser.hasLocation() &&
           d.m_parser.end() != THttpResponseParser::TEnd::Malformed &&
           d.m_relocations >= d.m_locationChangeMaxCount;
}
QString THttpCli::Location() const
{
    return QString::fromStdString(m_impl->m_location);
}
THttpState THttpCli::State() const
{
    return THttpState(m_impl->m_state.load());
}
