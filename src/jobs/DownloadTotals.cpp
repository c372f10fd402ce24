#include "DownloadTotals.h"

#include "DownloadState.h"
#include "JobEndReason.h"
#include "ListViewModel.h"
#include "TransferMeter.h"
#include "language/LangStrings.h"

namespace {

bool converting(int convertStatus)
{
    return convertStatus == CONVERT_RUNNING || convertStatus == CONVERT_WAITING;
}

} // namespace

DownloadTotals::DownloadTotals(const TDownloadState& state, const ListViewModel& list,
                               QObject* parent)
    : QObject(parent), m_state(state), m_list(list)
{
    const auto stale = [this] {
        m_stale = true;
    };
    connect(&list, &QAbstractItemModel::rowsInserted, this, stale);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, stale);
    connect(&list, &QAbstractItemModel::modelReset, this, stale);
    connect(&list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(ListViewModel::ImageIndexRole))
                    statusChanged(from.row(), to.row());
            });
}

void DownloadTotals::statusChanged(int firstRow, int lastRow)
{
    m_stale = true;
    for (int row = firstRow; row <= lastRow && row < m_list.rowCount(); ++row) {
        if (m_list.item(row).imageIndex == JOB_DOWNLOADING)
            m_batch.insert(m_list.item(row).data);
    }
}

bool DownloadTotals::Failed(int status, int convertStatus, const QString& endReason)
{
    if (convertStatus == CONVERT_FAILED)
        return true;
    return status == JOB_STOPPED && !endReason.isEmpty() && !IsUserStop(endReason);
}

TDownloadCounts DownloadTotals::Counts()
{
    if (m_stale) {
        TDownloadCounts c;
        // A conversion moves on without a status change of its row: count again next time.
        bool conversionRuns = false;
        for (int row = 0; row < m_list.rowCount(); ++row) {
            const TDownloadJobs* job = m_state.DownloadJobs.Job(m_list.item(row).data);
            if (!job)
                continue;
            const int status = job->t_Status.load();
            const int convert = job->t_ConvertStatus.load();
            conversionRuns = conversionRuns || converting(convert);
            if (status == JOB_DOWNLOADING || (status == JOB_FINISHED && converting(convert)))
                ++c.running;
            else if (status == JOB_QUEUED)
                ++c.queued;
            else if (Failed(status, convert,
                            status == JOB_STOPPED ? job->t_EndReason.get() : QString()))
                ++c.failed;
            else if (status == JOB_FINISHED)
                ++c.finished;
        }
        m_counts = c;
        m_stale = conversionRuns;
    }
    m_counts.speed = m_state.Meter.TotalSpeed();
    return m_counts;
}

QString DownloadTotals::Text()
{
    const TDownloadCounts c = Counts();
    QString text = Lang("Msg1_33").arg(c.running).arg(c.queued).arg(c.finished).arg(c.failed);
    if (c.running > 0)
        text += QStringLiteral(" \u00b7 ") + SpeedText(c.speed);
    return text;
}

void DownloadTotals::Tick()
{
    if (m_batch.empty() || m_state.RunningDownloads.load() > 0)
        return;
    // A worker counts itself out a moment before the next job starts: a queued job means
    // the run goes on.
    if (m_state.FindQueuedJob() > 0)
        return;
    int finished = 0;
    int failed = 0;
    for (const int id : m_batch) {
        const TDownloadJobs* job = m_state.DownloadJobs.Job(id);
        if (!job)
            continue;
        const int status = job->t_Status.load();
        const int convert = job->t_ConvertStatus.load();
        if (status == JOB_DOWNLOADING || (status == JOB_FINISHED && converting(convert)))
            return;
        if (Failed(status, convert, job->t_EndReason.get()))
            ++failed;
        else if (status == JOB_FINISHED)
            ++finished;
    }
    m_batch.clear();
    if (finished + failed > 0 && OnBatchEnded)
        OnBatchEnded(finished, failed);
}
