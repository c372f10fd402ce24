#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reads one HTTP/1.x response from bytes as they arrive, in pieces of any size, and reports
// what it finds to a sink. It never touches a socket, so tests and the fuzzer drive it with
// bytes in memory. Bytes after the end of the response are left unconsumed.
class THttpResponseParser
{
public:
    static constexpr std::size_t kMaxLine = 64 * 1024;     // one header line
    static constexpr std::size_t kMaxHeader = 1024 * 1024; // all header lines of a response
    static constexpr std::size_t kMaxPiece = 8192;         // one body piece

    // Every method returns false to stop the parser at once (the request is being dropped).
    class TSink
    {
    public:
        virtual ~TSink() = default;
        // A non-empty line of the header, the status line first (isStatus true).
        virtual bool headerLine(std::string_view line, bool isStatus) = 0;
        // An interim "100" response ended; its lines are to be forgotten.
        virtual bool interimResponseEnd() = 0;
        // The header of the final response is complete; the body, if any, follows.
        virtual bool headerEnd() = 0;
        // A piece of the body, 1 to kMaxPiece bytes, chunk framing removed.
        virtual bool bodyData(const char* data, std::size_t size) = 0;
    };

    enum class TEnd
    {
        Open,      // more bytes are expected
        Complete,  // the response ended where its framing says
        Closed,    // the connection closed before or while the response was read
        Malformed, // the bytes cannot be read as a response; handled like a closed connection
    };

    explicit THttpResponseParser(TSink& sink);

    // Starts on a new response. keepAliveByDefault: whether an HTTP/1.1 response that says
    // nothing about the connection leaves it open (true only for HTTP/1.1 requests).
    void reset(bool keepAliveByDefault = false);
    // Consumes bytes until the response ends or the sink stops it; returns the count consumed.
    std::size_t feed(const char* data, std::size_t size);
    // The peer closed the connection.
    void connectionClosed();

    TEnd end() const { return m_end; }
    // Why the response is Malformed; empty otherwise.
    const std::string& error() const { return m_error; }
    bool finished() const { return m_end != TEnd::Open; }
    // The connection may carry another request: the response ended by its framing and the
    // server asked to keep the connection.
    bool reusable() const { return m_end == TEnd::Complete && m_keepAlive; }

    bool hasStatus() const { return m_hasStatus; }
    bool headerComplete() const { return m_headerDone; }
    bool withoutHeader() const { return m_withoutHeader; }
    int statusCode() const { return m_status; }
    const std::string& reasonPhrase() const { return m_reason; }
    const std::string& version() const { return m_version; }
    std::int64_t contentLength() const { return m_contentLength; }
    const std::string& contentType() const { return m_contentType; }
    bool chunked() const { return m_chunked; }
    bool hasLocation() const { return !m_location.empty(); }
    const std::string& location() const { return m_location; }

private:
    enum class TPhase
    {
        StatusLine,
        Header,
        Body,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Trailer,
        UntilClose,
        Done
    };

    bool isLinePhase() const;
    bool lineLimitExceeded(std::size_t more) const;
    bool startHtmlBody();
    bool processLine(std::string_view line);
    bool processStatusLine(std::string_view line);
    bool processHeaderLine(std::string_view line);
    bool processChunkSize(std::string_view line);
    // False when the field makes the response unreadable (conflicting lengths).
    bool readField(std::string_view line);
    void finish(TEnd how);
    void fail(const char* why);

    TSink& m_sink;
    TPhase m_phase = TPhase::StatusLine;
    TEnd m_end = TEnd::Open;
    std::string m_error;
    std::string m_line; // the line being gathered, line end included
    std::size_t m_headerBytes = 0;
    std::size_t m_trailerBytes = 0;
    std::uint64_t m_remaining = 0;
    bool m_keepAliveByDefault = false;

    bool m_hasStatus = false;
    bool m_headerDone = false;
    bool m_withoutHeader = false;
    int m_status = 0;
    std::string m_reason;
    std::string m_version;
    std::int64_t m_contentLength = -1;
    bool m_lengthSeen = false; // a Content-Length field came, valid or not
    std::string m_contentType;
    bool m_chunked = false;
    bool m_transferEncoded = false; // a Transfer-Encoding line named a coding
    bool m_keepAlive = false;
    std::string m_location;
};
