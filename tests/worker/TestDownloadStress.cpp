#include "DownloadRig.h"
#include "FakeSoundCloud.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <random>

using namespace std::chrono_literals;

// Hundreds of jobs with stops and resumes at random moments while others finish.
class TestDownloadStress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomStopsAndResumes()
    {
        qbtest::TFakeSoundCloud sc;
        sc.UseAsSoundCloud();
        TDownloadRig rig;
        std::mt19937 rng(20261210);
        constexpr int kJobs = 300;
        std::vector<std::int64_t> sizes(kJobs + 1);
        for (int i = 1; i <= kJobs; ++i) {
            qbtest::TFakeTrack t;
            t.name = QStringLiteral("Track %1").arg(i % 40); // many shared names
            t.size = 1000 + std::int64_t(rng() % 60000);
            t.pieceSize = 2000;
            t.gap = std::chrono::milliseconds(1 + rng() % 8);
            t.redirects = int(rng() % 2);
            sizes[size_t(i)] = t.size;
            QCOMPARE(rig.Add(sc.AddTrack(t)), i);
        }
        rig.gui.Post(WM_START_JOBS);

        int stops = 0;
        int resumes = 0;
        QDeadlineTimer actions(6000);
        while (!actions.hasExpired()) {
            QTest::qWait(int(rng() % 10));
            std::vector<int> running;
            std::vector<int> stopped;
            for (int id = 1; id <= kJobs; ++id) {
                const int status = rig.Status(id);
                if (status == JOB_DOWNLOADING)
                    running.push_back(id);
                else if (status == JOB_STOPPED)
                    stopped.push_back(id);
            }
            if (!running.empty() && rng() % 2) {
                rig.gui.Post(WM_STOP_JOB, running[rng() % running.size()]);
                ++stops;
            }
            if (!stopped.empty() && rng() % 3 == 0) {
                // What the Download command does for a stopped row.
                const int id = stopped[rng() % stopped.size()];
                rig.Job(id).t_Status = JOB_QUEUED;
                rig.Job(id).t_ConvertStatus = CONVERT_NONE;
                rig.rows.SetIcon(id, JOB_QUEUED);
                rig.gui.Post(WM_RESUME_JOB, id);
                ++resumes;
            }
        }
        QVERIFY2(rig.WaitUntilIdle(240000), "downloads did not end");
        QVERIFY(stops > 20);
        QVERIFY(resumes > 10);

        QCOMPARE(rig.state.RunningDownloads.load(), 0);
        QCOMPARE(rig.state.FindFreeSlot(), 1);
        QStringList expected;
        for (int id = 1; id <= kJobs; ++id) {
            const int status = rig.Status(id);
            QVERIFY2(status == JOB_FINISHED || status == JOB_STOPPED,
                     qPrintable(QString::number(id)));
            QCOMPARE(rig.Icon(id), status);
            if (status == JOB_FINISHED) {
                const QString file = rig.Job(id).t_FileName.get();
                QVERIFY2(file.endsWith(QLatin1String(".mp3")), qPrintable(file));
                QCOMPARE(QFileInfo(file).size(), sizes[size_t(id)]);
                QCOMPARE(rig.Caption(id), QFileInfo(file).fileName());
                expected.append(QFileInfo(file).fileName());
            } else {
                const QString temp = rig.Job(id).t_TempName.get();
                QVERIFY2(temp.isEmpty() || !QFile::exists(temp), qPrintable(temp));
            }
        }
        // Only finished tracks are left: no working file and no page file of a stopped job.
        expected.sort();
        const QStringList files = rig.Files();
        QStringList extra;
        for (const QString& f : files) {
            if (!expected.contains(f))
                extra.append(f);
        }
        QVERIFY2(extra.isEmpty(), qPrintable(extra.join(QLatin1String(", "))));
        QCOMPARE(files, expected);
        qInfo("%d jobs, %d stop requests, %d resumes, %lld finished", kJobs, stops, resumes,
              static_cast<long long>(expected.size()));
    }
};

QB_TEST(TestDownloadStress, "stress");
#include "TestDownloadStress.moc"
