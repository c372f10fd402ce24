#pragma once

#include <QString>

class TTarnMainWin;

// The main window's layout kept between runs: place, size and maximised state, the two
// splitters, the column widths of the three lists, and the toolbar and grid-line toggles.
// They live in the settings group "Window", apart from the program's own settings, which
// this never reads or writes.
class WindowMemory
{
public:
    // Place, size, state and the two toggles; before the window is first shown. False when
    // no place and size were kept (or they were unreadable): the window takes its design ones.
    static bool RestoreFrame(TTarnMainWin& window);
    // Splitter positions and column widths; once the window has laid out its panels.
    static void RestoreLists(TTarnMainWin& window);
    // Returns an empty text, or why the layout could not be saved.
    static QString Save(const TTarnMainWin& window);
};
