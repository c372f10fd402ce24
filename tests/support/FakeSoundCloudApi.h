#pragma once

#include "TestHttpServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <mutex>
#include <vector>

namespace qbtest {

class TFakeSoundCloud;

// One track of a user's list at the fake API.
struct TFakeApiTrack
{
    QString id{}; // empty: the next free number
    QString title = QStringLiteral("Song");
    QString createdAt = QStringLiteral("2013/05/03 10:00:00 +0000");
    QString duration = QStringLiteral("225000");
    qint64 size = 2048;        // stream bytes at the track page
    QString description{};     // empty: written as nil="true"
    QString permalink{};       // empty: a page of the fake service
    bool withId = true;        // false: the element lacks "id"
    bool withPermalink = true; // false: the element lacks "permalink-url"
};

// How the fake API answers a user's track list.
enum class TApiMode
{
    Ok,               // 200, the list in XML with its length
    NotFound,         // 404 with an HTML page
    ServerError,      // 500 with an HTML page
    NotXml,           // 200 with a JSON text
    CutMidTrack,      // 200 announcing the whole list, closed inside the last track
    CutNoLength,      // the same without a length: the document simply stops
    Slow,             // 200, the list in small pieces with pauses
    RedirectWithBody, // 302 with an HTML body, then the list
    Oversize,         // 200 announcing and sending more than a check takes (33 MiB)
    RedirectLoop,     // 302 to the same address, every time
    TwoLengths,       // 200 with the list's length and a second, smaller Content-Length
    StoredLength,     // 200 with the list's length and a smaller X-Goog-Stored-Content-Length
    StallNearEnd,     // 200 announcing the whole list, all but its closing tag sent, then silence
};

// The SoundCloud API's track lists over the test server: "/users/NAME/tracks?client_id=ID"
// answers with the user's tracks in the API's XML (a root, one "track" element per track
// with its fields, a nested "user" element with its own "id", nil="true" attributes), in
// the order they were added, so the newest is last. Lists grow as tracks are added between
// checks. With a fake SoundCloud service given, each track's permalink is a page of that
// service whose stream downloads for real. A wrong client id gets 401; an unknown user 404.
class TFakeSoundCloudApi
{
public:
    static constexpr const char* kClientId = "5d1e0a7c9b3f4e2a8c6d0b1f7e9a3c52";

    explicit TFakeSoundCloudApi(TFakeSoundCloud* pages = nullptr);

    // Host text of the service ("127.0.0.1:port").
    QString Host() const;
    // Makes this service the program's SoundCloud API host.
    void UseAsApi() const;

    // Follows nobody yet: an empty list for name.
    void AddUser(const QString& name);
    // Appends a track to name's list (making the user when new); returns its id.
    QString AddTrack(const QString& name, TFakeApiTrack track = {});
    // Appends count tracks titled "<name> song <n>"; returns their ids.
    QStringList AddTracks(const QString& name, int count, qint64 size = 2048);
    void SetMode(const QString& name, TApiMode mode);
    // Every answered request first appends one new track of size bytes to the user's list.
    void SetGrowOnRequest(bool grow, qint64 size = 2048);

    // The reply body for name's list as it stands.
    QByteArray TrackListXml(const QString& name) const;
    // Request targets as they arrived, in order.
    QList<QByteArray> Targets() const;
    // Requests that named user (after decoding the path segment).
    int Requests(const QString& name) const;

    TTestHttpServer& Server() { return m_server; }

private:
    struct TUser
    {
        std::vector<TFakeApiTrack> tracks;
        TApiMode mode = TApiMode::Ok;
    };

    TScriptedReply answer(const TRecordedRequest& request);
    QString addTrackLocked(const QString& name, TFakeApiTrack track);
    QByteArray xmlLocked(const QString& name) const;

    TFakeSoundCloud* m_pages;
    mutable std::mutex m_mutex;
    std::map<QString, TUser> m_users;
    std::map<QString, int> m_hits;
    bool m_grow = false;
    qint64 m_growSize = 2048;
    int m_nextId = 1000;
    // Last, so it is destroyed first: its threads answer from the members above until
    // it has joined them.
    TTestHttpServer m_server;
};

} // namespace qbtest
