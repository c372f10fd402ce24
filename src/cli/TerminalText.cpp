#include "TerminalText.h"

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
