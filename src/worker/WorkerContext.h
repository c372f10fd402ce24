#pragma once

#include <QString>

#include <atomic>
#include <functional>

class TDownloadRows;
class TDownloadState;
class TMessageQueue;

// What every download worker shares with the rest of the program. Lives as long as the
// program; workers only reach it through this.
struct TWorkerContext
{
    TWorkerContext(TDownloadState& s, TDownloadRows& r, TMessageQueue& g)
        : state(s), rows(r), gui(g)
    {
    }
    TWorkerContext(const TWorkerContext&) = delete;
    TWorkerContext& operator=(const TWorkerContext&) = delete;

    TDownloadState& state;
    TDownloadRows& rows;
    TMessageQueue& gui;
    // Called in the worker thread when a followed user's track has been downloaded
    // (user name, track id, final file). Empty while nothing follows users.
    std::function<void(const QString&, const QString&, const QString&)> followedTrackDownloaded;
    // Worker threads that have not returned yet; the program's end looks at it.
    std::atomic<int> liveWorkers{0};
};
