#include "FollowRig.h"
#include "TestRegistry.h"

#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "jobs/DownloadState.h"
#include "language/LangStrings.h"

#include <QTest>

#include <memory>

using namespace qbtest;

// Add, Delete and Download on the core models, as the panel forwards them.
class TestFollowCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<TFollowRig> m_rig;

    TFollowRig& rig() { return *m_rig; }

    void addUsers(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            rig().Commands().ButtAddPeopleClick(QString::fromUtf8(name));
    }

    // A queued job of a followed user that never starts.
    void queueJobOf(const QString& user)
    {
        rig().engine.State().MaxDownloads = 0;
        AddDownloadJob(rig().engine.Intake(), QStringLiteral("http://soundcloud.com/x/y"), true,
                       user, QStringLiteral("1"));
    }

private Q_SLOTS:
    void initTestCase() { LoadDefaultLanguage(); }

    void init() { m_rig = std::make_unique<TFollowRig>(); }
    void cleanup() { m_rig.reset(); }

    void add_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("duplicates");
        QTest::newRow("trimmed of blanks and controls")
            << QStringList{"  alice \t"} << QStringList{"alice"} << 0;
        QTest::newRow("empty does nothing") << QStringList{"", " \n "} << QStringList{} << 0;
        QTest::newRow("same name in other case is a duplicate")
            << QStringList{"Alice", "ALICE "} << QStringList{"Alice"} << 1;
        QTest::newRow("two users")
            << QStringList{"alice", "bob"} << QStringList{"alice", "bob"} << 0;
    }

    void add()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, rows);
        QFETCH(int, duplicates);
        for (const QString& text : typed)
            rig().Commands().ButtAddPeopleClick(text);
        QCOMPARE(rig().Column(rig().people, TFollowView::NameColumn), rows);
        QCOMPARE(rig().prompts.messages.size(), duplicates);
        if (duplicates)
            QCOMPARE(rig().prompts.messages.front(), Lang("Msg1_10"));
        QCOMPARE(rig().Store().FollowedPeopleCount(), rows.size());
        for (int row = 0; row < rows.size(); ++row) {
            // A new user's row: box cleared, only the name.
            QVERIFY(!rig().people.item(row).checked);
            QCOMPARE(rig().people.text(row, TFollowView::TracksColumn), QString());
        }
    }

    void deleteKeepsBusyUsersSelected_data()
    {
        QTest::addColumn<QString>("busy");
        QTest::addColumn<bool>("checking");
        QTest::newRow("second has a queued download") << "bob" << false;
        QTest::newRow("second waits for a check") << "bob" << true;
    }

    void deleteKeepsBusyUsersSelected()
    {
        QFETCH(QString, busy);
        QFETCH(bool, checking);
        addUsers({"alice", "bob", "carol"});
        if (checking)
            rig().Store().SetPeopleStatus(rig().Store().GetPeopleArrayID(busy), PEOPLE_CHECKING);
        else
            queueJobOf(busy.toUpper());
        rig().SelectPeople({0, 1, 2});
        rig().prompts.answers = {true};
        rig().Commands().ButtDeletePeopleClick();
        QCOMPARE(rig().prompts.questions, QStringList{Lang("Msg1_11")});
        QCOMPARE(rig().Column(rig().people, TFollowView::NameColumn), QStringList{"bob"});
        QCOMPARE(rig().View().SelectedPeopleRows(), QList<int>{0});
        QCOMPARE(rig().Store().GetPeopleArrayID(QStringLiteral("alice")), 0);
        QCOMPARE(rig().Store().GetPeopleArrayID(QStringLiteral("bob")), 2);
    }

    void deleteAnsweredNoChangesNothing()
    {
        addUsers({"alice"});
        rig().SelectPeople({0});
        rig().prompts.answers = {false};
        rig().Commands().ButtDeletePeopleClick();
        QCOMPARE(rig().people.rowCount(), 1);
        QCOMPARE(rig().Store().GetPeopleArrayID(QStringLiteral("alice")), 1);
    }

    void deletedNameCanBeAddedAgain()
    {
        addUsers({"alice"});
        rig().SelectPeople({0});
        rig().prompts.answers = {true};
        rig().Commands().ButtDeletePeopleClick();
        QCOMPARE(rig().people.rowCount(), 0);
        addUsers({"Alice"});
        QCOMPARE(rig().people.rowCount(), 1);
        QCOMPARE(rig().Store().FollowedPeopleCount(), 2);
        QVERIFY(rig().prompts.messages.isEmpty());
        // Only the followed record is saved.
        QCOMPARE(rig().following.FormCloseQuery(true), true);
        TFollowedPeople reread;
        QVERIFY(TPeopleFile(rig().following.File().Path()).ReadPeopleInfo(reread));
        QCOMPARE(reread.FollowedPeopleCount(), 1);
        QCOMPARE(reread.Summary(1)->name, QStringLiteral("Alice"));
    }

    void downloadQueuesTheShownTracksAfterASort()
    {
        const QString web = Hosts().SoundCloudWeb;
        TPeopleInfo alice;
        alice.t_Name = QStringLiteral("alice");
        alice.t_TracksInfo = {
            MakeTrack("1", "long", "300000", "", "https://" + web + "/alice/long"),
            MakeTrack("2", "short", "1000", "", "HTTPS://" + web + "/alice/short"),
            MakeTrack("3", "elsewhere", "2000", "", "http://example.org/alice/mid"),
            MakeTrack("4", "none", "5000", "", "")};
        alice.t_TracksCount = 4;
        rig().Store().AppendPeople(alice);
        rig().View().ShowPeopleList();
        rig().engine.State().MaxDownloads = 0;
        rig().SelectPeople({0});
        rig().View().TracksListColumnClick(TFollowView::DurationColumn);
        QCOMPARE(rig().Column(rig().tracks, TFollowView::IdColumn),
                 (QStringList{"2", "3", "4", "1"}));
        rig().SelectTracks({0, 1, 2, 3});
        rig().Commands().ButtDownloadTrackClick();
        // Top to bottom as shown; a link of another site and a track without one queue
        // nothing; the link is taken as a pasted one, the stored one stays.
        TDownloadState& state = rig().engine.State();
        QCOMPARE(state.DownloadJobs.Count(), 2);
        const TDownloadJobs* first = state.DownloadJobs.Job(1);
        QCOMPARE(first->t_URL.get(), "http://" + web + "/alice/short");
        QCOMPARE(first->t_FollowedTrackID.get(), QStringLiteral("2"));
        QCOMPARE(first->t_FollowedUser.get(), QStringLiteral("alice"));
        QVERIFY(first->t_DownloadFollowed.load());
        QCOMPARE(first->t_Status.load(), int(JOB_QUEUED));
        QCOMPARE(state.DownloadJobs.Job(2)->t_FollowedTrackID.get(), QStringLiteral("1"));
        QCOMPARE(rig().Store().Track(1, 2)->t_permalink_url, "HTTPS://" + web + "/alice/short");
        QCOMPARE(rig().downloads.rowCount(), 2);
    }

    void downloadNeedsOneUserAndChecksTheRowsUser()
    {
        rig().engine.State().MaxDownloads = 0;
        TPeopleInfo alice;
        alice.t_Name = QStringLiteral("alice");
        alice.t_TracksInfo = {MakeTrack("1", "a", "", "", "http://soundcloud.com/a/1")};
        alice.t_TracksCount = 1;
        rig().Store().AppendPeople(alice);
        rig().Store().AppendPeople(alice);
        rig().Store().AddPeople(QStringLiteral("bob"));
        rig().View().ShowPeopleList();
        rig().SelectPeople({0, 2});
        rig().Commands().ButtDownloadTrackClick();
        QCOMPARE(rig().engine.State().DownloadJobs.Count(), 0);
        // A row that belongs to another user than the one shown queues nothing.
        rig().SelectPeople({0});
        ListItem stray = rig().tracks.item(0);
        stray.owner = 3;
        rig().tracks.appendItem(stray);
        rig().SelectTracks({1});
        rig().Commands().ButtDownloadTrackClick();
        QCOMPARE(rig().engine.State().DownloadJobs.Count(), 0);
    }
};

QB_TEST(TestFollowCommands, "unit");
#include "TestFollowCommands.moc"
