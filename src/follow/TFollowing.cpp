#include "TFollowing.h"

#include "TFollowChecks.h"
#include "TFollowCommands.h"
#include "TFollowView.h"
#include "TFollowedPeople.h"
#include "TPeopleFile.h"
#include "base/IPrompts.h"
#include "base/TMessageQueue.h"
#include "worker/WorkerContext.h"

#include <exception>

namespace {

QString Copy(const QString& text)
{
    return QString(text.unicode(), text.size());
}

} // namespace

TFollowing::TFollowing(ListViewModel& people, QItemSelectionModel& peopleSelection,
                       ListViewModel& tracks, QItemSelectionModel& tracksSelection,
                       TJobIntake intake, TWorkerContext& workers, IPrompts& prompts,
                       IDesktop& desktop, const QString& filePath)
    : m_gui(intake.gui), m_prompts(prompts), m_store(std::make_unique<TFollowedPeople>()),
      m_file(std::make_unique<TPeopleFile>(filePath)),
      m_view(std::make_unique<TFollowView>(*m_store, people, peopleSelection, tracks,
                                           tracksSelection)),
      m_commands(std::make_unique<TFollowCommands>(*m_view, intake, prompts, desktop)),
      m_checks(std::make_unique<TFollowChecks>(*m_view, intake))
{
    m_checks->Connect(m_gui);
    workers.followedTrackDownloaded = [this](const QString& user, const QString& track,
                                             const QString& file) {
        FollowedTrackDownloaded(user, track, file);
    };
}

TFollowing::~TFollowing() = default;

void TFollowing::FormShow()
{
    m_file->ReadPeopleInfo(*m_store);
    m_view->ShowPeopleList();
}

QString TFollowing::SavePeople()
{
    QString error;
    try {
        error = m_file->WritePeopleInfo(*m_store);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("unknown error");
    }
    if (error.isEmpty())
        return {};
    return QStringLiteral("The followed users could not be saved to %1:\n%2")
        .arg(m_file->Path(), error);
}

bool TFollowing::FormCloseQuery(bool closing)
{
    const QString text = SavePeople();
    if (text.isEmpty())
        return closing;
    if (!closing) {
        m_prompts.warning(text);
        return false;
    }
    return m_prompts.askYesNo(
        text + QStringLiteral("\n\nExit anyway? Changes to the followed users since the last "
                              "save will be lost."));
}

void TFollowing::FollowedTrackDownloaded(const QString& userName, const QString& trackId,
                                         const QString& localFile)
{
    m_store->MarkTrackDownloaded(userName, trackId, localFile);
    TFollowView* view = m_view.get();
    m_gui.PostTask([view, user = Copy(userName), track = Copy(trackId)] {
        view->FollowedDownloadFinished(user, track);
    });
}
