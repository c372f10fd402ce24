#pragma once

#include <QString>

// Text from elsewhere (a track name from a page, a link, an error) made safe to print: every
// control character (C0 including CR and ESC, DEL, C1) becomes "?", so no text can move the
// cursor, clear the screen or retitle the terminal.
QString TerminalSafe(const QString& text);
