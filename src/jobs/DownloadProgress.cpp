#include "DownloadProgress.h"

#include "DownloadRows.h"
#include "DownloadState.h"
#include "ListViewModel.h"
#include "language/LangStrings.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>

namespace {

bool showsProgress(const TDownloadJobs& job)
{
    return job.t_ConvertStatus.load() == CONVERT_NONE && job.t_Status.load() == JOB_DOWNLOADING &&
           job.t_Get_HTTP_200.load();
}

} // namespace

qint64 SteadyMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

std::optional<QString> ProgressText(const TDownloadJobs& job, const QString& receivedText,
                                    QChar decimalPoint)
{
    if (!showsProgress(job))
        return std::nullopt;
    const qint64 size = job.t_Size.load();
    if (size <= 0)
        return QString();
    const qint64 received = job.t_Received.load();
    QString percent = QString::number(double(received) / double(size) * 100.0, 'f', 2);
    percent.replace(QLatin1Char('.'), decimalPoint);
    const QString text = receivedText + QStringLiteral(": ") + QString::number(received) +
                         QStringLiteral(" (") + percent + QStringLiteral("%)");
    return job.t_GetData.load() == 0 ? QLatin1Char(' ') + text : text;
}

double ProgressFraction(const TDownloadJobs& job)
{
    if (!showsProgress(job))
        return -1;
    const qint64 size = job.t_Size.load();
    if (size <= 0)
        return -1;
    return std::clamp(double(job.t_Received.load()) / double(size), 0.0, 1.0);
}

void Timer1Timer(TDownloadState& state, ListViewModel& list, qint64 nowMs)
{
    if (nowMs < 0)
        nowMs = SteadyMs();
    std::vector<int> running;
    if (state.RunningDownloads.load() > 0) {
        for (int s = 1; s <= kWorkerSlotCount; ++s) {
            const TWorkerSlot* slot = state.Slot(s);
            if (slot->Busy() && slot->JobId() > 0)
                running.push_back(slot->JobId());
        }
    }
    // Jobs measured on the last tick whose worker has gone: their download progress goes.
    // A conversion's progress (the job is converting) is the conversion's to clear.
    for (const int id : state.Meter.Jobs()) {
        if (std::find(running.begin(), running.end(), id) != running.end())
            continue;
        state.Meter.Forget(id);
        const TDownloadJobs* job = state.DownloadJobs.Job(id);
        const int row = FindRowByJob(list, id);
        if (job && row > 0 && job->t_ConvertStatus.load() == CONVERT_NONE)
            list.setProgress(row - 1, -1, TDownloadRows::StatusColumn);
    }
    if (running.empty())
        return;
    const QString received = Lang("Msg1_7");
    const QChar decimalPoint = QLocale().decimalPoint().at(0);
    for (const int id : running) {
        const TDownloadJobs* job = state.DownloadJobs.Job(id);
        const int row = FindRowByJob(list, id);
        if (!job || row < 1)
            continue;
        if (const std::optional<QString> text = ProgressText(*job, received, decimalPoint))
            list.setText(row - 1, TDownloadRows::StatusColumn, *text);
        if (job->t_ConvertStatus.load() != CONVERT_NONE)
            continue;
        list.setProgress(row - 1, ProgressFraction(*job), TDownloadRows::StatusColumn);
        state.Meter.Sample(id, job->t_GetData.load(), job->t_Received.load(), nowMs);
    }
}

QString DownloadToolTip(const TDownloadState& state, const ListViewModel& list, int row, int column)
{
    if (row < 0 || row >= list.rowCount())
        return QString();
    const int id = list.item(row).data;
    const TDownloadJobs* job = state.DownloadJobs.Job(id);
    if (!job)
        return QString();
    QStringList lines;
    const QString cell = list.text(row, column);
    if (!cell.trimmed().isEmpty() && column != TDownloadRows::UrlColumn)
        lines << cell.trimmed();
    QString file = job->t_FileName.get();
    if (file.isEmpty())
        file = job->t_TempName.get();
    if (!file.isEmpty())
        lines << Lang("Msg1_36").arg(file);
    lines << Lang("Msg1_37").arg(job->t_URL.get());
    if (job->t_Status.load() == JOB_DOWNLOADING) {
        const double speed = state.Meter.Speed(id);
        if (speed > 0) {
            QString line = Lang("Msg1_38").arg(SpeedText(speed));
            const qint64 left =
                state.Meter.SecondsLeft(id, job->t_Received.load(), job->t_Size.load());
            if (left >= 0)
                line += QStringLiteral(", ") + Lang("Msg1_39").arg(DurationText(left));
            lines << line;
        }
    } else if (job->t_ConvertStatus.load() == CONVERT_RUNNING) {
        // A conversion's pace: media time converted per second, and the rest at that pace.
        const qint64 elapsed = SteadyMs() - job->t_ConvertStartedMs.load();
        const qint64 converted = job->t_ConvertedMs.load();
        const double done = list.item(row).progress;
        if (elapsed > 0 && converted > 0) {
            QString line = Lang("Msg1_38").arg(
                QStringLiteral("%1\u00d7").arg(double(converted) / double(elapsed), 0, 'f', 1));
            if (done > 0 && done < 1)
                line +=
                    QStringLiteral(", ") +
                    Lang("Msg1_39").arg(DurationText(qint64(elapsed * (1 - done) / done / 1000)));
            lines << line;
        }
    } else {
        const QString reason = job->t_EndReason.get();
        if (!reason.isEmpty())
            lines << Lang("Msg1_40").arg(reason);
    }
    return lines.join(QLatin1Char('\n'));
}
