#pragma once

#include "jobs/LinkIntake.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QIODevice;
class THttpCli;
class TFollowedPeople;
class TRequestSlot;
struct TTracksInfo;

// What one check of a followed user found; handed to the GUI thread when the check ends.
struct TCheckOutcome
{
    QString name;                  // the name the check was queued under
    bool download = false;         // the check was asked to queue downloads
    int peopleId = 0;              // the user when the check started; 0: not followed
    bool replied = false;          // a whole 200 reply that parsed: the time was stamped
    int status = 0;                // status of the last response; 0 when none came
    QString failure;               // why the check failed; empty when replied
    std::vector<int> newPositions; // the tracks this check appended, in reply order
    std::vector<int> queuedJobs;   // jobs queued, newest track first
};

// One check of one followed user (a track-listing thread): asks the SoundCloud API for the
// user's tracks, appends the tracks not known yet to the user and, when asked to, queues
// downloads of the newest of them. It changes only its own user's record in the store, in
// single locked steps, and appends jobs; it never touches a model or widget.
//
// The name is one path segment of the request, whatever it holds; the reply goes to a
// temporary file of its own in the data folder. The check time is stamped only for a whole
// 200 reply that parsed; any other outcome keeps the previous time.
class TSearchSoundCloudInfoThread
{
public:
    struct TContext
    {
        TFollowedPeople& store;
        TJobIntake intake;
        TRequestSlot& request; // where the running request can be aborted
    };
    using TDone = std::function<void(TCheckOutcome)>;

    // The API client identifier built into the program.
    static constexpr const char* kClientId = "5d1e0a7c9b3f4e2a8c6d0b1f7e9a3c52";
    // A larger reply is abandoned as a failed check.
    static constexpr std::int64_t kMaxReplyBytes = 32 * 1024 * 1024;

    // The request for a user's track list on the API host.
    static QString RequestURL(const QString& name);

    // Checks name on a thread of its own (started through the thread registry); done runs
    // on that thread with the outcome as the last thing the check does.
    static void Start(TContext context, const QString& name, bool downloadNewTrack, TDone done);

    TSearchSoundCloudInfoThread(TContext context, const QString& name, bool downloadNewTrack);
    ~TSearchSoundCloudInfoThread();
    TSearchSoundCloudInfoThread(const TSearchSoundCloudInfoThread&) = delete;
    TSearchSoundCloudInfoThread& operator=(const TSearchSoundCloudInfoThread&) = delete;

    // The whole check, on the calling thread.
    void Execute();
    TCheckOutcome& Outcome() { return m_outcome; }

private:
    // Fetches the reply into file; true when it was a whole 200 reply.
    bool Fetch(QIODevice& file);
    void HttpCliHeaderData(THttpCli& client);
    void HttpCliDocData(THttpCli& client, int len);
    void CommitTrack(const TTracksInfo& track);
    void QueueDownloads();

    TContext m_context;
    QString m_Keyword;
    bool m_DownloadNewTrack;
    int m_PeopleArrayID = 0;
    // The tracks this check appended with what queueing needs of them.
    struct TNewTrack
    {
        int position;
        QString id;
        QString permalink;
    };
    std::vector<TNewTrack> m_NewTracks;

    // The current response of the request (each response of a relocation chain anew).
    bool m_sawStatus = false; // a status line arrived
    int m_status = 0;
    QString m_reason;
    std::int64_t m_TotolBytes = 0; // announced length; 0 when none
    std::int64_t m_RectBytes = 0;  // body bytes received
    bool m_relocating = false;     // the response is followed to another address
    bool m_oversize = false;       // the reply passed kMaxReplyBytes and was abandoned

    TCheckOutcome m_outcome;
};
