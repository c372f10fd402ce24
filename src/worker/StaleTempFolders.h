#pragma once

#include <QString>

// Each running engine keeps its page files and working files (a YouTube video can be
// hundreds of MB) in "Temp/<process id>-<n>/" of the save folder and removes them as its
// jobs end. The folder carries a marker file of ours, written when it is made, holding the
// process id: only a marked folder is ever removed, so a folder of the user's under Temp
// with a name of the same shape is left alone. Temp and the folders in it are used only
// when they are real folders: nothing is written or removed through a symbolic link.

// The marker's file name.
extern const char kTempMarkerName[];

// Makes "Temp/" of saveFolder (ending in "/") and the engine's folder name in it, with its
// marker, unless they are there. False when it cannot be done or Temp or the folder is not
// a real folder; error says why.
bool MakeEngineTempFolder(const QString& saveFolder, const QString& name, QString& error);

// Removes an engine's folder (a path ending in "/" or not) when nothing but its marker is
// in it.
void RemoveEngineTempFolderIfEmpty(const QString& folder);

// A process that crashed or was killed leaves its folder behind; the next start removes
// such folders: marked as ours, of a process that no longer runs, and untouched for a day,
// so a folder of a live process (in another process namespace, say, where its id means
// nothing here) is never taken from under it. Anything else under Temp is left alone, and a
// Temp that is a link is not looked into.
//
// Returns how many folders were removed.
int RemoveStaleTempFolders(const QString& saveFolder);
