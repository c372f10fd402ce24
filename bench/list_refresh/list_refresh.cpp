// bench_list_refresh [--ticks N]
//
// The download list's work on the GUI thread with many rows of which ten download: one
// progress tick (the Status texts, the progress values and speeds of the running jobs, the
// status bar's totals) and one worker's row change (a Size text handed over by job id). For
// 1,000, 10,000 and 100,000 rows, so the figures show whether the cost follows the rows that
// change or all rows; the number of cells that signalled a change per tick is counted too.
// For comparison, the same tick done the way that walks every row and finds rows by scanning.
#include "base/TMessageQueue.h"
#include "jobs/DownloadProgress.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/DownloadTotals.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>

#include <cstdio>
#include <memory>

namespace {

struct TRig
{
    TDownloadState state;
    ListViewModel list{{"File", "Size", "Status", "URL"}};
    std::vector<int> running;
    qint64 changedCells = 0;

    explicit TRig(int rows)
    {
        for (int i = 0; i < rows; ++i) {
            const int id = state.DownloadJobs.Append();
            TDownloadJobs* job = state.DownloadJobs.Job(id);
            job->t_ConvertStatus = CONVERT_NONE;
            job->t_Status = JOB_FINISHED;
            job->t_URL.set(QStringLiteral("http://soundcloud.com/artist/track-%1").arg(id));
            list.appendItem(
                {QStringLiteral("Track %1.mp3").arg(id),
                 {QStringLiteral("4.20M"), QStringLiteral("Finished"), job->t_URL.get()},
                 JOB_FINISHED,
                 id});
        }
        // Ten downloads spread over the list, one per slot.
        for (int s = 1; s <= kWorkerSlotCount; ++s) {
            const int id = s * rows / (kWorkerSlotCount + 1);
            TDownloadJobs* job = state.DownloadJobs.Job(id);
            job->t_Status = JOB_DOWNLOADING;
            job->t_GetData = 1;
            job->t_Get_HTTP_200 = true;
            job->t_Size = 100 << 20;
            job->t_Received = 0;
            state.Slot(s)->SetJobId(id);
            state.Slot(s)->SetBusy(true);
            state.RunningDownloads.fetch_add(1);
            list.setImageIndex(FindRowByJob(list, id) - 1, JOB_DOWNLOADING);
            running.push_back(id);
        }
        QObject::connect(&list, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& a, const QModelIndex& b) {
                             changedCells += (b.column() - a.column() + 1);
                         });
    }

    // A second of downloading: every running job receives some bytes.
    void advance()
    {
        for (const int id : running)
            state.DownloadJobs.Job(id)->t_Received.fetch_add(123457);
    }
};

// The tick as done by walking every row (the list scanned for every job).
void walkEveryRow(TDownloadState& state, ListViewModel& list)
{
    const QString received = Lang("Msg1_7");
    const QChar point = QLocale().decimalPoint().at(0);
    for (int row = 0; row < list.rowCount(); ++row) {
        const TDownloadJobs* job = state.DownloadJobs.Job(list.item(row).data);
        if (!job)
            continue;
        if (const auto text = ProgressText(*job, received, point))
            list.setText(row, TDownloadRows::StatusColumn, *text);
    }
}

int scanForRow(const ListViewModel& list, int id)
{
    for (int row = 0; row < list.rowCount(); ++row) {
        if (list.item(row).data == id)
            return row + 1;
    }
    return 0;
}

void measure(int rows, int ticks)
{
    TRig rig(rows);
    TMessageQueue gui;
    TDownloadRows rowChanges(rig.list, gui);
    DownloadTotals totals(rig.state, rig.list);
    totals.Counts();

    QElapsedTimer clock;
    qint64 worstNs = 0;
    qint64 totalNs = 0;
    rig.changedCells = 0;
    for (int t = 0; t < ticks; ++t) {
        rig.advance();
        clock.start();
        Timer1Timer(rig.state, rig.list, qint64(t) * 1000);
        totals.Tick();
        const QString bar = totals.Text();
        const qint64 ns = clock.nsecsElapsed();
        totalNs += ns;
        worstNs = std::max(worstNs, ns);
        if (bar.isEmpty())
            std::abort();
    }
    const double cellsPerTick = double(rig.changedCells) / ticks;

    // One worker's row change: the Size text of a running job, on the GUI thread.
    const int changes = ticks * 10;
    clock.start();
    for (int i = 0; i < changes; ++i)
        rowChanges.SetText(rig.running[size_t(i) % rig.running.size()], TDownloadRows::SizeColumn,
                           QStringLiteral("%1.00M").arg(i));
    const double changeUs = double(clock.nsecsElapsed()) / changes / 1000.0;

    // A row's status changes (a job ends or starts): the totals count the rows again once.
    const int statusChanges = std::max(ticks / 10, 1);
    clock.start();
    for (int i = 0; i < statusChanges; ++i) {
        const int row = FindRowByJob(rig.list, rig.running[size_t(i) % rig.running.size()]) - 1;
        rig.list.setImageIndex(row, i % 2 ? JOB_DOWNLOADING : JOB_STOPPED);
        totals.Counts();
    }
    const double recountMs = double(clock.nsecsElapsed()) / statusChanges / 1e6;

    // For comparison: every row walked, rows found by scanning.
    clock.start();
    for (int t = 0; t < ticks; ++t) {
        rig.advance();
        walkEveryRow(rig.state, rig.list);
    }
    const double walkMs = double(clock.nsecsElapsed()) / ticks / 1e6;
    clock.start();
    for (int i = 0; i < changes; ++i)
        rig.list.setText(scanForRow(rig.list, rig.running[size_t(i) % rig.running.size()]) - 1,
                         TDownloadRows::SizeColumn, QStringLiteral("%1.50M").arg(i));
    const double scanUs = double(clock.nsecsElapsed()) / changes / 1000.0;

    std::printf("%7d rows: tick %.3f ms (worst %.3f ms), %.1f cells signalled per tick; "
                "row change %.2f us; status change with recount %.3f ms | walking every row: "
                "tick %.3f ms, row change %.2f us\n",
                rows, double(totalNs) / ticks / 1e6, double(worstNs) / 1e6, cellsPerTick, changeUs,
                recountMs, walkMs, scanUs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int ticks = 200;
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--ticks"));
    if (at > 0 && at + 1 < args.size())
        ticks = std::max(1, args[at + 1].toInt());
    LoadDefaultLanguage();
    for (const int rows : {1000, 10000, 100000})
        measure(rows, ticks);
    return 0;
}
