#pragma once

#include "TSearchSoundCloudInfoThread.h"
#include "jobs/LinkIntake.h"
#include "net/TRequestSlot.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>

class TFollowView;
class TMessageQueue;

// Checks of followed users, on the GUI thread: the list of users waiting for a check
// (CheckNameList), the two ways to fill it (the Check button and the daily check at
// start-up), and WM_CHECK_FOLLOWED, which starts the next check. Checks run one after
// another, each started by the end of the previous one. A check's row changes and its end
// (status, next check) come back here as GUI-thread tasks that look the user and its row up
// by name when they run.
class TFollowChecks
{
public:
    // A name waiting for its check, with whether that check queues downloads.
    struct TCheckEntry
    {
        QString name;
        bool download = false;
        int peopleId = 0; // the user it was queued for; 0 when none is followed by that name
    };

    TFollowChecks(TFollowView& view, TJobIntake intake);
    ~TFollowChecks();
    TFollowChecks(const TFollowChecks&) = delete;
    TFollowChecks& operator=(const TFollowChecks&) = delete;

    // Registers the WM_CHECK_FOLLOWED handler.
    void Connect(TMessageQueue& gui);

    // The Check button: queues the selected users (a name already waiting is not queued
    // again) to list their new tracks, and posts WM_CHECK_FOLLOWED.
    void ButtCheckClick();
    // The daily check: queues, with downloads, every user whose auto-check is 1 and who was
    // not checked today (never, an earlier day, or a time that does not start with eight
    // digits), and posts WM_CHECK_FOLLOWED. today is "yyyyMMdd" as a number; 0: today's
    // date. Returns how many users were queued.
    int AutoCheckPeople(std::int64_t today = 0);
    // Queues one user as the two commands do (no duplicate test); false when the name is
    // not followed. Posts nothing.
    bool QueueCheck(const QString& name, bool download);

    // Drops the names still waiting (their rows show their check time again); a running
    // check goes on.
    void CancelWaiting();

    // WM_CHECK_FOLLOWED: starts the check of the first waiting name unless a check runs.
    void WMCheckFollowed(int wParam);

    // A check runs or a name waits.
    bool Busy() const { return m_running || !m_CheckNameList.empty(); }
    const std::deque<TCheckEntry>& CheckNameList() const { return m_CheckNameList; }
    // Checks queued for a user and not ended yet.
    int PendingChecks(int peopleId) const;
    // The request of the running check; a stop aborts it here.
    TRequestSlot& Request() { return m_request; }

    // Told of every check when it has ended and its rows are up to date (GUI thread).
    std::function<void(const TCheckOutcome&)> OnCheckEnded;

private:
    void Enqueue(TCheckEntry entry, int row);
    // One check of the user has ended or was dropped; the last one makes it idle again.
    void Release(int peopleId);
    void CheckEnded(const TCheckOutcome& outcome);
    void ShowCheckRows(const TCheckOutcome& outcome);

    TFollowView& m_view;
    TJobIntake m_intake;
    std::deque<TCheckEntry> m_CheckNameList;
    std::map<int, int> m_pending; // PeopleArrayID: checks queued or running
    bool m_running = false;
    TRequestSlot m_request;
};
