#pragma once

#include <functional>

class TDownloadRows;
class TDownloadState;
class TMessageQueue;

// Starts, resumes and stops downloads. Every change of the running set goes through these
// handlers on the GUI thread, in answer to WM_START_JOBS, WM_RESUME_JOB and WM_STOP_JOB.
class TDownloadScheduler
{
public:
    // Creates and starts the worker for a job in a slot; the slot is already marked busy.
    using WorkerFactory = std::function<void(int jobId, int slot)>;

    TDownloadScheduler(TDownloadState& state, TDownloadRows& rows, WorkerFactory startWorker);

    // Registers the three handlers with the queue.
    void Connect(TMessageQueue& queue);

    // Starts queued jobs, oldest first, while the limit and the slots allow.
    void WMStartJobs();
    // Starts the named stopped or queued job when a slot is free, ahead of older queued jobs.
    void WMResumeJob(int jobId);
    // Marks the running job as stopped by the user, aborts its request and refuses its
    // worker any further one.
    void WMStopJob(int jobId);

    // The worker's part at its very end (worker thread): frees the slot, then, holding
    // FileNameLock, counts itself out and sends WM_START_JOBS so the next job starts at once.
    static void WorkerEnded(TDownloadState& state, TMessageQueue& gui, int slot);

private:
    void startWorker(int jobId, int slot);

    TDownloadState& m_state;
    TDownloadRows& m_rows;
    WorkerFactory m_startWorker;
};
