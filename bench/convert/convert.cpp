// Times converting a 10-minute video's audio to MP3: the ffmpeg command against the media
// component (bench_convert_task), run alternately, and checks that both outputs decode to the
// same length.
//   bench_convert [RUNS]   (default 5 of each; the input is made once and kept in the build)
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct Timing
{
    double wall = 0;
    double cpu = 0;
    bool ok = false;
};

// Runs a program to its end; its own wall and CPU time (user + system).
Timing Run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Timing timing;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return timing;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    timing.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return timing;
}

bool Ffmpeg(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                              QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                      args);
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", process.readAllStandardError().constData());
        return false;
    }
    return true;
}

// Samples per channel of the file's audio, decoded to the end at its own rate.
qint64 DecodedSamples(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                   QStringLiteral("-i"), path, QStringLiteral("-map"), QStringLiteral("0:a:0"),
                   QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-f"),
                   QStringLiteral("s16le"), QStringLiteral("-")});
    qint64 bytes = 0;
    while (process.waitForReadyRead(-1) || process.bytesAvailable() > 0)
        bytes += process.readAllStandardOutput().size();
    process.waitForFinished(-1);
    return process.exitCode() == 0 ? bytes / 2 : -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = std::max(argc > 1 ? std::atoi(argv[1]) : 5, 1);
    const QString bin = QCoreApplication::applicationDirPath();
    const QString dataDir = bin + QStringLiteral("/../bench-data");
    QDir().mkpath(dataDir);
    const QString input = QDir(dataDir).absoluteFilePath(QStringLiteral("convert_10min.mp4"));

    if (!QFileInfo::exists(input)) {
        std::printf("making the 10-minute H.264 + AAC input (once)...\n");
        std::fflush(stdout);
        const QString partial = input + QStringLiteral(".part.mp4");
        if (!Ffmpeg({QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=640x360:rate=25:duration=600"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("aevalsrc=0.3*sin(2*PI*440*t)+0.05*(random(0)-0.5)|"
                                    "0.3*sin(2*PI*554*t)+0.05*(random(1)-0.5):s=44100:d=600"),
                     QStringLiteral("-c:v"),
                     QStringLiteral("libx264"),
                     QStringLiteral("-preset"),
                     QStringLiteral("veryfast"),
                     QStringLiteral("-b:v"),
                     QStringLiteral("500k"),
                     QStringLiteral("-c:a"),
                     QStringLiteral("aac"),
                     QStringLiteral("-b:a"),
                     QStringLiteral("128k"),
                     QStringLiteral("-threads"),
                     QStringLiteral("2"),
                     partial}) ||
            !QFile::rename(partial, input))
            return 2;
    }

    QTemporaryDir work;
    const QString ffmpegOut = work.filePath(QStringLiteral("ffmpeg.mp3"));
    const QString ourOut = work.filePath(QStringLiteral("convert_10min_(new).mp3"));
    const std::string in = QFile::encodeName(input).toStdString();
    const std::vector<std::string> ffmpegArgs{
        "ffmpeg", "-nostdin", "-nostats", "-v",
        "error",  "-y",       "-i",       in,
        "-vn",    "-b:a",     "128k",     QFile::encodeName(ffmpegOut).toStdString()};
    const std::vector<std::string> ourArgs{
        QFile::encodeName(bin + QStringLiteral("/bench_convert_task")).toStdString(),
        QFile::encodeName(bin + QStringLiteral("/LibAV")).toStdString(), in,
        QFile::encodeName(work.path()).toStdString()};

    std::vector<double> ffWall, ffCpu, ourWall, ourCpu;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(ffmpegOut);
        const Timing ff = Run(ffmpegArgs);
        QFile::remove(ourOut); // the component never writes over a file
        const Timing ours = Run(ourArgs);
        if (!ff.ok || !ours.ok) {
            std::fprintf(stderr, "run %d failed (ffmpeg %d, ours %d)\n", i + 1, ff.ok, ours.ok);
            return 2;
        }
        std::printf("run %d: ffmpeg %.2f s (cpu %.2f s), ours %.2f s (cpu %.2f s)\n", i + 1,
                    ff.wall, ff.cpu, ours.wall, ours.cpu);
        std::fflush(stdout);
        ffWall.push_back(ff.wall);
        ffCpu.push_back(ff.cpu);
        ourWall.push_back(ours.wall);
        ourCpu.push_back(ours.cpu);
    }

    const double wallRatio = Median(ourWall) / Median(ffWall);
    const double cpuRatio = Median(ourCpu) / Median(ffCpu);
    std::printf("median wall: ffmpeg %.2f s, ours %.2f s, ratio %.3f\n", Median(ffWall),
                Median(ourWall), wallRatio);
    std::printf("median cpu:  ffmpeg %.2f s, ours %.2f s, ratio %.3f\n", Median(ffCpu),
                Median(ourCpu), cpuRatio);

    const qint64 ffSamples = DecodedSamples(ffmpegOut);
    const qint64 ourSamples = DecodedSamples(ourOut);
    const bool sameLength =
        ffSamples > 0 && ourSamples > 0 && std::llabs(ffSamples - ourSamples) <= 1152;
    std::printf("decoded length: ffmpeg %lld samples, ours %lld samples: %s\n",
                static_cast<long long>(ffSamples), static_cast<long long>(ourSamples),
                sameLength ? "same within one frame" : "DIFFERENT");
    std::printf("goal: ratio at most 1.05, never above 1.15: %s\n", wallRatio <= 1.05 ? "met"
                                                                    : wallRatio <= 1.15
                                                                        ? "within the limit"
                                                                        : "ABOVE THE LIMIT");
    return sameLength && wallRatio <= 1.15 ? 0 : 1;
}
