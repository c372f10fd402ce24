#pragma once

#include <QWidget>

class MainController;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTableView;
class QToolButton;
class TFollowing;

// The followed-users panel: the tool row (User, the name box, Add, Explore, help, Delete,
// Check), the user list, a splitter, the track list and Download. It only shows and
// forwards; the lists' rules and the commands live in the core (TFollowing).
class TFollowPanel : public QWidget
{
    Q_OBJECT

public:
    TFollowPanel(MainController& controller, QWidget* parent = nullptr);

    QLabel* FollowUserLabel = nullptr;
    QLineEdit* PeopleName = nullptr;
    QPushButton* ButtAddPeople = nullptr;
    QPushButton* ButtExplore = nullptr;
    QToolButton* ButtOnlineHelp = nullptr;
    QPushButton* ButtDeletePeople = nullptr;
    QPushButton* ButtCheck = nullptr;
    QTableView* PeopleList = nullptr;
    QSplitter* FollowSplitter = nullptr;
    QTableView* TracksList = nullptr;
    QPushButton* ButtDownloadTrack = nullptr;

    QMenu* PMPeopleList = nullptr;
    QAction* PMOpenuserLink = nullptr;
    QMenu* PMTracksList = nullptr;
    QAction* PMCopyTrackInfo = nullptr;
    QAction* PMOpenTrackLink = nullptr;
    QAction* PMTrackListOpenfolder = nullptr;

    // Handlers
    void ButtAddPeopleClick();
    void ButtDeletePeopleClick();
    void ButtDownloadTrackClick();
    void ButtExploreClick();
    void ButtOnlineHelpClick();
    void PeopleListSelectItem();
    void TracksListSelectItem();
    void TracksListColumnClick(int column);
    void PMOpenuserLinkClick();
    void PMCopyTrackInfoClick();
    void PMOpenTrackLinkClick();
    void PMTrackListOpenfolderClick();

    // Captions, hints and popup items from the language texts (the column headers are
    // the core's).
    void ApplyLanguageTexts();

private:
    void createPopups();

    MainController& m_controller;
    TFollowing& m_following;
};
