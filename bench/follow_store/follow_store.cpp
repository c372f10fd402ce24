// Loads and saves a large followed-user file through the store, against expat's xmlwf on
// the same file, with the memory a load takes beyond the store itself.
//   bench_follow_store [USERS [TRACKS [RUNS]]]   (defaults 200 users, 500 tracks, 5 runs)
// Each load runs in a child process of its own (bench_follow_store --load FILE OUT), so its
// peak memory is its own. bench_follow_store --write FILE [USERS [TRACKS]] only writes the
// file, for profiling a load by hand.
#include "follow/TFollowedPeople.h"
#include "follow/TPeopleFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A figure of /proc/self/status in bytes ("VmRSS", "VmHWM").
long long ProcStatus(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').front().toLongLong() * 1024;
    }
    return 0;
}

void Fill(TFollowedPeople& store, int users, int tracks)
{
    long long trackId = 100000000;
    for (int u = 1; u <= users; ++u) {
        TPeopleInfo p;
        p.t_Name = QStringLiteral("user-%1").arg(u);
        p.t_ID = QString::number(1000000 + u);
        p.t_username = QStringLiteral("User %1").arg(u);
        p.t_permalink_url = QStringLiteral("http://soundcloud.com/") + p.t_Name;
        p.t_country = QStringLiteral("Norway");
        p.t_full_name = QStringLiteral("Firstname Lastname %1").arg(u);
        p.t_description = QStringLiteral("Producer & DJ from the north. Deep house, techno and "
                                         "the odd ambient piece.\r\nBookings: see the website. "
                                         "New tracks every Friday.");
        p.t_city = QStringLiteral("Tromsø");
        p.t_website = QStringLiteral("http://www.example.org/") + p.t_Name;
        p.t_track_count = QString::number(tracks);
        p.t_followers_count = QString::number(12345 + u);
        p.t_lastCheckTime = QStringLiteral("20240105123456");
        p.t_AutoCheck = u % 2;
        for (int t = 1; t <= tracks; ++t) {
            TTracksInfo k;
            const bool downloaded = t % 2 == 0;
            k.t_id = QString::number(++trackId);
            k.t_created_at = QStringLiteral("2013/05/01 12:34:56 +0000");
            k.t_duration = QString::number(180000 + t * 37);
            k.t_original_content_size = QString::number(7000000 + t * 1013);
            k.t_title = QStringLiteral("Track %1 – Night Drive (Original Mix)").arg(t);
            k.t_description = QStringLiteral("Recorded live at the harbour <Friday session>.\r\n"
                                             "Free download; mastered by a friend & played on "
                                             "the radio.");
            k.t_original_format = QStringLiteral("mp3");
            k.t_permalink_url = QStringLiteral("http://soundcloud.com/%1/track-%2-night-drive")
                                    .arg(p.t_Name)
                                    .arg(t);
            if (downloaded) {
                k.t_downloaded_at = QStringLiteral("20240106080910");
                k.t_Downloaded_LocalFile =
                    QStringLiteral("/home/listener/Music/Quillbrook/") + k.t_title + ".mp3";
            }
            p.t_TracksInfo.push_back(k);
        }
        p.t_TracksCount = tracks;
        store.AppendPeople(p);
    }
}

// Child: load, measure, snapshot and save; prints one line of figures.
int LoadAndSave(const QString& path, const QString& out)
{
    const long long baseline = ProcStatus("VmRSS");
    TFollowedPeople store;
    TPeopleFile file(path);
    QElapsedTimer timer;
    timer.start();
    const bool whole = file.ReadPeopleInfo(store);
    const double loadMs = timer.nsecsElapsed() / 1e6;
    if (!whole) {
        std::fprintf(stderr, "load stopped: %s\n", qPrintable(file.LoadError()));
        return 1;
    }
    const long long peak = ProcStatus("VmHWM") - baseline;
    malloc_trim(0);
    const long long storeBytes = ProcStatus("VmRSS") - baseline;

    // The store lock is held only while one user is copied.
    double longestLockMs = 0;
    double snapshotMs = 0;
    TPeopleSnapshot snapshot;
    for (int id = 1; id <= store.FollowedPeopleCount(); ++id) {
        timer.start();
        store.Snapshot(id, snapshot);
        const double ms = timer.nsecsElapsed() / 1e6;
        longestLockMs = std::max(longestLockMs, ms);
        snapshotMs += ms;
    }
    TPeopleFile target(out);
    timer.start();
    const QString error = target.WritePeopleInfo(store);
    const double saveMs = timer.nsecsElapsed() / 1e6;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%.3f %lld %lld %.3f %.3f %.3f\n", loadMs, storeBytes, peak, saveMs, longestLockMs,
                snapshotMs);
    return 0;
}

double Best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--load"))
        return LoadAndSave(args[2], args[3]);

    if (args.size() >= 3 && args[1] == QLatin1String("--write")) {
        TFollowedPeople store;
        Fill(store, args.size() > 3 ? args[3].toInt() : 200,
             args.size() > 4 ? args[4].toInt() : 500);
        const QString error = TPeopleFile(args[2]).WritePeopleInfo(store);
        if (!error.isEmpty())
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args[2]), qPrintable(error));
        return error.isEmpty() ? 0 : 1;
    }

    const int users = args.size() > 1 ? args[1].toInt() : 200;
    const int tracks = args.size() > 2 ? args[2].toInt() : 500;
    const int runs = std::max(1, args.size() > 3 ? args[3].toInt() : 5);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("followuser.xml"));
    {
        TFollowedPeople store;
        Fill(store, users, tracks);
        const QString error = TPeopleFile(path).WritePeopleInfo(store);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(error));
            return 1;
        }
    }
    std::printf("file: %d users x %d tracks, %.1f MB\n", users, tracks,
                QFileInfo(path).size() / 1e6);

    std::vector<double> load, save, lock, snapshot;
    std::vector<long long> storeBytes, peak;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--load"), path, dir.filePath(QStringLiteral("saved.xml"))});
        child.waitForFinished(-1);
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || f.size() != 6) {
            std::fprintf(stderr, "load run failed: %s\n", child.readAllStandardError().data());
            return 1;
        }
        load.push_back(f[0].toDouble());
        storeBytes.push_back(f[1].toLongLong());
        peak.push_back(f[2].toLongLong());
        save.push_back(f[3].toDouble());
        lock.push_back(f[4].toDouble());
        snapshot.push_back(f[5].toDouble());
    }
    const bool same = [&] {
        QFile a(path), b(dir.filePath(QStringLiteral("saved.xml")));
        return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
               a.readAll() == b.readAll();
    }();
    const long long store = *std::min_element(storeBytes.begin(), storeBytes.end());
    const long long top = *std::max_element(peak.begin(), peak.end());
    std::printf("load into the store        best %8.1f ms\n", Best(load));
    std::printf("save (snapshot, build, write) best %8.1f ms  (file %s)\n", Best(save),
                same ? "byte-identical to the loaded one" : "DIFFERS from the loaded one");
    std::printf("store lock per user snapshot: longest %.3f ms, all users %.1f ms\n",
                *std::max_element(lock.begin(), lock.end()), Best(snapshot));
    std::printf("store size %.1f MB, load peak %.1f MB, peak beyond the store %.1f MB "
                "(goal <= 64)\n",
                store / 1e6, top / 1e6, (top - store) / 1e6);
    std::printf("ratio save / load %.2f (goal <= 1.3)\n", Best(save) / Best(load));

    const QString xmlwf = QStandardPaths::findExecutable(QStringLiteral("xmlwf"));
    if (xmlwf.isEmpty()) {
        std::printf("xmlwf not found (Debian package \"expat\"): no load ratio\n");
        return 0;
    }
    std::vector<double> peer;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        timer.start();
        process.start(xmlwf, {path});
        process.waitForFinished(-1);
        peer.push_back(timer.nsecsElapsed() / 1e6);
        if (process.exitCode() != 0 || !process.readAllStandardOutput().isEmpty()) {
            std::fprintf(stderr, "xmlwf failed\n");
            return 1;
        }
    }
    std::printf("xmlwf (expat alone)        best %8.1f ms\n", Best(peer));
    std::printf("ratio load / xmlwf %.2f (goal <= 1.3)\n", Best(load) / Best(peer));
    return 0;
}
