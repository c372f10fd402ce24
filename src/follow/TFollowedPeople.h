#pragma once

#include "TPeopleInfo.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// What a user's row shows, without its tracks.
struct TPeopleSummary
{
    QString name;
    std::uint8_t status = PEOPLE_IDLE;
    std::uint8_t autoCheck = 0;
    QString lastCheckTime;
    int tracksCount = 0;
    int downloadedCount = 0;
};

// One user as UTF-8, in the order of the saved file: the twelve texts, then auto-check.
struct TPeopleSnapshot
{
    std::array<QByteArray, 12> fields;
    std::uint8_t autoCheck = 0;
    std::vector<std::array<QByteArray, 10>> tracks;
};

// The followed users (FollowedPeople). Users are addressed by their 1-based PeopleArrayID
// and tracks by their 1-based position; records are never removed (a deleted user is only
// marked) and never move. Shared by the GUI thread, check threads and download workers:
// every call takes the one store mutex for its whole lookup-and-update, strings go in and
// out as deep copies, and nothing hands out a reference into the store. Nothing waits for
// another thread while holding the mutex; where the job table is needed too (Delete), the
// store is locked first.
class TFollowedPeople
{
public:
    // The local time now as "yyyyMMddHHmmss", one thread at a time.
    static QString LocalStampNow();

    // FollowedPeopleCount: records, deleted ones included.
    int FollowedPeopleCount() const;

    // The first user not deleted whose name equals name when both are lower-cased; else 0.
    int GetPeopleArrayID(const QString& name) const;
    // Position of the user's first track whose id equals trackId exactly; 0 when peopleId
    // is not a user or no track matches.
    int GetTrackArrayID(int peopleId, const QString& trackId) const;

    struct TMarkResult
    {
        int people = 0; // 0: the user is not followed (or deleted); nothing changed
        int track = 0;  // 0: the track is unknown; only the user's count went up
    };
    // A followed download finished: the track becomes TRACK_DOWNLOADED with the stamp
    // (now, "yyyyMMddHHmmss") and the file; the user's downloaded count goes up by one,
    // also when the track is unknown.
    TMarkResult MarkTrackDownloaded(const QString& userName, const QString& trackId,
                                    const QString& localFile);
    TMarkResult MarkTrackDownloaded(const QString& userName, const QString& trackId,
                                    const QString& localFile, const QString& stamp);

    // Follows a new user (idle, no tracks) unless one of that name is followed: one step.
    // Returns the new PeopleArrayID, or 0 for a duplicate or an empty name.
    int AddPeople(const QString& name);
    // Appends a record as it is (loading). Returns its PeopleArrayID.
    int AppendPeople(TPeopleInfo info);
    // Replaces every record (loading).
    void Replace(std::deque<TPeopleInfo> people);

    enum TDeleteResult
    {
        DeleteDone,
        DeleteNotFollowed,
        DeleteNotIdle, // queued for a check or being checked
        DeleteHasJobs, // a download of the user is queued or running
    };
    // Delete's test and mark as one step: the user of that name is marked PEOPLE_DELETED
    // when it is idle and activeJobs(name) (the job table, locked after the store) is 0.
    TDeleteResult DeletePeople(const QString& name,
                               const std::function<int(const QString&)>& activeJobs);

    bool SetAutoCheck(int peopleId, std::uint8_t value);
    bool SetPeopleStatus(int peopleId, std::uint8_t status);
    bool SetLastCheckTime(int peopleId, const QString& time);
    // Appends a track unless the user has one with that id: one step. Returns its new
    // position, or 0 (known id, or no such user).
    int AppendTrack(int peopleId, const TTracksInfo& track);

    std::optional<TPeopleSummary> Summary(int peopleId) const;
    std::optional<TTracksInfo> Track(int peopleId, int position) const;
    std::vector<TTracksInfo> Tracks(int peopleId) const;
    std::optional<TPeopleInfo> People(int peopleId) const;

    // The user as UTF-8 for saving, taken under the mutex; false for a deleted user or an
    // id out of range.
    bool Snapshot(int peopleId, TPeopleSnapshot& out) const;

private:
    int findPeople(const QString& lowerName) const;
    const TPeopleInfo* record(int peopleId) const;
    TPeopleInfo* record(int peopleId);
    // Position of the user's first track with that id, or 0; the user must exist.
    int findTrack(int peopleId, const QString& trackId) const;
    // Indexes a record just appended to m_people.
    void indexLast();

    mutable std::mutex m_mutex;
    std::deque<TPeopleInfo> m_people;
    // Per user, beside m_people: each track id to the position of its first track, so a
    // lookup does not walk a list of many thousand tracks.
    std::deque<QHash<QString, int>> m_trackIndex;
};
