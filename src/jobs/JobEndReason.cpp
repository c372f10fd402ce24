#include "JobEndReason.h"

#include "DownloadJobs.h"

QString EndReasonStoppedByUser()
{
    return QStringLiteral("Stopped by the user");
}

QString EndReasonHttp(int status, const QString& reasonPhrase)
{
    QString text = QStringLiteral("HTTP ") + QString::number(status);
    if (!reasonPhrase.trimmed().isEmpty())
        text += QLatin1Char(' ') + reasonPhrase.trimmed();
    return text;
}

QString EndReasonNetwork(const QString& error)
{
    return QStringLiteral("Network error: ") + error;
}

QString EndReasonNoStream()
{
    return QStringLiteral("No stream on the page");
}

QString EndReasonNoFileName(const QString& title)
{
    if (title.trimmed().isEmpty())
        return QStringLiteral("The page has no title to name the file after");
    return QStringLiteral("The title \"%1\" leaves no file name").arg(title.trimmed());
}

QString EndReasonDisk(const QString& error)
{
    return QStringLiteral("Disk error: ") + error;
}

QString EndReasonIncomplete(qint64 received, qint64 announced)
{
    if (announced <= 0)
        return QStringLiteral("The server did not announce the size");
    return QStringLiteral("Transfer ended after %1 of %2 bytes").arg(received).arg(announced);
}

QString EndReasonChunksCut(qint64 received)
{
    return QStringLiteral("Transfer ended after %1 bytes, before the last chunk").arg(received);
}

QString EndReasonTooManyRedirects(int limit)
{
    return QStringLiteral("Too many redirects (more than %1)").arg(limit);
}

QString EndReasonBadReply(const QString& error)
{
    return QStringLiteral("Unreadable reply: ") + error;
}

QString EndReasonPageTooLarge(qint64 limit)
{
    return QStringLiteral("The page is larger than %1 MiB").arg(limit / (1024 * 1024));
}

QString EndReasonConversion(const QString& error)
{
    return QStringLiteral("Conversion failed: ") + error;
}

void SetConversionEndReason(TDownloadJobs& job, const QString& error)
{
    job.t_EndReason.set(EndReasonConversion(error));
}

bool IsUserStop(const QString& reason)
{
    return reason == EndReasonStoppedByUser();
}
