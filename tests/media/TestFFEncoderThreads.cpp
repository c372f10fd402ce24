#include "EncoderEvents.h"
#include "MediaFixtures.h"
#include "TestRegistry.h"

#include "base/TMessageQueue.h"
#include "media/TAVLibrary.h"
#include "media/TFFEncoder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Encoders on their threads: several at once, stopped, destroyed while working.
class TestFFEncoderThreads : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_long;

    // One task from input to output with the option builder's options.
    static bool setUp(TFFEncoder& encoder, const QString& input, const QString& output)
    {
        TInputOptions in;
        InitInputOptions(&in);
        in.Options = " -vn";
        TOutputOptions out;
        InitOutputOptions(&out);
        out.Options = " -b:a 128k -b:v 200k -sn";
        const int task = encoder.AddTask(input, &in);
        return task >= 0 && encoder.SetOutput(task, output, &out) >= 0;
    }

    // Starts a conversion of the five-minute input and waits until it is under way.
    void startLong(TFFEncoder& encoder, EncoderEvents& events, const QString& output)
    {
        events.attach(encoder);
        encoder.SetProgressInterval(100);
        QVERIFY2(setUp(encoder, m_long, output), qPrintable(encoder.LastErrMsg()));
        encoder.Start(1);
        QTRY_VERIFY_WITH_TIMEOUT(!events.progress.empty(), 30000);
        QVERIFY(!events.ended());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(TAVLibrary::Load(qbtest::libAVFolder(), error), qPrintable(error));
        m_long = qbtest::makeMedia(m_dir.path(), QStringLiteral("long"));
        QVERIFY(!m_long.isEmpty());
    }

    void twoEncodersAtOnce()
    {
        const QString mp4 = qbtest::makeMedia(m_dir.path(), QStringLiteral("mp4"));
        const QString webm = qbtest::makeMedia(m_dir.path(), QStringLiteral("webm"));
        QVERIFY(!mp4.isEmpty() && !webm.isEmpty());
        const QString outA = m_dir.filePath(QStringLiteral("a.mp3"));
        const QString outB = m_dir.filePath(QStringLiteral("b.mp3"));

        TMessageQueue queue;
        TFFEncoder a(queue);
        TFFEncoder b(queue);
        EncoderEvents eventsA;
        EncoderEvents eventsB;
        eventsA.attach(a);
        eventsB.attach(b);
        a.SetProgressInterval(100);
        b.SetProgressInterval(100);
        QVERIFY(setUp(a, mp4, outA));
        QVERIFY(setUp(b, webm, outB));
        a.Start(1);
        b.Start(1);
        QTRY_VERIFY_WITH_TIMEOUT(eventsA.ended() && eventsB.ended(), 120000);

        for (const auto& [events, input, output] :
             {std::tuple{&eventsA, mp4, outA}, std::tuple{&eventsB, webm, outB}}) {
            QVERIFY(events->allOnGuiThread);
            QCOMPARE(events->terminates.size(), size_t(2));
            QVERIFY2(events->terminates[0].Finished,
                     qPrintable(events->terminates[0].ExceptionMsg));
            const double expected = qbtest::probeAudio(input).decodedSeconds;
            const double converted = qbtest::probeAudio(output).decodedSeconds;
            QVERIFY2(qAbs(converted - expected) <= 0.1, qPrintable(output));
        }
    }

    // The input lasts five minutes: a task that ended finished here would not have seen the
    // stop.
    void stopWithWaitEndsTheTaskAndRemovesItsOutput()
    {
        const QString output = m_dir.filePath(QStringLiteral("stopped.mp3"));
        TMessageQueue queue;
        TFFEncoder encoder(queue);
        EncoderEvents events;
        startLong(encoder, events, output);
        if (QTest::currentTestFailed())
            return;

        // While it is written, the output has its working name: a crash now leaves no file
        // under the output's name that looks whole.
        QVERIFY(!QFile::exists(output));
        QVERIFY(QFile::exists(output + QStringLiteral(".part")));

        QElapsedTimer timer;
        timer.start();
        encoder.Stop(true);
        qInfo("Stop(true) returned after %lld ms", timer.elapsed());
        QVERIFY(!QFile::exists(output));
        QVERIFY(!QFile::exists(output + QStringLiteral(".part")));

        QTRY_VERIFY(events.ended());
        QCOMPARE(events.terminates.size(), size_t(2));
        QCOMPARE(events.terminates[0].TaskIndex, 0);
        QVERIFY(!events.terminates[0].Finished);
        QVERIFY(!events.terminates[0].Exception);
    }

    // Another program takes the output's name while the conversion runs: the finished MP3
    // does not replace that file, the task fails and its working file goes.
    void nameTakenMeanwhileIsNotReplaced()
    {
        const QString output = m_dir.filePath(QStringLiteral("taken.mp3"));
        TMessageQueue queue;
        TFFEncoder encoder(queue);
        EncoderEvents events;
        startLong(encoder, events, output);
        if (QTest::currentTestFailed())
            return;
        {
            QFile other(output);
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("someone else's");
        }
        QTRY_VERIFY_WITH_TIMEOUT(events.ended(), 120000);

        QCOMPARE(events.terminates.size(), size_t(2));
        QVERIFY(!events.terminates[0].Finished);
        QVERIFY(events.terminates[0].Exception);
        QVERIFY2(events.terminates[0].ExceptionMsg.contains(QLatin1String("File exists")),
                 qPrintable(events.terminates[0].ExceptionMsg));
        QFile other(output);
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("someone else's"));
        QVERIFY(!QFile::exists(output + QStringLiteral(".part")));
    }

    // The close sequence's worst case: the encoder goes while it works. Its thread ends first,
    // and the events it had queued find no encoder.
    void destroyedWhileWorking()
    {
        const QString output = m_dir.filePath(QStringLiteral("destroyed.mp3"));
        TMessageQueue queue;
        auto encoder = std::make_unique<TFFEncoder>(queue);
        EncoderEvents events;
        startLong(*encoder, events, output);
        if (QTest::currentTestFailed())
            return;

        encoder.reset();
        QVERIFY(!QFile::exists(output));
        queue.Drain();
        QVERIFY(events.terminates.empty());
    }
};

QB_TEST(TestFFEncoderThreads, "e2e");
#include "TestFFEncoderThreads.moc"
