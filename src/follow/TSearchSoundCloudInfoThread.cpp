#include "TSearchSoundCloudInfoThread.h"

#include "FollowFormats.h"
#include "TFollowedPeople.h"
#include "TTrackListReader.h"
#include "TTracksInfo.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/ThreadRegistry.h"
#include "base/WindowMessages.h"
#include "net/THttpCli.h"
#include "net/TRequestSlot.h"
#include "worker/GuardedRequest.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <memory>

QString TSearchSoundCloudInfoThread::RequestURL(const QString& name)
{
    return QStringLiteral("http://") + Hosts().SoundCloudApi + QStringLiteral("/users/") +
           UserPathSegment(name) + QStringLiteral("/tracks?client_id=") + QLatin1String(kClientId);
}

void TSearchSoundCloudInfoThread::Start(TContext context, const QString& name,
                                        bool downloadNewTrack, TDone done)
{
    // The thread gets a copy that shares no buffer with the caller's string.
    ThreadRegistry::Start([context, name = QString(name.unicode(), name.size()), downloadNewTrack,
                           done = std::move(done)] {
        TCheckOutcome outcome;
        {
            TSearchSoundCloudInfoThread check(context, name, downloadNewTrack);
            check.Execute();
            outcome = std::move(check.Outcome());
        }
        done(std::move(outcome));
    });
}

TSearchSoundCloudInfoThread::TSearchSoundCloudInfoThread(TContext context, const QString& name,
                                                         bool downloadNewTrack)
    : m_context(context), m_Keyword(name), m_DownloadNewTrack(downloadNewTrack)
{
}

TSearchSoundCloudInfoThread::~TSearchSoundCloudInfoThread() = default;

void TSearchSoundCloudInfoThread::Execute()
{
    m_outcome.name = m_Keyword;
    m_outcome.download = m_DownloadNewTrack;
    m_PeopleArrayID = m_context.store.GetPeopleArrayID(m_Keyword);
    m_outcome.peopleId = m_PeopleArrayID;
    // Nothing of a reply could be kept for a name nobody follows (any more).
    if (m_PeopleArrayID == 0) {
        m_outcome.failure = QStringLiteral("not followed");
        return;
    }

    const QString dataDir = AppSettings().DataDir();
    if (dataDir.isEmpty() || !QDir().mkpath(dataDir)) {
        m_outcome.failure = QStringLiteral("the data folder %1 cannot be created").arg(dataDir);
        return;
    }
    // A file of this check's own: nothing in the name ever becomes a path.
    QTemporaryFile reply(dataDir + QStringLiteral("tracks-XXXXXX.xml"));
    if (!reply.open()) {
        m_outcome.failure =
            QStringLiteral("the reply file cannot be created: %1").arg(reply.errorString());
        return;
    }
    const bool whole = Fetch(reply);
    if (!reply.flush() || reply.error() != QFileDevice::NoError) {
        if (m_outcome.failure.isEmpty())
            m_outcome.failure =
                QStringLiteral("the reply could not be written: %1").arg(reply.errorString());
        return;
    }

    // A stop (Ctrl+C, the close) ends the check here: what was committed stands.
    TRequestSlot& request = m_context.request;
    if (request.AbortRequested()) {
        m_outcome.failure = QLatin1String(TTrackListReader::kStopped);
        return;
    }
    // Only a track list is read: an error page or an abandoned reply holds none.
    bool parsed = false;
    if (m_outcome.status == 200 && !m_oversize) {
        QString error;
        parsed = TTrackListReader::ReadFile(
            reply.fileName(), [this](const TTracksInfo& track) { CommitTrack(track); }, &error,
            [&request] { return request.AbortRequested(); });
        if (request.AbortRequested()) {
            m_outcome.failure = QLatin1String(TTrackListReader::kStopped);
            return;
        }
        if (!parsed && m_outcome.failure.isEmpty())
            m_outcome.failure = QStringLiteral("the reply is not a track list: %1").arg(error);
    }
    if (whole && parsed) {
        m_context.store.SetLastCheckTime(m_PeopleArrayID, TFollowedPeople::LocalStampNow());
        m_outcome.replied = true;
    }
    QueueDownloads();
}

bool TSearchSoundCloudInfoThread::Fetch(QIODevice& file)
{
    auto client = std::make_unique<THttpCli>();
    client->SetMultiThreaded(true);
    client->OnCommand = [](THttpCli&, QString&) {
    };
    client->OnHeaderEnd = [this](THttpCli& c) {
        HttpCliHeaderData(c);
    };
    client->OnDocData = [this](THttpCli& c, const char*, int len) {
        HttpCliDocData(c, len);
    };
    client->SetURL(RequestURL(m_Keyword));
    client->SetRcvdStream(&file);
    m_TotolBytes = 0;
    m_RectBytes = 0;
    // Ends with an exception when the reply is complete too: the outcome is judged from
    // what the handlers recorded.
    const bool returned = GuardedGet(m_context.request, *client);
    client->SetRcvdStream(nullptr);
    m_outcome.status = m_sawStatus ? m_status : 0;
    const QString reason = client->ReasonPhrase();
    const bool tooManyRelocations = client->TooManyRelocations();
    const int relocationLimit = client->LocationChangeMaxCount();
    const QString unreadable = client->ResponseError();
    client.reset();

    if (tooManyRelocations) {
        m_outcome.failure =
            QStringLiteral("too many redirects (more than %1)").arg(relocationLimit);
        return false;
    }
    if (!unreadable.isEmpty()) {
        m_outcome.failure = QStringLiteral("the reply cannot be read: %1").arg(unreadable);
        return false;
    }
    // A redirect that was followed and never answered is no reply either.
    if (!m_sawStatus || m_relocating) {
        m_outcome.failure = QStringLiteral("no reply: %1").arg(reason);
        return false;
    }
    if (m_oversize) {
        m_outcome.failure = QStringLiteral("the reply is larger than %1 MiB, abandoned")
                                .arg(kMaxReplyBytes / (1024 * 1024));
        return false;
    }
    if (m_status != 200 || m_relocating) {
        m_outcome.failure = QStringLiteral("HTTP %1 %2").arg(m_status).arg(m_reason);
        return false;
    }
    const bool whole = m_TotolBytes > 0 ? m_RectBytes >= m_TotolBytes : returned;
    if (!whole)
        m_outcome.failure = m_TotolBytes > 0
                                ? QStringLiteral("the reply was cut short (%1 of %2 bytes)")
                                      .arg(m_RectBytes)
                                      .arg(m_TotolBytes)
                                : QStringLiteral("the reply was cut short: %1").arg(reason);
    return whole;
}

void TSearchSoundCloudInfoThread::HttpCliHeaderData(THttpCli& client)
{
    // Each response of a relocation chain, once its header is complete: status and length
    // as the client read them from the status line and the framing.
    m_sawStatus = true;
    m_status = client.StatusCode();
    m_reason = client.ReasonPhrase();
    m_TotolBytes = client.Chunked() ? 0 : std::max<std::int64_t>(0, client.ContentLength());
    m_RectBytes = 0;
    m_relocating = client.Relocating();
}

void TSearchSoundCloudInfoThread::HttpCliDocData(THttpCli& client, int len)
{
    m_RectBytes += len;
    if (m_RectBytes > kMaxReplyBytes) {
        m_oversize = true;
        client.Abort();
        return;
    }
    // The whole announced body is in the file: no need to wait for the server to close.
    // A redirect's body is not the reply, so it never ends the request.
    if (!m_relocating && m_TotolBytes > 0 && m_RectBytes >= m_TotolBytes)
        client.Abort();
}

void TSearchSoundCloudInfoThread::CommitTrack(const TTracksInfo& track)
{
    const int position = m_context.store.AppendTrack(m_PeopleArrayID, track);
    if (position == 0)
        return;
    m_outcome.newPositions.push_back(position);
    m_NewTracks.push_back({position, track.t_id, track.t_permalink_url});
}

void TSearchSoundCloudInfoThread::QueueDownloads()
{
    if (!m_DownloadNewTrack || m_NewTracks.empty())
        return;
    const auto user = m_context.store.Summary(m_PeopleArrayID);
    if (!user)
        return;
    const bool all = AppSettings().DownloadAllSoundFiles();
    const int latest = AppSettings().LatestTrackCount();
    // The newest first: from the last new track of the reply towards the first, at most
    // LatestTrackCount of them (at least one) unless every new track is wanted. A track
    // whose link is missing or not a SoundCloud track page is listed but never queued.
    std::vector<TNewFollowedJob> jobs;
    for (auto track = m_NewTracks.crbegin(); track != m_NewTracks.crend(); ++track) {
        if (!all && !jobs.empty() && static_cast<int>(jobs.size()) >= latest)
            break;
        const QString link = AcceptedDialogLink(track->permalink);
        if (!link.isEmpty())
            jobs.push_back({link, user->name, track->id});
    }
    m_outcome.queuedJobs = AddDownloadJobs(m_context.intake, jobs);
    if (!jobs.empty())
        m_context.intake.gui.Post(WM_START_JOBS);
}
