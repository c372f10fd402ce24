#include "CheckWorld.h"
#include "TestRegistry.h"

#include "follow/TFollowCommands.h"
#include "language/LangStrings.h"

#include <QDir>

#include <random>
#include <set>

using namespace qbtest;

// Check pressed again and again while a chain of checks runs, daily checks queueing
// downloads, users deleted and added back, the track list rebuilt and the file saved, all
// while check threads append tracks and download workers mark them. Run under
// ThreadSanitizer to see the sharing.
class TestFollowCheckStress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checksDuringDeletesAndSaves()
    {
        LoadDefaultLanguage();
        TCheckWorld w(2, false);
        w.rig.engine.State().MaxDownloads = 4;
        w.api.SetGrowOnRequest(true);
        const QStringList names{"ann", "ben", "cat", "dan", "eve", "fay"};
        for (const QString& name : names) {
            w.Follow(name, QString(), 1);
            w.api.AddTracks(name, 4, 3000);
        }
        w.api.SetMode(QStringLiteral("ben"), TApiMode::Slow);
        w.api.SetMode(QStringLiteral("dan"), TApiMode::NotFound);
        w.api.SetMode(QStringLiteral("eve"), TApiMode::CutMidTrack);

        std::mt19937 random(12345);
        const auto pick = [&random](int n) {
            return int(random() % unsigned(n));
        };
        const auto selectSome = [&] {
            w.rig.peopleSelection.clearSelection();
            for (int row = 0; row < w.rig.people.rowCount(); ++row) {
                if (pick(2) == 0)
                    w.rig.SelectPeople({row});
            }
        };
        for (int round = 0; round < 400; ++round) {
            switch (pick(7)) {
            case 0:
            case 1:
                selectSome();
                w.Checks().ButtCheckClick();
                break;
            case 2:
                // Every auto-check user is due on a day far ahead.
                w.Checks().AutoCheckPeople(29991231);
                break;
            case 3:
                selectSome();
                w.rig.prompts.answers = {true};
                w.rig.Commands().ButtDeletePeopleClick();
                break;
            case 4:
                w.rig.Commands().ButtAddPeopleClick(names[pick(int(names.size()))]);
                break;
            case 5:
                QCOMPARE(w.rig.following.File().WritePeopleInfo(w.Store()), QString());
                break;
            default:
                if (w.rig.people.rowCount() > 0) {
                    w.rig.SelectPeople({pick(w.rig.people.rowCount())});
                    w.rig.View().TracksListColumnClick(pick(6));
                }
                break;
            }
            w.rig.gui.Drain();
            QTest::qWait(pick(6));
        }
        QVERIFY(w.WaitIdle(true, 120000));

        // Every user is idle (or deleted), no check is pending, no track is there twice.
        for (int id = 1; id <= w.Store().FollowedPeopleCount(); ++id) {
            const auto user = *w.Store().Summary(id);
            QVERIFY(user.status != PEOPLE_CHECKING);
            QCOMPARE(w.Checks().PendingChecks(id), 0);
            const QStringList ids = w.TrackIds(id);
            QCOMPARE(int(std::set<QString>(ids.cbegin(), ids.cend()).size()), ids.size());
            if (user.status == PEOPLE_IDLE) {
                const int row = w.rig.View().FindPeopleRow(user.name);
                QVERIFY(row > 0);
                if (!w.rig.people.text(row - 1, TFollowView::TracksColumn).isEmpty())
                    QCOMPARE(w.rig.people.text(row - 1, TFollowView::TracksColumn),
                             QString::number(user.tracksCount));
                QCOMPARE(w.rig.people.text(row - 1, TFollowView::CheckTimeColumn),
                         FormatCheckTime(user.lastCheckTime));
            }
        }
        QVERIFY(w.ended.size() > 10);
        // The file holds what the store holds; no reply file is left behind.
        QCOMPARE(w.rig.following.File().WritePeopleInfo(w.Store()), QString());
        TFollowedPeople again;
        QVERIFY(TPeopleFile(w.rig.following.File().Path()).ReadPeopleInfo(again));
        QCOMPARE(again.FollowedPeopleCount(), w.rig.people.rowCount());
        QCOMPARE(QDir(w.rig.dir.path()).entryList(QDir::Files), QStringList());
    }
};

QB_TEST(TestFollowCheckStress, "stress");
#include "TestFollowCheckStress.moc"
