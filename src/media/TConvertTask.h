#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct TProgressInfo;

// One conversion: an input file's audio into an MP3 file. Set up on the caller's thread
// (OpenInput, then SetOutput), then Run on a worker thread. The output file is created
// exclusively by SetOutput; it is kept only when Run ends finished, and removed otherwise
// (also when the task is dropped before it ran).
class TConvertTask
{
public:
    struct TOutcome
    {
        bool finished = false;
        bool exception = false;
        std::string message;
    };
    using TProgress = std::function<void(const TProgressInfo&)>;

    // stop is polled per packet and by FFmpeg's interrupt callback; it must outlive the task.
    explicit TConvertTask(const std::atomic<bool>& stop);
    ~TConvertTask();
    TConvertTask(const TConvertTask&) = delete;
    TConvertTask& operator=(const TConvertTask&) = delete;

    // Paths are UTF-8 (the file system's encoding). With haltOnInvalid an unknown option is an
    // error; otherwise it is ignored.
    bool OpenInput(const std::string& path, const std::string& options, bool haltOnInvalid,
                   std::string& error);
    bool SetOutput(const std::string& path, const std::string& options, bool haltOnInvalid,
                   std::string& error);
    bool HasOutput() const;

    // Converts; progress is called about every intervalMs and once more at a finished end.
    TOutcome Run(const TProgress& progress, int intervalMs);

    struct TState; // the FFmpeg side, opaque here

private:
    std::unique_ptr<TState> m_state;
};
