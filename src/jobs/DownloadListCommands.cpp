#include "DownloadListCommands.h"

#include "DownloadRows.h"
#include "DownloadState.h"
#include "LinkIntake.h"
#include "ListViewModel.h"
#include "base/AppSettings.h"
#include "base/IDesktop.h"
#include "base/IPrompts.h"
#include "base/TMessageQueue.h"
#include "language/LangStrings.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>

TDownloadListCommands::TDownloadListCommands(TDownloadState& state, TDownloadRows& rows,
                                             QItemSelectionModel& selection, TMessageQueue& gui,
                                             IPrompts& prompts, IDesktop& desktop)
    : m_state(state), m_rows(rows), m_list(rows.List()), m_selection(selection), m_gui(gui),
      m_prompts(prompts), m_desktop(desktop)
{
}

bool TDownloadListCommands::selected(int row) const
{
    return m_selection.isRowSelected(row, {});
}

int TDownloadListCommands::selectedCount() const
{
    int count = 0;
    for (int row = 0; row < m_list.rowCount(); ++row)
        count += selected(row);
    return count;
}

int TDownloadListCommands::jobOfRow(int row) const
{
    return m_list.item(row).data;
}

void TDownloadListCommands::setIcon(int row, int icon)
{
    m_list.setImageIndex(row, icon);
}

TLinkBatch TDownloadListCommands::AddLinks(const QString& text, bool startNow)
{
    const TJobIntake intake{m_state, m_list, m_gui};
    TLinkBatch batch;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        bool skipped = false;
        for (const QString& piece : SplitLinkText(line)) {
            const QString link = AcceptedDialogLink(piece);
            if (link.isEmpty()) {
                skipped = true;
                continue;
            }
            AddDownloadJob(intake, link, startNow);
            ++batch.added;
        }
        batch.skippedLines += skipped;
    }
    m_gui.Post(WM_START_JOBS);
    return batch;
}

int TDownloadListCommands::DropURLTarget1Drop(const QStringList& texts)
{
    int added = 0;
    for (const QString& text : texts) {
        const QString link = AcceptedDroppedLink(text);
        if (!link.isEmpty()) {
            AddDownloadJob({m_state, m_list, m_gui}, link, true);
            ++added;
        }
    }
    m_gui.Post(WM_START_JOBS);
    return added;
}

void TDownloadListCommands::PMenuBraeDownloadClick()
{
    for (int row = 0; row < m_list.rowCount(); ++row) {
        const int id = jobOfRow(row);
        TDownloadJobs* job = m_state.DownloadJobs.Job(id);
        if (!selected(row) || !job || job->t_Status.load() != JOB_STOPPED)
            continue;
        job->t_Status = JOB_QUEUED;
        job->t_ConvertStatus = CONVERT_NONE;
        setIcon(row, JOB_QUEUED);
        m_gui.Post(WM_RESUME_JOB, id);
    }
}

void TDownloadListCommands::PMenuBraeStopClick()
{
    for (int row = 0; row < m_list.rowCount(); ++row) {
        const int id = jobOfRow(row);
        TDownloadJobs* job = m_state.DownloadJobs.Job(id);
        if (!selected(row) || !job)
            continue;
        int queued = JOB_QUEUED;
        if (job->t_Status.load() == JOB_DOWNLOADING)
            m_gui.Post(WM_STOP_JOB, id);
        else if (job->t_Status.compare_exchange_strong(queued, JOB_STOPPED))
            setIcon(row, JOB_STOPPED);
    }
}

int TDownloadListCommands::PMenuBraeDeleteClick()
{
    if (selectedCount() == 0)
        return 0;
    if (!m_prompts.askYesNo(Lang("Msg1_5")))
        return 0;
    int kept = 0;
    // Backwards, so the rows still to visit keep their numbers.
    for (int row = m_list.rowCount() - 1; row >= 0; --row) {
        TDownloadJobs* job = m_state.DownloadJobs.Job(jobOfRow(row));
        if (!selected(row) || !job)
            continue;
        const int status = job->t_Status.load();
        if (status == JOB_STOPPED) {
            const QString file = job->t_FileName.get();
            if (!file.isEmpty() && QFileInfo::exists(file))
                QFile::remove(file);
            m_list.removeItem(row);
        } else if (status == JOB_FINISHED) {
            m_list.removeItem(row);
        } else {
            ++kept;
        }
    }
    return kept;
}

void TDownloadListCommands::DownloadListDblClick()
{
    if (selectedCount() != 1)
        return;
    int row = 0;
    while (!selected(row))
        ++row;
    const int id = jobOfRow(row);
    TDownloadJobs* job = m_state.DownloadJobs.Job(id);
    if (!job)
        return;
    switch (job->t_Status.load()) {
    case JOB_STOPPED:
        job->t_Status = JOB_QUEUED;
        job->t_ConvertStatus = CONVERT_NONE;
        setIcon(row, JOB_QUEUED);
        m_gui.Post(WM_RESUME_JOB, id);
        break;
    case JOB_DOWNLOADING:
        m_gui.Post(WM_STOP_JOB, id);
        break;
    case JOB_FINISHED: {
        const QString file = job->t_FileName.get();
        if (QFileInfo::exists(file))
            m_desktop.openFile(file);
        else
            m_prompts.information(Lang("Msg1_2") + QLatin1Char(' ') + file);
        break;
    }
    case JOB_QUEUED: {
        int queued = JOB_QUEUED;
        if (job->t_Status.compare_exchange_strong(queued, JOB_STOPPED))
            setIcon(row, JOB_STOPPED);
        break;
    }
    default:
        break;
    }
}

void TDownloadListCommands::PMenuCopylinksClick()
{
    QString text;
    for (int row = 0; row < m_list.rowCount(); ++row) {
        if (selected(row))
            text += m_list.text(row, TDownloadRows::UrlColumn) + QStringLiteral("\r\n");
    }
    m_desktop.setClipboardText(text);
}

void TDownloadListCommands::PMenuOpencontainedfolderClick()
{
    int id = 0;
    QString folder = AppSettings().SaveToFolder();
    QString file;
    if (selectedCount() == 1) {
        int row = 0;
        while (!selected(row))
            ++row;
        if (const TDownloadJobs* job = m_state.DownloadJobs.Job(jobOfRow(row))) {
            id = jobOfRow(row);
            file = job->t_FileName.get();
            folder = QFileInfo(file).absolutePath();
            if (file.isEmpty())
                folder.clear();
        }
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    if (id >= 1 && QFileInfo::exists(file))
        m_desktop.revealFile(file);
    else
        m_desktop.openFolder(folder);
}

bool TDownloadListCommands::PopupMenu1Popup() const
{
    return selectedCount() > 0;
}

bool TDownloadListCommands::FormCloseQuery()
{
    if (m_state.RunningDownloads.load() > 0 && !m_prompts.askYesNo(Lang("Msg1_6")))
        return false;
    return true;
}

QString TDownloadListCommands::SkippedLinesNote(int skippedLines)
{
    return skippedLines == 1 ? Lang("Msg1_30") : Lang("Msg1_31").arg(skippedLines);
}
