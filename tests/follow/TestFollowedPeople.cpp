#include "FollowTestData.h"
#include "TestRegistry.h"

#include "follow/TFollowedPeople.h"

#include <QTest>

using namespace qbtest;

// The store's lookups and its single-step updates.
class TestFollowedPeople : public QObject
{
    Q_OBJECT

    // alice (tracks "100", "200"), bob (no tracks), and a deleted "Carol".
    static void Fill(TFollowedPeople& store)
    {
        TPeopleInfo alice;
        alice.t_Name = QStringLiteral("alice");
        alice.t_TracksInfo = {MakeTrack("100"), MakeTrack("200")};
        alice.t_TracksCount = 2;
        store.AppendPeople(alice);
        store.AddPeople(QStringLiteral("bob"));
        store.AddPeople(QStringLiteral("Carol"));
        store.DeletePeople(QStringLiteral("Carol"), {});
    }

private Q_SLOTS:
    void lookups()
    {
        TFollowedPeople store;
        Fill(store);
        QCOMPARE(store.GetPeopleArrayID(QStringLiteral("ALICE")), 1);
        QCOMPARE(store.GetPeopleArrayID(QStringLiteral("Bob")), 2);
        QCOMPARE(store.GetPeopleArrayID(QStringLiteral("carol")), 0);
        QCOMPARE(store.GetTrackArrayID(1, QStringLiteral("200")), 2);
        QCOMPARE(store.GetTrackArrayID(1, QStringLiteral(" 200")), 0);
        QCOMPARE(store.GetTrackArrayID(0, QStringLiteral("100")), 0);
        QCOMPARE(store.GetTrackArrayID(9, QStringLiteral("100")), 0);
    }

    void addIsCaseInsensitiveAndSkipsDeletedUsers()
    {
        TFollowedPeople store;
        Fill(store);
        QCOMPARE(store.AddPeople(QStringLiteral("ALICE")), 0);
        QCOMPARE(store.AddPeople(QString()), 0);
        // A deleted name is free: a second record is appended, the old one stays deleted.
        QCOMPARE(store.AddPeople(QStringLiteral("carol")), 4);
        QCOMPARE(store.Summary(3)->status, std::uint8_t(PEOPLE_DELETED));
        QCOMPARE(store.GetPeopleArrayID(QStringLiteral("CAROL")), 4);
        QCOMPARE(store.FollowedPeopleCount(), 4);
    }

    void markTrackDownloaded_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("track");
        QTest::addColumn<int>("people");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("aliceCount");

        QTest::newRow("known user and track") << "Alice"
                                              << "200" << 1 << 2 << 1;
        QTest::newRow("known user, unknown track only counts") << "alice"
                                                               << "300" << 1 << 0 << 1;
        QTest::newRow("unknown user changes nothing") << "nobody"
                                                      << "100" << 0 << 0 << 0;
        QTest::newRow("deleted user changes nothing") << "carol"
                                                      << "100" << 0 << 0 << 0;
    }

    void markTrackDownloaded()
    {
        QFETCH(QString, user);
        QFETCH(QString, track);
        QFETCH(int, people);
        QFETCH(int, position);
        QFETCH(int, aliceCount);
        TFollowedPeople store;
        Fill(store);
        const auto result = store.MarkTrackDownloaded(user, track, QStringLiteral("/music/a.mp3"),
                                                      QStringLiteral("20130405123456"));
        QCOMPARE(result.people, people);
        QCOMPARE(result.track, position);
        QCOMPARE(store.Summary(1)->downloadedCount, aliceCount);
        for (int t = 1; t <= 2; ++t) {
            const TTracksInfo info = *store.Track(1, t);
            const bool marked = t == position;
            QCOMPARE(info.t_Status, std::uint8_t(marked ? TRACK_DOWNLOADED : TRACK_LISTED));
            QCOMPARE(info.t_downloaded_at, marked ? QStringLiteral("20130405123456") : QString());
            QCOMPARE(info.t_Downloaded_LocalFile, marked ? QStringLiteral("/music/a.mp3") : "");
        }
    }

    void markStampsTheLocalTimeNow()
    {
        TFollowedPeople store;
        Fill(store);
        const QString before = QDateTime::currentDateTime().toString("yyyyMMddHHmmss");
        store.MarkTrackDownloaded(QStringLiteral("alice"), QStringLiteral("100"), "/f.mp3");
        const QString after = QDateTime::currentDateTime().toString("yyyyMMddHHmmss");
        const QString stamp = store.Track(1, 1)->t_downloaded_at;
        QCOMPARE(stamp.size(), 14);
        QVERIFY(stamp >= before && stamp <= after);
    }

    void deleteTestsAndMarksInOneStep_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("activeJobs");
        QTest::addColumn<int>("result");
        QTest::newRow("idle, no jobs") << int(PEOPLE_IDLE) << 0 << int(TFollowedPeople::DeleteDone);
        QTest::newRow("waiting for a check")
            << int(PEOPLE_CHECKING) << 0 << int(TFollowedPeople::DeleteNotIdle);
        QTest::newRow("a queued download")
            << int(PEOPLE_IDLE) << 1 << int(TFollowedPeople::DeleteHasJobs);
    }

    void deleteTestsAndMarksInOneStep()
    {
        QFETCH(int, status);
        QFETCH(int, activeJobs);
        QFETCH(int, result);
        TFollowedPeople store;
        Fill(store);
        store.SetPeopleStatus(2, std::uint8_t(status));
        QString asked;
        const auto jobs = [&](const QString& name) {
            asked = name;
            return activeJobs;
        };
        QCOMPARE(int(store.DeletePeople(QStringLiteral("BOB"), jobs)), result);
        QCOMPARE(store.GetPeopleArrayID(QStringLiteral("bob")),
                 result == TFollowedPeople::DeleteDone ? 0 : 2);
        if (status == PEOPLE_IDLE)
            QCOMPARE(asked, QStringLiteral("BOB"));
        QCOMPARE(int(store.DeletePeople(QStringLiteral("nobody"), jobs)),
                 int(TFollowedPeople::DeleteNotFollowed));
    }

    void deletedUserStaysDeleted()
    {
        TFollowedPeople store;
        Fill(store);
        QVERIFY(!store.SetPeopleStatus(3, PEOPLE_IDLE));
        QCOMPARE(store.Summary(3)->status, std::uint8_t(PEOPLE_DELETED));
    }

    void appendTrackSkipsKnownIds()
    {
        TFollowedPeople store;
        Fill(store);
        QCOMPARE(store.AppendTrack(1, MakeTrack("200")), 0);
        QCOMPARE(store.AppendTrack(1, MakeTrack("300")), 3);
        QCOMPARE(store.Summary(1)->tracksCount, 3);
        QCOMPARE(store.AppendTrack(7, MakeTrack("1")), 0);
    }

    // A file may hold a track id twice: the first track is the one found, marked and kept
    // unique, after a load by Replace as after AppendPeople; ids are compared exactly.
    void loadedDuplicatesFindTheFirstTrack()
    {
        TPeopleInfo alice;
        alice.t_Name = QStringLiteral("alice");
        alice.t_TracksInfo = {MakeTrack("7"), MakeTrack("8"), MakeTrack("7"), MakeTrack("x")};
        alice.t_TracksCount = 4;
        TPeopleInfo bob;
        bob.t_Name = QStringLiteral("bob");
        bob.t_TracksInfo = {MakeTrack("8")};
        bob.t_TracksCount = 1;

        TFollowedPeople appended;
        appended.AppendPeople(alice);
        appended.AppendPeople(bob);
        TFollowedPeople replaced;
        replaced.AddPeople(QStringLiteral("someone before"));
        replaced.Replace({alice, bob});
        for (TFollowedPeople* store : {&appended, &replaced}) {
            QCOMPARE(store->GetTrackArrayID(1, QStringLiteral("7")), 1);
            QCOMPARE(store->GetTrackArrayID(1, QStringLiteral("X")), 0);
            QCOMPARE(store->GetTrackArrayID(2, QStringLiteral("8")), 1);
            QCOMPARE(store->GetPeopleArrayID(QStringLiteral("someone before")), 0);
            QCOMPARE(store
                         ->MarkTrackDownloaded(QStringLiteral("alice"), QStringLiteral("7"),
                                               QStringLiteral("/m/7.mp3"))
                         .track,
                     1);
            QCOMPARE(store->Track(1, 1)->t_Status, std::uint8_t(TRACK_DOWNLOADED));
            QCOMPARE(store->Track(1, 3)->t_Status, std::uint8_t(TRACK_LISTED));
            QCOMPARE(store->AppendTrack(1, MakeTrack("8")), 0);
            QCOMPARE(store->AppendTrack(1, MakeTrack("X")), 5);
            QCOMPARE(store->GetTrackArrayID(1, QStringLiteral("X")), 5);
            QCOMPARE(store->AppendTrack(2, MakeTrack("7")), 2);
        }
    }
};

QB_TEST(TestFollowedPeople, "unit");
#include "TestFollowedPeople.moc"
