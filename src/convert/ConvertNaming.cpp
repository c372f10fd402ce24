#include "ConvertNaming.h"

#include "worker/OutputNaming.h"

namespace {

constexpr qsizetype kMaxNameBytes = 255;

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
    if (dot >= 0)
        base.truncate(dot);

    QString name = Candidate(folder, base, QStringLiteral("_(new)"), extension);
    if (overwrite)
        return name;
    for (int n = 1; exists(name); ++n)
        name = Candidate(folder, base, QStringLiteral("_(new_%1)").arg(n), extension);
    return name;
}
