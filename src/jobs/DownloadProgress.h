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

// The once-a-second refresh of the download list's Status column (GUI thread).
void Timer1Timer(TDownloadState& state, ListViewModel& list);
