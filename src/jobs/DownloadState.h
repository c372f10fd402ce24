#pragma once

#include "DownloadJobs.h"
#include "TransferMeter.h"
#include "WorkerSlots.h"

#include <QString>

#include <array>
#include <atomic>
#include <mutex>

class ListViewModel;

// Everything the scheduler, the workers and the list share about downloads: the job table,
// the ten worker slots (numbered 1 to 10), the running counter and its limit, and the two
// locks of the workers. A thread holds at most one of the locks at a time.
class TDownloadState
{
public:
    TDownloadJobTable DownloadJobs;
    std::atomic<int> RunningDownloads{0};
    std::atomic<int> MaxDownloads{0};
    std::mutex FileCreateLock; // around creating the file a response is written to
    std::mutex FileNameLock;   // around choosing a working-file name, and a worker's end
    // GUI thread only: the speeds the progress refresh measures, and the jobs whose
    // progress it shows.
    TransferMeter Meter;

    // Slot 1 to 10; nullptr outside that range.
    TWorkerSlot* Slot(int slot);

    // First id (ascending) whose status is JOB_QUEUED, else 0.
    int FindQueuedJob() const;
    // The first queued job that no worker holds any more, else 0. A job that was just
    // stopped keeps its worker for a moment while that worker cleans up; it must not get a
    // second one meanwhile.
    int FindStartableJob() const;
    // Lowest slot whose busy flag is clear, else 0.
    int FindFreeSlot() const;
    // Lowest busy slot whose worker runs the job, else 0.
    int FindSlotByJob(int jobId) const;
    // Jobs of the followed user (name compared ignoring case) that are downloading or queued.
    int CountActiveJobsOfUser(const QString& userName) const;

private:
    std::array<TWorkerSlot, kWorkerSlotCount> m_slots;
};

// 1-based row of the first row whose hidden job id is jobId, else 0.
int FindRowByJob(const ListViewModel& list, int jobId);
