#include "TVersionCheck.h"

#include "TCheckNewVerThread.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/WindowMessages.h"
#include "net/THttpCli.h"

#include <QCoreApplication>
#include <QTimer>

// One check as the GUI thread sees it; owner is cleared (GUI thread) when the check no
// longer belongs to anyone.
struct TVersionCheck::TRun
{
    std::shared_ptr<TCheckNewVerThread::TShared> shared =
        std::make_shared<TCheckNewVerThread::TShared>();
    TVersionCheck* owner = nullptr;
};

namespace {
constexpr std::chrono::milliseconds kShutdownWait{2000};

QString deepCopy(const QString& s)
{
    return QString(s.unicode(), s.size());
}
} // namespace

TVersionCheck::TVersionCheck(TMessageQueue& gui)
    : m_gui(gui), m_deadline(std::make_unique<QTimer>())
{
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(kDefaultDeadline);
    QObject::connect(m_deadline.get(), &QTimer::timeout, m_deadline.get(),
                     [this] { deadlinePassed(); });
    // The check's thread gets the chance to remove its file before the process ends.
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, m_deadline.get(),
                         [this] { Shutdown(); });
}

TVersionCheck::~TVersionCheck()
{
    Shutdown();
}

void TVersionCheck::Connect()
{
    m_gui.SetHandler(WM_CHECK_VERSION, [this](int wParam) { WMCheckVersion(wParam); });
}

void TVersionCheck::SetDeadline(std::chrono::milliseconds deadline)
{
    m_deadline->setInterval(deadline);
}

void TVersionCheck::WMCheckVersion(int wParam)
{
    const int mode = wParam & 0xFF;
    if (m_VersionCheckRunning) {
        // One check at a time; a request from the user makes the running one report.
        if (mode == 1)
            m_GrabMode = 1;
        return;
    }
    m_VersionCheckRunning = true;
    m_GrabMode = mode;
    m_LatestVersionText.clear();

    auto run = std::make_shared<TRun>();
    run->owner = this;
    std::weak_ptr<TRun> weak = run;
    TMessageQueue* gui = &m_gui;
    run->shared->SetReceiver([gui, weak](TVersionOutcome outcome) {
        TVersionOutcome copy{outcome.kind, deepCopy(outcome.version), deepCopy(outcome.reason)};
        gui->PostTask([weak, copy] {
            if (const std::shared_ptr<TRun> r = weak.lock(); r && r->owner)
                r->owner->finished(r, copy);
        });
    });
    m_current = run;

    const auto deadlineSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(m_deadline->intervalAsDuration());
    TCheckNewVerThread::TRequest request{Hosts().makerPage(QStringLiteral("/ver.ini")),
                                         AppSettings().DataDir(),
                                         std::max(std::chrono::seconds(1), deadlineSeconds)};
    m_deadline->start();
    try {
        TCheckNewVerThread::Start(run->shared, request);
    } catch (const std::exception& e) {
        run->shared->Detach();
        finished(run, {TVersionOutcome::Failed, {}, QString::fromLocal8Bit(e.what())});
    }
}

void TVersionCheck::deadlinePassed()
{
    if (!m_current)
        return;
    m_current->shared->deadlinePassed.store(true);
    m_current->shared->request.WithClient([](THttpCli& client) { client.Abort(); });
}

void TVersionCheck::finished(const std::shared_ptr<TRun>& run, const TVersionOutcome& outcome)
{
    if (run != m_current)
        return;
    m_current.reset();
    run->owner = nullptr;
    m_deadline->stop();
    m_VersionCheckRunning = false;
    m_LatestVersionText = outcome.version;
    const bool report = outcome.kind == TVersionOutcome::Newer || m_GrabMode == 1;
    if (report && OnReport)
        OnReport(outcome);
}

void TVersionCheck::Shutdown()
{
    m_deadline->stop();
    const std::shared_ptr<TRun> run = std::move(m_current);
    m_current.reset();
    m_VersionCheckRunning = false;
    if (!run)
        return;
    run->owner = nullptr;
    run->shared->Detach();
    run->shared->stopped.store(true);
    run->shared->request.WithClient([](THttpCli& client) { client.Abort(); });
    run->shared->Ended().wait_for(kShutdownWait);
}
