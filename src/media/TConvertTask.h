#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct TProgressInfo;

// One conversion: an input file's audio into an MP3 file. Set up on the caller's thread
// (OpenInput, then SetOutput), then Run on a worker thread. SetOutput creates the output
// exclusively under its working name (OutputWorkingName); a finished Run gives it its own
// name, never over a file that took that name meanwhile, so a file under the output's name
// is always whole, even after a crash. Otherwise the working file is removed (also when the
// task is dropped before it ran).
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

    // The name an output has while it is written: "song.mp3" is written as "song.mp3.part".
    static std::string OutputWorkingName(const std::string& path);

    struct TState; // the FFmpeg side, opaque here

private:
    std::unique_ptr<TState> m_state;
};
