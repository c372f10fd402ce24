#pragma once

#include <QString>

#include <unordered_map>
#include <vector>

// The speed of each running download, from the byte counts the progress refresh sees on
// its ticks (GUI thread only). Holds only the jobs it was given samples of, so a tick costs
// in proportion to the running jobs, not to the list.
class TransferMeter
{
public:
    // A tick's reading of a job: its phase and the bytes of that phase so far, at nowMs (a
    // steady clock). A phase change or a count that went back starts the job afresh.
    void Sample(int jobId, int phase, qint64 received, qint64 nowMs);
    void Forget(int jobId);

    // Bytes per second, smoothed over the last ticks; 0 when not known yet.
    double Speed(int jobId) const;
    // Seconds until size bytes are in at the current speed; -1 when it cannot be told.
    qint64 SecondsLeft(int jobId, qint64 received, qint64 size) const;
    double TotalSpeed() const;

    // The jobs it holds samples of.
    std::vector<int> Jobs() const;

private:
    struct TSample
    {
        int phase = 0;
        qint64 received = 0;
        qint64 atMs = 0;
        double speed = 0;
        bool measured = false;
    };
    std::unordered_map<int, TSample> m_jobs;
};

// "1.25 MB/s", "512 B/s": a speed for people.
QString SpeedText(double bytesPerSecond);
// "1:05:09", "4:02": a duration for people.
QString DurationText(qint64 seconds);
