#pragma once

#include "TVersionOutcome.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QTimer;
class TMessageQueue;

// The GUI-thread side of the version check: WM_CHECK_VERSION starts one check at a time,
// the deadline ends a check that takes too long, and the outcome comes back as one task on
// the GUI thread. A check started by the program (wParam 0) reports only a newer version;
// one the user asked for (wParam 1) reports every outcome. A request from the user while a
// silent check runs makes that check report, so the click is not lost.
class TVersionCheck
{
public:
    static constexpr std::chrono::milliseconds kDefaultDeadline{30000};

    // Create on the GUI thread.
    explicit TVersionCheck(TMessageQueue& gui);
    ~TVersionCheck();
    TVersionCheck(const TVersionCheck&) = delete;
    TVersionCheck& operator=(const TVersionCheck&) = delete;

    // Registers the WM_CHECK_VERSION handler.
    void Connect();

    void WMCheckVersion(int wParam);

    bool VersionCheckRunning() const { return m_VersionCheckRunning; }
    // The version of the last finished check; empty while a check runs.
    QString LatestVersionText() const { return m_LatestVersionText; }

    // Told (GUI thread) of the one outcome a check reports, if any.
    std::function<void(const TVersionOutcome&)> OnReport;

    // How long a whole check may take (the default suits people; tests shorten it).
    void SetDeadline(std::chrono::milliseconds deadline);

    // Ends a running check and waits briefly for its thread to remove its file. Called when
    // the program ends; nothing is reported afterwards.
    void Shutdown();

private:
    struct TRun;
    void finished(const std::shared_ptr<TRun>& run, const TVersionOutcome& outcome);
    void deadlinePassed();

    TMessageQueue& m_gui;
    std::unique_ptr<QTimer> m_deadline;
    std::shared_ptr<TRun> m_current;
    bool m_VersionCheckRunning = false;
    int m_GrabMode = 0;
    QString m_LatestVersionText;
};
