#pragma once

#include <QString>

// Folder paths of the program always end in "/".
QString WithTrailingSlash(const QString& path);

// A save folder as it is used and stored: "~" and "~/" expanded to the home folder, made
// clean and ending in one "/". Empty when the text is not an absolute path.
QString NormalSaveFolder(const QString& typed);

// The per-user data folder: the documents folder, then "Quillbrook/".
QString DataDirFrom(const QString& documentsFolder);

// The folder of the executable, from its full path.
QString AppDirFrom(const QString& executablePath);

// The user's documents folder as the desktop reports it.
QString DocumentsFolder();

// Full path of the running executable (falls back to argv[0]).
QString ExecutablePath(const char* argv0);
