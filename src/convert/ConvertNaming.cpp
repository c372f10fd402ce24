#include "ConvertNaming.h"

namespace {

constexpr qsizetype kMaxNameBytes = 255;

QString Candidate(const QString& folder, const QString& base, const QString& suffix,
                  const QString& extension)
{
    const qsizetype room = kMaxNameBytes - (suffix + extension).toUtf8().size();
    return folder + CutToUtf8Bytes(base, room) + suffix + extension;
}

} // namespace

QString CutToUtf8Bytes(const QString& text, qsizetype maxBytes)
{
    if (maxBytes <= 0)
        return {};
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const char16_t unit = text.at(end).unicode();
        const bool pair = QChar::isHighSurrogate(unit) && end + 1 < text.size() &&
                          QChar::isLowSurrogate(text.at(end + 1).unicode());
        const int width = pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

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
