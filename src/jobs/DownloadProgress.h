#pragma once

#include <QString>

#include <optional>

class ListViewModel;
class TDownloadJobs;
class TDownloadState;

// The Status text of a running job, or nothing when its row is to be left alone. receivedText
// is the language text for "Received"; decimalPoint is the user's own.
std::optional<QString> ProgressText(const TDownloadJobs& job, const QString& receivedText,
                                    QChar decimalPoint);

// How far a running download is (0 to 1), or below 0 when it cannot be told; the same
// conditions as its Status text.
double ProgressFraction(const TDownloadJobs& job);

// The once-a-second refresh of the download list's Status column (GUI thread). It visits
// only the jobs of the busy worker slots: their Status texts, their progress (the list's
// ProgressRole) and their speed (state.Meter). A job whose worker has ended loses the
// progress the refresh gave it. nowMs: a steady clock, for the speed; below 0 reads it.
void Timer1Timer(TDownloadState& state, ListViewModel& list, qint64 nowMs = -1);

// Milliseconds of a steady clock shared by the progress refresh and the conversions' pace.
qint64 SteadyMs();

// The tooltip of a download-list row: the cell's text, the file (full path), the link, for
// a running download or conversion its speed and time left, and why the job last ended.
QString DownloadToolTip(const TDownloadState& state, const ListViewModel& list, int row,
                        int column);
