#pragma once

#include <QString>

class ListViewModel;
class TMessageQueue;

// Changes of a job's row in the download list, made from any thread. Each one finds the
// row by job id on the GUI thread when it runs, and does nothing when the row is gone.
class TDownloadRows
{
public:
    enum Column
    {
        FileColumn = 0,
        SizeColumn = 1,
        StatusColumn = 2,
        UrlColumn = 3
    };

    TDownloadRows(ListViewModel& list, TMessageQueue& gui) : m_list(list), m_gui(gui) {}

    void SetIcon(int jobId, int icon);
    void SetText(int jobId, int column, const QString& text);
    // How far the job's running task is, 0 to 1 (below 0: none); the Status column draws it.
    // The progress refresh keeps it for downloads; a conversion sets its own as it goes and
    // clears it (-1) when it ends.
    void SetProgress(int jobId, double fraction);

    ListViewModel& List() { return m_list; }

private:
    template <class F> void onRow(int jobId, F change);

    ListViewModel& m_list;
    TMessageQueue& m_gui;
};
