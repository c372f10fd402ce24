#pragma once

#include "TestHttpServer.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>

namespace qbtest {

// One track the fake service knows: its page and its stream.
struct TFakeTrack
{
    QString name = QStringLiteral("Song");
    std::int64_t size = 2048;             // stream bytes
    bool contentLength = true;            // announce the size
    int redirects = 0;                    // hops before the stream
    int status = 200;                     // status of the stream response
    int pieceSize = 0;                    // 0: as fast as possible
    std::chrono::milliseconds gap{0};     // pause between pieces (slow streams)
    bool nameFirst = false;               // the name key before the stream key on the page line
    std::int64_t announced = -1;          // Content-Length when it differs from size (short body)
    int pageRedirects = 0;                // hops (301) before the page
    QByteArray redirectBody{};            // body of every redirect, page and stream alike
    int pagePieceSize = 0;                // 0: the page at once
    std::chrono::milliseconds pageGap{0}; // pause between pieces of the page (slow pages)
};

// A SoundCloud-like web service over the test server: track pages that carry the stream
// address and the track name on one line, and streams of a given size, with or without a
// length, through redirects, slow or failing. Point the program at it with UseAsSoundCloud().
class TFakeSoundCloud
{
public:
    TFakeSoundCloud();

    // Adds a track; returns the link of its page ("http://127.0.0.1:port/artist/slug").
    QString AddTrack(const TFakeTrack& track);
    // Host text of the service ("127.0.0.1:port").
    QString Host() const;
    // Makes this service the program's SoundCloud web host.
    void UseAsSoundCloud() const;

    // How often the page and the stream of a track were asked for.
    int PageRequests(const QString& link) const;
    int StreamRequests(const QString& link) const;

    TTestHttpServer& Server() { return m_server; }

private:
    TScriptedReply answer(const TRecordedRequest& request);

    mutable std::mutex m_mutex;
    std::map<int, TFakeTrack> m_tracks;
    std::map<QByteArray, int> m_pageHits;
    std::map<int, int> m_streamHits;
    int m_next = 0;
    // Last, so it is destroyed first: its threads answer from the members above until
    // it has joined them.
    TTestHttpServer m_server;
};

} // namespace qbtest
