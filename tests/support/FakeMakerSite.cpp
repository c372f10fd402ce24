#include "FakeMakerSite.h"

#include "base/ServiceHosts.h"

using namespace std::chrono_literals;

namespace qbtest {

TFakeMakerSite::TFakeMakerSite()
{
    m_server.SetHandler([this](const TRecordedRequest& r) { return answer(r); });
}

void TFakeMakerSite::SetReply(TVerReply reply, const QString& version)
{
    std::lock_guard lock(m_mutex);
    m_reply = reply;
    m_version = version;
}

QString TFakeMakerSite::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.Port());
}

void TFakeMakerSite::UseAsMaker() const
{
    ServiceHosts hosts = Hosts();
    hosts.Maker = Host();
    OverrideServiceHosts(hosts);
}

int TFakeMakerSite::VersionRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_versionRequests;
}

TScriptedReply TFakeMakerSite::answer(const TRecordedRequest& request)
{
    const QByteArray target = request.t_Target.split('?').constFirst();
    if (target == "/download.htm")
        return TScriptedReply::Response(200, "OK", "<html><body>Download</body></html>",
                                        {"Content-Type: text/html"});
    if (target != "/ver.ini")
        return TScriptedReply::Response(404, "Not Found", "<html>not here</html>");

    std::unique_lock lock(m_mutex);
    ++m_versionRequests;
    const TVerReply reply = m_reply;
    const QByteArray version = m_version.toUtf8();
    lock.unlock();

    const QByteArray plain = "[Quillbrook]\r\nver=" + version + "\r\n";
    const QList<QByteArray> text{"Content-Type: text/plain"};
    switch (reply) {
    case TVerReply::Plain:
        return TScriptedReply::Response(200, "OK", plain, text);
    case TVerReply::Padded:
        return TScriptedReply::Response(
            200, "OK", "; latest release\r\n[ Quillbrook ]\r\n\t ver \t=  " + version + " \t\r\n",
            text);
    case TVerReply::UpperCase:
        return TScriptedReply::Response(200, "OK", "[QUILLBROOK]\r\nVER=" + version + "\r\n", text);
    case TVerReply::Bom:
        return TScriptedReply::Response(200, "OK", "\xEF\xBB\xBF" + plain, text);
    case TVerReply::Html:
        return TScriptedReply::Response(
            200, "OK", "<!DOCTYPE html>\n<html><body><h1>Welcome</h1></body></html>\n",
            {"Content-Type: text/html"});
    case TVerReply::NotFoundWithBody:
        return TScriptedReply::Response(404, "Not Found", plain, text);
    case TVerReply::ServerError:
        return TScriptedReply::Response(500, "Internal Server Error",
                                        "<html>something broke</html>");
    case TVerReply::Empty:
        return TScriptedReply::Response(200, "OK", {}, text);
    case TVerReply::Slow: {
        const QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                QByteArray::number(plain.size()) + "\r\n\r\n";
        TScriptedReply r;
        r.Delay(300ms);
        r.Send(head);
        r.SendInPieces(plain, 4, 50ms);
        return r;
    }
    case TVerReply::Stalled: {
        TScriptedReply r;
        r.Stall();
        return r;
    }
    case TVerReply::Trickling: {
        TScriptedReply r;
        r.Send("HTTP/1.0 200 OK\r\nX-Padding: ");
        r.SendInPieces(QByteArray(60000, 'a'), 1, 50ms);
        return r;
    }
    case TVerReply::HostileReason:
        return TScriptedReply::Response(404, "Not Found\x1b]0;owned\x07\x1b[2J\rnewer: 9.9", plain,
                                        text);
    case TVerReply::Oversized: {
        QByteArray body;
        while (body.size() <= 70 * 1024)
            body += "; padding padding padding padding padding padding padding padding\r\n";
        body += plain;
        return TScriptedReply::Response(200, "OK", body, text);
    }
    }
    return TScriptedReply::Response(500, "Internal Server Error");
}

} // namespace qbtest
