#pragma once

#include <QString>

class IDesktop;
class IPrompts;
struct TVersionOutcome;

// What the window tells the user about a version check: the new-version question (Yes
// opens the download page), the "latest version" notice and the failure message.
class TVersionNotices
{
public:
    TVersionNotices(IPrompts& prompts, IDesktop& desktop);

    void Report(const TVersionOutcome& outcome);

    void WMNewVersion(const QString& version);
    void WMLatestVersion();
    void VersionCheckFailed(const QString& reason);

private:
    IPrompts& m_prompts;
    IDesktop& m_desktop;
};
