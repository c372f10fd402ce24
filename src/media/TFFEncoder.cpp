#include "TFFEncoder.h"

#include "TAVLibrary.h"
#include "TConvertTask.h"
#include "base/TMessageQueue.h"
#include "base/ThreadRegistry.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>
#include <vector>

struct TFFEncoder::TShared
{
    explicit TShared(TMessageQueue& queue) : events(queue) {}

    TMessageQueue& events;
    std::atomic<bool> stop{false};
    // Filled on the GUI thread before Start; afterwards each slot belongs to the thread that
    // took its index from `next`.
    std::vector<std::unique_ptr<TConvertTask>> tasks;
    std::atomic<std::size_t> next{0};

    std::mutex mutex;
    std::condition_variable idle;
    int running = 0; // worker threads that have not finished, under mutex
};

namespace {

using TShared = TFFEncoder::TShared;
using TSelf = std::shared_ptr<TFFEncoder*>;

// Niceness steps of the thread priorities; raising one needs privileges and may not happen.
void ApplyPriority(TThreadPriority priority)
{
    int step = 0;
    switch (priority) {
    case tpIdle:
        step = 40;
        break;
    case tpLowest:
        step = 2;
        break;
    case tpLower:
        step = 1;
        break;
    case tpNormal:
        return;
    case tpHigher:
        step = -1;
        break;
    case tpHighest:
        step = -2;
        break;
    case tpTimeCritical:
        step = -3;
        break;
    }
    const pid_t thread = ::gettid();
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, id_t(thread));
    if (errno != 0)
        return;
    ::setpriority(PRIO_PROCESS, id_t(thread), std::clamp(current + step, -20, 19));
}

void PostProgress(TShared& shared, const TSelf& self, TProgressInfo info)
{
    shared.events.PostTask([self, info]() mutable {
        TFFEncoder* encoder = *self;
        if (!encoder || !encoder->OnProgress)
            return;
        const TFFEncoder::TProgressEvent handler = encoder->OnProgress;
        handler(encoder, &info);
    });
}

void PostTerminate(TShared& shared, const TSelf& self, int index,
                   const TConvertTask::TOutcome& outcome)
{
    shared.events.PostTask([self, index, outcome] {
        TFFEncoder* encoder = *self;
        if (!encoder || !encoder->OnTerminate)
            return;
        TTerminateInfo info;
        info.TaskIndex = index;
        info.Finished = outcome.finished;
        info.Exception = outcome.exception;
        info.ExceptionMsg = QString::fromStdString(outcome.message);
        const TFFEncoder::TTerminateEvent handler = encoder->OnTerminate;
        handler(encoder, info);
    });
}

void PostLastTerminate(TShared& shared, const TSelf& self)
{
    TConvertTask::TOutcome all;
    all.finished = true;
    PostTerminate(shared, self, -1, all);
}

void Work(const std::shared_ptr<TShared>& shared, const TSelf& self, int intervalMs,
          TThreadPriority priority)
{
    ApplyPriority(priority);
    for (;;) {
        const std::size_t index = shared->next.fetch_add(1);
        if (index >= shared->tasks.size())
            break;
        std::unique_ptr<TConvertTask>& task = shared->tasks[index];
        if (!task)
            continue; // removed
        TConvertTask::TOutcome outcome;
        if (!shared->stop.load()) {
            outcome = task->Run(
                [&](const TProgressInfo& progress) {
                    TProgressInfo info = progress;
                    info.TaskIndex = std::int32_t(index);
                    PostProgress(*shared, self, info);
                },
                intervalMs);
        }
        task.reset(); // an output that did not finish goes with it
        PostTerminate(*shared, self, int(index), outcome);
    }
    std::lock_guard lock(shared->mutex);
    if (--shared->running == 0)
        PostLastTerminate(*shared, self);
    shared->idle.notify_all();
}

} // namespace

TFFEncoder::TFFEncoder(TMessageQueue& events)
    : m_shared(std::make_shared<TShared>(events)), m_self(std::make_shared<TFFEncoder*>(this))
{
}

TFFEncoder::~TFFEncoder()
{
    Stop(true);
    *m_self = nullptr; // events still queued find no encoder
}

bool TFFEncoder::AVLibLoaded()
{
    return TAVLibrary::Loaded();
}

bool TFFEncoder::LoadAVLib(const QString& folder)
{
    QString error;
    if (!TAVLibrary::Load(folder, error)) {
        m_lastError = error;
        return false;
    }
    return true;
}

void TFFEncoder::SetProgressInterval(int milliseconds)
{
    m_progressInterval = std::max(milliseconds, 100);
}

int TFFEncoder::AddTask(const QString& fileName, TInputOptions* options)
{
    if (m_started) {
        m_lastError = QStringLiteral("The encoder has started; no task can be added");
        return -1;
    }
    if (!AVLibLoaded()) {
        m_lastError = QStringLiteral("The FFmpeg libraries are not loaded");
        return -1;
    }
    TInputOptions none;
    if (!options)
        options = &none;
    if (options->FileName.isEmpty())
        options->FileName = fileName;
    // Deep copies: nothing of the caller's record reaches the worker thread.
    const std::string text = options->Presets.toStdString() + " " + options->Options.toStdString();
    auto task = std::make_unique<TConvertTask>(m_shared->stop);
    std::string error;
    if (!task->OpenInput(QFile::encodeName(fileName).toStdString(), text, m_haltOnInvalidOption,
                         error)) {
        m_lastError = QString::fromStdString(error);
        return -1;
    }
    m_shared->tasks.push_back(std::move(task));
    return int(m_shared->tasks.size()) - 1;
}

int TFFEncoder::SetOutput(int taskIndex, const QString& fileName, TOutputOptions* options)
{
    if (m_started) {
        m_lastError = QStringLiteral("The encoder has started; no output can be set");
        return -1;
    }
    if (taskIndex < 0 || std::size_t(taskIndex) >= m_shared->tasks.size() ||
        !m_shared->tasks[std::size_t(taskIndex)]) {
        m_lastError = QStringLiteral("No task %1").arg(taskIndex);
        return -1;
    }
    TOutputOptions none;
    if (!options)
        options = &none;
    if (options->FileName.isEmpty())
        options->FileName = fileName;
    const std::string text = options->Presets.toStdString() + " " + options->Options.toStdString();
    std::string error;
    if (!m_shared->tasks[std::size_t(taskIndex)]->SetOutput(
            QFile::encodeName(fileName).toStdString(), text, m_haltOnInvalidOption, error)) {
        m_lastError = QString::fromStdString(error);
        return -1;
    }
    return 0; // the task's one output
}

void TFFEncoder::RemoveTask(int taskIndex)
{
    if (m_started || taskIndex < 0 || std::size_t(taskIndex) >= m_shared->tasks.size())
        return;
    m_shared->tasks[std::size_t(taskIndex)].reset();
}

void TFFEncoder::Start(int threadCount)
{
    if (m_started)
        return;
    m_started = true;
    const auto live = std::count_if(m_shared->tasks.begin(), m_shared->tasks.end(),
                                    [](const auto& task) { return task != nullptr; });
    const int threads = int(std::min<std::ptrdiff_t>(std::max(threadCount, 1), live));
    if (threads == 0) {
        PostLastTerminate(*m_shared, m_self);
        return;
    }
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->running = threads;
    }
    for (int i = 0; i < threads; ++i) {
        try {
            ThreadRegistry::Start(
                [shared = m_shared, self = m_self, interval = m_progressInterval,
                 priority = m_priority] { Work(shared, self, interval, priority); });
        } catch (const std::system_error& e) {
            std::lock_guard lock(m_shared->mutex);
            m_shared->running -= threads - i; // those that will not run
            if (i == 0) {
                // No thread at all: every task ends here, with the reason.
                TConvertTask::TOutcome failed;
                failed.exception = true;
                failed.message = std::string("Cannot start a conversion thread: ") + e.what();
                for (std::size_t index = 0; index < m_shared->tasks.size(); ++index) {
                    if (m_shared->tasks[index]) {
                        m_shared->tasks[index].reset();
                        PostTerminate(*m_shared, m_self, int(index), failed);
                    }
                }
            }
            if (m_shared->running == 0) { // the threads that did start are done already
                PostLastTerminate(*m_shared, m_self);
                m_shared->idle.notify_all();
            }
            break; // the threads that run take every task
        }
    }
}

void TFFEncoder::Stop(bool wait)
{
    m_shared->stop.store(true);
    if (!wait)
        return;
    std::unique_lock lock(m_shared->mutex);
    m_shared->idle.wait(lock, [this] { return m_shared->running == 0; });
}
