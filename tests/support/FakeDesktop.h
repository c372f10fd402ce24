#pragma once

#include "base/IDesktop.h"
#include "base/IPrompts.h"

#include <QStringList>

#include <deque>

// Records what the core hands to the desktop instead of opening anything.
class FakeDesktop final : public IDesktop
{
public:
    QStringList opened;   // addresses
    QStringList files;    // files opened
    QStringList revealed; // files shown in the file manager
    QStringList folders;  // folders opened
    QString clipboard;

    void openUrl(const QString& address) override { opened.append(address); }
    void openFile(const QString& path) override { files.append(path); }
    void revealFile(const QString& path) override { revealed.append(path); }
    void openFolder(const QString& path) override { folders.append(path); }
    void setClipboardText(const QString& text) override { clipboard = text; }
};

// Answers questions from a script and records every text shown.
class FakePrompts final : public IPrompts
{
public:
    std::deque<bool> answers; // next answers to yes/no questions; No when empty
    QStringList questions;
    QStringList messages;

    bool askYesNo(const QString& text) override
    {
        questions.append(text);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void information(const QString& text) override { messages.append(text); }
    void warning(const QString& text) override { messages.append(text); }
};
