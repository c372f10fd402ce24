#include "FakeSoundCloudApi.h"

#include "FakeSoundCloud.h"
#include "base/ServiceHosts.h"

#include <QUrl>

#include <chrono>

namespace qbtest {

namespace {

QByteArray Escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray Element(const char* name, const QString& value, const char* attributes = "")
{
    return QByteArray("    <") + name + attributes + '>' + Escaped(value) + "</" + name + ">\n";
}

} // namespace

TFakeSoundCloudApi::TFakeSoundCloudApi(TFakeSoundCloud* pages) : m_pages(pages)
{
    m_server.SetHandler([this](const TRecordedRequest& r) { return answer(r); });
}

QString TFakeSoundCloudApi::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.Port());
}

void TFakeSoundCloudApi::UseAsApi() const
{
    ServiceHosts hosts = Hosts();
    hosts.SoundCloudApi = Host();
    OverrideServiceHosts(hosts);
}

void TFakeSoundCloudApi::AddUser(const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_users[name];
}

QString TFakeSoundCloudApi::addTrackLocked(const QString& name, TFakeApiTrack track)
{
    if (track.id.isEmpty())
        track.id = QString::number(++m_nextId);
    if (track.permalink.isEmpty() && m_pages) {
        TFakeTrack page;
        page.name = track.title;
        page.size = track.size;
        // As the service gives it: https, fetched over http.
        const QString link = m_pages->AddTrack(page);
        track.permalink = QStringLiteral("https://") + link.mid(7);
    }
    m_users[name].tracks.push_back(track);
    return track.id;
}

QString TFakeSoundCloudApi::AddTrack(const QString& name, TFakeApiTrack track)
{
    std::lock_guard lock(m_mutex);
    return addTrackLocked(name, std::move(track));
}

QStringList TFakeSoundCloudApi::AddTracks(const QString& name, int count, qint64 size)
{
    std::lock_guard lock(m_mutex);
    QStringList ids;
    for (int i = 0; i < count; ++i) {
        TFakeApiTrack track;
        track.title = QStringLiteral("%1 song %2").arg(name).arg(m_users[name].tracks.size() + 1);
        track.size = size;
        ids.append(addTrackLocked(name, track));
    }
    return ids;
}

void TFakeSoundCloudApi::SetMode(const QString& name, TApiMode mode)
{
    std::lock_guard lock(m_mutex);
    m_users[name].mode = mode;
}

void TFakeSoundCloudApi::SetGrowOnRequest(bool grow, qint64 size)
{
    std::lock_guard lock(m_mutex);
    m_grow = grow;
    m_growSize = size;
}

QByteArray TFakeSoundCloudApi::TrackListXml(const QString& name) const
{
    std::lock_guard lock(m_mutex);
    return xmlLocked(name);
}

QByteArray TFakeSoundCloudApi::xmlLocked(const QString& name) const
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tracks type=\"array\">\n";
    const auto user = m_users.find(name);
    if (user == m_users.end())
        return out + "</tracks>\n";
    for (const TFakeApiTrack& t : user->second.tracks) {
        out += "  <track>\n";
        out += Element("kind", QStringLiteral("track"));
        if (t.withId)
            out += Element("id", t.id, " type=\"integer\"");
        out += Element("created-at", t.createdAt, " type=\"datetime\"");
        out += Element("user-id", QStringLiteral("77"), " type=\"integer\"");
        out += Element("duration", t.duration, " type=\"integer\"");
        out += Element("original-content-size", QString::number(t.size), " type=\"integer\"");
        out += Element("title", t.title);
        if (t.description.isEmpty())
            out += "    <description nil=\"true\"></description>\n";
        else
            out += Element("description", t.description);
        out += Element("original-format", QStringLiteral("mp3"));
        out += "    <label-id type=\"integer\" nil=\"true\"></label-id>\n";
        // The uploader: its fields lie one level deeper and are not the track's.
        out += "    <user>\n      <id type=\"integer\">77</id>\n      <kind>user</kind>\n"
               "      <permalink>" +
               Escaped(name) + "</permalink>\n      <permalink-url>http://soundcloud.com/" +
               Escaped(name) + "</permalink-url>\n    </user>\n";
        if (t.withPermalink)
            out += Element("permalink-url", t.permalink);
        out += "  </track>\n";
    }
    return out + "</tracks>\n";
}

QList<QByteArray> TFakeSoundCloudApi::Targets() const
{
    QList<QByteArray> out;
    for (const TRecordedRequest& r : m_server.Requests())
        out.append(r.t_Target);
    return out;
}

int TFakeSoundCloudApi::Requests(const QString& name) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_hits.find(name);
    return it == m_hits.end() ? 0 : it->second;
}

TScriptedReply TFakeSoundCloudApi::answer(const TRecordedRequest& request)
{
    const QByteArray target = request.t_Target;
    const qsizetype q = target.indexOf('?');
    const QByteArray path = target.left(q < 0 ? target.size() : q);
    const QByteArray query = q < 0 ? QByteArray() : target.mid(q + 1);
    // "/users/" + one encoded segment + "/tracks"
    const QList<QByteArray> parts = path.split('/');
    if (parts.size() != 4 || !parts[0].isEmpty() || parts[1] != "users" || parts[3] != "tracks")
        return TScriptedReply::Response(404, "Not Found", "<html>no such page</html>",
                                        {"Content-Type: text/html"});
    const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(parts[2]));
    if (!query.split('&').contains(QByteArray("client_id=") + kClientId))
        return TScriptedReply::Response(401, "Unauthorized", "<html>who are you?</html>",
                                        {"Content-Type: text/html"});

    std::unique_lock lock(m_mutex);
    ++m_hits[name];
    const auto user = m_users.find(name);
    if (user == m_users.end())
        return TScriptedReply::Response(404, "Not Found", "<html>no such user</html>",
                                        {"Content-Type: text/html"});
    const bool moved = query.split('&').contains("moved=1");
    if (m_grow && !moved)
        addTrackLocked(
            name,
            {.title = QStringLiteral("%1 song %2").arg(name).arg(user->second.tracks.size() + 1),
             .size = m_growSize});
    const TApiMode mode = user->second.mode;
    const QByteArray xml = xmlLocked(name);
    lock.unlock();

    const QList<QByteArray> xmlType{"Content-Type: application/xml; charset=utf-8"};
    switch (mode) {
    case TApiMode::Ok:
        break;
    case TApiMode::NotFound:
        return TScriptedReply::Response(404, "Not Found", "<html><body>404</body></html>",
                                        {"Content-Type: text/html"});
    case TApiMode::ServerError:
        return TScriptedReply::Response(500, "Internal Server Error",
                                        "<html><body>Something broke</body></html>",
                                        {"Content-Type: text/html"});
    case TApiMode::NotXml:
        return TScriptedReply::Response(200, "OK", "{\"error\": \"not today\"}",
                                        {"Content-Type: application/json"});
    case TApiMode::CutMidTrack:
    case TApiMode::CutNoLength: {
        // Up to the middle of the last track element.
        const qsizetype last = xml.lastIndexOf("<track>");
        const qsizetype cut = last < 0 ? xml.size() / 2 : last + 40;
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\n";
        if (mode == TApiMode::CutMidTrack)
            head += "Content-Length: " + QByteArray::number(xml.size()) + "\r\n";
        TScriptedReply reply;
        reply.Send(head + "\r\n" + xml.left(cut));
        return reply;
    }
    case TApiMode::Slow: {
        TScriptedReply reply;
        reply.Send("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                   QByteArray::number(xml.size()) + "\r\n\r\n");
        reply.SendInPieces(xml, int(xml.size() / 4 + 1), std::chrono::milliseconds(80));
        return reply;
    }
    case TApiMode::RedirectWithBody:
        if (!moved)
            return TScriptedReply::Response(
                302, "Found", "<html><body>The list has moved.</body></html>",
                {"Location: " + target + "&moved=1", "Content-Type: text/html"});
        break;
    case TApiMode::StallNearEnd: {
        TScriptedReply reply;
        reply.Send("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                   QByteArray::number(xml.size()) + "\r\n\r\n" +
                   xml.left(xml.lastIndexOf("</tracks>")));
        reply.Stall();
        return reply;
    }
    case TApiMode::Oversize: {
        const qint64 size = 33 * 1024 * 1024;
        TScriptedReply reply;
        reply.Send("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                   QByteArray::number(size) + "\r\n\r\n" + xml.left(xml.lastIndexOf("</tracks>")));
        reply.SendPattern(size - xml.lastIndexOf("</tracks>"));
        return reply;
    }
    case TApiMode::RedirectLoop:
        return TScriptedReply::Redirect(302, target);
    case TApiMode::TwoLengths:
    case TApiMode::StoredLength: {
        const QByteArray half = QByteArray::number(xml.size() / 2);
        return TScriptedReply::Response(
            200, "OK", xml,
            {"Content-Type: application/xml",
             (mode == TApiMode::TwoLengths ? "Content-Length: "
                                           : "X-Goog-Stored-Content-Length: ") +
                 half,
             "Content-Length: " + QByteArray::number(xml.size())});
    }
    }
    return TScriptedReply::Response(200, "OK", xml, xmlType);
}

} // namespace qbtest
