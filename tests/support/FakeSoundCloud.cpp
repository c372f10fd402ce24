#include "FakeSoundCloud.h"

#include "base/ServiceHosts.h"

#include <QUrl>

namespace qbtest {

TFakeSoundCloud::TFakeSoundCloud()
{
    m_server.SetHandler([this](const TRecordedRequest& r) { return answer(r); });
}

QString TFakeSoundCloud::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.Port());
}

void TFakeSoundCloud::UseAsSoundCloud() const
{
    ServiceHosts hosts = Hosts();
    hosts.SoundCloudWeb = Host();
    OverrideServiceHosts(hosts);
}

QString TFakeSoundCloud::AddTrack(const TFakeTrack& track)
{
    std::lock_guard lock(m_mutex);
    const int id = ++m_next;
    m_tracks[id] = track;
    return m_server.Url(QStringLiteral("/artist/track-%1").arg(id));
}

int TFakeSoundCloud::PageRequests(const QString& link) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_pageHits.find(QUrl(link).path().toUtf8());
    return it == m_pageHits.end() ? 0 : it->second;
}

int TFakeSoundCloud::StreamRequests(const QString& link) const
{
    const int id = QUrl(link).path().section(QLatin1Char('-'), -1).toInt();
    std::lock_guard lock(m_mutex);
    const auto it = m_streamHits.find(id);
    return it == m_streamHits.end() ? 0 : it->second;
}

TScriptedReply TFakeSoundCloud::answer(const TRecordedRequest& request)
{
    const QByteArray target = request.t_Target.split('?').constFirst();
    std::unique_lock lock(m_mutex);
    if (target.startsWith("/artist/track-")) {
        ++m_pageHits[target];
        const auto it = m_tracks.find(target.mid(14).toInt());
        if (it == m_tracks.end())
            return TScriptedReply::Response(404, "Not Found", "<html>no such track</html>");
        // Page hops: the same page with "?hop=n" until the last one.
        const qsizetype hopAt = request.t_Target.indexOf("?hop=");
        const int hop = hopAt < 0 ? 0 : request.t_Target.mid(hopAt + 5).toInt();
        if (hop < it->second.pageRedirects)
            return TScriptedReply::Redirect(301, target + "?hop=" + QByteArray::number(hop + 1), {},
                                            it->second.redirectBody);
        const QByteArray stream =
            m_server.Url(QStringLiteral("/stream/%1/0").arg(it->first)).toUtf8();
        const QByteArray name = it->second.name.toUtf8();
        const QByteArray streamKey = "\"streamUrl\":\"" + stream + "\"";
        const QByteArray nameKey = "\"name\":\"" + name + "\"";
        const QByteArray data = it->second.nameFirst ? "{" + nameKey + "," + streamKey + "}"
                                                     : "{" + streamKey + "," + nameKey + "}";
        const QByteArray page = "<!DOCTYPE html>\n<html><head><title>" + name +
                                "</title></head>\n<body>\n"
                                "<script>window.__sc_hydration = [" +
                                data + "];</script>\n</body></html>\n";
        if (it->second.pagePieceSize > 0) {
            TScriptedReply slow;
            slow.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                      "Content-Length: " +
                      QByteArray::number(page.size()) + "\r\n\r\n");
            slow.SendInPieces(page, it->second.pagePieceSize, it->second.pageGap);
            return slow;
        }
        return TScriptedReply::Response(200, "OK", page,
                                        {"Content-Type: text/html; charset=utf-8"});
    }
    if (target.startsWith("/stream/")) {
        const QList<QByteArray> parts = target.split('/'); // "", "stream", id, hop
        const int id = parts.value(2).toInt();
        const int hop = parts.value(3).toInt();
        const auto it = m_tracks.find(id);
        if (it == m_tracks.end())
            return TScriptedReply::Response(404, "Not Found");
        const TFakeTrack t = it->second;
        ++m_streamHits[id];
        lock.unlock();
        if (hop < t.redirects)
            return TScriptedReply::Redirect(
                302, "/stream/" + QByteArray::number(id) + "/" + QByteArray::number(hop + 1), {},
                t.redirectBody);
        QByteArray head = "HTTP/1.1 " + QByteArray::number(t.status) +
                          (t.status == 200 ? " OK" : " Error") +
                          "\r\n"
                          "Content-Type: audio/mpeg\r\nConnection: close\r\n";
        if (t.contentLength)
            head +=
                "Content-Length: " + QByteArray::number(t.announced >= 0 ? t.announced : t.size) +
                "\r\n";
        head += "\r\n";
        TScriptedReply reply;
        reply.Send(head);
        reply.SendPattern(t.size, t.pieceSize, t.gap);
        return reply;
    }
    return TScriptedReply::Response(404, "Not Found");
}

} // namespace qbtest
