#include "MainController.h"

#include "base/IDesktop.h"
#include "base/IPrompts.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "convert/TConvertDriver.h"
#include "follow/TFollowChecks.h"
#include "follow/TFollowing.h"
#include "follow/TPeopleFile.h"
#include "jobs/DownloadListCommands.h"
#include "jobs/DownloadProgress.h"
#include "jobs/DownloadState.h"
#include "jobs/DownloadTotals.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "update/TVersionCheck.h"
#include "update/TVersionNotices.h"
#include "worker/DownloadEngine.h"
#include "worker/WorkerContext.h"

#include <QItemSelectionModel>
#include <QTimer>

namespace {

QStringList texts(std::initializer_list<const char*> keys)
{
    QStringList out;
    for (const char* key : keys)
        out.append(Lang(key));
    return out;
}

QStringList defaults(std::initializer_list<const char*> english)
{
    QStringList out;
    for (const char* text : english)
        out.append(QString::fromUtf8(text));
    return out;
}

} // namespace

MainController::MainController(IPrompts& prompts, IDesktop& desktop, QObject* parent)
    : QObject(parent), m_prompts(prompts), m_desktop(desktop),
      m_messages(std::make_unique<TMessageQueue>()),
      m_downloadList(std::make_unique<ListViewModel>(defaults({"File", "Size", "Status", "URL"}))),
      m_peopleList(std::make_unique<ListViewModel>(
          defaults({"Auto Check", "Name", "Tracks", "Downloads", "Last check time"}), true)),
      m_tracksList(std::make_unique<ListViewModel>(
          defaults({"ID", "Title", "Duration", "Size", "Created at", "Downloaded at"}))),
      m_downloadSelection(std::make_unique<QItemSelectionModel>(m_downloadList.get())),
      m_peopleSelection(std::make_unique<QItemSelectionModel>(m_peopleList.get())),
      m_tracksSelection(std::make_unique<QItemSelectionModel>(m_tracksList.get())),
      m_engine(std::make_unique<TDownloadEngine>(*m_downloadList, *m_messages)),
      m_listCommands(std::make_unique<TDownloadListCommands>(m_engine->State(), m_engine->Rows(),
                                                             *m_downloadSelection, *m_messages,
                                                             m_prompts, m_desktop)),
      m_following(std::make_unique<TFollowing>(
          *m_peopleList, *m_peopleSelection, *m_tracksList, *m_tracksSelection, m_engine->Intake(),
          m_engine->Workers(), m_prompts, m_desktop, TPeopleFile::DefaultPath())),
      m_timer(std::make_unique<QTimer>()),
      m_versionNotices(std::make_unique<TVersionNotices>(m_prompts, m_desktop)),
      m_versionCheck(std::make_unique<TVersionCheck>(*m_messages)),
      m_totals(std::make_unique<DownloadTotals>(m_engine->State(), *m_downloadList)),
      m_converter(std::make_unique<TConvertDriver>(m_engine->State(), *m_downloadList, *m_messages,
                                                   m_prompts))
{
    m_converter->Connect();
    m_downloadList->setToolTipSource([this](int row, int column) {
        return DownloadToolTip(m_engine->State(), *m_downloadList, row, column);
    });
    m_versionCheck->OnReport = [this](const TVersionOutcome& outcome) {
        m_versionNotices->Report(outcome);
    };
    m_versionCheck->Connect();
    m_timer->setInterval(1000);
    connect(m_timer.get(), &QTimer::timeout, this, &MainController::Timer1Timer);
    m_timer->start();
}

TDownloadState& MainController::Downloads()
{
    return m_engine->State();
}

int MainController::LiveWorkers() const
{
    return m_engine->LiveWorkers();
}

void MainController::Timer1Timer()
{
    ::Timer1Timer(m_engine->State(), *m_downloadList);
    m_totals->Tick();
    Q_EMIT ProgressRefreshed();
}

TWorkerContext& MainController::Workers()
{
    return m_engine->Workers();
}

MainController::~MainController() = default;

void MainController::FormShow()
{
    m_following->FormShow();
    m_engine->State().MaxDownloads.store(10);
    // A silent check at start-up; it runs on its own thread and never delays the window.
    m_messages->Post(WM_CHECK_VERSION, 0);
    // Last: the daily check of followed users, with the list filled and the limit set.
    m_following->Checks().AutoCheckPeople();
}

void MainController::CheckForUpdates()
{
    m_messages->Post(WM_CHECK_VERSION, 1);
}

bool MainController::FormCloseQuery()
{
    const bool closing = m_listCommands->FormCloseQuery();
    const bool close = m_following->FormCloseQuery(closing);
    // Conversions go on while the window stays open.
    if (close)
        m_converter->StopAll();
    return close;
}

bool MainController::CloseAfterFailedSave(const QString& failure)
{
    return m_prompts.askYesNo(failure + QStringLiteral("\n\nExit anyway?"));
}

QString MainController::EndSession()
{
    const QString error = m_following->SavePeople();
    m_converter->StopAll();
    return error;
}

void MainController::ApplyListHeaders()
{
    m_downloadList->setHeaders(texts({"String1_9", "String1_10", "String1_11", "String1_12"}));
    m_peopleList->setHeaders(
        texts({"String1_31", "String1_32", "String1_33", "String1_34", "String1_35"}));
    m_tracksList->setHeaders(texts(
        {"String1_36", "String1_37", "String1_38", "String1_39", "String1_40", "String1_41"}));
}

void MainController::OpenOnlineHelp()
{
    m_desktop.openUrl(Hosts().makerPage(QStringLiteral("/support.htm")));
}

void MainController::OpenMoreTools()
{
    m_desktop.openUrl(Hosts().makerPage(QStringLiteral("/inkwell-recorder.htm")));
}

void MainController::OpenExplore()
{
    m_desktop.openUrl(QStringLiteral("https://") + Hosts().SoundCloudWeb +
                      QStringLiteral("/explore"));
}

void MainController::OpenFollowHelp()
{
    m_desktop.openUrl(Hosts().makerPage(QStringLiteral("/how-to-follow-soundcloud-user.htm")));
}

QString MainController::MoreToolsCaption()
{
    return QStringLiteral("Inkwell Recorder");
}
