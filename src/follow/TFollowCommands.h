#pragma once

#include "jobs/LinkIntake.h"

#include <QString>

class IDesktop;
class IPrompts;
class TFollowView;

// The commands of the followed-users panel: Add, Delete, Download, and the popup items of
// the two lists. GUI thread only; they read the lists through the view and change the
// store in single locked steps.
class TFollowCommands
{
public:
    TFollowCommands(TFollowView& view, TJobIntake intake, IPrompts& prompts, IDesktop& desktop);

    // Follows the name typed in the edit box (trimmed). Empty does nothing; a name that is
    // followed already (ignoring case) gets Msg1_10. Nothing goes to the network.
    void ButtAddPeopleClick(const QString& editText);
    // After the Msg1_11 question: deletes the selected users, last row first. A user that
    // is being checked or has a queued or running download is kept, its row still selected.
    void ButtDeletePeopleClick();
    // Queues the selected tracks of the one selected user, top to bottom, and posts
    // WM_START_JOBS in every case.
    void ButtDownloadTrackClick();

    // Popup of the user list.
    void PMOpenuserLinkClick();
    // Popup of the track list.
    void PMCopyTrackInfoClick();
    void PMOpenTrackLinkClick();
    void PMTrackListOpenfolderClick();

    // The address of a followed user's page.
    static QString UserPage(const QString& name);

private:
    // The selected track rows of user peopleId: position in its tracks, top to bottom.
    QList<int> SelectedTrackPositions(int peopleId) const;

    TFollowView& m_view;
    TJobIntake m_intake;
    IPrompts& m_prompts;
    IDesktop& m_desktop;
};
