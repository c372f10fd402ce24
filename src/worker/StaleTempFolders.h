#pragma once

#include <QString>

// Each running engine keeps its page files and working files (a YouTube video can be
// hundreds of MB) in "Temp/<process id>-<n>/" of the save folder and removes them as its
// jobs end. A process that crashed or was killed leaves its folder behind; the next start
// removes such folders: of a process that no longer runs, and untouched for a day, so a
// folder of a live process (in another process namespace, say, where its id means nothing
// here) is never taken from under it. Anything else under Temp is left alone.
//
// Returns how many folders were removed.
int RemoveStaleTempFolders(const QString& saveFolder);
