#include "CliCheck.h"

#include "CliDownloader.h"
#include "CliPeopleLocks.h"
#include "CliPrompts.h"
#include "TerminalText.h"
#include "base/IDesktop.h"
#include "base/TMessageQueue.h"
#include "base/TextHelpers.h"
#include "base/ThreadRegistry.h"
#include "base/WindowMessages.h"
#include "follow/TFollowChecks.h"
#include "follow/TFollowedPeople.h"
#include "follow/TFollowing.h"
#include "follow/TPeopleFile.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "net/THttpCli.h"
#include "worker/DownloadEngine.h"

#include <QCoreApplication>
#include <QItemSelectionModel>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage(const QString& what = QString())
{
    if (!what.isEmpty())
        std::fprintf(stderr, "quillbrook-cli: %s\n", qPrintable(what));
    std::fputs("Usage: quillbrook-cli check [NAME...] [--download]\n"
               "       quillbrook-cli check --daily\n",
               stderr);
    return kExitUsage;
}

// Nothing here opens windows.
class NoDesktop final : public IDesktop
{
public:
    void openUrl(const QString&) override {}
    void openFile(const QString&) override {}
    void revealFile(const QString&) override {}
    void openFolder(const QString&) override {}
    void setClipboardText(const QString&) override {}
};

} // namespace

int RunCheckCommand(const QStringList& args, bool terminal,
                    const std::function<void(std::function<void()>)>& installInterrupt)
{
    bool download = false;
    bool daily = false;
    QStringList names;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--download"))
            download = true;
        else if (arg == QLatin1String("--daily"))
            daily = true;
        else if (arg.startsWith(QLatin1Char('-')))
            return Usage(QStringLiteral("unknown option: ") + arg);
        else
            names.append(arg);
    }
    if (daily && (download || !names.isEmpty()))
        return Usage(QStringLiteral("--daily takes no names and no --download"));
    download = download || daily;

    // Held for the whole run.
    CliPeopleLocks locks;
    if (const int refused = locks.Take("Check them in its window"))
        return refused;

    TCliDownloader downloads(terminal);
    CliPrompts prompts;
    NoDesktop desktop;
    ListViewModel people({QStringLiteral("Auto Check"), QStringLiteral("Name"),
                          QStringLiteral("Tracks"), QStringLiteral("Downloads"),
                          QStringLiteral("Last check time")},
                         true);
    ListViewModel tracks({QStringLiteral("ID"), QStringLiteral("Title"), QStringLiteral("Duration"),
                          QStringLiteral("Size"), QStringLiteral("Created at"),
                          QStringLiteral("Downloaded at")});
    QItemSelectionModel peopleSelection(&people);
    QItemSelectionModel tracksSelection(&tracks);
    TFollowing following(people, peopleSelection, tracks, tracksSelection,
                         downloads.Engine().Intake(), downloads.Engine().Workers(), prompts,
                         desktop, TPeopleFile::DefaultPath());
    TFollowedPeople& store = following.FollowedPeople();
    TFollowChecks& checks = following.Checks();

    // As the window's first showing: the file read, the user list filled.
    following.FormShow();
    if (!following.File().LoadError().isEmpty())
        std::fprintf(stderr,
                     "%s did not load whole (%s); the users after the fault are "
                     "missing. It is copied to %s before it is saved again.\n",
                     qPrintable(following.File().Path()), qPrintable(following.File().LoadError()),
                     qPrintable(following.File().BadCopyPath()));

    int code = kExitOk;
    int queued = 0;
    if (daily) {
        queued = checks.AutoCheckPeople();
    } else {
        if (names.isEmpty()) {
            for (int id = 1; id <= store.FollowedPeopleCount(); ++id) {
                const auto user = store.Summary(id);
                if (user && user->status != PEOPLE_DELETED)
                    names.append(user->name);
            }
        }
        for (const QString& typed : names) {
            const QString name = TrimBlanksAndControls(typed);
            if (checks.QueueCheck(name, download)) {
                ++queued;
            } else {
                std::fprintf(stderr, "%s: not followed\n", qPrintable(TerminalSafe(name)));
                code = kExitFailed;
            }
        }
        downloads.Gui().Post(WM_CHECK_FOLLOWED);
    }
    if (queued == 0) {
        std::puts(daily ? "No followed user is due for its daily check."
                        : "No followed user to check.");
    } else {
        int failed = 0;
        bool interrupted = false;
        checks.OnCheckEnded = [&](const TCheckOutcome& o) {
            QStringList lines;
            if (o.replied)
                lines.append(
                    QStringLiteral("%1: %2 new track(s)%3")
                        .arg(o.name)
                        .arg(o.newPositions.size())
                        .arg(o.queuedJobs.empty()
                                 ? QString()
                                 : QStringLiteral(", %1 queued").arg(o.queuedJobs.size())));
            else
                lines.append(QStringLiteral("%1: check failed (%2); %3 new track(s), last check "
                                            "time kept")
                                 .arg(o.name, o.failure)
                                 .arg(o.newPositions.size()));
            failed += o.replied ? 0 : 1;
            const int id = store.GetPeopleArrayID(o.name);
            for (int position : o.newPositions) {
                if (const auto track = store.Track(id, position))
                    lines.append(QStringLiteral("  %1  %2").arg(track->t_id, track->t_title));
            }
            for (const QString& line : lines)
                downloads.Note(line);
            if (!download && !checks.Busy())
                QCoreApplication::exit(0);
        };
        installInterrupt([&] {
            interrupted = true;
            checks.CancelWaiting();
            // Ends the running check, its reading of the reply included.
            checks.Request().AbortRequest([](THttpCli& client) { client.Abort(); });
            if (download)
                downloads.Interrupt();
            // Between two checks no check is left to end the run.
            else if (!checks.Busy())
                QCoreApplication::exit(0);
        });
        if (download) {
            downloads.SetBusy([&checks] { return checks.Busy(); });
            downloads.Start();
        }
        QCoreApplication::exec();
        if (failed > 0 || interrupted || (download && downloads.ExitCode() != 0))
            code = kExitFailed;
    }

    const QString error = following.File().WritePeopleInfo(store);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "The followed users could not be saved to %s: %s\n",
                     qPrintable(following.File().Path()), qPrintable(error));
        code = kExitFailed;
    }
    std::fflush(nullptr);
    // A thread of ours still running (a stopped download ending) uses what returning
    // would destroy.
    if (ThreadRegistry::LiveCount() > 0)
        std::_Exit(code);
    return code;
}
