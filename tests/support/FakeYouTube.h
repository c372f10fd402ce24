#pragma once

#include "TestHttpServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <mutex>

namespace qbtest {

// One video the fake service knows.
struct TFakeVideo
{
    enum TTitleStyle
    {
        PlainTitle,  // <title>Title - YouTube</title> on a line of its own
        CapitalTags, // <TITLE>…</TITLE>: the page reads as having no title
        LtrFallback, // no title line; the title after dir="ltr"> on the stream-map line
    };
    QString title = QStringLiteral("Clip");
    TTitleStyle titleStyle = PlainTitle;
    QStringList qualities{QStringLiteral("hd720"), QStringLiteral("medium"),
                          QStringLiteral("small")}; // one stream-map entry each, in order
    QByteArray media;                               // what the stream address serves
    QString mediaType = QStringLiteral("video/mp4; codecs=\"avc1.64001F, mp4a.40.2\"");
};

// A YouTube-like service over the test server: watch pages "/watch?v=ID" whose stream map
// is written the way the program reads it (the map URL-encoded twice, "&" as \u0026, each
// entry with url, sig, itag, type, fallback_host and quality), and stream addresses that
// answer 403 unless the query carries the entry's itag and its signature.
class TFakeYouTube
{
public:
    TFakeYouTube();

    // Adds a video; returns its watch link ("http://127.0.0.1:port/watch?v=ID").
    QString AddVideo(const TFakeVideo& video);
    QString Host() const;
    // Makes this service the program's YouTube host (long and short).
    void UseAsYouTube() const;

    // The watch page of a video as served (also for parser tests).
    QByteArray WatchPage(const QString& id) const;
    // itag and signature of the stream-map entry of that quality.
    static int Itag(const QString& quality);
    static QString Signature(const QString& id, const QString& quality);

    // Stream requests that were answered with the media / refused with 403.
    int StreamsServed() const;
    int StreamsRefused() const;
    // The quality of the last stream served.
    QString LastQuality() const;

    TTestHttpServer& Server() { return m_server; }

private:
    TScriptedReply answer(const TRecordedRequest& request);

    mutable std::mutex m_mutex;
    std::map<QString, TFakeVideo> m_videos;
    int m_next = 0;
    int m_served = 0;
    int m_refused = 0;
    QString m_lastQuality;
    // Last, so it is destroyed first: its threads answer from the members above until
    // it has joined them.
    TTestHttpServer m_server;
};

} // namespace qbtest
