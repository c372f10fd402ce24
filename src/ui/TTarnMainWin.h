#pragma once

#include <QMainWindow>

#include <QStringList>

#include <functional>
#include <memory>

class LanguageTarget;
class MainController;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTableView;
class QToolBar;
class QToolButton;
class TAddWin;
class TAboutWin;
class TBraeSettingsWin;
class TFollowPanel;
class QtStandardTexts;

// The main window: menu, toolbar, the download list and, to its right, the followed-users
// panel. Its handlers forward to the core half (MainController).
class TTarnMainWin : public QMainWindow
{
    Q_OBJECT

public:
    explicit TTarnMainWin(MainController& controller, QWidget* parent = nullptr);
    ~TTarnMainWin() override;

    bool AlwaysOnTop() const { return m_alwaysOnTop; }
    // The add-links dialog, created after the window.
    void SetAddWin(TAddWin* addWin) { m_addWin = addWin; }
    // The about and settings dialogs, created after the add-links dialog.
    void SetAboutWin(TAboutWin* aboutWin) { m_aboutWin = aboutWin; }
    void SetSettingsWin(TBraeSettingsWin* settingsWin) { m_settingsWin = settingsWin; }

    // Menu
    QMenu* PMenuBrae_File = nullptr;
    QMenu* PMenuBrae_View = nullptr;
    QMenu* PMenuBrae_Tool = nullptr;
    QMenu* PMenuBrae_Help = nullptr;
    QMenu* PMenuBrae_MoreTools = nullptr;
    QAction* PMenuBraeAdd = nullptr;
    QAction* PMenuBraeDelete = nullptr;
    QAction* PMenuBraeDownload = nullptr;
    QAction* PMenuBraeStop = nullptr;
    QAction* PMenuBraeExit = nullptr;
    QAction* PMenuBrae_Toolbar = nullptr;
    QAction* PMenuBrae_ShowGirdLine = nullptr;
    QAction* PMenuBraeAlwaysOnTop = nullptr;
    QAction* PMenuBraeSettings = nullptr;
    QAction* PMenuMoreToolsProduct = nullptr;
    QAction* PMenuBraeOnlineHelp = nullptr;
    QAction* PMenyBraeChecktheupdate = nullptr;
    QAction* PMenuBraeAbout = nullptr;
    QAction* PasteLinks = nullptr;        // Ctrl+V: the add-links dialog with the clipboard's links
    QAction* DownloadListEnter = nullptr; // Enter on the download list: as a double-click

    // Toolbar
    QToolBar* TBarMain = nullptr;
    QAction* TButAdd = nullptr;
    QAction* ButtDelete = nullptr;
    QAction* ButtDownload = nullptr;
    QAction* ButtStop = nullptr;
    QAction* TButSettings = nullptr;
    QAction* ButtHelp = nullptr;
    QAction* ButtAbout = nullptr;
    QAction* TButExit = nullptr;

    // Download list
    QWidget* DownloadListPanel = nullptr;
    QFrame* ADPanel = nullptr;
    QTableView* DownloadList = nullptr;
    QSplitter* Splitter1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* PMenuDownload = nullptr;
    QAction* PMenuStop = nullptr;
    QAction* PMenuDelete = nullptr;
    QAction* PMenuCopylinks = nullptr;
    QAction* PMenuOpencontainedfolder = nullptr;
    // The status bar's totals of the download list (a permanent widget)
    QLabel* DownloadTotalsLabel = nullptr;
    // Tells the desktop that a run of downloads ended (a desktop notification; tests
    // replace it).
    std::function<void(const QString& summary, const QString& body)> NotifyDesktop;

    // Followed-users panel (its widgets, as the panel holds them)
    TFollowPanel* FollowuserPanel = nullptr;
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

    // Handlers
    void PMenuBraeAddClick();
    void PasteLinksClick();
    void PMenuBraeDownloadClick();
    void PMenuBraeStopClick();
    void PMenuBraeDeleteClick();
    void DownloadListDblClick();
    void PMenuCopylinksClick();
    void PMenuOpencontainedfolderClick();
    void PopupMenu1Popup();
    void PMenuAlwaysonTopClick();
    void PMenuBrae_ToolbarClick();
    void PMenuBrae_ShowGirdLineClick();
    void PMenuBraeOnlineHelpClick();
    void PMenuMoreToolsClick();
    void PMenuBraeSettingsClick();
    void PMenuBraeAboutClick();
    void PMenyBraeChecktheupdateClick();

    // Copies the language texts into captions, hints and column headers.
    void ApplyLanguageTexts();

    // Links handed over from outside (the command line, a second start): brings the window
    // to the front and adds them as the add-links dialog would, starting at once.
    void TakeLinks(const QStringList& links);
    // A short note in the status bar that goes away by itself.
    void ShowNote(const QString& text);
    // The session ends (SIGTERM): closes as Exit answered "Yes" would, asking nothing. The
    // layout and the followed users are saved; a failure goes to the error output. Returns
    // the exit code: 1 after a failed save.
    int EndSession();

Q_SIGNALS:
    // After the window took over the texts of a (new) language: panels of their own
    // re-text themselves here.
    void LanguageApplied();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void createMenu();
    void createToolBar();
    void createDownloadPanel();
    void createFollowPanel();
    void createStatusBar();
    void createShortcuts();
    void updateSelectionActions();
    void BringToFront();
    void showSkippedLines(int skippedLines);
    void connectDialogCommands();

    MainController& m_controller;
    TAddWin* m_addWin = nullptr;
    TAboutWin* m_aboutWin = nullptr;
    TBraeSettingsWin* m_settingsWin = nullptr;
    std::unique_ptr<QtStandardTexts> m_standardTexts;
    std::unique_ptr<LanguageTarget> m_languageTarget;
    bool m_alwaysOnTop = false;
    bool m_shown = false;
    bool m_sessionEnded = false;
};
