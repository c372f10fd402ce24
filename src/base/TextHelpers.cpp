#include "TextHelpers.h"

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString LastPathPart(const QString& path)
{
    if (path.size() < 2)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), path.size() - 2);
    return slash < 0 ? path : path.mid(slash + 1);
}
