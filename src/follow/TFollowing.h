#pragma once

#include "jobs/LinkIntake.h"

#include <QString>

#include <memory>

class IDesktop;
class IPrompts;
class ListViewModel;
class QItemSelectionModel;
class TFollowChecks;
class TFollowCommands;
class TFollowView;
class TFollowedPeople;
class TPeopleFile;
struct TWorkerContext;

// Following users as the window uses it: the store, its file, the two list models' rules
// and the panel's commands. Finished followed downloads reach it from the workers through
// the engine's hook. GUI thread, except for that hook.
class TFollowing
{
public:
    TFollowing(ListViewModel& people, QItemSelectionModel& peopleSelection, ListViewModel& tracks,
               QItemSelectionModel& tracksSelection, TJobIntake intake, TWorkerContext& workers,
               IPrompts& prompts, IDesktop& desktop, const QString& filePath);
    ~TFollowing();

    TFollowedPeople& FollowedPeople() { return *m_store; }
    TPeopleFile& File() { return *m_file; }
    TFollowView& View() { return *m_view; }
    TFollowCommands& Commands() { return *m_commands; }
    TFollowChecks& Checks() { return *m_checks; }

    // The window's first showing: reads the file and fills the user list.
    void FormShow();

    // Every close request writes the file. A failed save is shown with the path and the
    // reason; when the close was going ahead, the user chooses whether it still does.
    // Returns whether the close may go on (closing is the answer so far).
    bool FormCloseQuery(bool closing);
    // Writes the file now; an empty text, or why it could not be saved (path and reason).
    QString SavePeople();

    // In the worker thread after a followed job finished: marks the track and hands the
    // row updates to the GUI thread.
    void FollowedTrackDownloaded(const QString& userName, const QString& trackId,
                                 const QString& localFile);

private:
    TMessageQueue& m_gui;
    IPrompts& m_prompts;
    std::unique_ptr<TFollowedPeople> m_store;
    std::unique_ptr<TPeopleFile> m_file;
    std::unique_ptr<TFollowView> m_view;
    std::unique_ptr<TFollowCommands> m_commands;
    std::unique_ptr<TFollowChecks> m_checks;
};
