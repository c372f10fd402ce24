#include "OutputNaming.h"

#include "base/FileCreation.h"
#include "base/TextHelpers.h"
#include "jobs/DownloadState.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstring>

namespace {
constexpr int kMaxNumber = 10000;

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

QString ReplaceBars(const QString& path)
{
    QString out = path;
    out.replace(QLatin1Char('|'), QLatin1Char(' '));
    return out;
}

QString SizeText(std::int64_t bytes)
{
    if (bytes == 0)
        return {};
    const auto scaled = [](std::int64_t n, double unit, char suffix) {
        return QString::number(double(n) / unit, 'f', 2) + QLatin1Char(suffix);
    };
    if (bytes < 1024)
        return QString::number(bytes) + QLatin1Char('B');
    if (bytes < 1048576)
        return scaled(bytes, 1024.0, 'K');
    if (bytes < 1073741824)
        return scaled(bytes, 1048576.0, 'M');
    return scaled(bytes, 1073741824.0, 'G');
}

QString NumberedName(const QString& path, int count)
{
    return folderOf(path) + QString::number(count) + QLatin1Char('-') + LastPathPart(path);
}

TNameChoice ChooseAgainstCaptions(const QString& path, const QStringList& otherCaptions)
{
    QSet<QString> shown;
    for (const QString& caption : otherCaptions) {
        if (!caption.isEmpty())
            shown.insert(caption.toLower());
    }
    TNameChoice choice{path, 0, path};
    while (choice.count <= kMaxNumber && shown.contains(LastPathPart(choice.candidate).toLower())) {
        ++choice.count;
        choice.candidate = NumberedName(path, choice.count);
    }
    return choice;
}

QString ChooseAgainstDisk(TNameChoice choice, const std::function<TCreated(const QString&)>& create)
{
    for (; choice.count <= kMaxNumber; ++choice.count) {
        if (choice.count > 0)
            choice.candidate = NumberedName(choice.path, choice.count);
        switch (create(choice.candidate)) {
        case TCreated::Created:
            return choice.candidate;
        case TCreated::Failed:
            return {};
        case TCreated::Taken:
            break;
        }
    }
    return {};
}

QString GiveMp3Name(const QString& workingFile, QString* error)
{
    const QByteArray from = QFile::encodeName(workingFile);
    int failure = EEXIST;
    for (int i = 0; i <= kMaxNumber && failure == EEXIST; ++i) {
        const QString candidate =
            (i == 0 ? workingFile : NumberedName(workingFile, i)) + QStringLiteral(".mp3");
        failure = RenameNoReplace(from.constData(), QFile::encodeName(candidate).constData());
        if (failure == 0)
            return candidate;
    }
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(failure));
    return {};
}

QString WithoutControls(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u == u'\t' || u == u'\n' || u == u'\r')
            out += QLatin1Char(' ');
        else if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) ||
                 (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F || u == 0x061C)
            continue;
        else
            out += c;
    }
    return out;
}

QString FitUtf8Bytes(const QString& name, int maxBytes)
{
    int bytes = 0;
    qsizetype end = 0;
    while (end < name.size()) {
        const char16_t unit = name[end].unicode();
        qsizetype units = 1;
        int size = unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        if (QChar::isHighSurrogate(unit) && end + 1 < name.size() &&
            QChar::isLowSurrogate(name[end + 1].unicode())) {
            units = 2;
            size = 4;
        }
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += units;
    }
    return name.left(end);
}

QString YouTubeWorkingName(const QString& rawTitle)
{
    const QString title = WithoutControls(rawTitle);
    qsizetype start = 0;
    while (start < title.size() && title[start] == QLatin1Char('.'))
        ++start;
    QString name = FitUtf8Bytes(title.mid(start), kMaxPageNameBytes);
    // A title cut in the middle of a surrogate pair loses the lone half.
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    return name;
}
