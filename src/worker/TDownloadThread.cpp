#include "TDownloadThread.h"

#include "GuardedRequest.h"
#include "OutputNaming.h"
#include "PageLimit.h"
#include "SoundCloudPage.h"
#include "StaleTempFolders.h"
#include "TOutputFile.h"
#include "WorkerContext.h"
#include "YouTubePage.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/TextHelpers.h"
#include "base/ThreadRegistry.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadScheduler.h"
#include "jobs/DownloadState.h"
#include "jobs/JobEndReason.h"
#include "jobs/ListViewModel.h"
#include "net/EHttpException.h"
#include "net/THttpCli.h"

#include <QDir>
#include <QFile>
#include <QUrl>

void TDownloadThread::Start(TWorkerContext& context, int jobId, int slot)
{
    context.liveWorkers.fetch_add(1);
    ThreadRegistry::Start([&context, jobId, slot] {
        {
            TDownloadThread worker(context, jobId, slot);
            worker.Execute();
            worker.Complete();
        }
        context.liveWorkers.fetch_sub(1);
    });
}

TDownloadThread::TDownloadThread(TWorkerContext& context, int jobId, int slot)
    : m_JobArrayID(jobId), m_DownloadThrdID(slot), m_context(context),
      m_job(*context.state.DownloadJobs.Job(jobId)), m_saveTo(AppSettings().SaveToFolder())
{
}

TDownloadThread::~TDownloadThread() = default;

TWebsite TDownloadThread::DetectWebsite(const QString& link)
{
    const QString url = link.toLower();
    const ServiceHosts& hosts = Hosts();
    const auto has = [&url](const QString& host) {
        return url.contains(host.toLower() + QLatin1Char('/'));
    };
    if (has(hosts.SoundCloudWeb))
        return WEBSITE_SOUNDCLOUD;
    if (has(hosts.YouTube) || has(hosts.YouTubeShort))
        return WEBSITE_YOUTUBE;
    return WEBSITE_OTHER;
}

QString TDownloadThread::TempFolder() const
{
    return m_saveTo + QStringLiteral("Temp/") + m_context.tempFolderName + QLatin1Char('/');
}

QString TDownloadThread::PageFile() const
{
    return TempFolder() + QString::number(m_JobArrayID) + QStringLiteral(".txt");
}

QString TDownloadThread::EndReason() const
{
    if (m_job.t_UserCancelDownload.load())
        return EndReasonStoppedByUser();
    if (!m_endReason.isEmpty())
        return m_endReason;
    return QStringLiteral("Ended before the download was complete");
}

QString TDownloadThread::RequestEnd(const THttpCli& client, const TRequestFailure& failure) const
{
    if (m_selfAborted && !m_selfAbortReason.isEmpty())
        return m_selfAbortReason;
    // Still redirected after the last hop allowed: the 3xx status says nothing of why.
    if (client.TooManyRelocations())
        return EndReasonTooManyRedirects(client.LocationChangeMaxCount());
    if (const QString error = client.ResponseError(); !error.isEmpty())
        return EndReasonBadReply(error);
    // A reply with another status than the one needed says why itself (kept from its header:
    // an abort afterwards replaces the client's status).
    if (m_replyStatus != 0 && !m_job.t_Get_HTTP_200.load())
        return EndReasonHttp(m_replyStatus, m_replyReason);
    if (m_selfAborted || !failure.failed)
        return QString();
    if (failure.code == httperrStreamWrite)
        return EndReasonDisk(failure.message);
    return EndReasonNetwork(failure.message);
}

void TDownloadThread::SetStopped()
{
    m_job.t_EndReason.set(EndReason()); // before the icon: whoever sees it sees the reason
    if (m_job.t_Status.load() == JOB_DOWNLOADING)
        m_job.t_Status = JOB_STOPPED;
    m_context.rows.SetIcon(m_JobArrayID, JOB_STOPPED);
}

void TDownloadThread::EndStopped(const QString& written)
{
    SetStopped();
    QFile::remove(written);
    // Gone: the name may be another file's by the time the job ends.
    if (written == m_workingFile)
        m_workingFile.clear();
}

void TDownloadThread::Execute()
{
    m_GetData = 0;
    m_job.t_GetData = 0;
    m_MediaName.clear();
    m_WebsiteID = DetectWebsite(m_job.t_URL.get());
    TWorkerSlot& slot = *m_context.state.Slot(m_DownloadThrdID);

    for (;;) {
        // A stop that came while the page was read ends the job before the next request.
        if (m_job.t_UserCancelDownload.load()) {
            SetStopped();
            return;
        }
        m_job.t_Size = 0;
        m_job.t_Received = 0;
        m_job.t_Get_HTTP_200 = false;
        m_complete = false;
        m_selfAborted = false;
        m_selfAbortReason.clear();
        m_replyStatus = 0;
        m_replyReason.clear();
        m_chunked = false;

        auto client = std::make_unique<THttpCli>();
        client->SetMultiThreaded(true);
        client->OnCommand = [](THttpCli&, QString&) {
        };
        client->OnHeaderEnd = [this](THttpCli& c) {
            HttpCliHeaderEnd(c);
        };
        client->OnDocData = [this](THttpCli& c, const char*, int len) {
            HttpCliDocData(c, len);
        };
        client->SetConnection(QStringLiteral("Keep-Alive"));
        client->SetURL(m_GetData == 0 ? m_job.t_URL.get() : m_job.t_MediaURL.get());
        if (m_WebsiteID == WEBSITE_YOUTUBE) {
            client->SetAccept(QStringLiteral("*/*"));
            client->SetAgent(QStringLiteral(
                "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.3 (KHTML, like Gecko) "
                "Chrome/22.0.1221.0 Safari/537.3"));
            client->SetNoCache(true);
        }

        std::unique_ptr<TOutputFile> file;
        QString written;
        if (!PrepareTarget(file, written)) {
            SetStopped();
            return;
        }
        client->SetRcvdStream(&file->Device());
        // Whatever went wrong is judged below from what the handlers recorded. A stop that
        // came before this point (even while the file was named) refuses the request.
        TRequestFailure failure;
        GuardedGet(slot.Request, *client, failure);
        client->SetRcvdStream(nullptr);
        // A chunked stream has no size to count against: it is whole when its last chunk came.
        if (m_GetData == 1 && m_chunked && m_job.t_Get_HTTP_200.load() && !m_selfAborted &&
            client->ResponseComplete() && !failure.failed)
            m_complete = true;
        const QString requestEnd = RequestEnd(*client, failure);
        client.reset();
        const bool closed = file->Finish();
        const QString fileError = closed ? QString() : file->ErrorString();
        file.reset();

        // A stop that comes after the last byte arrived is too late: the file is complete
        // and is kept.
        if (m_job.t_UserCancelDownload.load() && !m_complete) {
            EndStopped(written);
            return;
        }
        // Bytes the disk did not take (a full disk shows at the last write-out or the
        // close): neither a page to read nor a download to keep.
        if (!closed) {
            m_complete = false;
            m_endReason = EndReasonDisk(fileError);
            EndStopped(written);
            return;
        }
        if (m_GetData == 1) {
            if (!m_complete) {
                m_endReason = requestEnd;
                if (m_endReason.isEmpty())
                    m_endReason = m_chunked ? EndReasonChunksCut(m_job.t_Received.load())
                                            : EndReasonIncomplete(m_job.t_Received.load(),
                                                                  m_job.t_Size.load());
            }
            return;
        }
        m_pageFailure = requestEnd;
        bool resolved = false;
        if (m_WebsiteID == WEBSITE_SOUNDCLOUD)
            resolved = ParseSoundCloudPage();
        else if (m_WebsiteID == WEBSITE_YOUTUBE)
            resolved = ParseYouTubePage();
        // Links of other sites have no resolver: the job ends stopped instead of fetching
        // the same page again and again.
        if (!resolved) {
            m_endReason = m_pageFailure.isEmpty() ? EndReasonNoStream() : m_pageFailure;
            return;
        }
        m_GetData = 1;
        m_job.t_GetData = 1;
        m_job.t_Size = 0;
        m_job.t_Received = 0;
    }
}

bool TDownloadThread::PrepareTarget(std::unique_ptr<TOutputFile>& file, QString& path)
{
    if (m_GetData == 0) {
        path = PageFile();
        bool taken = false;
        file = CreateTarget(path, taken);
        if (taken) {
            // The engine's folder is this process's alone and job ids are not used twice:
            // a page file there is a leftover of a crashed run that had the same process id.
            QFile::remove(path);
            file = CreateTarget(path, taken);
        }
        if (taken)
            m_endReason = EndReasonDisk(QStringLiteral("cannot create ") + path +
                                        QStringLiteral(": the name is taken"));
        return file != nullptr;
    }
    // A page without a name gives nothing to write to.
    if (m_MediaName.isEmpty()) {
        m_endReason = m_pageFailure.isEmpty() ? EndReasonNoStream() : m_pageFailure;
        return false;
    }
    // Bars are replaced in the name only: the save folder is the user's and stays as is.
    const QString folder = m_WebsiteID == WEBSITE_YOUTUBE ? TempFolder() : m_saveTo;
    path = ChooseWorkingFile(folder + ReplaceBars(m_MediaName), file);
    if (path.isEmpty())
        return false;
    m_workingFile = path;
    m_job.t_TempName.set(path);
    return true;
}

std::unique_ptr<TOutputFile> TDownloadThread::CreateTarget(const QString& path, bool& taken)
{
    taken = false;
    // Under the lock that also guards removing the engine's Temp folder when it is empty.
    std::lock_guard lock(m_context.state.FileCreateLock);
    QString error;
    if (!MakeEngineTempFolder(m_saveTo, m_context.tempFolderName, error)) {
        m_endReason = EndReasonDisk(error);
        return nullptr;
    }
    std::unique_ptr<TOutputFile> file = m_context.openOutput
                                            ? m_context.openOutput(path)
                                            : TOutputFile::Create(path, error, &taken);
    if (!file && !taken)
        m_endReason = EndReasonDisk(QStringLiteral("cannot create ") + path +
                                    (error.isEmpty() ? QString() : QStringLiteral(": ") + error));
    return file;
}

QString TDownloadThread::ChooseWorkingFile(const QString& path, std::unique_ptr<TOutputFile>& file)
{
    std::lock_guard lock(m_context.state.FileNameLock);
    ListViewModel& list = m_context.rows.List();
    const int self = m_JobArrayID;
    TNameChoice choice;
    // The other rows' captions are read on the GUI thread, which owns the list.
    m_context.gui.SendTask([&] {
        QStringList captions;
        for (int row = 0; row < list.rowCount(); ++row) {
            if (list.item(row).data != self)
                captions.append(list.item(row).caption);
        }
        choice = ChooseAgainstCaptions(path, captions);
    });
    // Each candidate is created at once, never over anything: a name another run, the
    // user or a link took in the meantime only moves the choice on.
    const QString name = ChooseAgainstDisk(choice, [&](const QString& candidate) {
        bool taken = false;
        file = CreateTarget(candidate, taken);
        return file ? TCreated::Created : taken ? TCreated::Taken : TCreated::Failed;
    });
    if (name.isEmpty()) {
        if (m_endReason.isEmpty())
            m_endReason = EndReasonDisk(QStringLiteral("every numbered name of ") + path +
                                        QStringLiteral(" is taken"));
        return {};
    }
    // Shown while the lock is held, so the next worker's choice sees it.
    m_context.gui.SendTask([&] {
        const int row = FindRowByJob(list, self);
        if (row > 0)
            list.setText(row - 1, TDownloadRows::FileColumn, LastPathPart(name));
    });
    return name;
}

void TDownloadThread::RefuseReply(THttpCli& client, const QString& reason)
{
    m_selfAborted = true;
    m_selfAbortReason = reason;
    client.Abort();
}

void TDownloadThread::HttpCliHeaderEnd(THttpCli& client)
{
    // Every response of a relocation chain is counted on its own: a redirect's size and
    // body say nothing about the document that follows.
    m_job.t_Size = 0;
    m_job.t_Received = 0;
    m_job.t_Get_HTTP_200 = false;
    if (const QString location = client.LocationHeader(); !location.isEmpty())
        m_job.t_MediaLocation.set(location);
    if (client.Relocating())
        return;
    // Status and length as the client read them from the status line and the framing, never
    // from other fields that merely mention them.
    m_replyStatus = client.StatusCode();
    m_replyReason = client.ReasonPhrase();
    m_chunked = client.Chunked();
    const qint64 length = m_chunked ? -1 : client.ContentLength();
    if (length > 0)
        m_job.t_Size = length;
    if (m_replyStatus != 200) {
        // A page's error body is still read (it may name the stream); a stream's is of no use,
        // however long it is.
        if (m_GetData == 1)
            RefuseReply(client, client.TooManyRelocations()
                                    ? EndReasonTooManyRedirects(client.LocationChangeMaxCount())
                                    : EndReasonHttp(m_replyStatus, m_replyReason));
        return;
    }
    m_job.t_Get_HTTP_200 = true;
    if (m_GetData == 0) {
        // A page is read as a whole later: one that says it is larger is not taken at all.
        if (length > kMaxPageBytes)
            RefuseReply(client, EndReasonPageTooLarge(kMaxPageBytes));
        return;
    }
    // A stream of unknown size could never be finished: refused before it fills the disk.
    if (length < 0 && !m_chunked) {
        RefuseReply(client, EndReasonIncomplete(0, -1));
        return;
    }
    if (length >= 0)
        m_context.rows.SetText(m_JobArrayID, TDownloadRows::SizeColumn, SizeText(length));
}

void TDownloadThread::HttpCliDocData(THttpCli& client, int len)
{
    const qint64 received = m_job.t_Received.fetch_add(len) + len;
    // A page without a length (or a lying one) is cut at the limit, not read on.
    if (m_GetData == 0 && received > kMaxPageBytes) {
        RefuseReply(client, EndReasonPageTooLarge(kMaxPageBytes));
        return;
    }
    const qint64 size = m_job.t_Size.load();
    if (size <= 0 || received < size)
        return;
    // Finished only once the file has been closed and named (Complete).
    if (m_GetData == 1 && m_job.t_Get_HTTP_200.load())
        m_complete = true;
    if ((m_WebsiteID == WEBSITE_SOUNDCLOUD && m_GetData == 0) || m_WebsiteID == WEBSITE_YOUTUBE) {
        m_selfAborted = true;
        client.Abort();
    }
}

bool TDownloadThread::ParseSoundCloudPage()
{
    if (m_job.t_UserCancelDownload.load())
        return false;
    const QString page = PageFile();
    if (!QFile::exists(page))
        return false;
    TSoundCloudTrack track;
    if (!ReadSoundCloudPage(page, track))
        return false;
    if (track.found) {
        m_job.t_MediaURL.set(track.streamUrl);
        m_MediaName = SafeSoundCloudName(track.name);
        if (m_MediaName.trimmed().isEmpty()) {
            // No name on the page: the last part of the track's address names the file.
            m_MediaName = SafeSoundCloudName(
                QUrl(m_job.t_URL.get())
                    .path()
                    .section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty));
        }
    }
    QFile::remove(page);
    return true;
}

bool TDownloadThread::ParseYouTubePage()
{
    const QString page = PageFile();
    if (!QFile::exists(page))
        return false;
    TYouTubeStream stream;
    const bool read = ReadYouTubePage(page, stream);
    QFile::remove(page);
    if (!read || !stream.chosen)
        return false;
    m_job.t_MediaURL.set(stream.mediaUrl);
    m_MediaName = YouTubeWorkingName(stream.title);
    // Without a title there is nothing to name the working file after.
    if (m_MediaName.isEmpty()) {
        m_pageFailure = EndReasonNoFileName(WithoutControls(stream.title));
        return false;
    }
    return true;
}

void TDownloadThread::Complete()
{
    QString finalName;
    bool finished = m_complete;
    if (finished && m_WebsiteID == WEBSITE_SOUNDCLOUD) {
        // A file that cannot get its ".mp3" name is not a finished download.
        QString error;
        finalName = GiveMp3Name(m_workingFile, &error);
        finished = !finalName.isEmpty();
        if (!finished)
            m_endReason =
                EndReasonDisk(QStringLiteral("cannot give the file its .mp3 name: ") + error);
    }
    if (!finished) {
        m_job.t_EndReason.set(EndReason());
        // Only a job still marked downloading becomes stopped: one the user queued again
        // after its stop keeps that, and starts once this worker has freed its slot.
        int downloading = JOB_DOWNLOADING;
        if (m_job.t_Status.compare_exchange_strong(downloading, JOB_STOPPED))
            m_context.rows.SetIcon(m_JobArrayID, JOB_STOPPED);
        // Only the file this run created: the name may stand for another file by now.
        if (!m_workingFile.isEmpty())
            QFile::remove(m_workingFile);
        if (QFile::exists(PageFile()))
            QFile::remove(PageFile());
    } else {
        // A video goes on as a conversion: marked so before it counts as finished, so no one
        // who sees it finished takes it for done.
        if (m_WebsiteID == WEBSITE_YOUTUBE)
            m_job.t_ConvertStatus = CONVERT_WAITING;
        m_job.t_Status = JOB_FINISHED;
        m_context.rows.SetIcon(m_JobArrayID, JOB_FINISHED);
    }
    if (finished && m_WebsiteID == WEBSITE_SOUNDCLOUD) {
        m_context.rows.SetText(m_JobArrayID, TDownloadRows::StatusColumn,
                               QStringLiteral("Finished"));
        m_job.t_TempName.set(finalName);
        m_context.rows.SetText(m_JobArrayID, TDownloadRows::FileColumn, LastPathPart(finalName));
        m_job.t_FileName.set(finalName);
        if (m_job.t_DownloadFollowed.load() && m_context.followedTrackDownloaded)
            m_context.followedTrackDownloaded(m_job.t_FollowedUser.get(),
                                              m_job.t_FollowedTrackID.get(), finalName);
    }
    if (finished && m_WebsiteID == WEBSITE_YOUTUBE) {
        // The working file stays in Temp; the conversion turns it into the audio file and
        // removes it. The handler only sets the conversion up, so the wait is short.
        m_context.gui.Send(WM_START_CONVERT, m_JobArrayID);
    }
    {
        // Removed only when empty: the other jobs' files keep it.
        std::lock_guard lock(m_context.state.FileCreateLock);
        RemoveEngineTempFolderIfEmpty(TempFolder());
    }
    const int slot = m_DownloadThrdID;
    m_JobArrayID = 0;
    TDownloadScheduler::WorkerEnded(m_context.state, m_context.gui, slot);
}
