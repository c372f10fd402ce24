#pragma once

#include "base/TMessageQueue.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadScheduler.h"
#include "jobs/DownloadState.h"
#include "jobs/LinkIntake.h"
#include "jobs/ListViewModel.h"
#include "worker/TDownloadThread.h"
#include "worker/WorkerContext.h"

#include <QTemporaryDir>

#include <mutex>
#include <utility>
#include <vector>

// The download engine as the program wires it, with real workers, a list and a message
// queue, and a record of which job started in which slot.
struct TDownloadRig
{
    QTemporaryDir dir;
    QString saveFolder; // dir, or the folder of the rig this one shares it with
    TMessageQueue gui;
    ListViewModel list{{"File", "Size", "Status", "URL"}};
    TDownloadState state;
    TDownloadRows rows{list, gui};
    TWorkerContext workers{state, rows, gui};
    std::mutex startsMutex;
    std::vector<std::pair<int, int>> starts; // (job, slot) in start order
    TDownloadScheduler scheduler{state, rows, [this](int job, int slot) {
                                     {
                                         std::lock_guard lock(startsMutex);
                                         starts.emplace_back(job, slot);
                                     }
                                     TDownloadThread::Start(workers, job, slot);
                                 }};

    TDownloadRig();
    // A second engine (as another process would run) saving into another rig's folder.
    explicit TDownloadRig(const QString& sharedSaveFolder);
    ~TDownloadRig();

    QString SaveTo() const { return saveFolder + QLatin1Char('/'); }
    int Add(const QString& link, bool startNow = true)
    {
        return AddDownloadJob({state, list, gui}, link, startNow);
    }
    TDownloadJobs& Job(int id) { return *state.DownloadJobs.Job(id); }
    int Status(int id) { return Job(id).t_Status.load(); }
    QString Caption(int id);
    int Icon(int id);
    std::vector<std::pair<int, int>> Starts();
    // Runs the GUI side until no worker is left (false on time-out).
    bool WaitUntilIdle(int timeoutMs = 30000);
    // Files in the save folder, and files and folders below its Temp folder ("Temp/x/"),
    // sorted.
    QStringList Files() const;
};
