#pragma once

#include "base/IDesktop.h"
#include "base/IPrompts.h"

class QWidget;

// Message boxes for the core's questions and messages.
class QtPrompts final : public IPrompts
{
public:
    explicit QtPrompts(QWidget* parentWindow = nullptr) : m_parent(parentWindow) {}
    void setParentWindow(QWidget* w) { m_parent = w; }

    bool askYesNo(const QString& text) override;
    void information(const QString& text) override;
    void warning(const QString& text) override;

private:
    QWidget* m_parent;
};

// Pages, files and folders through the desktop; the clipboard.
class QtDesktop final : public IDesktop
{
public:
    void openUrl(const QString& address) override;
    void openFile(const QString& path) override;
    // Asks the file manager to show the file selected; opens its folder when none answers.
    void revealFile(const QString& path) override;
    void openFolder(const QString& path) override;
    void setClipboardText(const QString& text) override;
};
