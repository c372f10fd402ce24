// Checks of followed users against the fake API, as the window runs them:
//   1. one check of a 500-track reply (all new, then all known): CPU of the check thread
//      per reply, and of the reply's parse alone;
//   2. the daily check of 200 users (20 new tracks each, newest 5 queued): wall time of the
//      chain, the process's CPU per user (check thread and the in-process fake API), and the
//      GUI thread's time in the check tasks (row updates, queued-job rows, each check's end);
//   3. one check that queues 10,000 followed jobs: GUI-thread time to take them in, against
//      adding the same jobs one row at a time.
//   4. one user with 25,000, 50,000 and 100,000 tracks: wall time of the first check (all
//      new) and of the next one (all known), which should grow in step with the tracks.
//   bench_follow_check [RUNS]   (default 5; medians are printed; part 4 runs once per size)
// Jobs are queued but not started (a limit of 0 downloads), so the figures are the checks'.
#include "FakeDesktop.h"
#include "FakeSoundCloud.h"
#include "FakeSoundCloudApi.h"
#include "TestHttpServer.h"

#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "base/ThreadRegistry.h"
#include "base/WindowMessages.h"
#include "follow/TFollowChecks.h"
#include "follow/TFollowView.h"
#include "follow/TFollowedPeople.h"
#include "follow/TFollowing.h"
#include "follow/TSearchSoundCloudInfoThread.h"
#include "follow/TTrackListReader.h"
#include "follow/TTracksInfo.h"
#include "jobs/DownloadState.h"
#include "jobs/LinkIntake.h"
#include "jobs/ListViewModel.h"
#include "net/TRequestSlot.h"
#include "worker/DownloadEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTemporaryDir>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double ProcessCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Following users wired as the window wires it, without widgets.
struct Rig
{
    QTemporaryDir dir;
    TMessageQueue gui;
    ListViewModel downloads{{"File", "Size", "Status", "URL"}};
    ListViewModel people{{"Auto Check", "Name", "Tracks", "Downloads", "Last check time"}, true};
    ListViewModel tracks{{"ID", "Title", "Duration", "Size", "Created at", "Downloaded at"}};
    QItemSelectionModel peopleSelection{&people};
    QItemSelectionModel tracksSelection{&tracks};
    TDownloadEngine engine{downloads, gui};
    FakePrompts prompts; // answers No, as nobody is there
    FakeDesktop desktop;
    TFollowing following{
        people,          peopleSelection, tracks,
        tracksSelection, engine.Intake(), engine.Workers(),
        prompts,         desktop,         dir.filePath(QStringLiteral("data/followuser.xml"))};
    double guiMs = 0; // time spent running GUI-thread tasks

    Rig()
    {
        AppSettings().SetDataDir(dir.path() + QLatin1Char('/'));
        engine.State().MaxDownloads = 0;
    }

    // Runs the GUI thread's tasks until no check runs or waits and no thread is left.
    void RunChecks()
    {
        for (;;) {
            QElapsedTimer busy;
            busy.start();
            gui.Drain();
            guiMs += double(busy.nsecsElapsed()) / 1e6;
            if (!following.Checks().Busy() && ThreadRegistry::LiveCount() == 0)
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

void OneReply(int runs)
{
    qbtest::TFakeSoundCloud pages;
    qbtest::TFakeSoundCloudApi api(&pages);
    pages.UseAsSoundCloud();
    api.UseAsApi();
    api.AddTracks(QStringLiteral("alice"), 500);
    const QByteArray reply = api.TrackListXml(QStringLiteral("alice"));

    std::vector<double> fresh, known, parse;
    for (int run = 0; run < runs; ++run) {
        Rig rig;
        const int id = rig.following.FollowedPeople().AddPeople(QStringLiteral("alice"));
        TRequestSlot slot;
        for (std::vector<double>* figure : {&fresh, &known}) {
            TSearchSoundCloudInfoThread check(
                {rig.following.FollowedPeople(), rig.engine.Intake(), slot},
                QStringLiteral("alice"), true);
            const double start = ThreadCpuMs();
            check.Execute();
            figure->push_back(ThreadCpuMs() - start);
            if (!check.Outcome().replied)
                std::fprintf(stderr, "check failed: %s\n", qPrintable(check.Outcome().failure));
        }
        if (rig.following.FollowedPeople().Summary(id)->tracksCount != 500)
            std::fprintf(stderr, "expected 500 tracks\n");
        int count = 0;
        const double start = ThreadCpuMs();
        TTrackListReader::ReadBytes(reply, [&count](const TTracksInfo&) { ++count; });
        parse.push_back(ThreadCpuMs() - start);
        rig.gui.Drain();
    }
    std::printf("One check of a 500-track reply (%lld KiB):\n", (long long)(reply.size() / 1024));
    std::printf("  check thread CPU, all tracks new:   %8.2f ms\n", Median(fresh));
    std::printf("  check thread CPU, all tracks known: %8.2f ms\n", Median(known));
    std::printf("  parse of the reply alone:           %8.2f ms\n", Median(parse));
}

void DailyCheck(int runs)
{
    constexpr int kUsers = 200;
    constexpr int kTracks = 20;
    std::vector<double> wall, gui, cpu;
    for (int run = 0; run < runs; ++run) {
        qbtest::TFakeSoundCloud pages;
        qbtest::TFakeSoundCloudApi api(&pages);
        pages.UseAsSoundCloud();
        api.UseAsApi();
        Rig rig;
        AppSettings().SetLatestTrackCount(5);
        AppSettings().SetDownloadAllSoundFiles(false);
        TFollowedPeople& store = rig.following.FollowedPeople();
        for (int u = 1; u <= kUsers; ++u) {
            const QString name = QStringLiteral("user-%1").arg(u);
            TPeopleInfo p;
            p.t_Name = name;
            p.t_AutoCheck = 1;
            p.t_lastCheckTime = QStringLiteral("20240101120000");
            store.AppendPeople(p);
            api.AddTracks(name, kTracks);
        }
        rig.following.View().ShowPeopleList();
        // The track list shows the last user, so its check appends rows there too.
        rig.peopleSelection.select(rig.people.index(kUsers - 1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = ProcessCpuMs();
        rig.guiMs = 0;
        rig.following.Checks().AutoCheckPeople();
        rig.RunChecks();
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back((ProcessCpuMs() - cpuStart) / kUsers);
        gui.push_back(rig.guiMs);
        if (rig.engine.State().DownloadJobs.Count() != kUsers * 5)
            std::fprintf(stderr, "expected %d jobs, got %d\n", kUsers * 5,
                         rig.engine.State().DownloadJobs.Count());
    }
    std::printf("Daily check of %d users, %d new tracks each, newest 5 queued:\n", kUsers, kTracks);
    std::printf("  wall time of the chain:             %8.1f ms\n", Median(wall));
    std::printf("  process CPU per user:               %8.2f ms\n", Median(cpu));
    std::printf("  GUI-thread time in check tasks:     %8.2f ms (%.3f ms per user)\n", Median(gui),
                Median(gui) / kUsers);
}

void TenThousandJobs(int runs)
{
    constexpr int kJobs = 10000;
    qbtest::TFakeSoundCloud pages;
    qbtest::TFakeSoundCloudApi api(&pages);
    pages.UseAsSoundCloud();
    api.UseAsApi();
    for (int t = 0; t < kJobs; ++t)
        api.AddTrack(
            QStringLiteral("alice"),
            {.id = QString::number(500000 + t),
             .title = QStringLiteral("alice song %1").arg(t),
             .permalink = QStringLiteral("https://%1/alice/song-%2").arg(pages.Host()).arg(t)});
    std::vector<double> gui, wall, single;
    for (int run = 0; run < runs; ++run) {
        Rig rig;
        AppSettings().SetDownloadAllSoundFiles(true);
        rig.following.FollowedPeople().AddPeople(QStringLiteral("alice"));
        rig.following.View().AppendPeopleRow(QStringLiteral("alice"));
        QElapsedTimer timer;
        timer.start();
        rig.guiMs = 0;
        rig.following.Checks().QueueCheck(QStringLiteral("alice"), true);
        rig.gui.Post(WM_CHECK_FOLLOWED);
        rig.RunChecks();
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        gui.push_back(rig.guiMs);
        if (rig.downloads.rowCount() != kJobs)
            std::fprintf(stderr, "expected %d rows, got %d\n", kJobs, rig.downloads.rowCount());

        // The same jobs added one by one from another thread: a task and a row each.
        Rig one;
        std::thread adder([&one] {
            for (int t = 0; t < kJobs; ++t)
                AddDownloadJob(one.engine.Intake(), QStringLiteral("http://x/alice/%1").arg(t),
                               true, QStringLiteral("alice"), QString::number(t));
        });
        adder.join();
        QElapsedTimer busy;
        busy.start();
        one.gui.Drain();
        single.push_back(double(busy.nsecsElapsed()) / 1e6);
    }
    std::printf("A check queueing %d followed jobs (all new tracks wanted):\n", kJobs);
    std::printf("  wall time of the check:             %8.1f ms\n", Median(wall));
    std::printf("  GUI-thread time to take them in:    %8.2f ms\n", Median(gui));
    std::printf("  the same jobs one row at a time:    %8.2f ms\n", Median(single));
}

// A user's list of count tracks with the fields a check keeps, but short, so the largest
// list stays within what a check takes.
QByteArray CompactTrackList(int count)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tracks type=\"array\">\n";
    out.reserve(qsizetype(count) * 200);
    for (int t = 1; t <= count; ++t) {
        const QByteArray n = QByteArray::number(t);
        out += "<track><id>" + n +
               "</id><created-at>2013/05/03 10:00:00 +0000</created-at>"
               "<duration>225000</duration><title>song " +
               n + "</title><permalink-url>https://soundcloud.com/alice/song-" + n +
               "</permalink-url></track>\n";
    }
    return out + "</tracks>\n";
}

void ManyTracks()
{
    std::printf("One user with many tracks (wall time of one check):\n");
    for (const int count : {25000, 50000, 100000}) {
        const QByteArray reply = CompactTrackList(count);
        qbtest::TTestHttpServer api;
        api.SetHandler([&reply](const qbtest::TRecordedRequest&) {
            return qbtest::TScriptedReply::Response(
                200, "OK", reply, {"Content-Type: application/xml; charset=utf-8"});
        });
        ServiceHosts hosts = Hosts();
        hosts.SoundCloudApi = QStringLiteral("127.0.0.1:%1").arg(api.Port());
        OverrideServiceHosts(hosts);
        Rig rig;
        const int id = rig.following.FollowedPeople().AddPeople(QStringLiteral("alice"));
        TRequestSlot slot;
        double figures[2] = {};
        for (double& figure : figures) {
            TSearchSoundCloudInfoThread check(
                {rig.following.FollowedPeople(), rig.engine.Intake(), slot},
                QStringLiteral("alice"), false);
            QElapsedTimer timer;
            timer.start();
            check.Execute();
            figure = double(timer.nsecsElapsed()) / 1e6;
            if (!check.Outcome().replied)
                std::fprintf(stderr, "check failed: %s\n", qPrintable(check.Outcome().failure));
        }
        if (rig.following.FollowedPeople().Summary(id)->tracksCount != count)
            std::fprintf(stderr, "expected %d tracks\n", count);
        std::printf("  %6d tracks (%5lld KiB): first %8.1f ms, next %8.1f ms\n", count,
                    (long long)(reply.size() / 1024), figures[0], figures[1]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    OneReply(runs);
    DailyCheck(runs);
    TenThousandJobs(runs);
    ManyTracks();
    return 0;
}
