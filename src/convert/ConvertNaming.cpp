#include "ConvertNaming.h"

#include "worker/OutputNaming.h"

namespace {

constexpr qsizetype kMaxNameBytes = 255;

// Extensions of the media files a conversion reads; any other text after a dot is part of
// the name ("Mr. Blue Sky").
bool IsMediaExtension(QStringView extension)
{
    static const char* const known[] = {"3gp", "aac",  "avi", "flac", "flv",  "m4a", "m4v",
                                        "mkv", "mov",  "mp3", "mp4",  "mpeg", "mpg", "ogg",
                                        "ogv", "opus", "wav", "webm", "wma",  "wmv"};
    for (const char* k : known) {
        if (extension.compare(QLatin1String(k), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString Candidate(const QString& folder, const QString& base, const QString& suffix,
                  const QString& extension)
{
    const qsizetype room = kMaxNameBytes - (suffix + extension).toUtf8().size();
    return folder + FitUtf8Bytes(base, int(room)) + suffix + extension;
}

} // namespace

QString ConvertedFileName(const QString& folder, const QString& inputFileName,
                          const QString& extension, bool overwrite,
                          const std::function<bool(const QString&)>& exists)
{
    QString base = inputFileName.mid(inputFileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && IsMediaExtension(QStringView(base).mid(dot + 1)))
        base.truncate(dot);

    QString name = Candidate(folder, base, QStringLiteral("_(new)"), extension);
    if (overwrite)
        return name;
    for (int n = 1; exists(name); ++n)
        name = Candidate(folder, base, QStringLiteral("_(new_%1)").arg(n), extension);
    return name;
}
