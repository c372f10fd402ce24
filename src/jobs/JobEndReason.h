#pragma once

#include <QString>

class TDownloadJobs;

// The texts of a job's t_EndReason: why it last ended when it did not finish. Shown in the
// download list's tooltip and on the command line's failure lines.

QString EndReasonStoppedByUser();
// A reply whose status is not the "200 OK" the job needs: "HTTP 404 Not Found".
QString EndReasonHttp(int status, const QString& reasonPhrase);
// The request failed before or during the reply (no connection, name lookup, time-out,
// connection closed): the client's own error text.
QString EndReasonNetwork(const QString& error);
// The page was read but names no stream.
QString EndReasonNoStream();
// The page has no title, or one that leaves nothing to name a file after (only dots,
// blanks or controls).
QString EndReasonNoFileName(const QString& title);
// A file could not be created or written.
QString EndReasonDisk(const QString& error);
// The reply ended before all the bytes it announced (or announced none).
QString EndReasonIncomplete(qint64 received, qint64 announced);
// A chunked reply ended before its last chunk.
QString EndReasonChunksCut(qint64 received);
// The relocation chain was still going after the client's limit of hops.
QString EndReasonTooManyRedirects(int limit);
// The reply could not be read as HTTP (two different lengths, a broken chunk).
QString EndReasonBadReply(const QString& error);
// A page larger than a page can be.
QString EndReasonPageTooLarge(qint64 limit);
QString EndReasonConversion(const QString& error);

// For the conversion driver: records that the job's conversion failed and why. Any thread.
void SetConversionEndReason(TDownloadJobs& job, const QString& error);

// The reason is a user stop, not a failure.
bool IsUserStop(const QString& reason);
