#include "DownloadScheduler.h"

#include "DownloadRows.h"
#include "DownloadState.h"
#include "base/TMessageQueue.h"
#include "net/THttpCli.h"

TDownloadScheduler::TDownloadScheduler(TDownloadState& state, TDownloadRows& rows,
                                       WorkerFactory startWorker)
    : m_state(state), m_rows(rows), m_startWorker(std::move(startWorker))
{
}

void TDownloadScheduler::Connect(TMessageQueue& queue)
{
    queue.SetHandler(WM_START_JOBS, [this](int) { WMStartJobs(); });
    queue.SetHandler(WM_RESUME_JOB, [this](int jobId) { WMResumeJob(jobId); });
    queue.SetHandler(WM_STOP_JOB, [this](int jobId) { WMStopJob(jobId); });
}

void TDownloadScheduler::startWorker(int jobId, int slot)
{
    m_state.RunningDownloads.fetch_add(1);
    TDownloadJobs* job = m_state.DownloadJobs.Job(jobId);
    job->t_Status = JOB_DOWNLOADING;
    job->t_UserCancelDownload = false;
    job->t_EndReason.set(QString()); // the reason of its last end no longer applies
    m_rows.SetIcon(jobId, JOB_DOWNLOADING);
    TWorkerSlot* s = m_state.Slot(slot);
    s->Request.ClearAbort();
    s->SetJobId(jobId);
    s->SetBusy(true);
    m_startWorker(jobId, slot);
}

void TDownloadScheduler::WMStartJobs()
{
    int passes = 0;
    while (m_state.FindStartableJob() > 0 &&
           m_state.RunningDownloads.load() < m_state.MaxDownloads.load()) {
        if (passes > 100)
            return;
        ++passes;
        const int job = m_state.FindStartableJob();
        if (job < 1)
            continue;
        const int slot = m_state.FindFreeSlot();
        if (slot < 1)
            continue;
        startWorker(job, slot);
    }
}

void TDownloadScheduler::WMResumeJob(int jobId)
{
    TDownloadJobs* job = m_state.DownloadJobs.Job(jobId);
    if (!job)
        return;
    const int status = job->t_Status.load();
    if (status != JOB_STOPPED && status != JOB_QUEUED)
        return;
    // Its last worker is still ending; that worker's WM_START_JOBS starts it when queued.
    if (m_state.FindSlotByJob(jobId) > 0)
        return;
    if (m_state.RunningDownloads.load() >= m_state.MaxDownloads.load())
        return;
    const int slot = m_state.FindFreeSlot();
    if (slot < 1)
        return;
    startWorker(jobId, slot);
}

void TDownloadScheduler::WMStopJob(int jobId)
{
    if (jobId < 1)
        return;
    const int slot = m_state.FindSlotByJob(jobId);
    if (slot < 1)
        return;
    // The stop reaches the worker at any moment: its request is aborted, and a stop that
    // comes between two requests (or while the file is being named) refuses the next one.
    m_state.DownloadJobs.Job(jobId)->t_UserCancelDownload = true;
    m_state.Slot(slot)->Request.AbortRequest([](THttpCli& client) { client.Abort(); });
}

void TDownloadScheduler::WorkerEnded(TDownloadState& state, TMessageQueue& gui, int slot)
{
    TWorkerSlot* s = state.Slot(slot);
    s->SetJobId(0);
    s->SetBusy(false);
    std::lock_guard lock(state.FileNameLock);
    state.RunningDownloads.fetch_sub(1);
    gui.Send(WM_START_JOBS);
}
