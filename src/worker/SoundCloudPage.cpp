#include "SoundCloudPage.h"

#include "OutputNaming.h"
#include "PageLimit.h"

#include <QFile>

namespace {

const QLatin1String kStreamKey("\"streamurl\":\"");
const QLatin1String kNameKey("\"name\":\"");

// The text after the key up to the next double quote, blanks removed; empty when the line
// has no closing quote after it.
QString valueAfter(const QString& line, qsizetype keyAt, qsizetype keyLength)
{
    const qsizetype start = keyAt + keyLength;
    const qsizetype end = line.indexOf(QLatin1Char('"'), start);
    if (end < 0)
        return {};
    return line.mid(start, end - start).trimmed();
}

} // namespace

TSoundCloudTrack ParseSoundCloudLine(const QString& rawLine)
{
    TSoundCloudTrack track;
    const QString line = rawLine.trimmed();
    const qsizetype stream = line.indexOf(kStreamKey, 0, Qt::CaseInsensitive);
    if (line.isEmpty() || stream < 0)
        return track;
    track.found = true;
    track.streamUrl = valueAfter(line, stream, kStreamKey.size());
    const qsizetype name = line.indexOf(kNameKey, 0, Qt::CaseInsensitive);
    if (name >= 0)
        track.name = valueAfter(line, name, kNameKey.size());
    return track;
}

bool ReadSoundCloudPage(const QString& pageFile, TSoundCloudTrack& track)
{
    QFile file(pageFile);
    // A file past the page limit is no page: it is never read into memory.
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPageBytes)
        return false;
    while (!file.atEnd()) {
        const QByteArray bytes = file.readLine();
        if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
            return false;
        TSoundCloudTrack t = ParseSoundCloudLine(QString::fromUtf8(bytes));
        if (t.found) {
            track = std::move(t);
            break;
        }
    }
    return true;
}

QString SafeSoundCloudName(const QString& name)
{
    QString safe = WithoutControls(name);
    for (QChar c : {QLatin1Char('|'), QLatin1Char('/'), QLatin1Char('\\')})
        safe.replace(c, QLatin1Char(' '));
    qsizetype start = 0;
    while (start < safe.size() && (safe[start] == QLatin1Char('.') || safe[start].isSpace()))
        ++start;
    return FitUtf8Bytes(safe.mid(start), kMaxPageNameBytes);
}
