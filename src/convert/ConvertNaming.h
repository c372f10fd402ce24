#pragma once

#include <QString>

#include <functional>

// The name of a converted file: folder + the input's file name without its media extension
// (".mp4", ".webm" ... in any case; a dot in a title stays) + "_(new)" + extension, or "_(new_" + n
// + ")" for the first n from 1 whose file does not exist. The name part is cut, at a code-point
// boundary, so that the whole file name fits in 255 bytes of UTF-8. folder ends in "/".
QString ConvertedFileName(const QString& folder, const QString& inputFileName,
                          const QString& extension, bool overwrite,
                          const std::function<bool(const QString&)>& exists);
