#include "FakeSoundCloud.h"
#include "FollowRig.h"
#include "TestRegistry.h"

#include "base/AppSettings.h"
#include "base/WindowMessages.h"
#include "follow/FollowFormats.h"
#include "jobs/DownloadState.h"
#include "language/LangStrings.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTest>

using namespace qbtest;

// A followed track queued from the panel, fetched by a real worker from the fake service,
// marked in the store from the worker and shown through the GUI thread.
class TestFollowedDownload : public QObject
{
    Q_OBJECT

    static bool WaitIdle(TFollowRig& rig)
    {
        QDeadlineTimer deadline(30000);
        rig.gui.Drain();
        while (rig.engine.LiveWorkers() > 0 || rig.engine.State().FindStartableJob() > 0) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(10);
        }
        rig.gui.Drain();
        return true;
    }

private Q_SLOTS:
    void initTestCase() { LoadDefaultLanguage(); }

    void finishedFollowedDownloadMarksItsTrack()
    {
        TFakeSoundCloud sc;
        sc.UseAsSoundCloud();
        TFollowRig rig;
        AppSettings().SetSaveToFolder(rig.dir.path() + QLatin1Char('/'));
        rig.engine.State().MaxDownloads = 10;
        const QString link = sc.AddTrack({.name = "Followed Song", .size = 40000});
        const QString other = sc.AddTrack({.name = "Other", .size = 100});
        TPeopleInfo alice;
        alice.t_Name = QStringLiteral("alice");
        // An https permalink as the service gives it: fetched over http.
        alice.t_TracksInfo = {MakeTrack("11", "Followed Song", "1000", "40000",
                                        QStringLiteral("https://") + link.mid(7)),
                              MakeTrack("12", "Other", "1000", "100", other)};
        alice.t_TracksCount = 2;
        rig.Store().AppendPeople(alice);
        rig.View().ShowPeopleList();
        QCOMPARE(rig.people.text(0, TFollowView::DownloadsColumn), QStringLiteral("0"));

        rig.SelectPeople({0});
        rig.SelectTracks({0});
        rig.Commands().ButtDownloadTrackClick();
        QVERIFY(WaitIdle(rig));

        QCOMPARE(rig.engine.State().DownloadJobs.Job(1)->t_Status.load(), int(JOB_FINISHED));
        const QString file = rig.dir.path() + QStringLiteral("/Followed Song.mp3");
        QCOMPARE(QFileInfo(file).size(), 40000);
        const TTracksInfo track = *rig.Store().Track(1, 1);
        QCOMPARE(track.t_Status, std::uint8_t(TRACK_DOWNLOADED));
        QCOMPARE(track.t_Downloaded_LocalFile, file);
        QCOMPARE(track.t_downloaded_at.size(), 14);
        QCOMPARE(rig.Store().Track(1, 2)->t_downloaded_at, QString());
        QCOMPARE(rig.people.text(0, TFollowView::DownloadsColumn), QStringLiteral("1"));
        QCOMPARE(rig.tracks.text(0, TFollowView::DownloadedColumn),
                 FormatCheckTime(track.t_downloaded_at));
        QCOMPARE(rig.tracks.text(1, TFollowView::DownloadedColumn), QString());

        // The folder command reveals the file; once it is gone it says so with the path.
        rig.Commands().PMTrackListOpenfolderClick();
        QCOMPARE(rig.desktop.revealed, QStringList{file});
        QVERIFY(QFile::remove(file));
        rig.Commands().PMTrackListOpenfolderClick();
        QCOMPARE(rig.prompts.messages,
                 QStringList{QStringLiteral("Can not find the downloaded file:") + file});
    }
};

QB_TEST(TestFollowedDownload, "e2e");
#include "TestFollowedDownload.moc"
