#pragma once

#include <QString>

// Trims characters with codes up to 32 (blanks and control characters) from both ends.
QString TrimBlanksAndControls(const QString& text);

// The part after the last "/" that comes before the final character: a file path gives its
// file name, a folder path ending in "/" its last folder name with the "/".
QString LastPathPart(const QString& path);
