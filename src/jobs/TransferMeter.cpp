#include "TransferMeter.h"

void TransferMeter::Sample(int jobId, int phase, qint64 received, qint64 nowMs)
{
    auto [it, added] = m_jobs.try_emplace(jobId);
    TSample& s = it->second;
    if (added || s.phase != phase || received < s.received) {
        s = TSample{phase, received, nowMs, 0, false};
        return;
    }
    const qint64 elapsed = nowMs - s.atMs;
    if (elapsed <= 0)
        return;
    const double now = double(received - s.received) * 1000.0 / double(elapsed);
    // Smoothed, so one slow or quick second does not make the figures jump.
    s.speed = s.measured ? 0.6 * s.speed + 0.4 * now : now;
    s.measured = true;
    s.received = received;
    s.atMs = nowMs;
}

void TransferMeter::Forget(int jobId)
{
    m_jobs.erase(jobId);
}

double TransferMeter::Speed(int jobId) const
{
    const auto it = m_jobs.find(jobId);
    return it == m_jobs.end() ? 0.0 : it->second.speed;
}

qint64 TransferMeter::SecondsLeft(int jobId, qint64 received, qint64 size) const
{
    const double speed = Speed(jobId);
    if (speed < 1.0 || size <= 0 || received > size)
        return -1;
    return qint64(double(size - received) / speed + 0.5);
}

double TransferMeter::TotalSpeed() const
{
    double total = 0;
    for (const auto& [id, s] : m_jobs)
        total += s.speed;
    return total;
}

std::vector<int> TransferMeter::Jobs() const
{
    std::vector<int> ids;
    ids.reserve(m_jobs.size());
    for (const auto& [id, s] : m_jobs)
        ids.push_back(id);
    return ids;
}

QString SpeedText(double bytesPerSecond)
{
    static const char* const units[] = {"B/s", "KB/s", "MB/s", "GB/s"};
    int unit = 0;
    double value = bytesPerSecond < 0 ? 0 : bytesPerSecond;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return (unit == 0 ? QString::number(qint64(value)) : QString::number(value, 'f', 2)) +
           QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString DurationText(qint64 seconds)
{
    if (seconds < 0)
        return QString();
    const qint64 h = seconds / 3600;
    const qint64 m = seconds / 60 % 60;
    const qint64 s = seconds % 60;
    const QString ms = QStringLiteral("%1:%2")
                           .arg(m, h > 0 ? 2 : 1, 10, QLatin1Char('0'))
                           .arg(s, 2, 10, QLatin1Char('0'));
    return h > 0 ? QString::number(h) + QLatin1Char(':') + ms : ms;
}
