#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

// Job status values; each is also the index of the row's status icon.
enum TJobStatus : int
{
    JOB_STOPPED = 0,
    JOB_DOWNLOADING = 1,
    JOB_FINISHED = 2,
    JOB_QUEUED = 3,
};

// Conversion status values of a job.
enum TConvertStatus : int
{
    CONVERT_NONE = -1,
    CONVERT_RUNNING = 1,
    CONVERT_DONE = 2,
    CONVERT_WAITING = 3,
    CONVERT_FAILED = 4,
};

// A text field of a job record: written by one thread while others read it, so it sits
// behind the record's mutex. Values go in and out as deep copies: the stored string never
// shares its buffer (and reference count) with a string another thread holds.
class TJobString
{
public:
    explicit TJobString(std::mutex& recordMutex) : m_mutex(recordMutex) {}
    TJobString(const TJobString&) = delete;
    TJobString& operator=(const TJobString&) = delete;

    QString get() const
    {
        std::lock_guard lock(m_mutex);
        return QString(m_value.unicode(), m_value.size());
    }
    void set(const QString& value)
    {
        QString copy(value.unicode(), value.size());
        std::lock_guard lock(m_mutex);
        m_value.swap(copy);
    }

private:
    std::mutex& m_mutex;
    QString m_value;
};

// One download job. Scalars are atomic (read and written whole from several threads);
// strings go through the record's mutex. Records never move once created.
class TDownloadJobs
{
public:
    TDownloadJobs() = default;
    TDownloadJobs(const TDownloadJobs&) = delete;
    TDownloadJobs& operator=(const TDownloadJobs&) = delete;

private:
    mutable std::mutex m_strings; // declared first: the string fields refer to it

public:
    std::atomic<int> t_Status{JOB_STOPPED};
    std::atomic<int> t_ConvertStatus{0};
    TJobString t_URL{m_strings};
    TJobString t_MediaURL{m_strings};
    TJobString t_MediaLocation{m_strings};
    TJobString t_FileName{m_strings};
    TJobString t_TempName{m_strings};
    std::atomic<std::int64_t> t_Size{0};     // bytes announced by Content-Length; -1 unknown
    std::atomic<int> t_GetData{0};           // 0 page phase, 1 media phase
    std::atomic<std::int64_t> t_Received{0}; // bytes received in the current phase
    std::atomic<bool> t_Get_HTTP_200{false};
    std::atomic<bool> t_UserCancelDownload{false};
    std::atomic<bool> t_DownloadFollowed{false};
    TJobString t_FollowedUser{m_strings};
    TJobString t_FollowedTrackID{m_strings};
    // Why the job last ended other than finished (a user stop, an HTTP status, a network,
    // page, disk or conversion error; see JobEndReason.h); empty while it runs and after it
    // finished.
    TJobString t_EndReason{m_strings};
    // A running conversion's pace: when it started (milliseconds of a steady clock) and how
    // much of the media it has converted so far, in milliseconds.
    std::atomic<std::int64_t> t_ConvertStartedMs{0};
    std::atomic<std::int64_t> t_ConvertedMs{0};
};

// The job table: 1-based ids in creation order, never reused; records are never removed
// and never move, so a pointer to one stays valid for the life of the table. Appends and
// id lookups take the table mutex; two appends never interleave.
class TDownloadJobTable
{
public:
    // Appends a record with every string empty, every number 0 and every flag false;
    // returns its id (the new count).
    int Append();

    // The record of an id, or nullptr for an id outside 1..Count().
    TDownloadJobs* Job(int id);
    const TDownloadJobs* Job(int id) const;

    // DownloadJobCount: the number of records, which is also the newest id.
    int Count() const;

private:
    mutable std::mutex m_mutex;
    std::deque<TDownloadJobs> m_jobs;
};
