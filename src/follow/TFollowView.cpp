#include "TFollowView.h"

#include "FollowFormats.h"
#include "TFollowedPeople.h"
#include "jobs/ListViewModel.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <map>
#include <vector>

QStringList TrackRowTexts(const TTracksInfo& track)
{
    return {track.t_id,
            track.t_title,
            FormatDuration(track.t_duration),
            FormatTrackSize(track.t_original_content_size),
            track.t_created_at,
            FormatCheckTime(track.t_downloaded_at)};
}

namespace {

QList<int> SelectedRows(const QItemSelectionModel& selection)
{
    QList<int> rows;
    for (const QModelIndex& index : selection.selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

ListItem PeopleRow(const TPeopleSummary& p)
{
    ListItem row;
    row.checked = p.autoCheck != 0;
    row.subItems = {p.name, QString::number(p.tracksCount), QString::number(p.downloadedCount),
                    FormatCheckTime(p.lastCheckTime)};
    return row;
}

} // namespace

TFollowView::TFollowView(TFollowedPeople& store, ListViewModel& people,
                         QItemSelectionModel& peopleSelection, ListViewModel& tracks,
                         QItemSelectionModel& tracksSelection, QObject* parent)
    : QObject(parent), m_store(store), m_people(people), m_peopleSelection(peopleSelection),
      m_tracks(tracks), m_tracksSelection(tracksSelection)
{
    connect(&m_peopleSelection, &QItemSelectionModel::selectionChanged, this,
            &TFollowView::PeopleListSelectItem);
    connect(&m_people, &ListViewModel::checkToggled, this, &TFollowView::AutoCheckToggled);
}

void TFollowView::ShowPeopleList()
{
    const int count = m_store.FollowedPeopleCount();
    for (int id = 1; id <= count; ++id) {
        const auto summary = m_store.Summary(id);
        if (summary && summary->status != PEOPLE_DELETED)
            m_people.appendItem(PeopleRow(*summary));
    }
}

void TFollowView::AppendPeopleRow(const QString& name)
{
    ListItem row;
    row.subItems = {name, QString(), QString(), QString()};
    m_people.appendItem(row);
}

int TFollowView::FindPeopleRow(const QString& name) const
{
    const QString lower = name.toLower();
    const int rows = m_people.rowCount();
    for (int row = 0; row < rows; ++row) {
        if (m_people.text(row, NameColumn).toLower() == lower)
            return row + 1;
    }
    return 0;
}

int TFollowView::FindTrackRow(const QString& trackId) const
{
    if (m_peopleSelection.selectedRows().size() != 1)
        return 0;
    const int rows = m_tracks.rowCount();
    for (int row = 0; row < rows; ++row) {
        if (m_tracks.text(row, IdColumn) == trackId)
            return row + 1;
    }
    return 0;
}

QList<int> TFollowView::SelectedPeopleRows() const
{
    return SelectedRows(m_peopleSelection);
}

QList<int> TFollowView::SelectedTrackRows() const
{
    return SelectedRows(m_tracksSelection);
}

int TFollowView::SingleSelectedPeople() const
{
    const QList<int> rows = SelectedPeopleRows();
    if (rows.size() != 1)
        return 0;
    return m_store.GetPeopleArrayID(m_people.text(rows.front(), NameColumn));
}

bool TFollowView::PeopleCommandsEnabled() const
{
    return m_peopleSelection.hasSelection();
}

bool TFollowView::OpenFolderEnabled() const
{
    return m_tracksSelection.selectedRows().size() == 1;
}

void TFollowView::PeopleListSelectItem()
{
    const QList<int> rows = SelectedPeopleRows();
    if (rows.size() != 1) {
        m_tracks.clear();
        return;
    }
    const int id = m_store.GetPeopleArrayID(m_people.text(rows.front(), NameColumn));
    if (id == 0)
        return;
    const std::vector<TTracksInfo> tracks = m_store.Tracks(id);
    m_tracks.clear();
    int position = 0;
    for (const TTracksInfo& track : tracks) {
        ListItem row;
        const QStringList cells = TrackRowTexts(track);
        row.caption = cells.front();
        row.subItems = cells.mid(1);
        row.data = ++position;
        row.owner = id;
        m_tracks.appendItem(row);
    }
    SortTracks();
}

void TFollowView::TracksListColumnClick(int column)
{
    columnToSort = column;
    nSortType = column == LastColumn ? 1 - nSortType : 0;
    LastColumn = column;
    SortTracks();
}

void TFollowView::SortTracks()
{
    const int rows = m_tracks.rowCount();
    const int column = columnToSort;
    const int sign = nSortType == 1 ? -1 : 1;
    if (column == DurationColumn || column == SizeColumn) {
        // Raw numbers of each row's own track: its user and its position in that user's
        // tracks. A value that is not a number, or a row whose track is gone, counts as 0.
        std::map<int, std::vector<TTracksInfo>> tracksOf;
        std::vector<std::int64_t> keys(static_cast<size_t>(rows), 0);
        for (int row = 0; row < rows; ++row) {
            const ListItem& item = m_tracks.item(row);
            auto found = tracksOf.find(item.owner);
            if (found == tracksOf.end())
                found = tracksOf.emplace(item.owner, m_store.Tracks(item.owner)).first;
            const std::vector<TTracksInfo>& tracks = found->second;
            if (item.data < 1 || item.data > static_cast<int>(tracks.size()))
                continue;
            const TTracksInfo& track = tracks[static_cast<size_t>(item.data - 1)];
            ReadInt64(column == DurationColumn ? track.t_duration : track.t_original_content_size,
                      keys[static_cast<size_t>(row)]);
        }
        m_tracks.sortRows([&keys, sign](int a, int b) {
            const std::int64_t x = keys[static_cast<size_t>(a)];
            const std::int64_t y = keys[static_cast<size_t>(b)];
            return sign * ((x > y) - (x < y)) < 0;
        });
        return;
    }
    m_tracks.sortRows([this, column, sign](int a, int b) {
        const int c = QString::compare(m_tracks.text(a, column), m_tracks.text(b, column),
                                       Qt::CaseInsensitive);
        return sign * ((c > 0) - (c < 0)) < 0;
    });
}

void TFollowView::FollowedDownloadFinished(const QString& userName, const QString& trackId)
{
    const int id = m_store.GetPeopleArrayID(userName);
    if (id == 0)
        return;
    if (const int row = FindPeopleRow(userName); row > 0) {
        if (const auto summary = m_store.Summary(id))
            m_people.setText(row - 1, DownloadsColumn, QString::number(summary->downloadedCount));
    }
    const int trackRow = FindTrackRow(trackId);
    if (trackRow == 0)
        return;
    const ListItem& item = m_tracks.item(trackRow - 1);
    if (item.owner != id)
        return;
    if (const auto track = m_store.Track(id, item.data); track && track->t_id == trackId)
        m_tracks.setText(trackRow - 1, DownloadedColumn, FormatCheckTime(track->t_downloaded_at));
}

void TFollowView::AutoCheckToggled(int row, bool checked)
{
    const int id = m_store.GetPeopleArrayID(m_people.text(row, NameColumn));
    if (id > 0)
        m_store.SetAutoCheck(id, checked ? 1 : 0);
}
