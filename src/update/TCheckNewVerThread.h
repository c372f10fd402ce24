#pragma once

#include "TVersionOutcome.h"
#include "net/TRequestSlot.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

class THttpCli;

// The worker of one version check: fetches the version file of the maker's site into a
// file of its own in the data folder (created exclusively, unnamed where the system allows,
// else "ver-XXXXXX.ini"), reads its version, removes the file on every path and hands the
// outcome back. Started through the thread registry; its request is reachable through the
// shared part, so the GUI thread can end it at the deadline or at exit.
class TCheckNewVerThread
{
public:
    // Replies larger than this are not a version file.
    static constexpr qint64 kReplyCap = 64 * 1024;

    // What the thread shares with the GUI thread for one check.
    struct TShared
    {
        TRequestSlot request;
        // Set by the GUI thread: the deadline passed, or the program is ending.
        std::atomic<bool> deadlinePassed{false};
        std::atomic<bool> stopped{false};

        // Hands the outcome over once, unless Detach() came first. Any thread.
        void Deliver(TVersionOutcome outcome);
        void SetReceiver(std::function<void(TVersionOutcome)> receiver);
        void Detach();

        // Ready when the thread has removed its file and is about to end.
        std::shared_future<void> Ended() const { return m_endedFuture; }
        void MarkEnded() { m_ended.set_value(); }

    private:
        std::mutex m_mutex;
        std::function<void(TVersionOutcome)> m_receiver;
        std::promise<void> m_ended;
        std::shared_future<void> m_endedFuture = m_ended.get_future().share();
    };

    struct TRequest
    {
        QString url;     // the version file's address
        QString dataDir; // ends in "/"
        std::chrono::seconds idleTimeout{30};
    };

    // Starts the thread; throws when no thread can be started.
    static void Start(std::shared_ptr<TShared> shared, const TRequest& request);

    // The check itself, in the calling thread.
    static TVersionOutcome Execute(TShared& shared, const TRequest& request);
};
