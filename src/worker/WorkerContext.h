#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class TDownloadRows;
class TDownloadState;
class TMessageQueue;
class TOutputFile;

// What every download worker shares with the rest of the program. Lives as long as the
// program; workers only reach it through this.
struct TWorkerContext
{
    TWorkerContext(TDownloadState& s, TDownloadRows& r, TMessageQueue& g);
    ~TWorkerContext();
    TWorkerContext(const TWorkerContext&) = delete;
    TWorkerContext& operator=(const TWorkerContext&) = delete;

    TDownloadState& state;
    TDownloadRows& rows;
    TMessageQueue& gui;
    // Called in the worker thread when a followed user's track has been downloaded
    // (user name, track id, final file). Empty while nothing follows users.
    std::function<void(const QString&, const QString&, const QString&)> followedTrackDownloaded;
    // Creates a page or working file (nullptr when it cannot). Empty: a file on disk
    // (TOutputFile::Create). Tests put devices here that fail as a full disk does.
    std::function<std::unique_ptr<TOutputFile>(const QString& path)> openOutput;
    // The folder below "Temp/" of the save folder that holds this engine's page files and
    // working files. Another process (the window and the command line may run side by side)
    // numbers its jobs from 1 as well, so each engine has a folder of its own.
    const QString tempFolderName;
    // Worker threads that have not returned yet; the program's end looks at it.
    std::atomic<int> liveWorkers{0};
};
