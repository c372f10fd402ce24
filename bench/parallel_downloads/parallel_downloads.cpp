// bench_parallel_downloads [--mib N] [--rounds R]
//
// Ten downloads of N MiB each (default 200) from the fake SoundCloud service on 127.0.0.1:
// once through quillbrook-cli (page, then stream, ten at once) and once as ten parallel
// "curl -s -o" of the same streams, alternating, R rounds (default 3). Prints both wall
// times, the ratio ours/curl and quillbrook-cli's peak memory, plus its peak for a small body
// to show that memory does not grow with the body size.
#include "FakeSoundCloud.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

struct TRunResult
{
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs the programs at once and waits for all of them; the peak is the largest of theirs.
TRunResult runAll(const std::vector<std::vector<std::string>>& commands, const char* servicesFile)
{
    const auto start = TClock::now();
    std::vector<pid_t> pids;
    for (const auto& cmd : commands) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (servicesFile)
                setenv("QUILLBROOK_SERVICES", servicesFile, 1);
            std::vector<char*> argv;
            for (const auto& a : cmd)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            const int devnull = ::open("/dev/null", O_WRONLY);
            dup2(devnull, STDOUT_FILENO);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        pids.push_back(pid);
    }
    TRunResult r;
    r.ok = true;
    for (pid_t pid : pids) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        r.ok = r.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        r.peakKiB = std::max(r.peakKiB, usage.ru_maxrss);
    }
    r.seconds = std::chrono::duration<double>(TClock::now() - start).count();
    return r;
}

bool filesComplete(const QString& dir, qint64 size, int count)
{
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files);
    if (files.size() != count)
        return false;
    return std::all_of(files.begin(), files.end(),
                       [size](const QFileInfo& f) { return f.size() == size; });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 mib = 200;
    int rounds = 3;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--mib"))
            mib = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
    }
    constexpr int kJobs = 10;
    const qint64 size = mib * 1024 * 1024;

    qbtest::TFakeSoundCloud service;
    std::vector<std::string> links;
    std::vector<std::string> streams;
    for (int i = 1; i <= kJobs; ++i) {
        links.push_back(service.AddTrack({.name = QStringLiteral("Track %1").arg(i), .size = size})
                            .toStdString());
        streams.push_back(
            service.Server().Url(QStringLiteral("/stream/%1/0").arg(i)).toStdString());
    }
    // A small track for the memory comparison.
    const std::string small =
        service.AddTrack({.name = QStringLiteral("Small"), .size = 1024 * 1024}).toStdString();

    QTemporaryDir work;
    const QString hosts = work.filePath(QStringLiteral("hosts.ini"));
    {
        QFile f(hosts);
        f.open(QIODevice::WriteOnly);
        f.write("[Hosts]\nSoundCloudWeb=" + service.Host().toUtf8() + "\n");
    }
    const std::string hostsFile = hosts.toStdString();
    const std::string cli = QB_BIN_DIR "/quillbrook-cli";
    // The CLI reads the user's settings: give it a home of its own.
    setenv("HOME", work.filePath(QStringLiteral("home")).toLocal8Bit().constData(), 1);

    std::printf("ten parallel downloads of %lld MiB each, %d rounds\n", static_cast<long long>(mib),
                rounds);
    std::vector<double> ours;
    std::vector<double> theirs;
    long peak = 0;
    for (int round = 1; round <= rounds; ++round) {
        const QString outOurs = work.filePath(QStringLiteral("ours"));
        const QString outCurl = work.filePath(QStringLiteral("curl"));
        QDir(outOurs).removeRecursively();
        QDir(outCurl).removeRecursively();
        QDir().mkpath(outCurl);

        std::vector<std::string> cmd{cli, "download"};
        cmd.insert(cmd.end(), links.begin(), links.end());
        cmd.insert(cmd.end(), {"--save-to", outOurs.toStdString()});
        const TRunResult a = runAll({cmd}, hostsFile.c_str());
        const bool aOk = a.ok && filesComplete(outOurs, size, kJobs);
        QDir(outOurs).removeRecursively();

        std::vector<std::vector<std::string>> curls;
        for (int i = 0; i < kJobs; ++i)
            curls.push_back({"curl", "-s", "-o",
                             (outCurl + QStringLiteral("/%1").arg(i)).toStdString(),
                             streams[size_t(i)]});
        const TRunResult b = runAll(curls, nullptr);
        const bool bOk = b.ok && filesComplete(outCurl, size, kJobs);
        QDir(outCurl).removeRecursively();

        std::printf("round %d: quillbrook-cli %.2f s%s, curl x10 %.2f s%s\n", round, a.seconds,
                    aOk ? "" : " (FAILED)", b.seconds, bOk ? "" : " (FAILED)");
        if (!aOk || !bOk)
            return 1;
        ours.push_back(a.seconds);
        theirs.push_back(b.seconds);
        peak = std::max(peak, a.peakKiB);
    }
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    const double medianOurs = ours[ours.size() / 2];
    const double medianCurl = theirs[theirs.size() / 2];
    const double totalMiB = double(mib) * kJobs;

    const QString outSmall = work.filePath(QStringLiteral("small"));
    const TRunResult s =
        runAll({{cli, "download", small, "--save-to", outSmall.toStdString()}}, hostsFile.c_str());

    std::printf(
        "median wall time: quillbrook-cli %.2f s (%.0f MiB/s), curl x10 %.2f s (%.0f MiB/s)\n",
        medianOurs, totalMiB / medianOurs, medianCurl, totalMiB / medianCurl);
    std::printf("ratio ours/curl: %.3f (goal at most 1.1)\n", medianOurs / medianCurl);
    std::printf("quillbrook-cli peak memory: %ld KiB for 10 x %lld MiB, %ld KiB for 1 x 1 MiB\n",
                peak, static_cast<long long>(mib), s.peakKiB);
    return 0;
}
