#include "TestRegistry.h"

#include "base/TextHelpers.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

class TestDownloadState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyTable()
    {
        TDownloadState state;
        ListViewModel list({"File", "Size", "Status", "URL"});
        QCOMPARE(state.DownloadJobs.Count(), 0);
        QCOMPARE(state.FindQueuedJob(), 0);
        QCOMPARE(FindRowByJob(list, 1), 0);
        QVERIFY(state.DownloadJobs.Job(0) == nullptr);
        QVERIFY(state.DownloadJobs.Job(1) == nullptr);
    }

    void newRecordIsZeroed()
    {
        TDownloadState state;
        QCOMPARE(state.DownloadJobs.Append(), 1);
        const TDownloadJobs* job = state.DownloadJobs.Job(1);
        QCOMPARE(job->t_Status.load(), int(JOB_STOPPED));
        QCOMPARE(job->t_Size.load(), 0);
        QCOMPARE(job->t_URL.get(), QString());
        QVERIFY(!job->t_UserCancelDownload.load());
        // Sizes are 64-bit: a 5 GiB file is representable.
        state.DownloadJobs.Job(1)->t_Size.store(5LL << 30);
        QCOMPARE(job->t_Size.load(), 5LL << 30);
    }

    void queuedJobsStartOldestFirst()
    {
        TDownloadState state;
        for (int i = 0; i < 8; ++i)
            state.DownloadJobs.Append();
        for (int id : {2, 5, 7})
            state.DownloadJobs.Job(id)->t_Status = JOB_QUEUED;
        QCOMPARE(state.FindQueuedJob(), 2);
        state.DownloadJobs.Job(2)->t_Status = JOB_DOWNLOADING;
        QCOMPARE(state.FindQueuedJob(), 5);
    }

    void workerSlots()
    {
        TDownloadState state;
        QVERIFY(state.Slot(0) == nullptr);
        QVERIFY(state.Slot(11) == nullptr);
        QCOMPARE(state.FindFreeSlot(), 1);
        state.Slot(1)->SetBusy(true);
        state.Slot(3)->SetBusy(true);
        QCOMPARE(state.FindFreeSlot(), 2);
        for (int s = 1; s <= kWorkerSlotCount; ++s)
            state.Slot(s)->SetBusy(true);
        state.MaxDownloads = 50;
        QCOMPARE(state.FindFreeSlot(), 0);

        state.Slot(4)->SetJobId(9);
        state.Slot(6)->SetJobId(9);
        QCOMPARE(state.FindSlotByJob(9), 4);
        state.Slot(4)->SetBusy(false); // an ended worker's slot no longer counts
        QCOMPARE(state.FindSlotByJob(9), 6);
        QCOMPARE(state.FindSlotByJob(3), 0);
        QVERIFY(!state.Slot(6)->Request.WithClient([](THttpCli&) { QFAIL("no client"); }));
    }

    void activeJobsOfUser()
    {
        TDownloadState state;
        const struct
        {
            const char* user;
            int status;
        } jobs[] = {{"DeepRiver", JOB_QUEUED},
                    {"deepriver", JOB_DOWNLOADING},
                    {"DEEPRIVER", JOB_FINISHED},
                    {"deepriver", JOB_STOPPED},
                    {"someone", JOB_QUEUED}};
        for (const auto& j : jobs) {
            TDownloadJobs* job = state.DownloadJobs.Job(state.DownloadJobs.Append());
            job->t_FollowedUser.set(QString::fromLatin1(j.user));
            job->t_Status = j.status;
        }
        QCOMPARE(state.CountActiveJobsOfUser(QStringLiteral("DeepRiver")), 2);
        QCOMPARE(state.CountActiveJobsOfUser(QStringLiteral("nobody")), 0);
    }

    void rowsAreFoundByIdAfterDeletes()
    {
        TDownloadState state;
        ListViewModel list({"File", "Size", "Status", "URL"});
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 5; ++i) {
            const int id = state.DownloadJobs.Append();
            list.appendItem(
                {QString(), {QString(), QString(), QStringLiteral("http://x/%1").arg(id)}, 3, id});
        }
        list.removeItem(3); // job 4's row
        QCOMPARE(FindRowByJob(list, 4), 0);
        QCOMPARE(FindRowByJob(list, 5), 4);
        QCOMPARE(state.DownloadJobs.Count(), 5);
        QCOMPARE(state.DownloadJobs.Append(), 6); // ids are never reused
        list.setText(0, 1, QStringLiteral("2.00K"));
        list.setImageIndex(0, 1);
        QCOMPARE(list.data(list.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("2.00K"));
        QCOMPARE(list.data(list.index(0, 0), ListViewModel::ImageIndexRole).toInt(), 1);
        QCOMPARE(list.data(list.index(0, 3), ListViewModel::IdRole).toInt(), 1);
        QCOMPARE(list.data(list.index(0, 3), Qt::DisplayRole).toString(),
                 QStringLiteral("http://x/1"));
        QVERIFY(!(list.flags(list.index(0, 0)) & Qt::ItemIsEditable));
    }

    void checkableRows()
    {
        ListViewModel people({"Auto Check", "Name"}, true);
        QAbstractItemModelTester tester(&people,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        people.appendItem({QString(), {QStringLiteral("someone")}, -1, 0, false});
        QSignalSpy toggled(&people, &ListViewModel::checkToggled);
        QVERIFY(people.setData(people.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(toggled.count(), 1);
        QVERIFY(people.item(0).checked);
        QVERIFY(!people.setData(people.index(0, 1), Qt::Checked, Qt::CheckStateRole));
    }

    void lastPathPart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("part");
        QTest::newRow("file") << "/home/u/Music/song.mp3"
                              << "song.mp3";
        QTest::newRow("folder keeps its slash") << "/home/u/Music/"
                                                << "Music/";
        QTest::newRow("no slash") << "song.mp3"
                                  << "song.mp3";
        QTest::newRow("root") << "/"
                              << "/";
    }
    void lastPathPart()
    {
        QFETCH(QString, path);
        QFETCH(QString, part);
        QCOMPARE(LastPathPart(path), part);
    }

    // One thread appends while others write their own records and read every record, the
    // way workers, the timer and the track-listing thread share the table.
    void concurrentAppendsReadsAndWrites()
    {
        TDownloadState state;
        constexpr int kJobs = 3000;
        std::atomic<bool> done{false};
        std::thread appender([&] {
            for (int i = 0; i < kJobs; ++i) {
                TDownloadJobs* job = state.DownloadJobs.Job(state.DownloadJobs.Append());
                job->t_URL.set(QStringLiteral("http://soundcloud.com/a/t%1").arg(i));
                job->t_Status = JOB_QUEUED;
            }
            done = true;
        });
        std::vector<std::thread> writers;
        for (int w = 0; w < 3; ++w) {
            writers.emplace_back([&, w] {
                std::mt19937 rng{static_cast<unsigned>(w)};
                while (!done.load() || rng() % 8) {
                    const int count = state.DownloadJobs.Count();
                    if (count == 0)
                        continue;
                    // Each writer owns the ids congruent to w (mod 3), as a worker owns its job.
                    const int id = 1 + int(rng() % unsigned(count));
                    if (id % 3 != w)
                        continue;
                    TDownloadJobs* job = state.DownloadJobs.Job(id);
                    job->t_Received.fetch_add(8192);
                    job->t_Size = 1 << 20;
                    job->t_TempName.set(QStringLiteral("/tmp/%1.part").arg(id));
                    job->t_Status = JOB_DOWNLOADING;
                }
            });
        }
        qint64 observed = 0;
        while (!done.load()) {
            const int count = state.DownloadJobs.Count();
            for (int id = 1; id <= count; ++id) {
                const TDownloadJobs* job = state.DownloadJobs.Job(id);
                observed +=
                    job->t_Received.load() + job->t_TempName.get().size() + job->t_URL.get().size();
            }
            state.FindQueuedJob();
        }
        appender.join();
        for (auto& t : writers)
            t.join();
        QCOMPARE(state.DownloadJobs.Count(), kJobs);
        for (int id = 1; id <= kJobs; ++id)
            QCOMPARE(state.DownloadJobs.Job(id)->t_URL.get(),
                     QStringLiteral("http://soundcloud.com/a/t%1").arg(id - 1));
        QVERIFY(observed >= 0);
    }
};

QB_TEST(TestDownloadState, "unit");
#include "TestDownloadState.moc"
