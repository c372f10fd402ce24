#include "FollowRig.h"
#include "TestRegistry.h"

#include "base/ThreadRegistry.h"
#include "follow/TPeopleFile.h"
#include "language/LangStrings.h"

#include <QTest>

#include <atomic>
#include <random>

using namespace qbtest;

// Workers mark tracks and a check-like thread appends tracks while the GUI thread adds,
// deletes, selects, sorts and saves. Run under ThreadSanitizer to see the sharing.
class TestFollowStress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workersMarkWhileTheGuiThreadWorks()
    {
        LoadDefaultLanguage();
        TFollowRig rig;
        constexpr int kWorkers = 4;
        constexpr int kMarks = 3000;
        constexpr int kTracks = 50;
        for (int w = 0; w < kWorkers; ++w) {
            TPeopleInfo p;
            p.t_Name = QStringLiteral("worker%1").arg(w);
            for (int t = 0; t < kTracks; ++t)
                p.t_TracksInfo.push_back(
                    MakeTrack(QString::number(t), QStringLiteral("title %1").arg(t),
                              QString::number(t * 997 % 300000), QString::number(t * 7919)));
            p.t_TracksCount = kTracks;
            rig.Store().AppendPeople(p);
        }
        rig.View().ShowPeopleList();

        std::atomic<int> running{kWorkers + 1};
        for (int w = 0; w < kWorkers; ++w) {
            ThreadRegistry::Start([&rig, &running, w] {
                const QString user = QStringLiteral("WORKER%1").arg(w);
                for (int i = 0; i < kMarks; ++i)
                    rig.following.FollowedTrackDownloaded(
                        user, QString::number(i % (kTracks + 5)),
                        QStringLiteral("/music/%1-%2.mp3").arg(w).arg(i));
                --running;
            });
        }
        ThreadRegistry::Start([&rig, &running] {
            for (int i = 0; i < 2000; ++i) {
                const int id = rig.Store().GetPeopleArrayID(QStringLiteral("worker0"));
                rig.Store().AppendTrack(id, MakeTrack(QStringLiteral("new%1").arg(i)));
                rig.Store().SetLastCheckTime(id, QStringLiteral("20240101000000"));
            }
            --running;
        });

        std::mt19937 rng(4711);
        int added = 0;
        while (running.load() > 0) {
            rig.Commands().ButtAddPeopleClick(QStringLiteral("temp%1").arg(added++));
            const int rows = rig.people.rowCount();
            rig.SelectPeople({int(rng() % unsigned(rows))});
            rig.View().TracksListColumnClick(int(rng() % 6));
            if (rig.tracks.rowCount() > 0)
                rig.SelectTracks({int(rng() % unsigned(rig.tracks.rowCount()))});
            if (rng() % 4 == 0) {
                const int last = rig.people.rowCount() - 1;
                rig.SelectPeople({last});
                rig.prompts.answers = {true};
                rig.Commands().ButtDeletePeopleClick();
            }
            if (rng() % 8 == 0)
                QVERIFY(rig.following.FormCloseQuery(true));
            rig.gui.Drain();
        }
        rig.gui.Drain();

        for (int w = 0; w < kWorkers; ++w)
            QCOMPARE(rig.Store().Summary(w + 1)->downloadedCount, kMarks);
        QCOMPARE(rig.Store().Summary(1)->tracksCount, kTracks + 2000);
        QVERIFY(rig.following.FormCloseQuery(true));
        TFollowedPeople reread;
        QVERIFY(TPeopleFile(rig.following.File().Path()).ReadPeopleInfo(reread));
        QCOMPARE(reread.Summary(1)->tracksCount, kTracks + 2000);
        QCOMPARE(reread.Track(2, 1)->t_Status, std::uint8_t(TRACK_LISTED));
        QVERIFY(!reread.Track(2, 1)->t_downloaded_at.isEmpty());
    }
};

QB_TEST(TestFollowStress, "stress");
#include "TestFollowStress.moc"
