#include "FakeYouTube.h"

#include "base/ServiceHosts.h"

#include <QUrl>
#include <QUrlQuery>

namespace qbtest {

namespace {

QByteArray encode(const QByteArray& text)
{
    return QUrl::toPercentEncoding(QString::fromUtf8(text));
}

QString queryValue(const QByteArray& target, const QString& key)
{
    const QUrl url(QString::fromUtf8("http://x" + target));
    // The program's address carries empty parts ("&&&") where parameters were removed.
    const QUrlQuery query(url.query());
    return query.queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace

TFakeYouTube::TFakeYouTube()
{
    m_server.SetHandler([this](const TRecordedRequest& r) { return answer(r); });
}

QString TFakeYouTube::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.Port());
}

void TFakeYouTube::UseAsYouTube() const
{
    ServiceHosts hosts = Hosts();
    hosts.YouTube = Host();
    hosts.YouTubeShort = Host();
    OverrideServiceHosts(hosts);
}

QString TFakeYouTube::AddVideo(const TFakeVideo& video)
{
    std::lock_guard lock(m_mutex);
    const QString id = QStringLiteral("vid%1").arg(++m_next);
    m_videos[id] = video;
    return m_server.Url(QStringLiteral("/watch?v=") + id);
}

int TFakeYouTube::Itag(const QString& quality)
{
    if (quality == QLatin1String("hd720"))
        return 22;
    if (quality == QLatin1String("medium"))
        return 18;
    if (quality == QLatin1String("small"))
        return 36;
    return 5;
}

QString TFakeYouTube::Signature(const QString& id, const QString& quality)
{
    return QStringLiteral("SIG%1%2").arg(id.toUpper(), quality.toUpper());
}

QByteArray TFakeYouTube::WatchPage(const QString& id) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_videos.find(id);
    if (it == m_videos.end())
        return {};
    const TFakeVideo& v = it->second;
    QList<QByteArray> entries;
    for (const QString& q : v.qualities) {
        const QByteArray stream =
            m_server.Url(QStringLiteral("/videoplayback?id=%1&q=%2").arg(id, q)).toUtf8();
        const QList<QByteArray> params{
            "url=" + encode(stream),
            "sig=" + Signature(id, q).toUtf8(),
            "itag=" + QByteArray::number(Itag(q)),
            "type=" + encode(v.mediaType.toUtf8()),
            "fallback_host=tc.v1.cache1.example",
            "quality=" + q.toUtf8(),
        };
        entries.append(params.join("\\u0026"));
    }
    // The value in the page is the map encoded once more; commas stay readable.
    const QByteArray map = QUrl::toPercentEncoding(QString::fromUtf8(entries.join(',')), ",\\");

    const QByteArray title = v.title.toUtf8();
    QByteArray page = "<!DOCTYPE html>\n<html lang=\"en\" dir=\"ltr\">\n<head>\n";
    if (v.titleStyle == TFakeVideo::PlainTitle)
        page += "<title>" + title + " - YouTube</title>\n";
    else if (v.titleStyle == TFakeVideo::CapitalTags)
        page += "<TITLE>" + title + " - YouTube</TITLE>\n";
    page += "</head>\n<body>\n";
    page += "<h1 id=\"watch-headline-title\"><span id=\"eow-title\" dir=\"ltr\">" +
            (v.titleStyle == TFakeVideo::LtrFallback ? title : QByteArray("ignored")) +
            "</span></h1>";
    page += "<script>var ytplayer = {\"args\": {\"fmt_list\": \"22/1280x720\", "
            "\"url_encoded_fmt_stream_map\": \"" +
            map + "\", \"length_seconds\": \"2\"}};</script>\n";
    page += "<p>More videos</p>\n</body>\n</html>\n";
    return page;
}

int TFakeYouTube::StreamsServed() const
{
    std::lock_guard lock(m_mutex);
    return m_served;
}

int TFakeYouTube::StreamsRefused() const
{
    std::lock_guard lock(m_mutex);
    return m_refused;
}

QString TFakeYouTube::LastQuality() const
{
    std::lock_guard lock(m_mutex);
    return m_lastQuality;
}

TScriptedReply TFakeYouTube::answer(const TRecordedRequest& request)
{
    const QByteArray path = request.t_Target.split('?').constFirst();
    if (path == "/watch") {
        const QString id = queryValue(request.t_Target, QStringLiteral("v"));
        const QByteArray page = WatchPage(id);
        if (page.isEmpty())
            return TScriptedReply::Response(404, "Not Found", "<html>no such video</html>");
        return TScriptedReply::Response(200, "OK", page,
                                        {"Content-Type: text/html; charset=utf-8"});
    }
    if (path == "/videoplayback") {
        const QString id = queryValue(request.t_Target, QStringLiteral("id"));
        const QString quality = queryValue(request.t_Target, QStringLiteral("q"));
        std::lock_guard lock(m_mutex);
        const auto it = m_videos.find(id);
        const bool signedRight =
            queryValue(request.t_Target, QStringLiteral("itag")) ==
                QString::number(Itag(quality)) &&
            queryValue(request.t_Target, QStringLiteral("signature")) == Signature(id, quality);
        if (it == m_videos.end() || !signedRight) {
            ++m_refused;
            return TScriptedReply::Response(403, "Forbidden", "<html>forbidden</html>");
        }
        ++m_served;
        m_lastQuality = quality;
        return TScriptedReply::Response(200, "OK", it->second.media, {"Content-Type: video/mp4"});
    }
    return TScriptedReply::Response(404, "Not Found");
}

} // namespace qbtest
