#pragma once

#include "TestHttpServer.h"

#include <QString>

#include <mutex>

namespace qbtest {

// How the fake maker's site answers "/ver.ini".
enum class TVerReply
{
    Plain,            // 200, "[Quillbrook]" "ver=<version>"
    Padded,           // 200, blanks and tabs around the key and the value
    UpperCase,        // 200, "[QUILLBROOK]" "VER=<version>"
    Bom,              // 200, UTF-8 byte-order mark before the text
    Html,             // 200, an HTML page with no version
    NotFoundWithBody, // 404 whose body looks like a valid version file
    ServerError,      // 500 with an error page
    Empty,            // 200 without a body
    Slow,             // 200, the plain file in small pieces with pauses
    Stalled,          // accepts the request and never answers
    Trickling,        // headers one byte at a time, never done (beats an idle time-out)
    Oversized,        // 200, over 64 KiB of comments before the version
    HostileReason,    // 404 whose reason phrase retitles and clears a terminal (ESC, BEL, CR)
};

// The maker's web site as the update check sees it: "/ver.ini" answered as set, and
// "/download.htm". Point the program at it with UseAsMaker().
class TFakeMakerSite
{
public:
    TFakeMakerSite();

    void SetReply(TVerReply reply, const QString& version = QStringLiteral("2.9"));
    // Host text of the site ("127.0.0.1:port").
    QString Host() const;
    // Makes this site the program's maker host.
    void UseAsMaker() const;
    // How often "/ver.ini" was asked for.
    int VersionRequests() const;

    TTestHttpServer& Server() { return m_server; }

private:
    TScriptedReply answer(const TRecordedRequest& request);

    mutable std::mutex m_mutex;
    TVerReply m_reply = TVerReply::Plain;
    QString m_version = QStringLiteral("2.9");
    int m_versionRequests = 0;
    // Last, so it is destroyed first: its threads answer from the members above until
    // it has joined them.
    TTestHttpServer m_server;
};

} // namespace qbtest
