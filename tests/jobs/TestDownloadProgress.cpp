#include "TestRegistry.h"

#include "jobs/DownloadProgress.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/DownloadTotals.h"
#include "jobs/JobEndReason.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// A download list of n jobs, each with its row, none running.
struct TListRig
{
    TDownloadState state;
    ListViewModel list{{"File", "Size", "Status", "URL"}};
    QAbstractItemModelTester tester{&list, QAbstractItemModelTester::FailureReportingMode::QtTest};

    explicit TListRig(int rows)
    {
        for (int i = 0; i < rows; ++i) {
            const int id = state.DownloadJobs.Append();
            TDownloadJobs* job = state.DownloadJobs.Job(id);
            job->t_ConvertStatus = CONVERT_NONE;
            job->t_Status = JOB_QUEUED;
            job->t_URL.set(QStringLiteral("http://soundcloud.com/a/t%1").arg(id));
            list.appendItem({QString(), {QString(), QString(), job->t_URL.get()}, JOB_QUEUED, id});
        }
    }
    // The job runs in the slot, in its media phase, with received of size bytes in.
    void Run(int id, int slot, qint64 received, qint64 size)
    {
        TDownloadJobs* job = state.DownloadJobs.Job(id);
        job->t_Status = JOB_DOWNLOADING;
        job->t_GetData = 1;
        job->t_Get_HTTP_200 = true;
        job->t_Size = size;
        job->t_Received = received;
        state.Slot(slot)->SetJobId(id);
        state.Slot(slot)->SetBusy(true);
        state.RunningDownloads.fetch_add(1);
        list.setImageIndex(FindRowByJob(list, id) - 1, JOB_DOWNLOADING);
    }
    void End(int id, int slot, int status, const QString& reason = {})
    {
        TDownloadJobs* job = state.DownloadJobs.Job(id);
        job->t_EndReason.set(reason);
        job->t_Status = status;
        state.Slot(slot)->SetBusy(false);
        state.Slot(slot)->SetJobId(0);
        state.RunningDownloads.fetch_sub(1);
        list.setImageIndex(FindRowByJob(list, id) - 1, status);
    }
    QVariant Progress(int id) const
    {
        return list.index(FindRowByJob(list, id) - 1, TDownloadRows::StatusColumn)
            .data(ListViewModel::ProgressRole);
    }
};

// Cells that signalled a change: (row, first column, last column, roles).
QStringList changedCells(const QSignalSpy& spy)
{
    QStringList cells;
    for (const QList<QVariant>& args : spy) {
        const auto from = args[0].toModelIndex();
        const auto to = args[1].toModelIndex();
        const bool progress = args[2].value<QList<int>>().contains(ListViewModel::ProgressRole);
        cells << QStringLiteral("%1:%2-%3%4")
                     .arg(from.row())
                     .arg(from.column())
                     .arg(to.column())
                     .arg(progress ? QStringLiteral(" progress") : QString());
    }
    cells.sort();
    return cells;
}

} // namespace

// The download list's refresh, its row index, tooltips and totals.
class TestDownloadProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LoadDefaultLanguage(); }

    // The index that finds a row by job id agrees with a scan of the rows after every kind
    // of change to the rows.
    void rowIndexFollowsEveryChange()
    {
        TListRig rig(8);
        const auto check = [&rig](const char* step) {
            for (int id = 0; id <= 10; ++id) {
                int scanned = 0;
                for (int row = 0; row < rig.list.rowCount() && !scanned; ++row)
                    scanned = rig.list.item(row).data == id ? row + 1 : 0;
                QVERIFY2(FindRowByJob(rig.list, id) == scanned,
                         qPrintable(QStringLiteral("%1: job %2").arg(QLatin1String(step)).arg(id)));
            }
        };
        check("appended");
        rig.list.removeItem(2);
        rig.list.removeItem(5);
        check("two removed");
        rig.list.appendItem({QString(), {}, 0, 9});
        check("appended after removals");
        rig.list.sortRows(
            [&rig](int a, int b) { return rig.list.item(a).data > rig.list.item(b).data; });
        check("sorted backwards");
        rig.list.clear();
        check("cleared");
        rig.list.appendItem({QString(), {}, 0, 4});
        check("appended after clearing");
        // A follow check's new jobs arrive as one batch.
        rig.list.appendItems(
            {{QString(), {}, 0, 7}, {QString(), {}, 0, 4}, {QString(), {}, 0, 10}});
        check("a batch appended");
    }

    // A tick touches only what changed: three running jobs among a thousand rows signal
    // their Status text and progress once, then nothing until their bytes move.
    void tickSignalsOnlyChangedCells()
    {
        TListRig rig(1000);
        rig.Run(10, 1, 262144, 1048576);
        rig.Run(500, 2, 0, 4096);
        rig.Run(999, 3, 1000, 0); // size not known: empty text, no progress
        QSignalSpy changed(&rig.list, &QAbstractItemModel::dataChanged);
        Timer1Timer(rig.state, rig.list, 0);
        QCOMPARE(changedCells(changed),
                 (QStringList{"499:2-2", "499:2-2 progress", "9:2-2", "9:2-2 progress"}));
        QCOMPARE(rig.list.text(9, TDownloadRows::StatusColumn),
                 QStringLiteral("Received: 262144 (25.00%)"));
        QCOMPARE(rig.Progress(10).toDouble(), 0.25);
        QVERIFY(!rig.Progress(999).isValid());

        changed.clear();
        Timer1Timer(rig.state, rig.list, 1000);
        QCOMPARE(changedCells(changed), QStringList{});

        rig.state.DownloadJobs.Job(500)->t_Received = 2048;
        Timer1Timer(rig.state, rig.list, 2000);
        QCOMPARE(changedCells(changed), (QStringList{"499:2-2", "499:2-2 progress"}));
    }

    // The progress goes with the worker; the Status text stays as it was last written, and
    // a conversion's own progress is left to the conversion.
    void progressEndsWithTheWorker()
    {
        TListRig rig(5);
        rig.Run(1, 1, 100, 400);
        rig.Run(2, 2, 100, 400);
        Timer1Timer(rig.state, rig.list, 0);
        QCOMPARE(rig.Progress(1).toDouble(), 0.25);

        rig.End(1, 1, JOB_STOPPED, EndReasonHttp(404, QStringLiteral("Not Found")));
        rig.state.DownloadJobs.Job(2)->t_ConvertStatus = CONVERT_RUNNING;
        rig.End(2, 2, JOB_FINISHED);
        rig.list.setProgress(FindRowByJob(rig.list, 2) - 1, 0.5); // the conversion's
        Timer1Timer(rig.state, rig.list, 1000);                   // nothing runs any more
        QVERIFY(!rig.Progress(1).isValid());
        QCOMPARE(rig.list.text(0, TDownloadRows::StatusColumn),
                 QStringLiteral("Received: 100 (25.00%)"));
        QCOMPARE(rig.Progress(2).toDouble(), 0.5);
    }

    void toolTipSaysWhereWhyAndHowFast()
    {
        TListRig rig(2);
        rig.list.setToolTipSource([&rig](int row, int column) {
            return DownloadToolTip(rig.state, rig.list, row, column);
        });
        TDownloadJobs* job = rig.state.DownloadJobs.Job(1);
        job->t_TempName.set(QStringLiteral("/music/Song"));
        rig.Run(1, 1, 0, 1000000);
        Timer1Timer(rig.state, rig.list, 0);
        job->t_Received = 102400;
        Timer1Timer(rig.state, rig.list, 1000);
        const QString running =
            rig.list.index(0, TDownloadRows::StatusColumn).data(Qt::ToolTipRole).toString();
        QCOMPARE(running, QStringLiteral("Received: 102400 (10.24%)\nFile: /music/Song\n"
                                         "Link: http://soundcloud.com/a/t1\n"
                                         "Speed: 100.00 KB/s, 0:09 left"));

        rig.End(1, 1, JOB_STOPPED, EndReasonDisk(QStringLiteral("No space left on device")));
        const QString ended =
            rig.list.index(0, TDownloadRows::FileColumn).data(Qt::ToolTipRole).toString();
        QCOMPARE(ended, QStringLiteral("File: /music/Song\nLink: http://soundcloud.com/a/t1\n"
                                       "Ended: Disk error: No space left on device"));
        // A job that never ran has only its link to show.
        QCOMPARE(rig.list.index(1, TDownloadRows::UrlColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Link: http://soundcloud.com/a/t2"));

        // A conversion 10 s in, a quarter of the way through a 4 min video: 6x real time,
        // 30 s to go.
        TDownloadJobs* video = rig.state.DownloadJobs.Job(2);
        video->t_Status = JOB_FINISHED;
        video->t_ConvertStatus = CONVERT_RUNNING;
        video->t_ConvertStartedMs = SteadyMs() - 10000;
        video->t_ConvertedMs = 60000;
        rig.list.setProgress(1, 0.25, TDownloadRows::StatusColumn);
        const QString converting =
            rig.list.index(1, TDownloadRows::UrlColumn).data(Qt::ToolTipRole).toString();
        QVERIFY2(converting.endsWith(QStringLiteral("\nSpeed: 6.0\u00d7, 0:30 left")) ||
                     converting.endsWith(QStringLiteral("\nSpeed: 6.0\u00d7, 0:29 left")),
                 qPrintable(converting));
    }

    // The totals, and the one notice at the end of a run: a user's stop is neither a
    // finished nor a failed download.
    void totalsAndTheEndOfARun()
    {
        TListRig rig(6);
        DownloadTotals totals(rig.state, rig.list);
        QList<std::pair<int, int>> ends;
        totals.OnBatchEnded = [&ends](int finished, int failed) {
            ends.append({finished, failed});
        };
        rig.Run(1, 1, 0, 100);
        rig.Run(2, 2, 0, 100);
        rig.Run(3, 3, 0, 100);
        rig.Run(4, 4, 0, 100);
        TDownloadCounts c = totals.Counts();
        QCOMPARE((QList<int>{c.running, c.queued, c.finished, c.failed}), (QList<int>{4, 2, 0, 0}));

        rig.End(1, 1, JOB_FINISHED);
        rig.End(2, 2, JOB_STOPPED, EndReasonNetwork(QStringLiteral("Request aborted on timeout")));
        rig.End(3, 3, JOB_STOPPED, EndReasonStoppedByUser());
        totals.Tick();
        QVERIFY(ends.isEmpty()); // job 4 still runs
        rig.state.DownloadJobs.Job(5)->t_Status = JOB_STOPPED;
        rig.state.DownloadJobs.Job(6)->t_Status = JOB_STOPPED;
        rig.list.setImageIndex(4, JOB_STOPPED);
        rig.list.setImageIndex(5, JOB_STOPPED);
        rig.state.DownloadJobs.Job(4)->t_ConvertStatus = CONVERT_WAITING;
        rig.End(4, 4, JOB_FINISHED);
        totals.Tick();
        QVERIFY(ends.isEmpty()); // its conversion still runs
        c = totals.Counts();
        QCOMPARE((QList<int>{c.running, c.queued, c.finished, c.failed}), (QList<int>{1, 0, 1, 1}));

        SetConversionEndReason(*rig.state.DownloadJobs.Job(4), QStringLiteral("no audio stream"));
        rig.state.DownloadJobs.Job(4)->t_ConvertStatus = CONVERT_FAILED;
        totals.Tick();
        QCOMPARE(ends, (QList<std::pair<int, int>>{{1, 2}}));
        totals.Tick();
        QCOMPARE(ends.size(), 1);
        c = totals.Counts();
        QCOMPARE((QList<int>{c.running, c.queued, c.finished, c.failed}), (QList<int>{0, 0, 1, 2}));
        QCOMPARE(totals.Text(),
                 QStringLiteral("Running 0 \u00b7 Queued 0 \u00b7 Finished 1 \u00b7 Failed 2"));
    }
};

QB_TEST(TestDownloadProgress, "unit");
#include "TestDownloadProgress.moc"
