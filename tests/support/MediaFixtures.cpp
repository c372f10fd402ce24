#include "MediaFixtures.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace qbtest {

namespace {

// Runs a tool to its end; false (with its error output shown) when it fails.
bool RunTool(const QString& program, const QStringList& args, QByteArray* out,
             const QString& stdoutFile = {})
{
    QProcess process;
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    process.start(program, args);
    if (!process.waitForStarted(10000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(program));
        return false;
    }
    QByteArray output;
    while (!process.waitForFinished(100)) {
        if (stdoutFile.isEmpty())
            output += process.readAllStandardOutput();
        if (process.state() == QProcess::NotRunning)
            break;
    }
    if (stdoutFile.isEmpty())
        output += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed:\n%s\n", qPrintable(program),
                     qPrintable(args.join(QLatin1Char(' '))),
                     process.readAllStandardError().constData());
        return false;
    }
    if (out)
        *out = output;
    return true;
}

} // namespace

QString libAVFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/LibAV");
}

bool runFfmpeg(const QStringList& args, const QString& stdoutFile)
{
    QStringList all{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                    QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
    return RunTool(QStringLiteral("ffmpeg"), all + args, nullptr, stdoutFile);
}

QString makeMedia(const QString& folder, const QString& kind)
{
    const QString picture = QStringLiteral("testsrc=size=160x120:rate=25:duration=%1");
    const QString tone = QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2");
    const QString lavfi = QStringLiteral("lavfi");
    const QString i = QStringLiteral("-i");
    const QString f = QStringLiteral("-f");
    QString path;
    bool made = false;
    if (kind == QLatin1String("mp4")) {
        path = folder + QStringLiteral("/clip.mp4");
        made =
            runFfmpeg({f, lavfi, i, picture.arg(3), f, lavfi, i, tone.arg(44100).arg(3),
                       QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                       QStringLiteral("ultrafast"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                       QStringLiteral("-ac"), QStringLiteral("2"), path});
    } else if (kind == QLatin1String("webm")) {
        path = folder + QStringLiteral("/clip.webm");
        made =
            runFfmpeg({f, lavfi, i, picture.arg(3), f, lavfi, i, tone.arg(48000).arg(3),
                       QStringLiteral("-c:v"), QStringLiteral("libvpx"),
                       QStringLiteral("-deadline"), QStringLiteral("realtime"),
                       QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-ac"),
                       QStringLiteral("2"), f, QStringLiteral("webm"), QStringLiteral("pipe:1")},
                      path);
    } else if (kind == QLatin1String("mono")) {
        path = folder + QStringLiteral("/mono.wav");
        made = runFfmpeg({f, lavfi, i, tone.arg(22050).arg(3), QStringLiteral("-c:a"),
                          QStringLiteral("pcm_s16le"), path});
    } else if (kind == QLatin1String("surround")) {
        path = folder + QStringLiteral("/surround.mkv");
        made = runFfmpeg({f, lavfi, i, tone.arg(96000).arg(3), QStringLiteral("-af"),
                          QStringLiteral("pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0"),
                          QStringLiteral("-c:a"), QStringLiteral("flac"), path});
    } else if (kind == QLatin1String("loud")) {
        path = folder + QStringLiteral("/loud.wav");
        made = runFfmpeg({f, lavfi, i, QStringLiteral("aevalsrc=3e8*(2*random(0)-1):s=44100:d=2"),
                          QStringLiteral("-c:a"), QStringLiteral("pcm_f32le"), path});
    } else if (kind == QLatin1String("video")) {
        path = folder + QStringLiteral("/silent.mp4");
        made = runFfmpeg({f, lavfi, i, picture.arg(2), QStringLiteral("-c:v"),
                          QStringLiteral("libx264"), QStringLiteral("-preset"),
                          QStringLiteral("ultrafast"), path});
    } else if (kind == QLatin1String("html")) {
        path = folder + QStringLiteral("/page.mp4");
        QFile page(path);
        made = page.open(QIODevice::WriteOnly) &&
               page.write("<!DOCTYPE html>\n<html><head><title>Video unavailable</title></head>"
                          "<body><p>This video is not available.</p></body></html>\n") > 0;
    } else if (kind == QLatin1String("playlist")) {
        path = folder + QStringLiteral("/live.mp4");
        QFile playlist(path);
        made = playlist.open(QIODevice::WriteOnly) &&
               playlist.write("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n"
                              "http://127.0.0.1:9/segment.ts\n") > 0;
    } else if (kind == QLatin1String("long")) {
        path = folder + QStringLiteral("/long.wav");
        made = runFfmpeg({f, lavfi, i, tone.arg(44100).arg(300), QStringLiteral("-c:a"),
                          QStringLiteral("pcm_s16le"), path});
    }
    return made ? path : QString();
}

AudioProbe probeAudio(const QString& path)
{
    AudioProbe probe;
    QByteArray text;
    if (!RunTool(QStringLiteral("ffprobe"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                  QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                  QStringLiteral("stream=codec_name,sample_rate,channels,bit_rate:format=duration"),
                  QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path},
                 &text))
        return probe;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "codec_name")
            probe.codec = QString::fromLatin1(value);
        else if (key == "sample_rate")
            probe.sampleRate = value.toInt();
        else if (key == "channels")
            probe.channels = value.toInt();
        else if (key == "bit_rate")
            probe.bitRate = value.toLongLong();
        else if (key == "duration")
            probe.containerHasDuration = value != "N/A";
    }
    // Decoded to the end as mono 16-bit samples at the stream's own rate.
    QByteArray samples;
    if (probe.sampleRate > 0 &&
        RunTool(QStringLiteral("ffmpeg"),
                {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-v"),
                 QStringLiteral("error"), QStringLiteral("-i"), path, QStringLiteral("-map"),
                 QStringLiteral("0:a:0"), QStringLiteral("-ac"), QStringLiteral("1"),
                 QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")},
                &samples))
        probe.decodedSeconds = double(samples.size()) / 2 / probe.sampleRate;
    return probe;
}

} // namespace qbtest
