#pragma once

#include "FakeSoundCloud.h"
#include "FakeSoundCloudApi.h"
#include "FollowRig.h"

#include "base/AppSettings.h"
#include "base/ThreadRegistry.h"
#include "follow/FollowFormats.h"
#include "follow/TFollowChecks.h"
#include "jobs/DownloadState.h"

#include <QDeadlineTimer>
#include <QTest>

#include <vector>

// Following users wired as the window wires it, with a fake SoundCloud API whose tracks
// link to pages of a fake SoundCloud service that download for real. The data folder and
// the save folder lie in the rig's temporary folder.
struct TCheckWorld
{
    qbtest::TFakeSoundCloud sc;
    qbtest::TFakeSoundCloudApi api{&sc};
    TFollowRig rig; // last: destroyed before the services its threads talk to
    std::vector<TCheckOutcome> ended;

    TCheckWorld(int latestTrackCount = 2, bool downloadAll = false)
    {
        sc.UseAsSoundCloud();
        api.UseAsApi();
        AppSettings().SetDataDir(rig.dir.path() + QLatin1Char('/'));
        AppSettings().SetSaveToFolder(rig.dir.path() + QStringLiteral("/save/"));
        AppSettings().SetLatestTrackCount(latestTrackCount);
        AppSettings().SetDownloadAllSoundFiles(downloadAll);
        rig.engine.State().MaxDownloads = 10;
        Checks().OnCheckEnded = [this](const TCheckOutcome& o) {
            ended.push_back(o);
        };
    }

    TFollowChecks& Checks() { return rig.following.Checks(); }
    TFollowedPeople& Store() { return rig.Store(); }
    TDownloadJobTable& Jobs() { return rig.engine.State().DownloadJobs; }
    QString SaveFolder() const { return rig.dir.path() + QStringLiteral("/save/"); }

    // A followed user with the given last check time, auto-check and known track ids.
    int Follow(const QString& name, const QString& lastCheck = {}, std::uint8_t autoCheck = 0,
               const QStringList& knownIds = {})
    {
        TPeopleInfo p;
        p.t_Name = name;
        p.t_lastCheckTime = lastCheck;
        p.t_AutoCheck = autoCheck;
        for (const QString& id : knownIds)
            p.t_TracksInfo.push_back(qbtest::MakeTrack(id, QStringLiteral("known ") + id));
        p.t_TracksCount = static_cast<int>(p.t_TracksInfo.size());
        const int id = Store().AppendPeople(p);
        rig.people.appendItem({QString(),
                               {name, QString::number(p.t_TracksCount), QStringLiteral("0"),
                                FormatCheckTime(lastCheck)},
                               -1,
                               0,
                               autoCheck != 0});
        return id;
    }

    // Until no check runs or waits and no thread runs; with jobs, until no job waits either.
    bool WaitIdle(bool jobs = true, int ms = 60000)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            rig.gui.Drain();
            if (!Checks().Busy() && rig.engine.LiveWorkers() == 0 &&
                (!jobs || rig.engine.State().FindStartableJob() == 0) &&
                ThreadRegistry::LiveCount() == 0) {
                rig.gui.Drain();
                return true;
            }
            if (deadline.hasExpired())
                return false;
            QTest::qWait(5);
        }
    }

    // Ids of the followed tracks of the jobs, in job order.
    QStringList JobTracks()
    {
        QStringList out;
        for (int id = 1; id <= Jobs().Count(); ++id)
            out.append(Jobs().Job(id)->t_FollowedTrackID.get());
        return out;
    }

    QStringList TrackIds(int peopleId)
    {
        QStringList out;
        for (const TTracksInfo& t : Store().Tracks(peopleId))
            out.append(t.t_id);
        return out;
    }

    static QString Target(const QByteArray& segment)
    {
        return QStringLiteral("/users/") + QString::fromLatin1(segment) +
               QStringLiteral("/tracks?client_id=") +
               QLatin1String(qbtest::TFakeSoundCloudApi::kClientId);
    }
};
