#pragma once

#include <QString>

class IDesktop;
class IPrompts;
class ListViewModel;
class QItemSelectionModel;
class TDownloadRows;
class TDownloadState;
class TMessageQueue;

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

    // The add-links dialog's OK: one link a line; posts WM_START_JOBS once.
    void AddLinks(const QString& text, bool startNow);
    // A link dropped on the list; posts WM_START_JOBS in every case.
    void DropURLTarget1Drop(const QString& text);

    void PMenuBraeDownloadClick();
    void PMenuBraeStopClick();
    void PMenuBraeDeleteClick();
    void DownloadListDblClick();
    void PMenuCopylinksClick();
    void PMenuOpencontainedfolderClick();
    // Whether the popup's two items are enabled (at least one row selected).
    bool PopupMenu1Popup() const;
    // False when the user chose to stay (downloads still running).
    bool FormCloseQuery();

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
