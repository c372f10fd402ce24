#include "TVersionNotices.h"

#include "TVersionOutcome.h"
#include "base/IDesktop.h"
#include "base/IPrompts.h"
#include "base/ServiceHosts.h"
#include "language/LangStrings.h"

TVersionNotices::TVersionNotices(IPrompts& prompts, IDesktop& desktop)
    : m_prompts(prompts), m_desktop(desktop)
{
}

void TVersionNotices::Report(const TVersionOutcome& outcome)
{
    switch (outcome.kind) {
    case TVersionOutcome::Newer:
        WMNewVersion(outcome.version);
        break;
    case TVersionOutcome::Latest:
        WMLatestVersion();
        break;
    case TVersionOutcome::Failed:
        VersionCheckFailed(outcome.reason);
        break;
    }
}

void TVersionNotices::WMNewVersion(const QString& version)
{
    const QString question =
        Lang("Msg1_3") + QLatin1Char(' ') + version + QLatin1Char('\n') + Lang("Msg1_4");
    if (m_prompts.askYesNo(question))
        m_desktop.openUrl(Hosts().makerPage(QStringLiteral("/download.htm")));
}

void TVersionNotices::WMLatestVersion()
{
    m_prompts.information(Lang("Msg1_1"));
}

void TVersionNotices::VersionCheckFailed(const QString& reason)
{
    m_prompts.warning(Lang("Msg6_1") + QLatin1Char('\n') + reason);
}
