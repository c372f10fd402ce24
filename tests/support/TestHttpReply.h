#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>
#include <cstdint>
#include <vector>

namespace qbtest {

// What the test server does in answer to one request, step by step: raw bytes at once or
// in timed pieces, generated bulk data, pauses, a stall. After the last step the connection
// is closed, unless KeepAlive() asks to read the next request on it.
class TScriptedReply
{
public:
    struct TStep
    {
        enum TKind
        {
            Send,
            Pattern,
            Delay,
            Stall
        };
        TKind t_Kind = Send;
        QByteArray t_Bytes;
        std::int64_t t_Size = 0; // Pattern: bytes to generate
        int t_PieceSize = 0;     // 0: all at once (Send) or 64 KiB pieces (Pattern)
        std::chrono::milliseconds t_Gap{0};
    };

    // A whole response: status line, the header lines given, "Content-Length" unless one is
    // among them or chunked is asked for, the blank line and the body.
    static TScriptedReply Response(int status, const QByteArray& reason,
                                   const QByteArray& body = {},
                                   const QList<QByteArray>& headers = {});
    // A redirect to location, with an empty body unless one is given.
    static TScriptedReply Redirect(int status, const QByteArray& location,
                                   const QList<QByteArray>& headers = {},
                                   const QByteArray& body = {});
    // A body in chunked framing, one chunk per part, then the last chunk and the trailers.
    static QByteArray Chunked(const QList<QByteArray>& parts,
                              const QList<QByteArray>& trailers = {});

    TScriptedReply& Send(const QByteArray& bytes);
    TScriptedReply& SendInPieces(const QByteArray& bytes, int pieceSize,
                                 std::chrono::milliseconds gap = std::chrono::milliseconds(0));
    // size bytes of PatternByte(0..size-1), never held whole in memory.
    TScriptedReply& SendPattern(std::int64_t size, int pieceSize = 0,
                                std::chrono::milliseconds gap = std::chrono::milliseconds(0));
    TScriptedReply& Delay(std::chrono::milliseconds duration);
    // Sends nothing more and holds the connection until the client closes it or the server
    // stops.
    TScriptedReply& Stall();
    TScriptedReply& KeepAlive();

    // Byte at offset of the generated data.
    static char PatternByte(std::int64_t offset);

    const std::vector<TStep>& Steps() const { return m_steps; }
    bool KeepsAlive() const { return m_keepAlive; }

private:
    std::vector<TStep> m_steps;
    bool m_keepAlive = false;
};

} // namespace qbtest
