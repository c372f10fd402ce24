#include "FollowFormats.h"

#include <cmath>

QString FormatCheckTime(const QString& stamp)
{
    if (stamp.size() != 14)
        return {};
    return stamp.left(4) + QLatin1Char('-') + stamp.mid(4, 2) + QLatin1Char('-') + stamp.mid(6, 2) +
           QLatin1Char(' ') + stamp.mid(8, 2) + QLatin1Char(':') + stamp.mid(10, 2) +
           QLatin1Char(':') + stamp.mid(12, 2);
}

bool ReadInt64(const QString& text, std::int64_t& value)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (ok)
        value = v;
    return ok;
}

QString FormatDuration(const QString& milliseconds)
{
    std::int64_t ms = 0;
    if (!ReadInt64(milliseconds, ms))
        return {};
    const double seconds = static_cast<double>(ms) / 1000.0;
    const double h = std::trunc(seconds / 60.0 / 60.0);
    const double m = std::trunc((seconds - h * 3600.0) / 60.0);
    const double s = std::trunc(seconds - h * 3600.0 - m * 60.0);
    return QStringLiteral("%1:%2:%3")
        .arg(static_cast<qlonglong>(h))
        .arg(static_cast<qlonglong>(m))
        .arg(static_cast<qlonglong>(s));
}

QString FormatFileSize(std::int64_t bytes)
{
    const double n = static_cast<double>(bytes);
    if (bytes <= 1024)
        return QString::number(bytes) + QStringLiteral(" Byte");
    if (bytes <= 1048576)
        return QString::number(n / 1024.0, 'f', 2) + QStringLiteral(" KB");
    if (bytes <= 1073741824)
        return QString::number(n / 1048576.0, 'f', 2) + QStringLiteral(" MB");
    return QString::number(n / 1073741824.0, 'f', 2) + QStringLiteral(" GB");
}

QString FormatTrackSize(const QString& bytes)
{
    std::int64_t n = 0;
    if (!ReadInt64(bytes, n))
        return {};
    return bytes + QStringLiteral(" (") + FormatFileSize(n) + QLatin1Char(')');
}
