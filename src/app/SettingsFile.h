#pragma once

#include <QString>

#include <functional>

class QSettings;

// The program's settings file: QSettings in the native format, user scope, organisation
// "Quillbrook". Read it with QSettings; change it only through ChangeSettingsFile, since
// QSettings' own save can put a short file in place on a full disk.
QString SettingsFilePath();

// Applies the change to a copy of the file, checks that the copy reads back as written,
// and then replaces the file whole (SaveFileWhole). On any failure the file stays as it
// was. Returns an empty text on success, else the reason.
QString ChangeSettingsFile(const std::function<void(QSettings&)>& change);
