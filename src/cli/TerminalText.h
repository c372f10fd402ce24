#pragma once

#include <QString>

// Text from elsewhere (a track name from a page, a link, an error) made safe to print: every
// control character (C0 including CR and ESC, DEL, C1) becomes "?", so no text can move the
// cursor, clear the screen or retitle the terminal.
QString TerminalSafe(const QString& text);

// Columns the text takes on a terminal (wide characters count two, combining marks none).
int TerminalWidth(const QString& text);
// The text in at most width columns: cut in the middle with "…" when longer, so its start
// and its end (a link's site and its track) both stay; padded with blanks to width.
QString FitMiddle(const QString& text, int width);
// The same, cut at the end.
QString FitEnd(const QString& text, int width);
// Columns of the terminal on standard output; fallback when it is not one.
int TerminalColumns(int fallback = 80);
