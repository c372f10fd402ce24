#include "DownloadRows.h"

#include "DownloadState.h"
#include "ListViewModel.h"
#include "base/TMessageQueue.h"

template <class F> void TDownloadRows::onRow(int jobId, F change)
{
    ListViewModel* list = &m_list;
    auto apply = [list, jobId, change] {
        const int row = FindRowByJob(*list, jobId);
        if (row > 0)
            change(*list, row - 1);
    };
    if (m_gui.OnGuiThread())
        apply();
    else
        m_gui.PostTask(std::move(apply));
}

void TDownloadRows::SetIcon(int jobId, int icon)
{
    onRow(jobId, [icon](ListViewModel& list, int row) { list.setImageIndex(row, icon); });
}

void TDownloadRows::SetText(int jobId, int column, const QString& text)
{
    onRow(jobId, [column, text](ListViewModel& list, int row) { list.setText(row, column, text); });
}

void TDownloadRows::SetProgress(int jobId, double fraction)
{
    onRow(jobId, [fraction](ListViewModel& list, int row) {
        list.setProgress(row, fraction, StatusColumn);
    });
}
