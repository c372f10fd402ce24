#pragma once

#include <QString>

// The running program's version ("2.8"): what the about box shows, what the update check
// compares against and what `quillbrook-cli version` prints. It is the project version of
// the build, so there is one place to change it.
QString ProgramVersion();
