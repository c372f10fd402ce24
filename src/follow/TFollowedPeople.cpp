#include "TFollowedPeople.h"

#include "PeopleFields.h"

#include <QDateTime>

namespace {

// A copy that shares no buffer with the original, so no string crosses threads.
QString Copy(const QString& text)
{
    return QString(text.unicode(), text.size());
}

TTracksInfo CopyTrack(const TTracksInfo& track)
{
    TTracksInfo out;
    out.t_Status = track.t_Status;
    for (const auto& f : peoplefields::kTrack)
        out.*f.field = Copy(track.*f.field);
    return out;
}

TPeopleInfo CopyPeople(const TPeopleInfo& people)
{
    TPeopleInfo out;
    for (const auto& f : peoplefields::kUser)
        out.*f.field = Copy(people.*f.field);
    out.t_PeopleStatus = people.t_PeopleStatus;
    out.t_AutoCheck = people.t_AutoCheck;
    for (const TTracksInfo& track : people.t_TracksInfo)
        out.t_TracksInfo.push_back(CopyTrack(track));
    out.t_TracksCount = people.t_TracksCount;
    out.t_DownloadedCount = people.t_DownloadedCount;
    return out;
}

} // namespace

// Workers and checks stamp at the same time; the C library's time-zone set-up behind local
// time is not safe to run on two threads at once.
QString TFollowedPeople::LocalStampNow()
{
    static std::mutex localTime;
    std::lock_guard lock(localTime);
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
}

int TFollowedPeople::FollowedPeopleCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_people.size());
}

const TPeopleInfo* TFollowedPeople::record(int peopleId) const
{
    if (peopleId < 1 || peopleId > static_cast<int>(m_people.size()))
        return nullptr;
    return &m_people[static_cast<size_t>(peopleId - 1)];
}

TPeopleInfo* TFollowedPeople::record(int peopleId)
{
    return const_cast<TPeopleInfo*>(std::as_const(*this).record(peopleId));
}

int TFollowedPeople::findPeople(const QString& lowerName) const
{
    const int count = static_cast<int>(m_people.size());
    for (int id = 1; id <= count; ++id) {
        const TPeopleInfo& p = m_people[static_cast<size_t>(id - 1)];
        if (p.t_PeopleStatus != PEOPLE_DELETED && p.t_Name.toLower() == lowerName)
            return id;
    }
    return 0;
}

int TFollowedPeople::findTrack(int peopleId, const QString& trackId) const
{
    return m_trackIndex[static_cast<size_t>(peopleId - 1)].value(trackId, 0);
}

void TFollowedPeople::indexLast()
{
    const TPeopleInfo& p = m_people.back();
    QHash<QString, int> index;
    index.reserve(static_cast<qsizetype>(p.t_TracksInfo.size()));
    int position = 0;
    for (const TTracksInfo& track : p.t_TracksInfo) {
        ++position;
        if (!index.contains(track.t_id))
            index.insert(track.t_id, position);
    }
    m_trackIndex.push_back(std::move(index));
}

int TFollowedPeople::GetPeopleArrayID(const QString& name) const
{
    const QString lower = name.toLower();
    std::lock_guard lock(m_mutex);
    return findPeople(lower);
}

int TFollowedPeople::GetTrackArrayID(int peopleId, const QString& trackId) const
{
    std::lock_guard lock(m_mutex);
    return record(peopleId) ? findTrack(peopleId, trackId) : 0;
}

TFollowedPeople::TMarkResult TFollowedPeople::MarkTrackDownloaded(const QString& userName,
                                                                  const QString& trackId,
                                                                  const QString& localFile)
{
    return MarkTrackDownloaded(userName, trackId, localFile, LocalStampNow());
}

TFollowedPeople::TMarkResult TFollowedPeople::MarkTrackDownloaded(const QString& userName,
                                                                  const QString& trackId,
                                                                  const QString& localFile,
                                                                  const QString& stamp)
{
    const QString lower = userName.toLower();
    QString file = Copy(localFile);
    QString time = Copy(stamp);
    std::lock_guard lock(m_mutex);
    TMarkResult result;
    result.people = findPeople(lower);
    TPeopleInfo* p = record(result.people);
    if (!p)
        return result;
    result.track = findTrack(result.people, trackId);
    if (result.track > 0) {
        TTracksInfo& track = p->t_TracksInfo[static_cast<size_t>(result.track - 1)];
        track.t_Status = TRACK_DOWNLOADED;
        track.t_downloaded_at.swap(time);
        track.t_Downloaded_LocalFile.swap(file);
    }
    ++p->t_DownloadedCount;
    return result;
}

int TFollowedPeople::AddPeople(const QString& name)
{
    if (name.isEmpty())
        return 0;
    const QString lower = name.toLower();
    TPeopleInfo people;
    people.t_Name = Copy(name);
    std::lock_guard lock(m_mutex);
    if (findPeople(lower) > 0)
        return 0;
    m_people.push_back(std::move(people));
    m_trackIndex.emplace_back();
    return static_cast<int>(m_people.size());
}

int TFollowedPeople::AppendPeople(TPeopleInfo info)
{
    TPeopleInfo copy = CopyPeople(info);
    std::lock_guard lock(m_mutex);
    m_people.push_back(std::move(copy));
    indexLast();
    return static_cast<int>(m_people.size());
}

void TFollowedPeople::Replace(std::deque<TPeopleInfo> people)
{
    std::lock_guard lock(m_mutex);
    m_people.clear();
    m_trackIndex.clear();
    for (TPeopleInfo& p : people) {
        m_people.push_back(std::move(p));
        indexLast();
    }
}

TFollowedPeople::TDeleteResult
TFollowedPeople::DeletePeople(const QString& name,
                              const std::function<int(const QString&)>& activeJobs)
{
    const QString lower = name.toLower();
    std::lock_guard lock(m_mutex);
    TPeopleInfo* p = record(findPeople(lower));
    if (!p)
        return DeleteNotFollowed;
    if (p->t_PeopleStatus != PEOPLE_IDLE)
        return DeleteNotIdle;
    if (activeJobs && activeJobs(name) != 0)
        return DeleteHasJobs;
    p->t_PeopleStatus = PEOPLE_DELETED;
    return DeleteDone;
}

bool TFollowedPeople::SetAutoCheck(int peopleId, std::uint8_t value)
{
    std::lock_guard lock(m_mutex);
    TPeopleInfo* p = record(peopleId);
    if (!p)
        return false;
    p->t_AutoCheck = value;
    return true;
}

bool TFollowedPeople::SetPeopleStatus(int peopleId, std::uint8_t status)
{
    std::lock_guard lock(m_mutex);
    TPeopleInfo* p = record(peopleId);
    // A deleted user stays deleted for the rest of the run.
    if (!p || p->t_PeopleStatus == PEOPLE_DELETED)
        return false;
    p->t_PeopleStatus = status;
    return true;
}

bool TFollowedPeople::SetLastCheckTime(int peopleId, const QString& time)
{
    QString copy = Copy(time);
    std::lock_guard lock(m_mutex);
    TPeopleInfo* p = record(peopleId);
    if (!p)
        return false;
    p->t_lastCheckTime.swap(copy);
    return true;
}

int TFollowedPeople::AppendTrack(int peopleId, const TTracksInfo& track)
{
    TTracksInfo copy = CopyTrack(track);
    std::lock_guard lock(m_mutex);
    TPeopleInfo* p = record(peopleId);
    if (!p)
        return 0;
    QHash<QString, int>& index = m_trackIndex[static_cast<size_t>(peopleId - 1)];
    if (index.contains(copy.t_id))
        return 0;
    p->t_TracksInfo.push_back(std::move(copy));
    p->t_TracksCount = static_cast<int>(p->t_TracksInfo.size());
    index.insert(p->t_TracksInfo.back().t_id, p->t_TracksCount);
    return p->t_TracksCount;
}

std::optional<TPeopleSummary> TFollowedPeople::Summary(int peopleId) const
{
    std::lock_guard lock(m_mutex);
    const TPeopleInfo* p = record(peopleId);
    if (!p)
        return std::nullopt;
    return TPeopleSummary{Copy(p->t_Name),          p->t_PeopleStatus, p->t_AutoCheck,
                          Copy(p->t_lastCheckTime), p->t_TracksCount,  p->t_DownloadedCount};
}

std::optional<TTracksInfo> TFollowedPeople::Track(int peopleId, int position) const
{
    std::lock_guard lock(m_mutex);
    const TPeopleInfo* p = record(peopleId);
    if (!p || position < 1 || position > p->t_TracksCount)
        return std::nullopt;
    return CopyTrack(p->t_TracksInfo[static_cast<size_t>(position - 1)]);
}

std::vector<TTracksInfo> TFollowedPeople::Tracks(int peopleId) const
{
    std::vector<TTracksInfo> out;
    std::lock_guard lock(m_mutex);
    const TPeopleInfo* p = record(peopleId);
    if (!p)
        return out;
    out.reserve(p->t_TracksInfo.size());
    for (const TTracksInfo& track : p->t_TracksInfo)
        out.push_back(CopyTrack(track));
    return out;
}

std::optional<TPeopleInfo> TFollowedPeople::People(int peopleId) const
{
    std::lock_guard lock(m_mutex);
    const TPeopleInfo* p = record(peopleId);
    if (!p)
        return std::nullopt;
    return CopyPeople(*p);
}

bool TFollowedPeople::Snapshot(int peopleId, TPeopleSnapshot& out) const
{
    std::lock_guard lock(m_mutex);
    const TPeopleInfo* p = record(peopleId);
    if (!p || p->t_PeopleStatus == PEOPLE_DELETED)
        return false;
    for (size_t i = 0; i < peoplefields::kUser.size(); ++i)
        out.fields[i] = (p->*peoplefields::kUser[i].field).toUtf8();
    out.autoCheck = p->t_AutoCheck;
    out.tracks.resize(p->t_TracksInfo.size());
    for (size_t t = 0; t < p->t_TracksInfo.size(); ++t) {
        const TTracksInfo& track = p->t_TracksInfo[t];
        for (size_t i = 0; i < peoplefields::kTrack.size(); ++i)
            out.tracks[t][i] = (track.*peoplefields::kTrack[i].field).toUtf8();
    }
    return true;
}
