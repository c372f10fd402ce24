#include "TFollowCommands.h"

#include "TFollowView.h"
#include "TFollowedPeople.h"
#include "base/IDesktop.h"
#include "base/IPrompts.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/TextHelpers.h"
#include "base/WindowMessages.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"

#include <QFileInfo>
#include <QUrl>

namespace {

bool IsWebAddress(const QString& address)
{
    return address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

TFollowCommands::TFollowCommands(TFollowView& view, TJobIntake intake, IPrompts& prompts,
                                 IDesktop& desktop)
    : m_view(view), m_intake(intake), m_prompts(prompts), m_desktop(desktop)
{
}

QString TFollowCommands::UserPage(const QString& name)
{
    // The name is one path segment of the address, whatever it holds.
    return QStringLiteral("https://") + Hosts().SoundCloudWeb + QLatin1Char('/') +
           QString::fromLatin1(QUrl::toPercentEncoding(name.trimmed()));
}

void TFollowCommands::ButtAddPeopleClick(const QString& editText)
{
    const QString name = TrimBlanksAndControls(editText);
    if (name.isEmpty())
        return;
    if (m_view.Store().AddPeople(name) == 0) {
        m_prompts.information(Lang("Msg1_10"));
        return;
    }
    m_view.AppendPeopleRow(name);
}

void TFollowCommands::ButtDeletePeopleClick()
{
    if (!m_prompts.askYesNo(Lang("Msg1_11")))
        return;
    ListViewModel& list = m_view.PeopleList();
    const QList<int> rows = m_view.SelectedPeopleRows();
    TDownloadState& jobs = m_intake.state;
    const auto activeJobs = [&jobs](const QString& name) {
        return jobs.CountActiveJobsOfUser(name);
    };
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        const QString name = list.text(*row, TFollowView::NameColumn);
        if (m_view.Store().DeletePeople(name, activeJobs) == TFollowedPeople::DeleteDone)
            list.removeItem(*row);
    }
}

QList<int> TFollowCommands::SelectedTrackPositions(int peopleId) const
{
    QList<int> positions;
    const ListViewModel& tracks = m_view.TracksList();
    for (int row : m_view.SelectedTrackRows()) {
        // A row of another user's tracks queues nothing.
        const ListItem& item = tracks.item(row);
        if (item.owner == peopleId)
            positions.append(item.data);
    }
    return positions;
}

void TFollowCommands::ButtDownloadTrackClick()
{
    if (const int id = m_view.SingleSelectedPeople(); id > 0) {
        TFollowedPeople& store = m_view.Store();
        const auto user = store.Summary(id);
        for (int position : SelectedTrackPositions(id)) {
            const auto track = store.Track(id, position);
            if (!user || !track)
                continue;
            // The link is taken as a pasted one would be; the stored address stays.
            const QString link = AcceptedDialogLink(track->t_permalink_url);
            if (!link.isEmpty())
                AddDownloadJob(m_intake, link, true, user->name, track->t_id);
        }
    }
    m_intake.gui.Post(WM_START_JOBS);
}

void TFollowCommands::PMOpenuserLinkClick()
{
    const ListViewModel& list = m_view.PeopleList();
    for (int row : m_view.SelectedPeopleRows())
        m_desktop.openUrl(UserPage(list.text(row, TFollowView::NameColumn)));
}

void TFollowCommands::PMCopyTrackInfoClick()
{
    const ListViewModel& tracks = m_view.TracksList();
    QString text;
    for (int row : m_view.SelectedTrackRows()) {
        for (int column = TFollowView::IdColumn; column <= TFollowView::DownloadedColumn; ++column)
            text += tracks.text(row, column) + QStringLiteral("\r\n");
    }
    m_desktop.setClipboardText(text);
}

void TFollowCommands::PMOpenTrackLinkClick()
{
    const int id = m_view.SingleSelectedPeople();
    if (id == 0)
        return;
    for (int position : SelectedTrackPositions(id)) {
        const auto track = m_view.Store().Track(id, position);
        if (track && IsWebAddress(track->t_permalink_url))
            m_desktop.openUrl(track->t_permalink_url);
    }
}

void TFollowCommands::PMTrackListOpenfolderClick()
{
    const int id = m_view.SingleSelectedPeople();
    if (id == 0)
        return;
    const QList<int> positions = SelectedTrackPositions(id);
    if (positions.isEmpty())
        return;
    const auto track = m_view.Store().Track(id, positions.front());
    if (!track)
        return;
    const QString path = track->t_Downloaded_LocalFile;
    if (!path.isEmpty() && QFileInfo(path).isFile())
        m_desktop.revealFile(path);
    else
        m_prompts.information(QStringLiteral("Can not find the downloaded file:") + path);
}
