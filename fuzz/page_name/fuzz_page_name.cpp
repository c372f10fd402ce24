// Feeds arbitrary bytes to the track-page scan as one line of a page and checks the file
// name made of the name found: inside the save folder, visible, short enough for two number
// prefixes and ".mp3", and never cut inside a character.
#include "worker/OutputNaming.h"
#include "worker/SoundCloudPage.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TSoundCloudTrack track = ParseSoundCloudLine(line);
    for (const QString& raw : {track.name, line}) {
        const QString name = SafeSoundCloudName(raw);
        const QByteArray bytes = name.toUtf8();
        if (bytes.size() > kMaxPageNameBytes)
            std::abort();
        if (!name.isEmpty() && (name.front() == QLatin1Char('.') || name.front().isSpace()))
            std::abort();
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
            name.contains(QLatin1Char('|')))
            std::abort();
        if (QString::fromUtf8(bytes) != name)
            std::abort();
    }
    return 0;
}
