// fake-services --hosts-file FILE [--tracks N] [--size BYTES] [--slow] [--version X]
//               [--users NAME,NAME...] [--user-tracks N] [--grow] [--videos N]
//
// Serves N SoundCloud-like track pages and streams on 127.0.0.1, writes a hosts file for
// QUILLBROOK_SERVICES that points the SoundCloud web host at them, prints one track link a
// line, and serves until it is stopped (Ctrl+C). With --version, a fake of our web site
// answers the update check with version X (written as given, so anything can be tried).
// With --users it also serves the API's track lists of those users (--user-tracks each,
// default 3; their tracks download like the others); --grow adds one new track to a user's
// list at every check. With --videos, a YouTube-like service serves N watch pages whose
// streams are ten minutes of a tone made with the ffmpeg command.
#include "FakeMakerSite.h"
#include "FakeSoundCloud.h"
#include "FakeSoundCloudApi.h"
#include "FakeYouTube.h"
#include "MediaFixtures.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

namespace {
int usage()
{
    std::fputs("usage: fake-services --hosts-file FILE [--tracks N] [--size BYTES] [--slow]\n"
               "                     [--version X] [--users NAME,NAME...] [--user-tracks N]\n"
               "                     [--grow] [--videos N]\n",
               stderr);
    return 2;
}

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QString hostsFile;
    int tracks = 5;
    qint64 size = 3 * 1024 * 1024;
    bool slow = false;
    QStringList users;
    int userTracks = 3;
    bool grow = false;
    QString version;
    int videos = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--hosts-file") && i + 1 < args.size())
            hostsFile = args[++i];
        else if (args[i] == QLatin1String("--tracks") && i + 1 < args.size())
            tracks = args[++i].toInt();
        else if (args[i] == QLatin1String("--size") && i + 1 < args.size())
            size = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--slow"))
            slow = true;
        else if (args[i] == QLatin1String("--users") && i + 1 < args.size())
            users = args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (args[i] == QLatin1String("--user-tracks") && i + 1 < args.size())
            userTracks = args[++i].toInt();
        else if (args[i] == QLatin1String("--grow"))
            grow = true;
        else if (args[i] == QLatin1String("--version") && i + 1 < args.size())
            version = args[++i];
        else if (args[i] == QLatin1String("--videos") && i + 1 < args.size())
            videos = args[++i].toInt();
        else
            return usage();
    }
    if (hostsFile.isEmpty() || tracks < 1 || size < 0 || userTracks < 0 || videos < 0)
        return usage();

    qbtest::TFakeSoundCloud service;
    qbtest::TFakeSoundCloudApi api(&service);
    const QString host = service.Host();
    std::unique_ptr<qbtest::TFakeMakerSite> maker;
    QString makerHost = host;
    if (!version.isEmpty()) {
        maker = std::make_unique<qbtest::TFakeMakerSite>();
        maker->SetReply(qbtest::TVerReply::Plain, version);
        makerHost = maker->Host();
    }
    std::unique_ptr<qbtest::TFakeYouTube> youtube;
    QStringList watchLinks;
    QTemporaryDir mediaDir;
    if (videos > 0) {
        youtube = std::make_unique<qbtest::TFakeYouTube>();
        const QString clip = mediaDir.filePath(QStringLiteral("clip.mp4"));
        if (!qbtest::runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("sine=frequency=440:duration=600"),
                                QStringLiteral("-c:a"), QStringLiteral("aac"), clip})) {
            std::fputs("the ffmpeg command could not make the clip\n", stderr);
            return 1;
        }
        QFile file(clip);
        file.open(QIODevice::ReadOnly);
        static const char* const kTitles[] = {"Harbour Lights", "Say &amp;quot;Hello&amp;quot;",
                                              "Tape.Loop"};
        for (int i = 0; i < videos; ++i) {
            qbtest::TFakeVideo v;
            v.title = QString::fromLatin1(kTitles[i % 3]);
            if (i >= 3)
                v.title += QStringLiteral(" %1").arg(i / 3 + 1);
            v.media = file.readAll();
            file.seek(0);
            watchLinks.append(youtube->AddVideo(v));
        }
    }
    QFile hosts(hostsFile);
    if (!hosts.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(hostsFile));
        return 1;
    }
    hosts.write(QStringLiteral("[Hosts]\nSoundCloudWeb=%1\nSoundCloudApi=%2\nMaker=%3\n")
                    .arg(host, api.Host(), makerHost)
                    .toUtf8());
    if (youtube) {
        hosts.write(QStringLiteral("YouTube=%1\nYouTubeShort=%1\n").arg(youtube->Host()).toUtf8());
    }
    hosts.close();

    // The users first: whoever reads the links may check them at once.
    for (const QString& user : users) {
        api.AddUser(user);
        api.AddTracks(user, userTracks, size);
        std::fprintf(stderr, "followed user %s: %d track(s) at the API%s\n", qPrintable(user),
                     userTracks, grow ? ", one more at every check" : "");
    }
    api.SetGrowOnRequest(grow, size);

    static const char* const kNames[] = {"Morning Tide", "Copper Lanterns", "Slow River",
                                         "Night Market", "Paper Boats",     "Glasshouse"};
    for (int i = 0; i < tracks; ++i) {
        qbtest::TFakeTrack t;
        t.name = QString::fromLatin1(kNames[i % 6]);
        if (i >= 6)
            t.name += QStringLiteral(" %1").arg(i / 6 + 1);
        t.size = size;
        if (slow) {
            t.pieceSize = 16 * 1024;
            t.gap = std::chrono::milliseconds(40);
        }
        std::printf("%s\n", qPrintable(service.AddTrack(t)));
    }
    for (const QString& link : watchLinks)
        std::printf("%s\n", qPrintable(link));
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!g_stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}
