#pragma once

#include "jobs/DownloadRows.h"

#include <QString>

#include <memory>
#include <vector>

class IPrompts;
class ListViewModel;
class TDownloadState;
class TFFEncoder;
class TMessageQueue;
struct TInputOptions;
struct TOutputOptions;
struct TProgressInfo;
struct TTerminateInfo;

// Turns the files of finished YouTube downloads into MP3 files in the save folder, in the
// background, with the progress in the job's Status column. A finishing worker sends
// WM_START_CONVERT with its job id and waits until the conversion is set up.
//
// One encoder per conversion, kept until the driver ends; the libraries are loaded on the
// first conversion. GUI thread only.
class TConvertDriver
{
public:
    TConvertDriver(TDownloadState& state, ListViewModel& list, TMessageQueue& gui,
                   IPrompts& prompts);
    ~TConvertDriver();
    TConvertDriver(const TConvertDriver&) = delete;
    TConvertDriver& operator=(const TConvertDriver&) = delete;

    // Registers the WM_START_CONVERT handler on the queue.
    void Connect();

    // Sets the conversion of a job's working file up and starts it. Ignored for an unknown
    // job, a job not waiting for its conversion, and after the close went ahead.
    void WMStartConvert(int jobId);

    // The program closes: every encoder loses its handlers and is stopped, waiting for its
    // thread; outputs not finished and their downloaded videos are removed. Later requests
    // are refused.
    void StopAll();

    // A started conversion has not ended yet.
    bool Busy() const;
    int ConvertEncoderCount() const { return int(m_encoders.size()); }

    // Where the FFmpeg libraries are loaded from; empty: the program's "LibAV" folder.
    QString LibAVFolder;

private:
    struct TEntry;

    bool PrepareLibraries();
    // False when the task was refused; the encoder then is not started.
    bool AddConvertTask(TInputOptions& input, TOutputOptions& output);
    void EncoderProgress(TFFEncoder* Sender, const TProgressInfo& info);
    void EncoderTerminate(TFFEncoder* Sender, const TTerminateInfo& info);
    // The job's conversion failed; reason is kept with the job for its tooltip and the
    // command line.
    void Failed(int jobId, const QString& reason);
    void SetStatusText(int jobId, const QString& text);
    // Removes the job's downloaded video, and the engine's Temp folder once it is empty.
    void RemoveSource(int jobId);

    TDownloadState& m_state;
    TDownloadRows m_rows;
    TMessageQueue& m_gui;
    IPrompts& m_prompts;
    std::vector<std::unique_ptr<TEntry>> m_encoders;
    bool m_filtersRegistered = false;
    bool m_closed = false;
};
