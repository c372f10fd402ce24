#pragma once

#include <QString>

// The FFmpeg libraries of the process. They are loaded once, from one folder, and stay loaded
// until the process ends; every encoder and decoder shares them.
class TAVLibrary
{
public:
    // Loads the seven libraries from folder in their fixed order, checks their major versions
    // against the headers the component was built with and resolves every function. All or
    // nothing: on any failure the handles taken so far are released, error names the file,
    // the folder and what failed ("libswresample.so.4 not found in /opt/q/LibAV") and the
    // result is false. Returns true at once when already loaded.
    static bool Load(const QString& folder, QString& error);

    static bool Loaded();

    // File names of the libraries, in load order.
    static const char* const* FileNames();
};
