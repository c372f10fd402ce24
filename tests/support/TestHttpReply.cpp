#include "TestHttpReply.h"

namespace qbtest {

TScriptedReply TScriptedReply::Response(int status, const QByteArray& reason,
                                        const QByteArray& body, const QList<QByteArray>& headers)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    bool framed = false;
    for (const QByteArray& line : headers) {
        const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
        if (name == "content-length" || name == "transfer-encoding")
            framed = true;
        head += line + "\r\n";
    }
    if (!framed)
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    TScriptedReply reply;
    reply.Send(head + "\r\n" + body);
    return reply;
}

TScriptedReply TScriptedReply::Redirect(int status, const QByteArray& location,
                                        const QList<QByteArray>& headers, const QByteArray& body)
{
    QList<QByteArray> all{"Location: " + location};
    all += headers;
    return Response(status, "Moved", body, all);
}

QByteArray TScriptedReply::Chunked(const QList<QByteArray>& parts,
                                   const QList<QByteArray>& trailers)
{
    QByteArray out;
    for (const QByteArray& part : parts)
        out += QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n";
    out += "0\r\n";
    for (const QByteArray& line : trailers)
        out += line + "\r\n";
    return out + "\r\n";
}

TScriptedReply& TScriptedReply::Send(const QByteArray& bytes)
{
    TStep step;
    step.t_Kind = TStep::Send;
    step.t_Bytes = bytes;
    m_steps.push_back(step);
    return *this;
}

TScriptedReply& TScriptedReply::SendInPieces(const QByteArray& bytes, int pieceSize,
                                             std::chrono::milliseconds gap)
{
    TStep step;
    step.t_Kind = TStep::Send;
    step.t_Bytes = bytes;
    step.t_PieceSize = pieceSize;
    step.t_Gap = gap;
    m_steps.push_back(step);
    return *this;
}

TScriptedReply& TScriptedReply::SendPattern(std::int64_t size, int pieceSize,
                                            std::chrono::milliseconds gap)
{
    TStep step;
    step.t_Kind = TStep::Pattern;
    step.t_Size = size;
    step.t_PieceSize = pieceSize;
    step.t_Gap = gap;
    m_steps.push_back(step);
    return *this;
}

TScriptedReply& TScriptedReply::Delay(std::chrono::milliseconds duration)
{
    TStep step;
    step.t_Kind = TStep::Delay;
    step.t_Gap = duration;
    m_steps.push_back(step);
    return *this;
}

TScriptedReply& TScriptedReply::Stall()
{
    TStep step;
    step.t_Kind = TStep::Stall;
    m_steps.push_back(step);
    return *this;
}

TScriptedReply& TScriptedReply::KeepAlive()
{
    m_keepAlive = true;
    return *this;
}

char TScriptedReply::PatternByte(std::int64_t offset)
{
    // Not periodic at any power of two, so shifted or repeated pieces show.
    return char('a' + (offset % 251) % 26);
}

} // namespace qbtest
