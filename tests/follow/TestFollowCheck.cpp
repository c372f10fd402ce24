#include "CheckWorld.h"
#include "TestRegistry.h"

#include "base/ServiceHosts.h"
#include "base/WindowMessages.h"
#include "follow/FollowFormats.h"
#include "follow/TFollowCommands.h"
#include "jobs/DownloadRows.h"
#include "language/LangStrings.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

using namespace qbtest;

// Checks of followed users end to end: the real check thread against the fake API, jobs
// downloaded by real workers from fake track pages, rows updated through the GUI thread.
class TestFollowCheck : public QObject
{
    Q_OBJECT

    static QString Today() { return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")); }

private Q_SLOTS:
    void initTestCase() { LoadDefaultLanguage(); }

    void fullCycleQueuesTheNewestAndSavesThem()
    {
        TCheckWorld w(2, false);
        w.rig.Commands().ButtAddPeopleClick(QStringLiteral(" alice "));
        const QStringList ids = w.api.AddTracks(QStringLiteral("alice"), 5, 30000);

        QVERIFY(w.Checks().QueueCheck(QStringLiteral("ALICE"), true));
        QCOMPARE(w.rig.people.text(0, TFollowView::CheckTimeColumn), Lang("Msg1_8"));
        QCOMPARE(w.Store().Summary(1)->status, std::uint8_t(PEOPLE_CHECKING));
        w.rig.gui.Post(WM_CHECK_FOLLOWED, 0);
        QVERIFY(w.WaitIdle());

        QCOMPARE(w.api.Targets(), QList<QByteArray>{w.Target("alice").toUtf8()});
        QCOMPARE(w.TrackIds(1), ids);
        // The newest first: the fifth, then the fourth; both downloaded and marked.
        QCOMPARE(w.JobTracks(), (QStringList{ids[4], ids[3]}));
        for (int job = 1; job <= 2; ++job) {
            QCOMPARE(w.Jobs().Job(job)->t_Status.load(), int(JOB_FINISHED));
            // Their rows, added as one batch, show it too.
            QCOMPARE(w.rig.downloads.item(FindRowByJob(w.rig.downloads, job) - 1).imageIndex,
                     int(JOB_FINISHED));
        }
        const auto fifth = *w.Store().Track(1, 5);
        QCOMPARE(fifth.t_Downloaded_LocalFile, w.SaveFolder() + QStringLiteral("alice song 5.mp3"));
        QCOMPARE(QFileInfo(fifth.t_Downloaded_LocalFile).size(), 30000);
        QCOMPARE(w.Store().Track(1, 4)->t_Status, std::uint8_t(TRACK_DOWNLOADED));
        QCOMPARE(w.Store().Track(1, 3)->t_downloaded_at, QString());

        const auto alice = *w.Store().Summary(1);
        QCOMPARE(alice.status, std::uint8_t(PEOPLE_IDLE));
        QCOMPARE(alice.lastCheckTime.left(8), Today());
        QCOMPARE(w.rig.people.item(0).subItems,
                 (QStringList{"alice", "5", "2", FormatCheckTime(alice.lastCheckTime)}));
        QCOMPARE(w.ended.size(), size_t(1));
        QVERIFY(w.ended[0].replied);
        QCOMPARE(w.ended[0].newPositions, (std::vector<int>{1, 2, 3, 4, 5}));

        // The file carries it all to the next run.
        QCOMPARE(w.rig.following.File().WritePeopleInfo(w.Store()), QString());
        TFollowedPeople again;
        QVERIFY(TPeopleFile(w.rig.following.File().Path()).ReadPeopleInfo(again));
        const auto read = *again.People(1);
        QCOMPARE(read.t_lastCheckTime, alice.lastCheckTime);
        QCOMPARE(read.t_DownloadedCount, 2);
        QCOMPARE(read.t_TracksInfo[4].t_downloaded_at, fifth.t_downloaded_at);
        QCOMPARE(read.t_TracksInfo[4].t_permalink_url, fifth.t_permalink_url);

        // The list grows; the Check button only lists, and the rows go to the track list,
        // which shows alice.
        const QStringList more = w.api.AddTracks(QStringLiteral("alice"), 2);
        w.rig.SelectPeople({0});
        QCOMPARE(w.rig.tracks.rowCount(), 5);
        w.Checks().ButtCheckClick();
        QVERIFY(w.WaitIdle());
        QCOMPARE(w.TrackIds(1), ids + more);
        QCOMPARE(w.Jobs().Count(), 2);
        QCOMPARE(w.rig.tracks.rowCount(), 7);
        QCOMPARE(w.rig.tracks.text(6, TFollowView::IdColumn), more[1]);
        // A check's row shows the size as given.
        QCOMPARE(w.rig.tracks.text(6, TFollowView::SizeColumn), QStringLiteral("2048"));
        QCOMPARE(w.rig.tracks.item(6).data, 7);
        QCOMPARE(w.rig.people.text(0, TFollowView::TracksColumn), QStringLiteral("7"));
    }

    void dailyCheckQueuesDownloadsOfEveryDueUser()
    {
        TCheckWorld w(1, false);
        const QString yesterday =
            QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyyMMdd")) + "235959";
        w.Follow(QStringLiteral("today"), Today() + QStringLiteral("000001"), 1);
        w.Follow(QStringLiteral("yesterday"), yesterday, 1);
        w.Follow(QStringLiteral("never"), QString(), 1);
        w.Follow(QStringLiteral("two"), QString(), 2);
        w.Follow(QStringLiteral("odd"), QStringLiteral("2024-01-01"), 1);
        w.Follow(QStringLiteral("off"), QString(), 0);
        for (const char* name : {"today", "yesterday", "never", "two", "odd", "off"})
            w.api.AddTracks(QString::fromLatin1(name), 3, 1000);

        QCOMPARE(w.Checks().AutoCheckPeople(), 3);
        QCOMPARE(w.rig.people.text(1, TFollowView::CheckTimeColumn), Lang("Msg1_8"));
        QCOMPARE(w.rig.people.text(0, TFollowView::CheckTimeColumn),
                 FormatCheckTime(Today() + "000001"));
        QVERIFY(w.WaitIdle());

        QStringList checked;
        for (const TCheckOutcome& o : w.ended) {
            checked.append(o.name);
            QVERIFY2(o.replied, qPrintable(o.failure));
        }
        QCOMPARE(checked, (QStringList{"yesterday", "never", "odd"}));
        QCOMPARE(w.api.Requests(QStringLiteral("today")), 0);
        QCOMPARE(w.api.Requests(QStringLiteral("two")), 0);
        // Every due user queued its newest track, and it was downloaded.
        QCOMPARE(w.Jobs().Count(), 3);
        for (int job = 1; job <= 3; ++job) {
            QCOMPARE(w.Jobs().Job(job)->t_Status.load(), int(JOB_FINISHED));
            QCOMPARE(w.Jobs().Job(job)->t_FollowedUser.get(), checked[job - 1]);
        }
        for (int id = 1; id <= 6; ++id)
            QCOMPARE(w.Store().Summary(id)->status, std::uint8_t(PEOPLE_IDLE));
        QCOMPARE(w.Store().Summary(3)->downloadedCount, 1);
        QCOMPARE(w.Store().Summary(1)->tracksCount, 0);
    }

    // A failed check keeps what was committed, keeps the previous time, leaves the user
    // idle and lets the next check run.
    void failuresKeepTheTimeAndTheChainGoesOn_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("replied");
        QTest::addColumn<int>("committed");
        QTest::addColumn<QString>("says"); // the start of the failure, when it matters
        QTest::newRow("404 with an HTML page")
            << int(TApiMode::NotFound) << false << 0 << "HTTP 404 Not Found";
        QTest::newRow("500 with an HTML page") << int(TApiMode::ServerError) << false << 0 << "";
        QTest::newRow("200 that is not XML") << int(TApiMode::NotXml) << false << 0 << "";
        QTest::newRow("cut inside the last track, length announced")
            << int(TApiMode::CutMidTrack) << false << 2 << "";
        QTest::newRow("cut inside the last track, no length")
            << int(TApiMode::CutNoLength) << false << 2 << "";
        QTest::newRow("larger than a check takes") << int(TApiMode::Oversize) << false << 0 << "";
        QTest::newRow("slow but whole") << int(TApiMode::Slow) << true << 3 << "";
        QTest::newRow("a redirect with a body first")
            << int(TApiMode::RedirectWithBody) << true << 3 << "";
        QTest::newRow("a redirect to itself")
            << int(TApiMode::RedirectLoop) << false << 0 << "too many redirects (more than 5)";
        QTest::newRow("two different lengths")
            << int(TApiMode::TwoLengths) << false << 0
            << "the reply cannot be read: conflicting Content-Length values";
        QTest::newRow("a smaller stored length is no length")
            << int(TApiMode::StoredLength) << true << 3 << "";
    }

    void failuresKeepTheTimeAndTheChainGoesOn()
    {
        QFETCH(int, mode);
        QFETCH(bool, replied);
        QFETCH(int, committed);
        QFETCH(QString, says);
        TCheckWorld w(5, false);
        const QString before = QStringLiteral("20200101120000");
        w.Follow(QStringLiteral("alice"), before, 1, {QStringLiteral("1")});
        w.Follow(QStringLiteral("bob"), before, 1);
        w.api.AddTrack(QStringLiteral("alice"), {.id = QStringLiteral("1")});
        const QStringList fresh = w.api.AddTracks(QStringLiteral("alice"), 3, 500);
        w.api.AddTracks(QStringLiteral("bob"), 1, 500);
        w.api.SetMode(QStringLiteral("alice"), TApiMode(mode));

        w.Checks().QueueCheck(QStringLiteral("alice"), true);
        w.Checks().QueueCheck(QStringLiteral("bob"), true);
        w.rig.gui.Post(WM_CHECK_FOLLOWED);
        QVERIFY(w.WaitIdle());

        QCOMPARE(w.ended.size(), size_t(2));
        QCOMPARE(w.ended[0].replied, replied);
        QCOMPARE(w.ended[0].failure.isEmpty(), replied);
        QVERIFY2(says.isEmpty() || w.ended[0].failure.startsWith(says),
                 qPrintable(w.ended[0].failure));
        QVERIFY2(w.ended[1].replied, qPrintable(w.ended[1].failure));
        QCOMPARE(w.TrackIds(1), QStringList{"1"} + fresh.mid(0, committed));
        const auto alice = *w.Store().Summary(1);
        QCOMPARE(alice.status, std::uint8_t(PEOPLE_IDLE));
        if (replied) {
            QCOMPARE(alice.lastCheckTime.left(8), Today());
        } else {
            QCOMPARE(alice.lastCheckTime, before);
            QCOMPARE(w.rig.people.text(0, TFollowView::CheckTimeColumn), FormatCheckTime(before));
        }
        // What was committed was queued (newest first) and downloaded.
        QStringList queued = fresh.mid(0, committed);
        std::reverse(queued.begin(), queued.end());
        QCOMPARE(w.JobTracks(), queued + QStringList{w.TrackIds(2).value(0)});
        for (int job = 1; job <= w.Jobs().Count(); ++job)
            QCOMPARE(w.Jobs().Job(job)->t_Status.load(), int(JOB_FINISHED));
        // The reply files are gone; nothing else was written beside the rig's folders.
        QCOMPARE(QDir(w.rig.dir.path()).entryList(QDir::Files), QStringList());
    }

    void aServiceThatCannotBeReachedFailsEveryCheck()
    {
        TCheckWorld w;
        {
            qbtest::TTestHttpServer gone;
            ServiceHosts hosts = Hosts();
            hosts.SoundCloudApi = QStringLiteral("127.0.0.1:%1").arg(gone.Port());
            OverrideServiceHosts(hosts);
        }
        w.Follow(QStringLiteral("alice"), QStringLiteral("20200101120000"), 1);
        w.Follow(QStringLiteral("bob"), QString(), 1);
        QCOMPARE(w.Checks().AutoCheckPeople(), 2);
        QVERIFY(w.WaitIdle());
        QCOMPARE(w.ended.size(), size_t(2));
        for (const TCheckOutcome& o : w.ended) {
            QVERIFY(!o.replied);
            QVERIFY(o.failure.startsWith(QLatin1String("no reply")));
        }
        QCOMPARE(w.Store().Summary(1)->lastCheckTime, QStringLiteral("20200101120000"));
        QCOMPARE(w.Store().Summary(2)->lastCheckTime, QString());
        QCOMPARE(w.rig.people.text(1, TFollowView::CheckTimeColumn), QString());
        // Still due at the next start.
        QCOMPARE(w.Checks().AutoCheckPeople(), 2);
        QVERIFY(w.WaitIdle());
    }

    // The name is one path segment, whatever it holds, and never becomes a file name.
    void hostileNamesRequestExactlyTheirOwnUser_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("segment");
        QTest::newRow("slash") << QStringLiteral("a/b") << QByteArray("a%2Fb");
        QTest::newRow("query") << QStringLiteral("x?y") << QByteArray("x%3Fy");
        QTest::newRow("fragment") << QStringLiteral("x#y") << QByteArray("x%23y");
        QTest::newRow("parent folder") << QStringLiteral("../x") << QByteArray("..%2Fx");
        QTest::newRow("dots only") << QStringLiteral("..") << QByteArray("%2E%2E");
        QTest::newRow("the followed-user file")
            << QStringLiteral("data/followuser.xml") << QByteArray("data%2Ffollowuser.xml");
        QTest::newRow("blank and percent") << QStringLiteral("a b%20") << QByteArray("a%20b%2520");
        QTest::newRow("not ASCII") << QStringLiteral("Zoë") << QByteArray("Zo%C3%AB");
    }

    void hostileNamesRequestExactlyTheirOwnUser()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, segment);
        TCheckWorld w;
        // Files a name built into a path would reach.
        const QString file = w.rig.dir.filePath(QStringLiteral("data/followuser.xml"));
        QVERIFY(QDir().mkpath(w.rig.dir.filePath(QStringLiteral("data"))));
        QVERIFY(WriteBytes(file, "keep me"));
        QVERIFY(WriteBytes(w.rig.dir.filePath(QStringLiteral("x")), "keep me too"));
        w.Follow(name);
        w.api.AddTracks(name, 1);

        w.Checks().QueueCheck(name, false);
        w.rig.gui.Post(WM_CHECK_FOLLOWED);
        QVERIFY(w.WaitIdle());

        QCOMPARE(w.api.Targets(), QList<QByteArray>{w.Target(segment).toUtf8()});
        QCOMPARE(w.api.Requests(name), 1);
        QVERIFY2(w.ended.at(0).replied, qPrintable(w.ended.at(0).failure));
        QCOMPARE(w.Store().Summary(1)->tracksCount, 1);
        QCOMPARE(ReadBytes(file), QByteArray("keep me"));
        QCOMPARE(ReadBytes(w.rig.dir.filePath(QStringLiteral("x"))), QByteArray("keep me too"));
        QCOMPARE(QDir(w.rig.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"data", "x"}));
        QCOMPARE(QDir(w.rig.dir.filePath(QStringLiteral("data"))).entryList(QDir::Files),
                 QStringList{"followuser.xml"});
        // The user's page names the same single segment.
        QCOMPARE(TFollowCommands::UserPage(name), QStringLiteral("https://") +
                                                      Hosts().SoundCloudWeb + QLatin1Char('/') +
                                                      QString::fromLatin1(segment));
    }

    // What a reply adds and queues: known ids, the count limit, all, list only, tracks
    // without a usable link.
    void newTracksAndTheirJobs_data()
    {
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<bool>("download");
        QTest::addColumn<bool>("all");
        QTest::addColumn<int>("latest");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("queued");
        const QStringList five{"t1", "t2", "t3", "t4", "t5"};
        QTest::newRow("all known: nothing added or queued")
            << five << true << false << 2 << QStringList() << QStringList();
        QTest::newRow("five new, newest two")
            << QStringList() << true << false << 2 << five << QStringList{"t5", "t4"};
        QTest::newRow("five new, all of them") << QStringList() << true << true << 2 << five
                                               << QStringList{"t5", "t4", "t3", "t2", "t1"};
        QTest::newRow("five new, list only")
            << QStringList() << false << false << 2 << five << QStringList();
        QTest::newRow("a count of 0 still queues one")
            << QStringList() << true << false << 0 << five << QStringList{"t5"};
        QTest::newRow("two known, three new")
            << QStringList{"t2", "t4"} << true << false << 9 << QStringList{"t1", "t3", "t5"}
            << QStringList{"t5", "t3", "t1"};
    }

    void newTracksAndTheirJobs()
    {
        QFETCH(QStringList, known);
        QFETCH(bool, download);
        QFETCH(bool, all);
        QFETCH(int, latest);
        QFETCH(QStringList, added);
        QFETCH(QStringList, queued);
        TCheckWorld w(latest, all);
        w.rig.engine.State().MaxDownloads = 0; // queued jobs stay queued
        w.Follow(QStringLiteral("alice"), QString(), 0, known);
        for (int i = 1; i <= 5; ++i)
            w.api.AddTrack(QStringLiteral("alice"), {.id = QStringLiteral("t%1").arg(i)});
        int startJobs = 0;
        w.rig.gui.SetHandler(WM_START_JOBS, [&startJobs](int) { ++startJobs; });

        w.Checks().QueueCheck(QStringLiteral("alice"), download);
        w.rig.gui.Post(WM_CHECK_FOLLOWED);
        QVERIFY(w.WaitIdle(false));

        QVERIFY(w.ended.at(0).replied);
        QCOMPARE(w.TrackIds(1), known + added);
        QCOMPARE(w.JobTracks(), queued);
        QCOMPARE(w.rig.downloads.rowCount(), int(queued.size()));
        QCOMPARE(startJobs, queued.isEmpty() ? 0 : 1);
        // Tracks and time are refreshed in every case.
        QCOMPARE(w.rig.people.text(0, TFollowView::TracksColumn), QString::number(5));
        QCOMPARE(w.rig.people.text(0, TFollowView::CheckTimeColumn),
                 FormatCheckTime(w.Store().Summary(1)->lastCheckTime));
        for (int job = 1; job <= w.Jobs().Count(); ++job) {
            const TDownloadJobs* j = w.Jobs().Job(job);
            QCOMPARE(j->t_Status.load(), int(JOB_QUEUED));
            QVERIFY(j->t_DownloadFollowed.load());
            QCOMPARE(j->t_FollowedUser.get(), QStringLiteral("alice"));
            QVERIFY(j->t_URL.get().startsWith(QStringLiteral("http://") + w.sc.Host()));
        }
    }

    // Fields never carry over from one track to the next: a track without an id is not
    // kept, one without a usable link is listed but never queued.
    void tracksWithoutIdOrLink()
    {
        TCheckWorld w(9, false);
        w.rig.engine.State().MaxDownloads = 0;
        w.Follow(QStringLiteral("alice"));
        w.api.AddTrack(QStringLiteral("alice"), {.id = QStringLiteral("a")});
        w.api.AddTrack(QStringLiteral("alice"),
                       {.id = QStringLiteral("b"), .withPermalink = false});
        w.api.AddTrack(QStringLiteral("alice"), {.id = QStringLiteral("c"), .withId = false});
        w.api.AddTrack(QStringLiteral("alice"),
                       {.id = QStringLiteral("d"), .permalink = "http://example.org/alice/d"});
        w.Checks().QueueCheck(QStringLiteral("alice"), true);
        w.rig.gui.Post(WM_CHECK_FOLLOWED);
        QVERIFY(w.WaitIdle(false));
        QCOMPARE(w.TrackIds(1), (QStringList{"a", "b", "d"}));
        QCOMPARE(w.Store().Track(1, 2)->t_permalink_url, QString());
        QCOMPARE(w.JobTracks(), QStringList{"a"});
    }

    // Check pressed again: a waiting name is not queued twice; a name whose check runs is
    // queued again, and its user stays checking until both have ended.
    void pendingChecksKeepTheUserChecking()
    {
        TCheckWorld w;
        w.Follow(QStringLiteral("alice"));
        w.Follow(QStringLiteral("bob"));
        w.api.AddTracks(QStringLiteral("alice"), 2);
        w.api.AddTracks(QStringLiteral("bob"), 2);
        w.api.SetMode(QStringLiteral("alice"), TApiMode::Slow);
        w.rig.SelectPeople({0, 1});
        w.Checks().ButtCheckClick();
        w.Checks().ButtCheckClick();
        QCOMPARE(w.Checks().CheckNameList().size(), size_t(2));
        QCOMPARE(w.rig.people.text(1, TFollowView::CheckTimeColumn), Lang("Msg1_8"));

        // alice's check starts; Check again queues her behind bob.
        w.rig.gui.Drain();
        QCOMPARE(w.rig.people.text(0, TFollowView::CheckTimeColumn), Lang("Msg1_9"));
        QCOMPARE(w.Checks().CheckNameList().size(), size_t(1));
        w.rig.SelectPeople({0});
        w.Checks().ButtCheckClick();
        QCOMPARE(w.Checks().PendingChecks(1), 2);
        // Neither user can be deleted while checks are pending.
        w.rig.prompts.answers = {true};
        w.rig.SelectPeople({0, 1});
        w.rig.Commands().ButtDeletePeopleClick();
        QCOMPARE(w.rig.people.rowCount(), 2);

        QDeadlineTimer deadline(30000);
        while (w.ended.empty() && !deadline.hasExpired()) {
            w.rig.gui.Drain();
            QTest::qWait(5);
        }
        QCOMPARE(w.ended.size(), size_t(1));
        QCOMPARE(w.Checks().PendingChecks(1), 1);
        QCOMPARE(w.Store().Summary(1)->status, std::uint8_t(PEOPLE_CHECKING));
        QVERIFY(w.WaitIdle());
        QStringList order;
        for (const TCheckOutcome& o : w.ended)
            order.append(o.name);
        QCOMPARE(order, (QStringList{"alice", "bob", "alice"}));
        QCOMPARE(w.Checks().PendingChecks(1), 0);
        QCOMPARE(w.Store().Summary(1)->status, std::uint8_t(PEOPLE_IDLE));
        QCOMPARE(w.Store().Summary(2)->status, std::uint8_t(PEOPLE_IDLE));
    }

    // Rows of a check go into the track list only while it shows the checked user.
    void trackRowsOnlyForTheShownUser()
    {
        TCheckWorld w;
        w.Follow(QStringLiteral("alice"), QString(), 0, {QStringLiteral("k")});
        w.Follow(QStringLiteral("bob"));
        w.api.AddTracks(QStringLiteral("bob"), 3);
        w.rig.SelectPeople({0});
        QCOMPARE(w.rig.tracks.rowCount(), 1);
        w.Checks().QueueCheck(QStringLiteral("bob"), false);
        w.rig.gui.Post(WM_CHECK_FOLLOWED);
        QVERIFY(w.WaitIdle());
        QCOMPARE(w.rig.tracks.rowCount(), 1);
        QCOMPARE(w.rig.tracks.text(0, TFollowView::IdColumn), QStringLiteral("k"));
        QCOMPARE(w.rig.people.text(1, TFollowView::TracksColumn), QStringLiteral("3"));
    }
};

QB_TEST(TestFollowCheck, "e2e");
#include "TestFollowCheck.moc"
