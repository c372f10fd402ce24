#include "LinkIntake.h"

#include "DownloadState.h"
#include "ListViewModel.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/TextHelpers.h"

QString NormaliseLink(const QString& link)
{
    if (link.left(8).compare(QLatin1String("https://"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("http://") + link.mid(8);
    return link;
}

bool PassesSoundCloudHostTest(const QString& link)
{
    return link.toLower().contains(Hosts().SoundCloudWeb.toLower());
}

bool PassesYouTubeHostTest(const QString& link)
{
    const QString lower = link.toLower();
    const ServiceHosts& hosts = Hosts();
    const auto has = [&lower](const QString& host) {
        return !host.isEmpty() && lower.contains(host.toLower());
    };
    return has(hosts.YouTube) || has(hosts.YouTubeShort);
}

bool PassesHostTest(const QString& link)
{
    return PassesSoundCloudHostTest(link) || PassesYouTubeHostTest(link);
}

QString AcceptedDialogLink(const QString& line)
{
    const QString link = TrimBlanksAndControls(line);
    if (link.isEmpty())
        return {};
    const bool http = link.left(7).compare(QLatin1String("http://"), Qt::CaseInsensitive) == 0;
    const bool https = link.left(8).compare(QLatin1String("https://"), Qt::CaseInsensitive) == 0;
    if (!(http || https) || !PassesHostTest(link))
        return {};
    return NormaliseLink(link);
}

QString AcceptedDroppedLink(const QString& text)
{
    const QString link = NormaliseLink(TrimBlanksAndControls(text));
    if (link.isEmpty() ||
        link.left(7).compare(QLatin1String("http://"), Qt::CaseInsensitive) != 0 ||
        !PassesHostTest(link))
        return {};
    return link;
}

QStringList SplitLinkText(const QString& text)
{
    QStringList pieces;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool separator = i == text.size() || text.at(i).unicode() <= 32;
        if (!separator && start < 0)
            start = i;
        else if (separator && start >= 0) {
            pieces.append(text.mid(start, i - start));
            start = -1;
        }
    }
    return pieces;
}

QStringList DroppedLinkTexts(const QByteArray& uriList, const QString& plainText)
{
    QStringList entries;
    for (const QByteArray& line : uriList.split('\n')) {
        const QByteArray entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith('#'))
            entries.append(QString::fromUtf8(entry));
    }
    return entries.isEmpty() ? SplitLinkText(plainText) : entries;
}

namespace {

// Appends one job record; its row is the caller's.
TDownloadJobs* AppendJob(TDownloadJobTable& table, int& id, const QString& link, bool startNow,
                         const QString& followedUser, const QString& followedTrackId)
{
    id = table.Append();
    TDownloadJobs* job = table.Job(id);
    job->t_DownloadFollowed = !followedUser.isEmpty();
    job->t_FollowedUser.set(followedUser);
    job->t_FollowedTrackID.set(followedTrackId);
    job->t_ConvertStatus = CONVERT_NONE;
    job->t_URL.set(link);
    job->t_Size = -1;
    job->t_Received = 0;
    job->t_Status = startNow ? JOB_QUEUED : JOB_STOPPED;
    return job;
}

} // namespace

int AddDownloadJob(TJobIntake intake, const QString& link, bool startNow,
                   const QString& followedUser, const QString& followedTrackId)
{
    int id = 0;
    TDownloadJobs* job =
        AppendJob(intake.state.DownloadJobs, id, link, startNow, followedUser, followedTrackId);

    ListViewModel* list = &intake.list;
    auto addRow = [list, job, id, link] {
        // The icon shows the status the job has when its row appears.
        list->appendItem({QString(), {QString(), QString(), link}, job->t_Status.load(), id});
    };
    if (intake.gui.OnGuiThread())
        addRow();
    else
        intake.gui.PostTask(std::move(addRow));
    return id;
}

std::vector<int> AddDownloadJobs(TJobIntake intake, const std::vector<TNewFollowedJob>& jobs)
{
    std::vector<int> ids;
    if (jobs.empty())
        return ids;
    struct TAdded
    {
        TDownloadJobs* job;
        int id;
        QString link;
    };
    std::vector<TAdded> added;
    added.reserve(jobs.size());
    for (const TNewFollowedJob& j : jobs) {
        int id = 0;
        TDownloadJobs* job = AppendJob(intake.state.DownloadJobs, id, j.link, true, j.followedUser,
                                       j.followedTrackId);
        // The row's copy shares no buffer with the caller's string.
        added.push_back({job, id, QString(j.link.unicode(), j.link.size())});
        ids.push_back(id);
    }
    ListViewModel* list = &intake.list;
    auto addRows = [list, added = std::move(added)] {
        std::vector<ListItem> rows;
        rows.reserve(added.size());
        for (const TAdded& a : added)
            rows.push_back(
                {QString(), {QString(), QString(), a.link}, a.job->t_Status.load(), a.id});
        list->appendItems(std::move(rows));
    };
    if (intake.gui.OnGuiThread())
        addRows();
    else
        intake.gui.PostTask(std::move(addRows));
    return ids;
}
