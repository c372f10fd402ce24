#include "EncoderEvents.h"
#include "MediaFixtures.h"
#include "TestRegistry.h"

#include "base/TMessageQueue.h"
#include "media/EFFmpegError.h"
#include "media/NativeFilters.h"
#include "media/TAVLibrary.h"
#include "media/TFFEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray kInputOptions = " -vn";
const QByteArray kOutputOptions = " -b:a 128k -b:v 200k -sn";

bool LoadLibraries()
{
    QString error;
    return TAVLibrary::Load(qbtest::libAVFolder(), error);
}

// Lowers the file-size limit of the process for a while, as a full disk would stop writes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN); // writes then fail with EFBIG
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class TestFFEncoder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QString> m_media;
    int m_folders = 0;

    QString media(const QString& kind)
    {
        if (!m_media.contains(kind))
            m_media[kind] = qbtest::makeMedia(m_dir.path(), kind);
        return m_media[kind];
    }

    QString newFolder()
    {
        const QString path = m_dir.filePath(QStringLiteral("case%1").arg(++m_folders));
        QDir().mkpath(path);
        return path;
    }

private Q_SLOTS:
    // The loader's failures can only be seen before the first successful load of the process;
    // ctest runs this class's label on its own, so they come first.
    void withoutTheLibrariesNothingRuns()
    {
        if (TFFEncoder::AVLibLoaded())
            QSKIP("the libraries were loaded by an earlier test of this process");
        QVERIFY(!RegisterNativeEqFilter(true));
        try {
            RegisterNativeHueFilter(false);
            QFAIL("no error raised");
        } catch (const EFFmpegError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("Failed to register video filter. It requires several "
                                    "private APIs of ffmpeg libraries."));
        }
        TMessageQueue queue;
        TFFEncoder encoder(queue);
        QVERIFY(!encoder.Decoder().LoadFile(m_dir.filePath(QStringLiteral("any.mp4"))));
        QCOMPARE(encoder.AddTask(m_dir.filePath(QStringLiteral("any.mp4")), nullptr), -1);
        QVERIFY(encoder.LastErrMsg().contains(QLatin1String("not loaded")));
    }

    void loadAVLibFails_data()
    {
        QTest::addColumn<bool>("makeFolder");
        QTest::addColumn<QString>("file");       // the library that fails
        QTest::addColumn<QString>("substitute"); // what stands in for it ("" nothing)
        QTest::addColumn<QString>("message");    // %1: the folder

        QTest::newRow("library folder missing")
            << false << "libavcodec.so.59" << QString() << "libavcodec.so.59 not found in %1";
        QTest::newRow("a middle library missing")
            << true << "libswresample.so.4" << QString() << "libswresample.so.4 not found in %1";
        QTest::newRow("last library missing")
            << true << "libswscale.so.6" << QString() << "libswscale.so.6 not found in %1";
        QTest::newRow("a link to nothing")
            << true << "libavformat.so.59" << m_dir.filePath(QStringLiteral("gone.so"))
            << "libavformat.so.59 not found in %1";
        QTest::newRow("a symbol missing")
            << true << "libswscale.so.6"
            << qbtest::libAVFolder() + QStringLiteral("/libswresample.so.4")
            << "libswscale.so.6 in %1: no function swscale_version";
        QTest::newRow("wrong major version")
            << true << "libavutil.so.57" << QB_FAKE_AVUTIL
            << "libavutil.so.57 in %1: major version 56 found, 57 needed";
    }

    // Nothing stays loaded, and the message names the file, the folder and what went wrong.
    void loadAVLibFails()
    {
        if (TFFEncoder::AVLibLoaded())
            QSKIP("the libraries were loaded by an earlier test of this process");
        QFETCH(bool, makeFolder);
        QFETCH(QString, file);
        QFETCH(QString, substitute);
        QFETCH(QString, message);

        QString folder = m_dir.filePath(QStringLiteral("nowhere"));
        if (makeFolder) {
            folder = newFolder();
            for (const char* const* name = TAVLibrary::FileNames(); *name; ++name) {
                const QString library = QString::fromLatin1(*name);
                const QString target = library == file
                                           ? substitute
                                           : qbtest::libAVFolder() + QLatin1Char('/') + library;
                if (!target.isEmpty())
                    QVERIFY(QFile::link(target, folder + QLatin1Char('/') + library));
            }
        }

        TMessageQueue queue;
        TFFEncoder encoder(queue);
        QVERIFY(!encoder.LoadAVLib(folder));
        QCOMPARE(encoder.LastErrMsg(), message.arg(folder));
        QVERIFY(!TFFEncoder::AVLibLoaded());
    }

    void loadAVLibFromTheBuildFolder()
    {
        TMessageQueue queue;
        TFFEncoder first(queue);
        QVERIFY2(first.LoadAVLib(qbtest::libAVFolder()), qPrintable(first.LastErrMsg()));
        QVERIFY(first.LastErrMsg().isEmpty());

        // Process-wide: a new encoder sees them loaded, and they are not loaded again.
        TFFEncoder second(queue);
        QVERIFY(second.AVLibLoaded());
        QVERIFY(second.LoadAVLib(m_dir.filePath(QStringLiteral("nowhere"))));

        QVERIFY(RegisterNativeEqFilter(false));
        QVERIFY(RegisterNativeHueFilter(false));
        QCOMPARE(NativeFilterTarget("nativeeq"), std::string("eq"));
        QCOMPARE(NativeFilterTarget("nativehue"), std::string("hue"));
        QCOMPARE(NativeFilterTarget("eq"), std::string());
    }

    void convertsTheAudioToMp3_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("outputOptions");
        QTest::addColumn<bool>("halt");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("knownLength");

        QTest::newRow("H.264 + AAC in MP4, 44.1 kHz stereo")
            << "mp4" << kOutputOptions << true << 44100 << 2 << true;
        QTest::newRow("VP8 + Vorbis in WebM without a duration")
            << "webm" << kOutputOptions << true << 48000 << 2 << false;
        QTest::newRow("mono 16-bit WAV at 22.05 kHz")
            << "mono" << kOutputOptions << true << 22050 << 1 << true;
        QTest::newRow("5.1 FLAC at 96 kHz becomes stereo at 48 kHz")
            << "surround" << kOutputOptions << true << 48000 << 2 << true;
        QTest::newRow("float samples far out of range, as damaged input gives")
            << "loud" << kOutputOptions << true << 44100 << 1 << true;
        QTest::newRow("unknown option ignored when not halting")
            << "mp4" << kOutputOptions + " -frobnicate" << false << 44100 << 2 << true;
    }

    // The driver's calls: decoder open, task, output, decoder closed, lower priority, start.
    void convertsTheAudioToMp3()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, outputOptions);
        QFETCH(bool, halt);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(bool, knownLength);
        QVERIFY(LoadLibraries());
        const QString input = media(kind);
        QVERIFY(!input.isEmpty());
        const QString output = newFolder() + QStringLiteral("/out.mp3");

        TMessageQueue queue;
        TFFEncoder encoder(queue);
        EncoderEvents events;
        events.attach(encoder);
        encoder.SetProgressInterval(50);
        QCOMPARE(encoder.ProgressInterval(), 100);
        encoder.SetHaltOnInvalidOption(halt);
        QVERIFY2(encoder.Decoder().LoadFile(input), qPrintable(encoder.Decoder().LastErrMsg()));
        QCOMPARE(encoder.Decoder().FileName(), input);

        TInputOptions in;
        InitInputOptions(&in);
        in.Options = kInputOptions;
        TOutputOptions out;
        InitOutputOptions(&out);
        out.Options = outputOptions;
        const int task = encoder.AddTask(input, &in);
        QVERIFY2(task == 0, qPrintable(encoder.LastErrMsg()));
        QCOMPARE(in.FileName, input);
        QVERIFY2(encoder.SetOutput(task, output, &out) >= 0, qPrintable(encoder.LastErrMsg()));
        QCOMPARE(out.FileName, output);
        encoder.Decoder().CloseFile();
        encoder.SetThreadPriority(tpLower);
        encoder.Start(1);
        QTRY_VERIFY_WITH_TIMEOUT(events.ended(), 60000);

        QVERIFY(events.allOnGuiThread);
        QCOMPARE(events.terminates.size(), size_t(2));
        const TTerminateInfo& end = events.terminates[0];
        QCOMPARE(end.TaskIndex, 0);
        QVERIFY2(end.Finished && !end.Exception, qPrintable(end.ExceptionMsg));
        QCOMPARE(events.terminates[1].TaskIndex, -1);
        QVERIFY(events.terminates[1].Finished);
        QVERIFY(!events.terminates[1].Exception);

        const qbtest::AudioProbe source = qbtest::probeAudio(input);
        QCOMPARE(source.containerHasDuration, knownLength);
        QVERIFY(!events.progress.empty());
        const TProgressInfo& last = events.progress.back();
        QCOMPARE(last.TaskIndex, 0);
        QCOMPARE(last.TotalDuration > 0, knownLength);
        QCOMPARE(last.CurrentSize, QFileInfo(output).size());
        QVERIFY2(qAbs(last.CurrentDuration / 1e6 - source.decodedSeconds) <= 0.1,
                 qPrintable(QString::number(last.CurrentDuration)));

        const qbtest::AudioProbe result = qbtest::probeAudio(output);
        QCOMPARE(result.codec, QStringLiteral("mp3"));
        QCOMPARE(result.bitRate, qint64(128000));
        QCOMPARE(result.sampleRate, rate);
        QCOMPARE(result.channels, channels);
        QVERIFY2(qAbs(result.decodedSeconds - source.decodedSeconds) <= 0.1,
                 qPrintable(QStringLiteral("%1 s from %2 s")
                                .arg(result.decodedSeconds)
                                .arg(source.decodedSeconds)));
    }

    void refusesTheTask_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("inputOptions");
        QTest::addColumn<QByteArray>("outputOptions");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<QString>("existing"); // a file that is there already
        QTest::addColumn<bool>("atInput");     // AddTask refuses (else SetOutput)
        QTest::addColumn<QString>("needle");

        QTest::newRow("HTML page named like a video")
            << "html" << kInputOptions << kOutputOptions << "out.mp3"
            << "" << true << "Invalid data found";
        QTest::newRow("live playlist pointing at the network")
            << "playlist" << kInputOptions << kOutputOptions << "out.mp3"
            << "" << true << "not a media file of a supported format";
        QTest::newRow("video without audio")
            << "video" << kInputOptions << kOutputOptions << "out.mp3"
            << "" << false << "does not contain any stream";
        QTest::newRow("unknown input option")
            << "mp4" << kInputOptions + " -frobnicate" << kOutputOptions << "out.mp3"
            << "" << true << "Unrecognized option '-frobnicate'";
        QTest::newRow("unknown output option")
            << "mp4" << kInputOptions << kOutputOptions + " -frobnicate"
            << "out.mp3"
            << "" << false << "Unrecognized option '-frobnicate'";
        QTest::newRow("bit rate that is not one")
            << "mp4" << kInputOptions << QByteArray(" -b:a loud") << "out.mp3"
            << "" << false << "Invalid value 'loud'";
        QTest::newRow("output folder missing")
            << "mp4" << kInputOptions << kOutputOptions << "missing/out.mp3"
            << "" << false << "No such file or directory";
        QTest::newRow("output exists") << "mp4" << kInputOptions << kOutputOptions << "out.mp3"
                                       << "out.mp3" << false << "File exists";
        QTest::newRow("another conversion writes that output")
            << "mp4" << kInputOptions << kOutputOptions << "out.mp3"
            << "out.mp3.part" << false << "File exists";
        QTest::newRow("not an MP3 name") << "mp4" << kInputOptions << kOutputOptions << "out.wav"
                                         << "" << false << "is not supported";
    }

    // A refused task leaves nothing behind, and the encoder started without it only reports
    // its end.
    void refusesTheTask()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, inputOptions);
        QFETCH(QByteArray, outputOptions);
        QFETCH(QString, outputName);
        QFETCH(QString, existing);
        QFETCH(bool, atInput);
        QFETCH(QString, needle);
        QVERIFY(LoadLibraries());
        const QString input = media(kind);
        QVERIFY(!input.isEmpty());
        const QString folder = newFolder();
        const QString output = folder + QLatin1Char('/') + outputName;
        if (!existing.isEmpty()) {
            QFile file(folder + QLatin1Char('/') + existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep");
        }

        TMessageQueue queue;
        TFFEncoder encoder(queue);
        EncoderEvents events;
        events.attach(encoder);
        if (atInput && !inputOptions.contains("frobnicate")) {
            QVERIFY(!encoder.Decoder().LoadFile(input));
            QVERIFY(encoder.Decoder().LastErrMsg().contains(needle));
        }
        TInputOptions in;
        InitInputOptions(&in);
        in.Options = inputOptions;
        TOutputOptions out;
        InitOutputOptions(&out);
        out.Options = outputOptions;
        const int task = encoder.AddTask(input, &in);
        if (atInput) {
            QCOMPARE(task, -1);
        } else {
            QCOMPARE(task, 0);
            QCOMPARE(encoder.SetOutput(task, output, &out), -1);
            encoder.RemoveTask(task);
        }
        QVERIFY2(encoder.LastErrMsg().contains(needle), qPrintable(encoder.LastErrMsg()));
        encoder.Start(1);
        QTRY_VERIFY(events.ended());
        QCOMPARE(events.terminates.size(), size_t(1));
        QVERIFY(events.progress.empty());

        const QStringList left = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
        QCOMPARE(left, existing.isEmpty() ? QStringList{} : QStringList{existing});
        if (!existing.isEmpty()) {
            QFile file(folder + QLatin1Char('/') + existing);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("keep"));
        }
    }

    // A write that fails, here at the final flush, fails the task and removes the file.
    void writeFailureEndsWithAnExceptionAndNoOutput()
    {
        QVERIFY(LoadLibraries());
        const QString input = media(QStringLiteral("mp4"));
        QVERIFY(!input.isEmpty());
        const QString output = newFolder() + QStringLiteral("/out.mp3");

        TMessageQueue queue;
        TFFEncoder encoder(queue);
        EncoderEvents events;
        events.attach(encoder);
        TInputOptions in;
        InitInputOptions(&in);
        in.Options = kInputOptions;
        TOutputOptions out;
        InitOutputOptions(&out);
        out.Options = kOutputOptions;
        QCOMPARE(encoder.AddTask(input, &in), 0);
        QCOMPARE(encoder.SetOutput(0, output, &out), 0);
        QVERIFY(QFile::exists(output + QStringLiteral(".part")));
        {
            FileSizeLimit limit(16 * 1024);
            encoder.Start(1);
            QTRY_VERIFY_WITH_TIMEOUT(events.ended(), 60000);
        }
        QCOMPARE(events.terminates.size(), size_t(2));
        const TTerminateInfo& end = events.terminates[0];
        QVERIFY(!end.Finished);
        QVERIFY(end.Exception);
        QVERIFY2(end.ExceptionMsg.contains(QLatin1String("File too large")),
                 qPrintable(end.ExceptionMsg));
        QVERIFY(!QFile::exists(output));
        QVERIFY(!QFile::exists(output + QStringLiteral(".part")));
    }
};

QB_TEST(TestFFEncoder, "unit");
#include "TestFFEncoder.moc"
