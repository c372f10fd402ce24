#include "DownloadProgress.h"

#include "DownloadRows.h"
#include "DownloadState.h"
#include "ListViewModel.h"
#include "language/LangStrings.h"

#include <QLocale>

std::optional<QString> ProgressText(const TDownloadJobs& job, const QString& receivedText,
                                    QChar decimalPoint)
{
    if (job.t_ConvertStatus.load() != CONVERT_NONE || job.t_Status.load() != JOB_DOWNLOADING ||
        !job.t_Get_HTTP_200.load())
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

void Timer1Timer(TDownloadState& state, ListViewModel& list)
{
    if (state.RunningDownloads.load() <= 0)
        return;
    const QString received = Lang("Msg1_7");
    const QChar decimalPoint = QLocale().decimalPoint().at(0);
    for (int row = 0; row < list.rowCount(); ++row) {
        const TDownloadJobs* job = state.DownloadJobs.Job(list.item(row).data);
        if (!job)
            continue;
        if (const std::optional<QString> text = ProgressText(*job, received, decimalPoint))
            list.setText(row, TDownloadRows::StatusColumn, *text);
    }
}
