#pragma once

#include "MediaRecords.h"
#include "TFFBaseComponent.h"
#include "TFFDecoder.h"

#include <QString>

#include <functional>
#include <memory>

class TMessageQueue;

enum TThreadPriority
{
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Runs conversion tasks on threads of its own and reports on the GUI thread.
//
// Use from the GUI thread: LoadAVLib when the libraries are not loaded yet; AddTask and
// SetOutput for each task (RemoveTask when SetOutput refuses); Start. OnProgress and
// OnTerminate arrive through the message queue given at construction: OnTerminate once per
// task and then once with TaskIndex -1. Stop(true) returns when no task runs any more; the
// destructor stops too. An encoder runs its tasks once.
class TFFEncoder : public TFFBaseComponent
{
public:
    using TProgressEvent = std::function<void(TFFEncoder* Sender, PProgressInfo AProgressInfo)>;
    using TTerminateEvent =
        std::function<void(TFFEncoder* Sender, const TTerminateInfo& ATerminateInfo)>;

    explicit TFFEncoder(TMessageQueue& events);
    ~TFFEncoder() override;

    TFFDecoder& Decoder() { return m_decoder; }

    // True once the FFmpeg libraries are loaded in this process.
    static bool AVLibLoaded();
    // Loads them from folder; false with LastErrMsg set on any failure.
    bool LoadAVLib(const QString& folder);

    // Opens the input with the record's options. The task's index (0 or more), or -1 with
    // LastErrMsg set and no task kept. An empty FileName in the record is set to fileName.
    int AddTask(const QString& fileName, TInputOptions* options);
    // Sets the task's output up and creates its file, which must not exist yet. 0 or more on
    // success; -1 with LastErrMsg set otherwise (the task then has no output).
    int SetOutput(int taskIndex, const QString& fileName, TOutputOptions* options);
    // Drops a task that has not been started (and the output file it created).
    void RemoveTask(int taskIndex);

    // Returns at once; the tasks run on threads of the component, at most threadCount at a
    // time (at least one).
    void Start(int threadCount);
    // Ends running tasks (their outputs are removed) and skips those not started yet. With
    // wait true, returns only once no thread of this encoder works any more.
    void Stop(bool wait);

    TThreadPriority ThreadPriority() const { return m_priority; }
    void SetThreadPriority(TThreadPriority priority) { m_priority = priority; }

    bool TriggerEventInMainThread() const { return true; }

    // Milliseconds between progress events; values below 100 become 100.
    int ProgressInterval() const { return m_progressInterval; }
    void SetProgressInterval(int milliseconds);

    // With true (the default), an option the component does not know refuses the task.
    bool HaltOnInvalidOption() const { return m_haltOnInvalidOption; }
    void SetHaltOnInvalidOption(bool halt) { m_haltOnInvalidOption = halt; }

    QString LastErrMsg() const { return m_lastError; }

    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;

    struct TShared; // the state the worker threads share with the encoder

private:
    TFFDecoder m_decoder;
    std::shared_ptr<TShared> m_shared;
    std::shared_ptr<TFFEncoder*> m_self; // where posted events find the encoder, GUI thread
    TThreadPriority m_priority = tpNormal;
    int m_progressInterval = 500;
    bool m_haltOnInvalidOption = true;
    bool m_started = false;
    QString m_lastError;
};
