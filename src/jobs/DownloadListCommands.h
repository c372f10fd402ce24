#pragma once

#include <QString>
#include <QStringList>

class IDesktop;
class IPrompts;
class ListViewModel;
class QItemSelectionModel;
class TDownloadRows;
class TDownloadState;
class TMessageQueue;

// What a batch of links given as text came to: the jobs added, and the non-empty lines that
// held something that is not an acceptable link (the line's acceptable links are added all
// the same).
struct TLinkBatch
{
    int added = 0;
    int skippedLines = 0;
};

// What the user does with the download list: add links, the Download, Stop and Delete
// commands on the selected rows, the double-click, the two popup items, and the close
// question. Runs on the GUI thread; starting and stopping go through the scheduler's
// messages.
class TDownloadListCommands
{
public:
    TDownloadListCommands(TDownloadState& state, TDownloadRows& rows,
                          QItemSelectionModel& selection, TMessageQueue& gui, IPrompts& prompts,
                          IDesktop& desktop);

    // The add-links dialog's OK: one link a line, or several separated by blanks; posts
    // WM_START_JOBS once.
    TLinkBatch AddLinks(const QString& text, bool startNow);
    // The links of a drop on the list (DroppedLinkTexts); posts WM_START_JOBS in every case.
    // Returns the number of jobs added.
    int DropURLTarget1Drop(const QStringList& texts);

    void PMenuBraeDownloadClick();
    void PMenuBraeStopClick();
    // Returns how many selected rows stayed because they are downloading or queued.
    int PMenuBraeDeleteClick();
    void DownloadListDblClick();
    void PMenuCopylinksClick();
    void PMenuOpencontainedfolderClick();
    // Whether the popup's items and the toolbar's Download, Stop and Delete are enabled (at
    // least one row selected).
    bool PopupMenu1Popup() const;
    // False when the user chose to stay (downloads still running).
    bool FormCloseQuery();

    // The status-bar note after a batch of links whose lines were partly skipped.
    static QString SkippedLinesNote(int skippedLines);

private:
    bool selected(int row) const;
    int selectedCount() const;
    int jobOfRow(int row) const;
    void setIcon(int row, int icon);

    TDownloadState& m_state;
    TDownloadRows& m_rows;
    ListViewModel& m_list;
    QItemSelectionModel& m_selection;
    TMessageQueue& m_gui;
    IPrompts& m_prompts;
    IDesktop& m_desktop;
};
