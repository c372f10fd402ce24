#pragma once

#include <QObject>

#include <memory>

class DownloadTotals;
class IDesktop;
class IPrompts;
class TDownloadListCommands;
class ListViewModel;
class QItemSelectionModel;
class QTimer;
class TConvertDriver;
class TDownloadEngine;
class TDownloadState;
class TFollowing;
class TMessageQueue;
class TVersionCheck;
class TVersionNotices;
struct TWorkerContext;

// The core half of the main window: lives on the GUI thread, receives the program's
// messages, owns the list models with their selection models and runs the commands the
// window forwards to it. Knows nothing of widgets: it reaches the user through IPrompts
// and IDesktop.
class MainController : public QObject
{
    Q_OBJECT

public:
    MainController(IPrompts& prompts, IDesktop& desktop, QObject* parent = nullptr);
    ~MainController() override;

    TDownloadState& Downloads();
    TMessageQueue& Messages() { return *m_messages; }
    TDownloadListCommands& ListCommands() { return *m_listCommands; }
    TFollowing& Following() { return *m_following; }
    TConvertDriver& Converter() { return *m_converter; }

    // Worker threads that are still running; at the program's end they are left to the
    // process end instead of being waited for.
    int LiveWorkers() const;

    // The once-a-second progress refresh of the download list.
    void Timer1Timer();

    // The download list's totals for the status bar; tells when a run of downloads ended.
    DownloadTotals& Totals() { return *m_totals; }
    // What the download workers share (tests put fault fixtures into it).
    TWorkerContext& Workers();

    ListViewModel& DownloadList() { return *m_downloadList; }
    ListViewModel& PeopleList() { return *m_peopleList; }
    ListViewModel& TracksList() { return *m_tracksList; }
    QItemSelectionModel& DownloadSelection() { return *m_downloadSelection; }
    QItemSelectionModel& PeopleSelection() { return *m_peopleSelection; }
    QItemSelectionModel& TracksSelection() { return *m_tracksSelection; }

    // The steps of the window's first showing that belong to the core, ending with the
    // daily check of followed users.
    void FormShow();
    // The window was asked to close: the downloads question, then the followed users are
    // saved whatever the answer. False when the window stays open; when it goes, the
    // conversions are stopped first.
    bool FormCloseQuery();
    // A save that failed while the window closes (its text names what and why): the user
    // chooses whether the close still goes on.
    bool CloseAfterFailedSave(const QString& failure);
    // The session ends (SIGTERM): the close as answered "Yes", asking nothing. The followed
    // users are saved and the conversions stopped. Returns an empty text, or why the save
    // failed.
    QString EndSession();

    // Column headers of the three lists from the current language texts.
    void ApplyListHeaders();

    // Pages opened in the browser.
    void OpenOnlineHelp();
    void OpenMoreTools();
    void OpenExplore();
    void OpenFollowHelp();

    // The other product of ours offered under Tool, More Tools.
    static QString MoreToolsCaption();

    // Help, Check for updates: a check that reports whatever it finds.
    void CheckForUpdates();
    TVersionCheck& VersionCheck() { return *m_versionCheck; }

Q_SIGNALS:
    // After each progress refresh (once a second).
    void ProgressRefreshed();

private:
    IPrompts& m_prompts;
    IDesktop& m_desktop;
    std::unique_ptr<TMessageQueue> m_messages;
    std::unique_ptr<ListViewModel> m_downloadList;
    std::unique_ptr<ListViewModel> m_peopleList;
    std::unique_ptr<ListViewModel> m_tracksList;
    std::unique_ptr<QItemSelectionModel> m_downloadSelection;
    std::unique_ptr<QItemSelectionModel> m_peopleSelection;
    std::unique_ptr<QItemSelectionModel> m_tracksSelection;
    std::unique_ptr<TDownloadEngine> m_engine;
    std::unique_ptr<TDownloadListCommands> m_listCommands;
    std::unique_ptr<TFollowing> m_following;
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<TVersionNotices> m_versionNotices;
    std::unique_ptr<TVersionCheck> m_versionCheck;
    std::unique_ptr<DownloadTotals> m_totals;
    // Last, so it goes first: its encoders stop before the queue they report to.
    std::unique_ptr<TConvertDriver> m_converter;
};
