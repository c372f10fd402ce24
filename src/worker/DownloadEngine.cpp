#include "DownloadEngine.h"

#include "StaleTempFolders.h"
#include "TDownloadThread.h"
#include "WorkerContext.h"
#include "base/AppSettings.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadScheduler.h"
#include "jobs/DownloadState.h"

TDownloadEngine::TDownloadEngine(ListViewModel& downloadList, TMessageQueue& gui)
    : m_list(downloadList), m_gui(gui), m_state(std::make_unique<TDownloadState>()),
      m_rows(std::make_unique<TDownloadRows>(downloadList, gui)),
      m_workers(std::make_unique<TWorkerContext>(*m_state, *m_rows, gui)),
      m_scheduler(
          std::make_unique<TDownloadScheduler>(*m_state, *m_rows, [this](int job, int slot) {
              TDownloadThread::Start(*m_workers, job, slot);
          }))
{
    m_scheduler->Connect(gui);
    // What a crashed run left in Temp goes before this one adds its own.
    RemoveStaleTempFolders(AppSettings().SaveToFolder());
}

TDownloadEngine::~TDownloadEngine() = default;

TJobIntake TDownloadEngine::Intake()
{
    return {*m_state, m_list, m_gui};
}

int TDownloadEngine::LiveWorkers() const
{
    return m_workers->liveWorkers.load();
}
