#pragma once

#include <QStringList>

// quillbrook-cli follow add|remove|list|auto-check: the followed users of the window, read
// from and written to the same file. Refuses (exit code 3) while the window runs: it owns
// the file until it closes and would overwrite any change made here.
int RunFollowCommand(const QStringList& args, bool terminal);
