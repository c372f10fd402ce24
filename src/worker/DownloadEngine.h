#pragma once

#include "jobs/LinkIntake.h"

#include <memory>

class ListViewModel;
class TDownloadRows;
class TDownloadScheduler;
class TDownloadState;
class TMessageQueue;
struct TWorkerContext;

// The download engine as the program wires it: the shared state, the row updates of the
// download list, the worker context and the scheduler, connected to the message queue.
// The desktop window and the command-line front end both run on it.
class TDownloadEngine
{
public:
    TDownloadEngine(ListViewModel& downloadList, TMessageQueue& gui);
    ~TDownloadEngine();

    TDownloadState& State() { return *m_state; }
    TDownloadRows& Rows() { return *m_rows; }
    TWorkerContext& Workers() { return *m_workers; }
    TJobIntake Intake();

    // Worker threads that have not returned yet.
    int LiveWorkers() const;

private:
    ListViewModel& m_list;
    TMessageQueue& m_gui;
    std::unique_ptr<TDownloadState> m_state;
    std::unique_ptr<TDownloadRows> m_rows;
    std::unique_ptr<TWorkerContext> m_workers;
    std::unique_ptr<TDownloadScheduler> m_scheduler;
};
