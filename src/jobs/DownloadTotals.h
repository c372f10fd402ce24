#pragma once

#include <QObject>

#include <functional>
#include <unordered_set>

class ListViewModel;
class TDownloadState;

// What the download list holds, as the window's status bar sums it up.
struct TDownloadCounts
{
    int running = 0; // downloading or converting
    int queued = 0;
    int finished = 0;
    int failed = 0;   // ended by an error (a user's stop is not one)
    double speed = 0; // bytes per second of every running download together
};

// Keeps the totals of the download list and tells when a run of downloads is over (GUI
// thread). The rows are counted again only after a row came or went or a row's status
// changed (and, while a conversion runs, on every tick): a progress tick alone costs
// nothing here.
class DownloadTotals : public QObject
{
    Q_OBJECT

public:
    DownloadTotals(const TDownloadState& state, const ListViewModel& list,
                   QObject* parent = nullptr);

    TDownloadCounts Counts();
    // "Running 2 · Queued 3 · Finished 5 · Failed 1 · 1.20 MB/s"
    QString Text();

    // Once a second, after the progress refresh: when the last download or conversion that
    // ran has ended and nothing waits, OnBatchEnded says how those jobs ended.
    void Tick();
    std::function<void(int finished, int failed)> OnBatchEnded;

    // A job that ended with an error: stopped for a reason other than the user's stop, or
    // its conversion failed.
    static bool Failed(int status, int convertStatus, const QString& endReason);

private:
    void statusChanged(int firstRow, int lastRow);

    const TDownloadState& m_state;
    const ListViewModel& m_list;
    TDownloadCounts m_counts;
    bool m_stale = true;
    std::unordered_set<int> m_batch; // jobs that started since the last run ended
};
