#include "TConvertDriver.h"

#include "TfrmOption.h"
#include "base/AppSettings.h"
#include "base/IPrompts.h"
#include "base/TMessageQueue.h"
#include "base/TextHelpers.h"
#include "jobs/DownloadProgress.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/JobEndReason.h"
#include "language/LangStrings.h"
#include "media/MediaRecords.h"
#include "media/NativeFilters.h"
#include "media/TFFEncoder.h"
#include "worker/StaleTempFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>

// One conversion: its encoder and whether its last event has come.
struct TConvertDriver::TEntry
{
    explicit TEntry(TMessageQueue& gui) : encoder(gui) {}
    TFFEncoder encoder;
    bool running = false; // started, and neither ended nor stopped
};

namespace {

// Closes the decoder whatever happens while the task is set up.
struct TDecoderCloser
{
    TFFDecoder& decoder;
    ~TDecoderCloser() { decoder.CloseFile(); }
};

} // namespace

TConvertDriver::TConvertDriver(TDownloadState& state, ListViewModel& list, TMessageQueue& gui,
                               IPrompts& prompts)
    : m_state(state), m_rows(list, gui), m_gui(gui), m_prompts(prompts)
{
}

TConvertDriver::~TConvertDriver()
{
    // No event may reach a driver that is gone.
    StopAll();
}

void TConvertDriver::Connect()
{
    m_gui.SetHandler(WM_START_CONVERT, [this](int jobId) { WMStartConvert(jobId); });
}

bool TConvertDriver::Busy() const
{
    for (const auto& entry : m_encoders) {
        if (entry->running)
            return true;
    }
    return false;
}

void TConvertDriver::StopAll()
{
    m_closed = true;
    for (const auto& entry : m_encoders) {
        entry->encoder.OnProgress = nullptr;
        entry->encoder.OnTerminate = nullptr;
        entry->encoder.Stop(true);
        // A conversion that will not end leaves no downloaded video behind.
        if (entry->running)
            RemoveSource(entry->encoder.Tag());
        entry->running = false;
    }
}

void TConvertDriver::RemoveSource(int jobId)
{
    TDownloadJobs* job = m_state.DownloadJobs.Job(jobId);
    if (!job)
        return;
    const QString source = job->t_TempName.get();
    if (source.isEmpty())
        return;
    QFile::remove(source);
    // The engine's Temp folder goes once it is empty, as a worker's end does.
    std::lock_guard lock(m_state.FileCreateLock);
    RemoveEngineTempFolderIfEmpty(QFileInfo(source).path());
}

void TConvertDriver::SetStatusText(int jobId, const QString& text)
{
    m_rows.SetText(jobId, TDownloadRows::StatusColumn, text);
}

void TConvertDriver::Failed(int jobId, const QString& reason)
{
    if (TDownloadJobs* job = m_state.DownloadJobs.Job(jobId)) {
        SetConversionEndReason(*job, reason); // before the status: whoever sees it sees why
        job->t_ConvertStatus = CONVERT_FAILED;
    }
    m_rows.SetProgress(jobId, -1.0);
    SetStatusText(jobId, Lang("Msg7_1"));
    RemoveSource(jobId);
}

bool TConvertDriver::PrepareLibraries()
{
    const QString folder =
        LibAVFolder.isEmpty() ? AppSettings().AppDir() + QStringLiteral("LibAV") : LibAVFolder;
    if (!TFFEncoder::AVLibLoaded() && !m_encoders.back()->encoder.LoadAVLib(folder))
        return false;
    if (!m_filtersRegistered) {
        // Counted as done even when it fails, so the error is not raised again and again.
        m_filtersRegistered = true;
        RegisterNativeEqFilter(false);
        RegisterNativeHueFilter(false);
    }
    return true;
}

void TConvertDriver::WMStartConvert(int jobId)
{
    TDownloadJobs* job = jobId > 0 ? m_state.DownloadJobs.Job(jobId) : nullptr;
    if (!job || job->t_ConvertStatus.load() != CONVERT_WAITING)
        return;
    if (m_closed) {
        // The program is closing: nothing may start that the close would not stop.
        Failed(jobId, QStringLiteral("the program was closing"));
        return;
    }
    m_encoders.push_back(std::make_unique<TEntry>(m_gui));
    TEntry& entry = *m_encoders.back();
    TFFEncoder& encoder = entry.encoder;
    encoder.OnProgress = [this](TFFEncoder* sender, PProgressInfo info) {
        EncoderProgress(sender, *info);
    };
    encoder.OnTerminate = [this](TFFEncoder* sender, const TTerminateInfo& info) {
        EncoderTerminate(sender, info);
    };
    job->t_ConvertStatus = CONVERT_RUNNING;
    job->t_ConvertStartedMs = SteadyMs();
    job->t_ConvertedMs = 0;

    try {
        if (!PrepareLibraries()) {
            Failed(jobId, encoder.LastErrMsg());
            return;
        }
        TFFDecoder& decoder = encoder.Decoder();
        if (!decoder.LoadFile(job->t_TempName.get(), QString())) {
            Failed(jobId, decoder.LastErrMsg());
            return;
        }
        bool added = false;
        {
            TDecoderCloser closer{decoder};
            TfrmOption& options = frmOption();
            options.AttachDecoder(&decoder);
            options.grpFormats = QStringLiteral("MP3");
            options.edtAudioBitRate = QStringLiteral("128");
            options.edtOutPath = AppSettings().SaveToFolder();
            encoder.SetTag(jobId);
            TOutputOptions output;
            TInputOptions input;
            options.BuildOutputOptions(&output);
            options.BuildInputOptions(&input);
            added = AddConvertTask(input, output);
        }
        // A refused task ends here: an encoder started empty would report a finished run.
        if (!added) {
            Failed(jobId, encoder.LastErrMsg());
            return;
        }
    } catch (const std::exception& e) {
        Failed(jobId, QString::fromUtf8(e.what()));
        m_prompts.warning(QString::fromUtf8(e.what()));
        return;
    }
    encoder.SetThreadPriority(tpLower);
    entry.running = true;
    encoder.Start(1);
}

bool TConvertDriver::AddConvertTask(TInputOptions& input, TOutputOptions& output)
{
    TFFEncoder& encoder = m_encoders.back()->encoder;
    const int task = encoder.AddTask(input.FileName, &input);
    if (task < 0)
        return false;
    if (encoder.SetOutput(task, output.FileName, &output) < 0) {
        encoder.RemoveTask(task);
        return false;
    }
    if (TDownloadJobs* job = m_state.DownloadJobs.Job(encoder.Tag()))
        job->t_FileName.set(output.FileName);
    return true;
}

void TConvertDriver::EncoderProgress(TFFEncoder* Sender, const TProgressInfo& info)
{
    const int jobId = Sender->Tag();
    if (TDownloadJobs* job = m_state.DownloadJobs.Job(jobId))
        job->t_ConvertedMs = info.CurrentDuration / 1000;
    const QString seconds = QString::number(info.CurrentDuration / 1000000);
    const QString size = QString::number(info.CurrentSize);
    if (info.TotalDuration > 0) {
        // The output may run a little past the input's announced length.
        const qint64 percent =
            std::min<qint64>(info.CurrentDuration * 100 / info.TotalDuration, 100);
        SetStatusText(jobId, QStringLiteral("%1% (%2, %3)").arg(percent).arg(seconds, size));
        m_rows.SetProgress(jobId, double(info.CurrentDuration) / double(info.TotalDuration));
    } else {
        SetStatusText(jobId, QStringLiteral("N/A (%1, %2)").arg(seconds, size));
    }
}

void TConvertDriver::EncoderTerminate(TFFEncoder* Sender, const TTerminateInfo& info)
{
    const int jobId = Sender->Tag();
    if (info.TaskIndex < 0) {
        for (const auto& entry : m_encoders) {
            if (&entry->encoder == Sender)
                entry->running = false;
        }
        return;
    }
    TDownloadJobs* job = m_state.DownloadJobs.Job(jobId);
    if (!job)
        return;
    const QString output = job->t_FileName.get();
    const QFileInfo written(output);
    if (info.Exception) {
        Failed(jobId, info.ExceptionMsg);
        m_prompts.warning(info.ExceptionMsg);
        return;
    }
    // A task stopped at the close leaves the job as it is.
    if (!info.Finished)
        return;
    // The source goes only when the output is there whole.
    if (!written.isFile() || written.size() == 0) {
        Failed(jobId, QStringLiteral("the MP3 file is missing or empty"));
        return;
    }
    {
        job->t_ConvertStatus = CONVERT_DONE;
        SetStatusText(jobId, QStringLiteral("100%"));
        m_rows.SetProgress(jobId, -1.0);
        RemoveSource(jobId);
        m_rows.SetText(jobId, TDownloadRows::FileColumn, LastPathPart(output));
    }
}
