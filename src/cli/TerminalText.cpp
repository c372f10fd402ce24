#include "TerminalText.h"

#include <QByteArray>
#include <QList>

#include <cwchar>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int charWidth(char32_t c)
{
    const int w = ::wcwidth(static_cast<wchar_t>(c));
    return w < 0 ? 1 : w;
}

// The text's code points with their widths.
QList<std::pair<QString, int>> cells(const QString& text)
{
    QList<std::pair<QString, int>> out;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QString piece = text.mid(i, pair ? 2 : 1);
        out.append({piece, charWidth(piece.toUcs4().value(0))});
        i += pair ? 2 : 1;
    }
    return out;
}

QString pad(QString text, int used, int width)
{
    return used < width ? text + QString(width - used, QLatin1Char(' ')) : text;
}

} // namespace

QString TerminalSafe(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            c = QLatin1Char('?');
    }
    return out;
}

int TerminalWidth(const QString& text)
{
    int width = 0;
    for (const auto& [piece, w] : cells(text))
        width += w;
    return width;
}

QString FitEnd(const QString& text, int width)
{
    if (width <= 0)
        return QString();
    const int total = TerminalWidth(text);
    if (total <= width)
        return pad(text, total, width);
    QString out;
    int used = 0;
    for (const auto& [piece, w] : cells(text)) {
        if (used + w > width - 1)
            break;
        out += piece;
        used += w;
    }
    return pad(out + QChar(0x2026), used + 1, width);
}

QString FitMiddle(const QString& text, int width)
{
    if (width <= 0)
        return QString();
    const int total = TerminalWidth(text);
    if (total <= width)
        return pad(text, total, width);
    if (width < 3)
        return FitEnd(text, width);
    const auto parts = cells(text);
    const int room = width - 1; // one column for the ellipsis
    const int headRoom = (room + 1) / 2;
    const int tailRoom = room - headRoom;
    QString head;
    int headUsed = 0;
    for (const auto& [piece, w] : parts) {
        if (headUsed + w > headRoom)
            break;
        head += piece;
        headUsed += w;
    }
    QString tail;
    int tailUsed = 0;
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        if (tailUsed + parts[i].second > tailRoom)
            break;
        tail.prepend(parts[i].first);
        tailUsed += parts[i].second;
    }
    return pad(head + QChar(0x2026) + tail, headUsed + 1 + tailUsed, width);
}

int TerminalColumns(int fallback)
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : fallback;
}
