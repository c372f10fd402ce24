#pragma once

#include <QString>

// How core code asks or tells the user something. The desktop program shows message
// boxes; tests answer with their own implementation.
class IPrompts
{
public:
    virtual ~IPrompts() = default;
    virtual bool askYesNo(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
};

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
