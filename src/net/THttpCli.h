#pragma once

#include "THttpState.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QIODevice;

// One HTTP/1.0 GET per instance, made synchronously with Get() in the thread that owns the
// client; the events fire in that thread from inside Get(). Abort() may come from any thread.
// Get() raises EHttpException on failure and on server statuses of 400 and above except 401
// and 407.
class THttpCli
{
public:
    using TOnCommand = std::function<void(THttpCli& sender, QString& line)>;
    using TNotifyEvent = std::function<void(THttpCli& sender)>;
    using TDocDataEvent = std::function<void(THttpCli& sender, const char* buffer, int len)>;

    THttpCli();
    ~THttpCli();
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Fetches URL; returns when the request has ended. See the class comment for exceptions.
    void Get();
    // Ends a running request at once ("Connection aborted on request", error 3). On an idle
    // client it only resets the status to 200 "OK". Safe from any thread.
    void Abort();
    // Ends a running request as "Request aborted" (error 3), as when the program shuts down.
    // Safe from any thread.
    void Terminate();
    // Process-wide: while set, every running and future Get ends as "Request aborted".
    static void SetApplicationTerminated(bool terminated);

    // Each line of the request just before it is written (the last one empty); the handler
    // may change it. Line breaks, other control characters and leading blanks are removed
    // from what it leaves; a line left empty is not sent, so the header ends only at the last.
    TOnCommand OnCommand;
    // After each non-empty response header line is in RcvdHeader, redirects included.
    TNotifyEvent OnHeaderData;
    // After the whole header of each response, redirects included, before any of its body:
    // the status, the framing and the Location below are final for this response.
    TNotifyEvent OnHeaderEnd;
    // After each piece of body (1 to 8192 bytes) has been written to RcvdStream. The body of
    // a redirect that is followed is neither written nor reported.
    TDocDataEvent OnDocData;

    QString URL() const;
    void SetURL(const QString& url);
    // Receives the body; owned by the caller. May be null.
    QIODevice* RcvdStream() const;
    void SetRcvdStream(QIODevice* stream);
    QString Connection() const;
    void SetConnection(const QString& value);
    QString Accept() const;
    void SetAccept(const QString& value);
    QString Agent() const;
    void SetAgent(const QString& value);
    bool NoCache() const;
    void SetNoCache(bool value);
    QString RequestVer() const;
    void SetRequestVer(const QString& value);
    bool FollowRelocation() const;
    void SetFollowRelocation(bool value);
    int LocationChangeMaxCount() const;
    void SetLocationChangeMaxCount(int value);
    // Idle seconds after which Get gives up; 0 waits without limit.
    unsigned Timeout() const;
    void SetTimeout(unsigned seconds);
    // Kept for callers that set it; every client here waits on its own sockets in its own
    // thread, so it changes nothing.
    bool MultiThreaded() const;
    void SetMultiThreaded(bool value);
    // Name used in the "busy" message.
    QString Name() const;
    void SetName(const QString& name);

    // Header lines of the current response, status line first, without line ends.
    const QStringList& RcvdHeader() const;
    QString LastResponse() const;
    int StatusCode() const;
    QString ReasonPhrase() const;
    // The current response's one Content-Length; -1 when it has none. A chunked body
    // (Chunked) is framed by its chunks whatever this says.
    std::int64_t ContentLength() const;
    bool Chunked() const;
    // The current response's Location field; empty when it has none.
    QString LocationHeader() const;
    // The current response will be followed to its Location: its body is not the document.
    bool Relocating() const;
    // The current response ended where its framing says (not by a close or a stop).
    bool ResponseComplete() const;
    // Why the current response could not be read (conflicting lengths, a bad chunk size);
    // empty when it could. Such a response ends as a closed connection would.
    QString ResponseError() const;
    // The current response names a Location that is not followed because
    // LocationChangeMaxCount relocations were followed already: the request ends with it.
    bool TooManyRelocations() const;
    // The address being fetched, updated on each relocation.
    QString Location() const;
    THttpState State() const;

private:
    class TImpl;
    std::unique_ptr<TImpl> m_impl;
};
