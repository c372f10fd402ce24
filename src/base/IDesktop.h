#pragma once

#include <QString>

// How core code hands things to the desktop: pages, files, folders and the clipboard.
class IDesktop
{
public:
    virtual ~IDesktop() = default;
    virtual void openUrl(const QString& address) = 0;
    virtual void openFile(const QString& path) = 0;
    virtual void revealFile(const QString& path) = 0;
    virtual void openFolder(const QString& path) = 0;
    virtual void setClipboardText(const QString& text) = 0;
};
