#pragma once

#include <QString>

namespace qbtest {

// Points HOME, the XDG folders and Qt's standard paths at a fresh temporary folder, so no
// test ever reads or writes the real documents folder, settings or runtime folder.
void isolateUserFolders();

// The isolated home folder of this test run.
QString testHome();

// Folder of the shipped language files in the source tree.
QString sourceLanguageDir();

} // namespace qbtest
