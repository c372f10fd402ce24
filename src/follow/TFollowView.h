#pragma once

#include <QList>
#include <QObject>
#include <QString>

class ListViewModel;
class QItemSelectionModel;
class TFollowedPeople;
struct TTracksInfo;

// The two lists of the followed-users panel as core models: the user list (PeopleList) and
// the track list of the one selected user (TracksList), with their selection rules, the
// sorting of the track list, the auto-check box and the row updates other parts ask for.
// GUI thread only; other threads hand their row changes over as tasks.
class TFollowView : public QObject
{
    Q_OBJECT

public:
    enum PeopleColumn
    {
        AutoCheckColumn = 0,
        NameColumn = 1,
        TracksColumn = 2,
        DownloadsColumn = 3,
        CheckTimeColumn = 4,
    };
    enum TrackColumn
    {
        IdColumn = 0,
        TitleColumn = 1,
        DurationColumn = 2,
        SizeColumn = 3,
        CreatedColumn = 4,
        DownloadedColumn = 5,
    };

    TFollowView(TFollowedPeople& store, ListViewModel& people, QItemSelectionModel& peopleSelection,
                ListViewModel& tracks, QItemSelectionModel& tracksSelection,
                QObject* parent = nullptr);

    ListViewModel& PeopleList() { return m_people; }
    ListViewModel& TracksList() { return m_tracks; }
    TFollowedPeople& Store() { return m_store; }

    // Fills the user list from the store, in store order (deleted users left out).
    void ShowPeopleList();
    // A row for a user added in this run: box cleared, only the name shown.
    void AppendPeopleRow(const QString& name);

    // 1-based number of the first user row whose name equals name ignoring case; else 0.
    int FindPeopleRow(const QString& name) const;
    // 0 unless exactly one user row is selected; else the 1-based number of the first
    // track row whose ID equals trackId, or 0.
    int FindTrackRow(const QString& trackId) const;

    // Selected rows, 0-based, top to bottom.
    QList<int> SelectedPeopleRows() const;
    QList<int> SelectedTrackRows() const;
    // The PeopleArrayID of the only selected user row; 0 when none or several are selected
    // or the row's user is not followed.
    int SingleSelectedPeople() const;

    // Check and Delete need at least one selected user.
    bool PeopleCommandsEnabled() const;
    // "Open Containing Folder" needs exactly one selected track.
    bool OpenFolderEnabled() const;

    // On every selection change of the user list: one user shows its tracks, sorted as
    // last chosen; none or several clear the track list.
    void PeopleListSelectItem();
    // A header click: the column sorts ascending, a second click on it toggles.
    void TracksListColumnClick(int column);
    // Sorts the track list by columnToSort and nSortType, keeping the selection.
    void SortTracks();

    // A followed download finished (after MarkTrackDownloaded): the user's Downloads
    // count and, when its track is listed, the track's "Downloaded at".
    void FollowedDownloadFinished(const QString& userName, const QString& trackId);

    // Sort state of the track list.
    int columnToSort = 0;
    int LastColumn = -1;
    int nSortType = 0;

private:
    void AutoCheckToggled(int row, bool checked);

    TFollowedPeople& m_store;
    ListViewModel& m_people;
    QItemSelectionModel& m_peopleSelection;
    ListViewModel& m_tracks;
    QItemSelectionModel& m_tracksSelection;
};

// The cells of a track row as the list shows it when its user is selected.
QStringList TrackRowTexts(const TTracksInfo& track);
