// libFuzzer target: arbitrary bytes as a watch page, scanned line by line as the worker
// scans a page file. The title must come out cleaned and cut, the address without
// undecoded high characters.
#include "worker/YouTubePage.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TYouTubePageScan scan;
    for (const QByteArray& line : bytes.split('\n')) {
        if (scan.Feed(QString::fromUtf8(line)))
            break;
    }
    const TYouTubeStream& s = scan.Result();
    if (s.title.size() > 250)
        std::abort();
    for (QChar c : s.title) {
        if (QStringLiteral("/\\:?\"<>|*").contains(c))
            std::abort();
    }
    for (QChar c : s.mediaUrl) {
        if (c.unicode() >= 0x80 && c.unicode() <= 0xFF)
            std::abort();
    }
    if (s.chosen != !s.mediaUrl.isEmpty())
        std::abort();
    return 0;
}
