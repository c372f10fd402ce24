#pragma once

#include <QStringList>

#include <functional>

// quillbrook-cli check [NAME...] [--download] | check --daily: checks followed users through
// the API as the window does, prints the new tracks found per user and, when asked, downloads
// what the checks queued (the newest N or all, per the settings) with the live table of
// download. Updates the window's followed-user file when done; refuses (exit code 3) while
// the window runs. installInterrupt(onInterrupt) hooks Ctrl+C for the run.
int RunCheckCommand(const QStringList& args, bool terminal,
                    const std::function<void(std::function<void()>)>& installInterrupt);
