#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file with new bytes as one step: the bytes go unbuffered into a temporary file
// beside it, are flushed to the disk, and only then take the file's place. Any failure (a
// full disk, a write error, a folder that cannot be written) leaves the old file whole.
// Returns an empty text on success, else the reason.
QString SaveFileWhole(const QString& path, const QByteArray& bytes);
