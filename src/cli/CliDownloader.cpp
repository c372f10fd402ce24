#include "CliDownloader.h"

#include "CliPrompts.h"
#include "TerminalText.h"

#include "base/AppSettings.h"
#include "base/TMessageQueue.h"
#include "convert/TConvertDriver.h"
#include "jobs/DownloadProgress.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/JobEndReason.h"
#include "jobs/LinkIntake.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "worker/DownloadEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <cstring>

namespace {

const char* statusWord(int status)
{
    switch (status) {
    case JOB_DOWNLOADING:
        return "downloading";
    case JOB_FINISHED:
        return "finished";
    case JOB_QUEUED:
        return "queued";
    default:
        return "stopped";
    }
}

// What the table shows for a job: a finished YouTube download goes on as a conversion.
const char* stateWord(const TDownloadJobs& job)
{
    switch (job.t_ConvertStatus.load()) {
    case CONVERT_WAITING:
    case CONVERT_RUNNING:
        return "converting";
    case CONVERT_FAILED:
        return "failed";
    default:
        return statusWord(job.t_Status.load());
    }
}

// Saved: a finished download, and for a YouTube one its finished conversion.
bool saved(const TDownloadJobs& job)
{
    const int convert = job.t_ConvertStatus.load();
    return job.t_Status.load() == JOB_FINISHED &&
           (convert == CONVERT_NONE || convert == CONVERT_DONE);
}

// A link as a row's name until the job has a file: without its scheme, which every link
// shares.
QString linkName(const QString& link)
{
    for (const char* scheme : {"http://", "https://"}) {
        if (link.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return link.mid(qsizetype(std::strlen(scheme)));
    }
    return link;
}

} // namespace

TCliDownloader::TCliDownloader(bool liveTable, QObject* parent)
    : QObject(parent), m_live(liveTable), m_gui(std::make_unique<TMessageQueue>()),
      m_list(std::make_unique<ListViewModel>(QStringList{Lang("String1_9"), Lang("String1_10"),
                                                         Lang("String1_11"), Lang("String1_12")})),
      m_engine(std::make_unique<TDownloadEngine>(*m_list, *m_gui)),
      m_prompts(std::make_unique<CliPrompts>()),
      m_converter(std::make_unique<TConvertDriver>(m_engine->State(), *m_list, *m_gui, *m_prompts)),
      m_timer(std::make_unique<QTimer>())
{
    m_converter->Connect();
    m_engine->State().MaxDownloads = 10;
    connect(m_timer.get(), &QTimer::timeout, this, &TCliDownloader::tick);
}

TCliDownloader::~TCliDownloader() = default;

int TCliDownloader::LiveWorkers() const
{
    return m_engine->LiveWorkers();
}

int TCliDownloader::Add(const QStringList& links)
{
    int added = 0;
    for (const QString& raw : links) {
        const QString link = AcceptedDialogLink(raw);
        if (link.isEmpty()) {
            std::fprintf(stderr, "skipped (not a SoundCloud or YouTube link): %s\n",
                         qPrintable(TerminalSafe(raw)));
            continue;
        }
        const int id = AddDownloadJob(m_engine->Intake(), link, true);
        while (m_links.size() < id)
            m_links.append(QString());
        m_links[id - 1] = raw;
        ++added;
    }
    return added;
}

void TCliDownloader::Start()
{
    // Every job, conversion and check ends through a message: the run ends right after
    // the one that ends the last of them, not at the next refresh of the table.
    m_gui->SetIdleHandler([this] { endWhenDone(); });
    m_gui->Post(WM_START_JOBS);
    m_timer->start(m_live ? 250 : 500);
    draw(false);
}

void TCliDownloader::Interrupt()
{
    if (!m_interrupted) {
        std::fprintf(stderr, "\nStopping...\n");
        // The note moved the cursor: the table starts again below it.
        m_drawnLines = 0;
    }
    m_interrupted = true;
    // Conversions end at once and remove what they had written; a download that finishes
    // later is not converted any more.
    m_converter->StopAll();
    tick();
}

void TCliDownloader::tick()
{
    TDownloadState& state = m_engine->State();
    if (m_interrupted) {
        // As the Stop command: queued jobs stop at once, running ones are aborted (a worker
        // between its two requests keeps the stop for its next one). Asked on every tick
        // until the job has ended.
        for (int id = 1; id <= state.DownloadJobs.Count(); ++id) {
            TDownloadJobs* job = state.DownloadJobs.Job(id);
            if (job->t_Status.load() == JOB_QUEUED) {
                job->t_Status = JOB_STOPPED;
                m_engine->Rows().SetIcon(id, JOB_STOPPED);
            } else if (job->t_Status.load() == JOB_DOWNLOADING) {
                m_gui->Post(WM_STOP_JOB, id);
            }
        }
    }
    Timer1Timer(state, *m_list);
    if (m_live)
        draw(false);
    else
        printChanges();
    endWhenDone();
}

void TCliDownloader::endWhenDone()
{
    // A worker gives its slot back (RunningDownloads) as its last message, after its job's
    // end and its conversion's start; its thread may still be returning, which the exit
    // allows for.
    const TDownloadState& state = m_engine->State();
    const bool waiting = state.FindStartableJob() > 0 || (m_busy && m_busy());
    if (!m_finished && state.RunningDownloads.load() == 0 && !waiting && !m_converter->Busy())
        finish();
}

QString TCliDownloader::linkOf(int id) const
{
    const QString given = m_links.value(id - 1);
    if (!given.isEmpty())
        return given;
    const TDownloadJobs* job = m_engine->State().DownloadJobs.Job(id);
    return job ? job->t_URL.get() : QString();
}

void TCliDownloader::Note(const QString& line)
{
    const QString text = TerminalSafe(line);
    if (m_live && m_drawnLines > 0) {
        // Up over the table and clear it; it is drawn again below the note.
        std::printf("\x1b[%dA\r\x1b[J%s\n", m_drawnLines, qPrintable(text));
        m_drawnLines = 0;
        draw(false);
        return;
    }
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

void TCliDownloader::draw(bool final)
{
    if (!m_live)
        return;
    QString out;
    if (m_drawnLines > 0)
        out += QStringLiteral("\x1b[%1A").arg(m_drawnLines);
    const TDownloadState& state = m_engine->State();
    int lines = 0;
    // One column short of the terminal's width, so no line wraps and the cursor moves up
    // over exactly the lines drawn.
    const int width = std::max(TerminalColumns() - 1, 30);
    constexpr int sizeWidth = 9;
    constexpr int stateWidth = 12;
    const int nameWidth = std::clamp(width - sizeWidth - stateWidth - 2 - 28, 14, 60);
    const int progressWidth = std::max(width - nameWidth - sizeWidth - stateWidth - 2, 0);
    const auto line = [&](const QString& text) {
        // Names and links come from elsewhere; only our own codes may reach the terminal.
        out += QStringLiteral("\r\x1b[2K") + FitEnd(TerminalSafe(text), width).trimmed() +
               QLatin1Char('\n');
        ++lines;
    };
    line(FitEnd(Lang("String1_9"), nameWidth) + QLatin1Char(' ') +
         FitEnd(Lang("String1_10"), sizeWidth) + QLatin1Char(' ') + Lang("String1_11"));
    int finished = 0;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const int id = m_list->item(row).data;
        const TDownloadJobs* job = state.DownloadJobs.Job(id);
        finished += saved(*job);
        QString name = m_list->text(row, TDownloadRows::FileColumn);
        if (name.isEmpty())
            name = linkName(linkOf(id));
        line(FitMiddle(TerminalSafe(name), nameWidth) + QLatin1Char(' ') +
             FitEnd(m_list->text(row, TDownloadRows::SizeColumn), sizeWidth) + QLatin1Char(' ') +
             FitEnd(QString::fromLatin1(stateWord(*job)), stateWidth) +
             FitEnd(TerminalSafe(m_list->text(row, TDownloadRows::StatusColumn).trimmed()),
                    progressWidth));
    }
    line(QStringLiteral("%1 of %2 finished%3")
             .arg(finished)
             .arg(m_list->rowCount())
             .arg(final ? QString()
                        : QStringLiteral(", %1 running").arg(state.RunningDownloads.load())));
    m_drawnLines = lines;
    std::fputs(out.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void TCliDownloader::printChanges()
{
    const TDownloadState& state = m_engine->State();
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const int id = m_list->item(row).data;
        const TDownloadJobs& job = *state.DownloadJobs.Job(id);
        const QString name = m_list->text(row, TDownloadRows::FileColumn);
        const QString size = m_list->text(row, TDownloadRows::SizeColumn);
        const QString text =
            QStringLiteral("%1 %2 %3")
                .arg(QString::fromLatin1(stateWord(job)), name.isEmpty() ? linkOf(id) : name, size);
        if (text != m_lastReported.value(id)) {
            m_lastReported.insert(id, text);
            std::printf("[%d] %s\n", id, qPrintable(TerminalSafe(text.trimmed())));
        }
    }
    std::fflush(stdout);
}

void TCliDownloader::finish()
{
    m_finished = true;
    m_timer->stop();
    m_gui->Drain();
    if (m_live)
        draw(true);
    else
        printChanges();
    const TDownloadState& state = m_engine->State();
    int failed = 0;
    for (int id = 1; id <= state.DownloadJobs.Count(); ++id) {
        const TDownloadJobs* job = state.DownloadJobs.Job(id);
        if (saved(*job)) {
            std::printf("saved: %s\n", qPrintable(TerminalSafe(job->t_FileName.get())));
            continue;
        }
        ++failed;
        const QString reason = job->t_EndReason.get();
        const bool stopped = m_interrupted || IsUserStop(reason);
        std::fprintf(
            stderr, "%s: %s%s\n", stopped ? "stopped" : "failed",
            qPrintable(TerminalSafe(linkOf(id))),
            qPrintable(reason.isEmpty() || stopped
                           ? QString()
                           : QStringLiteral(" (") + TerminalSafe(reason) + QLatin1Char(')')));
    }
    std::fflush(stdout);
    // The engine's own folder below Temp goes with its last job; Temp itself only when no
    // one else (the window, another run) has anything in it.
    QDir().rmdir(AppSettings().SaveToFolder() + QStringLiteral("Temp"));
    m_exitCode = failed == 0 ? 0 : 1;
    QCoreApplication::exit(m_exitCode);
}
