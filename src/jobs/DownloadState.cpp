#include "DownloadState.h"

#include "ListViewModel.h"

TWorkerSlot* TDownloadState::Slot(int slot)
{
    if (slot < 1 || slot > kWorkerSlotCount)
        return nullptr;
    return &m_slots[static_cast<size_t>(slot - 1)];
}

int TDownloadState::FindQueuedJob() const
{
    const int count = DownloadJobs.Count();
    for (int id = 1; id <= count; ++id) {
        if (DownloadJobs.Job(id)->t_Status.load() == JOB_QUEUED)
            return id;
    }
    return 0;
}

int TDownloadState::FindStartableJob() const
{
    const int count = DownloadJobs.Count();
    for (int id = 1; id <= count; ++id) {
        if (DownloadJobs.Job(id)->t_Status.load() == JOB_QUEUED && FindSlotByJob(id) == 0)
            return id;
    }
    return 0;
}

int TDownloadState::FindFreeSlot() const
{
    for (int s = 0; s < kWorkerSlotCount; ++s) {
        if (!m_slots[static_cast<size_t>(s)].Busy())
            return s + 1;
    }
    return 0;
}

int TDownloadState::FindSlotByJob(int jobId) const
{
    for (int s = 0; s < kWorkerSlotCount; ++s) {
        const TWorkerSlot& slot = m_slots[static_cast<size_t>(s)];
        if (slot.Busy() && slot.JobId() == jobId)
            return s + 1;
    }
    return 0;
}

int TDownloadState::CountActiveJobsOfUser(const QString& userName) const
{
    int active = 0;
    const int count = DownloadJobs.Count();
    for (int id = 1; id <= count; ++id) {
        const TDownloadJobs* job = DownloadJobs.Job(id);
        const int status = job->t_Status.load();
        if ((status == JOB_DOWNLOADING || status == JOB_QUEUED) &&
            job->t_FollowedUser.get().compare(userName, Qt::CaseInsensitive) == 0)
            ++active;
    }
    return active;
}

int FindRowByJob(const ListViewModel& list, int jobId)
{
    return list.rowOfData(jobId) + 1;
}
