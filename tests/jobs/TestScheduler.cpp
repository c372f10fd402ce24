#include "TestRegistry.h"

#include "base/TMessageQueue.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadScheduler.h"
#include "jobs/DownloadState.h"
#include "jobs/LinkIntake.h"
#include "jobs/ListViewModel.h"
#include "net/THttpCli.h"
#include "net/TRequestSlot.h"

#include <QTest>

#include <thread>
#include <utility>
#include <vector>

// The scheduler with workers that only record that they were started; a test ends them.
struct TSchedulerRig
{
    TMessageQueue gui;
    ListViewModel list{{"File", "Size", "Status", "URL"}};
    TDownloadState state;
    TDownloadRows rows{list, gui};
    std::vector<std::pair<int, int>> started; // (job, slot)
    TDownloadScheduler scheduler{state, rows, [this](int job, int slot) {
                                     started.emplace_back(job, slot);
                                 }};

    explicit TSchedulerRig(int maxDownloads = 10)
    {
        state.MaxDownloads = maxDownloads;
        scheduler.Connect(gui);
    }
    int add(int status)
    {
        const int id = AddDownloadJob(
            {state, list, gui}, QStringLiteral("http://soundcloud.com/a/t"), status == JOB_QUEUED);
        state.DownloadJobs.Job(id)->t_Status = status;
        return id;
    }
    // What a worker does at its end, after marking its job.
    void end(int job, int finalStatus)
    {
        state.DownloadJobs.Job(job)->t_Status = finalStatus;
        TDownloadScheduler::WorkerEnded(state, gui, state.FindSlotByJob(job));
    }
    int icon(int job) { return list.item(FindRowByJob(list, job) - 1).imageIndex; }
};

class TestScheduler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twelveQueuedJobsStartTenAtOnceThenInOrder()
    {
        TSchedulerRig rig;
        for (int i = 0; i < 12; ++i)
            rig.add(JOB_QUEUED);
        rig.gui.Send(WM_START_JOBS);
        QCOMPARE(rig.started.size(), size_t(10));
        for (int i = 1; i <= 10; ++i) {
            QCOMPARE(rig.started[size_t(i - 1)], std::make_pair(i, i));
            QCOMPARE(rig.state.DownloadJobs.Job(i)->t_Status.load(), int(JOB_DOWNLOADING));
            QCOMPARE(rig.icon(i), int(JOB_DOWNLOADING));
        }
        QCOMPARE(rig.state.RunningDownloads.load(), 10);
        QCOMPARE(rig.state.DownloadJobs.Job(11)->t_Status.load(), int(JOB_QUEUED));
        rig.end(4, JOB_FINISHED);
        QCOMPARE(rig.started.back(), std::make_pair(11, 4));
        rig.end(2, JOB_STOPPED);
        QCOMPARE(rig.started.back(), std::make_pair(12, 2));
        QCOMPARE(rig.started.size(), size_t(12));
        QCOMPARE(rig.state.RunningDownloads.load(), 10);
    }

    void nothingStartsBeforeTheWindowIsShown()
    {
        TSchedulerRig rig(0);
        rig.add(JOB_QUEUED);
        rig.gui.Send(WM_START_JOBS);
        rig.gui.Send(WM_RESUME_JOB, 1);
        QVERIFY(rig.started.empty());
        QCOMPARE(rig.state.DownloadJobs.Job(1)->t_Status.load(), int(JOB_QUEUED));
    }

    void resumeRules_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("running"); // other jobs already running
        QTest::addColumn<bool>("starts");
        QTest::newRow("stopped job starts") << int(JOB_STOPPED) << 0 << true;
        QTest::newRow("queued job starts ahead of older ones") << int(JOB_QUEUED) << 0 << true;
        QTest::newRow("finished job does nothing") << int(JOB_FINISHED) << 0 << false;
        QTest::newRow("downloading job does nothing") << int(JOB_DOWNLOADING) << 0 << false;
        QTest::newRow("limit reached") << int(JOB_STOPPED) << 10 << false;
    }
    void resumeRules()
    {
        QFETCH(int, status);
        QFETCH(int, running);
        QFETCH(bool, starts);
        TSchedulerRig rig;
        for (int i = 0; i < running; ++i)
            rig.add(JOB_QUEUED);
        rig.gui.Send(WM_START_JOBS);
        rig.add(JOB_QUEUED); // older than the named one
        const int named = rig.add(status);
        rig.started.clear();
        rig.gui.Send(WM_RESUME_JOB, named);
        rig.gui.Send(WM_RESUME_JOB, 0); // ignored
        QCOMPARE(rig.started.size(), size_t(starts ? 1 : 0));
        if (starts)
            QCOMPARE(rig.started.front().first, named);
    }

    void jobIsNeverGivenASecondWorker()
    {
        TSchedulerRig rig;
        const int job = rig.add(JOB_QUEUED);
        rig.gui.Send(WM_START_JOBS);
        QCOMPARE(rig.started.size(), size_t(1));
        // The worker has marked the job stopped but has not ended yet; the user queues it again.
        rig.state.DownloadJobs.Job(job)->t_Status = JOB_QUEUED;
        rig.gui.Send(WM_RESUME_JOB, job);
        rig.gui.Send(WM_START_JOBS);
        QCOMPARE(rig.started.size(), size_t(1));
        // Once the worker has ended, the queued job starts again.
        TDownloadScheduler::WorkerEnded(rig.state, rig.gui, 1);
        QCOMPARE(rig.started.size(), size_t(2));
        QCOMPARE(rig.started.back().first, job);
    }

    // A stop that comes while the worker has no request running is kept for it: the job is
    // marked and its slot refuses the next request; the slot's next job starts afresh.
    void stopBetweenRequestsIsKept()
    {
        TSchedulerRig rig(1);
        const int job = rig.add(JOB_QUEUED);
        const int other = rig.add(JOB_QUEUED);
        rig.gui.Send(WM_START_JOBS);
        rig.gui.Send(WM_STOP_JOB, job);   // no HTTP client yet
        rig.gui.Send(WM_STOP_JOB, other); // not running
        QVERIFY(rig.state.DownloadJobs.Job(job)->t_UserCancelDownload.load());
        QVERIFY(!rig.state.DownloadJobs.Job(other)->t_UserCancelDownload.load());
        // The worker decides what the stop makes of the job.
        QCOMPARE(rig.state.DownloadJobs.Job(job)->t_Status.load(), int(JOB_DOWNLOADING));
        THttpCli client;
        TRequestSlot& request = rig.state.Slot(1)->Request;
        QVERIFY(!request.SetClient(&client));
        QVERIFY(!request.WithClient([](THttpCli&) {}));

        rig.end(job, JOB_STOPPED);
        QCOMPARE(rig.started.back(), std::make_pair(other, 1));
        QVERIFY(request.SetClient(&client));
        request.SetClient(nullptr);
    }

    void jobsAddedFromAnotherThreadGetTheirRowsOnTheGuiThread()
    {
        TSchedulerRig rig;
        std::thread lister([&] {
            for (int i = 0; i < 3; ++i)
                AddDownloadJob({rig.state, rig.list, rig.gui}, QStringLiteral("http://x/%1").arg(i),
                               true, QStringLiteral("user"), QString::number(i));
            rig.gui.Post(WM_START_JOBS);
        });
        lister.join();
        QCOMPARE(rig.list.rowCount(), 0); // not yet handed over
        rig.gui.Drain();
        QCOMPARE(rig.list.rowCount(), 3);
        QCOMPARE(rig.started.size(), size_t(3));
        const TDownloadJobs* job = rig.state.DownloadJobs.Job(2);
        QVERIFY(job->t_DownloadFollowed.load());
        QCOMPARE(job->t_FollowedTrackID.get(), QStringLiteral("1"));
        QCOMPARE(job->t_Size.load(), -1);
        QCOMPARE(rig.list.text(1, TDownloadRows::UrlColumn), QStringLiteral("http://x/1"));
    }
};

QB_TEST(TestScheduler, "unit");
#include "TestScheduler.moc"
