#include "TFollowChecks.h"

#include "FollowFormats.h"
#include "TFollowView.h"
#include "TFollowedPeople.h"
#include "base/TMessageQueue.h"
#include "base/WindowMessages.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"

#include <algorithm>
#include <set>

namespace {

// The daily check's reading of a last check time: due when it is empty, when its first
// eight characters are not a date's digits, or when that date is before today.
bool DueToday(const QString& lastCheckTime, std::int64_t today)
{
    const QString time = lastCheckTime.trimmed();
    if (time.size() < 8)
        return true;
    const QString date = time.left(8);
    if (!std::all_of(date.cbegin(), date.cend(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return true;
    return date.toLongLong() < today;
}

} // namespace

TFollowChecks::TFollowChecks(TFollowView& view, TJobIntake intake) : m_view(view), m_intake(intake)
{
}

TFollowChecks::~TFollowChecks() = default;

void TFollowChecks::Connect(TMessageQueue& gui)
{
    gui.SetHandler(WM_CHECK_FOLLOWED, [this](int wParam) { WMCheckFollowed(wParam); });
}

int TFollowChecks::PendingChecks(int peopleId) const
{
    const auto it = m_pending.find(peopleId);
    return it == m_pending.end() ? 0 : it->second;
}

void TFollowChecks::Enqueue(TCheckEntry entry, int row)
{
    if (entry.peopleId > 0) {
        ++m_pending[entry.peopleId];
        m_view.Store().SetPeopleStatus(entry.peopleId, PEOPLE_CHECKING);
    }
    m_CheckNameList.push_back(std::move(entry));
    if (row > 0)
        m_view.PeopleList().setText(row - 1, TFollowView::CheckTimeColumn, Lang("Msg1_8"));
}

void TFollowChecks::ButtCheckClick()
{
    ListViewModel& list = m_view.PeopleList();
    for (int row : m_view.SelectedPeopleRows()) {
        const QString name = list.text(row, TFollowView::NameColumn);
        const bool waiting = std::any_of(m_CheckNameList.cbegin(), m_CheckNameList.cend(),
                                         [&name](const TCheckEntry& e) {
                                             return e.name.compare(name, Qt::CaseInsensitive) == 0;
                                         });
        if (waiting)
            list.setText(row, TFollowView::CheckTimeColumn, Lang("Msg1_8"));
        else
            Enqueue({name, false, m_view.Store().GetPeopleArrayID(name)}, row + 1);
    }
    m_intake.gui.Post(WM_CHECK_FOLLOWED, 0);
}

int TFollowChecks::AutoCheckPeople(std::int64_t today)
{
    if (today == 0)
        today = TFollowedPeople::LocalStampNow().left(8).toLongLong();
    TFollowedPeople& store = m_view.Store();
    int queued = 0;
    const int count = store.FollowedPeopleCount();
    for (int id = 1; id <= count; ++id) {
        const auto user = store.Summary(id);
        if (!user || user->status == PEOPLE_DELETED || user->autoCheck != 1 ||
            !DueToday(user->lastCheckTime, today))
            continue;
        Enqueue({user->name, true, id}, m_view.FindPeopleRow(user->name));
        ++queued;
    }
    m_intake.gui.Post(WM_CHECK_FOLLOWED, 1);
    return queued;
}

bool TFollowChecks::QueueCheck(const QString& name, bool download)
{
    const int id = m_view.Store().GetPeopleArrayID(name);
    const auto user = m_view.Store().Summary(id);
    if (!user)
        return false;
    Enqueue({user->name, download, id}, m_view.FindPeopleRow(user->name));
    return true;
}

void TFollowChecks::WMCheckFollowed(int)
{
    // The download flag travels with each name; the message's own is not needed.
    if (m_running || m_CheckNameList.empty())
        return;
    TCheckEntry entry = std::move(m_CheckNameList.front());
    m_CheckNameList.pop_front();
    m_running = true;
    if (const int row = m_view.FindPeopleRow(entry.name); row > 0)
        m_view.PeopleList().setText(row - 1, TFollowView::CheckTimeColumn, Lang("Msg1_9"));
    TMessageQueue& gui = m_intake.gui;
    TSearchSoundCloudInfoThread::Start(
        {m_view.Store(), m_intake, m_request}, entry.name, entry.download,
        [this, &gui, queuedFor = entry.peopleId](TCheckOutcome outcome) {
            gui.PostTask([this, queuedFor, outcome = std::move(outcome)] {
                Release(queuedFor);
                CheckEnded(outcome);
            });
        });
}

void TFollowChecks::Release(int peopleId)
{
    const auto it = m_pending.find(peopleId);
    if (it == m_pending.end() || --it->second > 0)
        return;
    m_pending.erase(it);
    // A deleted user stays deleted (the store refuses to change it).
    m_view.Store().SetPeopleStatus(peopleId, PEOPLE_IDLE);
}

void TFollowChecks::CancelWaiting()
{
    std::deque<TCheckEntry> dropped;
    dropped.swap(m_CheckNameList);
    for (const TCheckEntry& entry : dropped) {
        Release(entry.peopleId);
        const auto user = m_view.Store().Summary(entry.peopleId);
        const int row = m_view.FindPeopleRow(entry.name);
        if (user && row > 0)
            m_view.PeopleList().setText(row - 1, TFollowView::CheckTimeColumn,
                                        FormatCheckTime(user->lastCheckTime));
    }
}

void TFollowChecks::CheckEnded(const TCheckOutcome& outcome)
{
    ShowCheckRows(outcome);
    m_running = false;
    if (OnCheckEnded)
        OnCheckEnded(outcome);
    if (!m_CheckNameList.empty())
        m_intake.gui.Post(WM_CHECK_FOLLOWED);
}

void TFollowChecks::ShowCheckRows(const TCheckOutcome& outcome)
{
    TFollowedPeople& store = m_view.Store();
    const int id = store.GetPeopleArrayID(outcome.name);
    const auto user = store.Summary(id);
    if (!user)
        return;
    // The new check time, or after a failed check the previous one again.
    if (const int row = m_view.FindPeopleRow(outcome.name); row > 0) {
        ListViewModel& people = m_view.PeopleList();
        people.setText(row - 1, TFollowView::CheckTimeColumn, FormatCheckTime(user->lastCheckTime));
        people.setText(row - 1, TFollowView::TracksColumn, QString::number(user->tracksCount));
    }
    // New rows only while the track list shows this user; a list rebuilt since the commits
    // shows them already.
    if (outcome.newPositions.empty() || m_view.SingleSelectedPeople() != id)
        return;
    ListViewModel& tracks = m_view.TracksList();
    std::set<int> shown;
    for (int row = 0; row < tracks.rowCount(); ++row) {
        if (tracks.item(row).owner == id)
            shown.insert(tracks.item(row).data);
    }
    std::vector<ListItem> rows;
    rows.reserve(outcome.newPositions.size());
    for (int position : outcome.newPositions) {
        const auto track = store.Track(id, position);
        if (!track || shown.count(position) > 0)
            continue;
        // A check's row shows the size as the service gave it.
        ListItem row;
        row.caption = track->t_id;
        row.subItems = {track->t_title, FormatDuration(track->t_duration),
                        track->t_original_content_size, track->t_created_at,
                        FormatCheckTime(track->t_downloaded_at)};
        row.data = position;
        row.owner = id;
        rows.push_back(std::move(row));
    }
    tracks.appendItems(std::move(rows));
}
