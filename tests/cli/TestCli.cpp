#include "FakeMakerSite.h"
#include "FakeSoundCloud.h"
#include "FakeYouTube.h"
#include "MediaFixtures.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace std::chrono_literals;

// quillbrook-cli as a user runs it, against the fake SoundCloud service.
class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    struct TRun
    {
        int code;
        QString out;
        QString err;
    };

    QProcess* start(qbtest::TFakeSoundCloud& sc, const QStringList& args,
                    const qbtest::TFakeYouTube* yt = nullptr)
    {
        const QString hosts = m_dir.filePath(QStringLiteral("hosts.ini"));
        QFile f(hosts);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write("[Hosts]\nSoundCloudWeb=" + sc.Host().toUtf8() + "\n");
        if (yt)
            f.write("YouTube=" + yt->Host().toUtf8() + "\nYouTubeShort=" + yt->Host().toUtf8() +
                    "\n");
        f.close();
        auto* p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLBROOK_SERVICES"), hosts);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(QB_BIN_DIR "/quillbrook-cli"), args);
        return p;
    }

    TRun finish(QProcess* p)
    {
        if (!p->waitForFinished(60000))
            p->kill();
        TRun r{p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1,
               QString::fromUtf8(p->readAllStandardOutput()),
               QString::fromUtf8(p->readAllStandardError())};
        p->deleteLater();
        return r;
    }

    static QString LastName(const QString& path) { return QFileInfo(path).fileName(); }

    QString saveDir(const char* name) { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void downloadsEveryLinkAndExitsZero()
    {
        qbtest::TFakeSoundCloud sc;
        const QString a = sc.AddTrack({.name = "First", .size = 300000});
        const QString b = sc.AddTrack({.name = "Second", .size = 1000});
        const TRun r = finish(start(sc, {"download", a, "http://example.org/not-soundcloud", b,
                                         "--save-to", saveDir("one")}));
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains(QLatin1String(
            "skipped (not a SoundCloud or YouTube link): http://example.org/not-soundcloud")));
        QVERIFY(r.out.contains(QLatin1String("saved: ") + saveDir("one") +
                               QLatin1String("/First.mp3")));
        QCOMPARE(QFileInfo(saveDir("one") + QStringLiteral("/First.mp3")).size(), 300000);
        QCOMPARE(QFileInfo(saveDir("one") + QStringLiteral("/Second.mp3")).size(), 1000);
    }

    void failedLinksAreNamedAndExitOne()
    {
        qbtest::TFakeSoundCloud sc;
        const QString good = sc.AddTrack({.name = "Good", .size = 100});
        const QString bad = sc.AddTrack({.name = "Bad", .size = 100, .status = 404});
        const TRun r = finish(start(sc, {"download", good, bad, "--save-to", saveDir("two")}));
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("failed: ") + bad));
        QVERIFY(!r.err.contains(QLatin1String("failed: ") + good));
        QCOMPARE(QDir(saveDir("two")).entryList(QDir::Files), QStringList{"Good.mp3"});
    }

    // A watch link ends as its MP3; the command waits for the conversion.
    void watchLinkWaitsForItsConversion()
    {
        qbtest::TFakeSoundCloud sc;
        qbtest::TFakeYouTube yt;
        qbtest::TFakeVideo video;
        video.title = QStringLiteral("Clip");
        QFile media(qbtest::makeMedia(m_dir.path(), QStringLiteral("mp4")));
        QVERIFY(media.open(QIODevice::ReadOnly));
        video.media = media.readAll();
        const TRun r =
            finish(start(sc, {"download", yt.AddVideo(video), "--save-to", saveDir("yt")}, &yt));
        QCOMPARE(r.code, 0);
        const QString mp3 = saveDir("yt") + QStringLiteral("/Clip - YouTube_(new).mp3");
        QVERIFY2(r.out.contains(QLatin1String("saved: ") + mp3), qPrintable(r.out + r.err));
        QCOMPARE(QDir(saveDir("yt")).entryList(QDir::Files), QStringList{LastName(mp3)});
        QVERIFY(qAbs(qbtest::probeAudio(mp3).decodedSeconds - 3.0) < 0.15);
    }

    // Ctrl+C during a conversion stops it and leaves no part of its MP3.
    void interruptStopsAConversion()
    {
        const QString clip = m_dir.filePath(QStringLiteral("long.mp4"));
        QVERIFY(qbtest::runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=330:duration=2400", "-ac",
                                   "1", "-c:a", "aac", "-b:a", "24k", clip}));
        qbtest::TFakeSoundCloud sc;
        qbtest::TFakeYouTube yt;
        qbtest::TFakeVideo video;
        QFile media(clip);
        QVERIFY(media.open(QIODevice::ReadOnly));
        video.media = media.readAll();
        QProcess* p =
            start(sc, {"download", yt.AddVideo(video), "--save-to", saveDir("ytstop")}, &yt);
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(saveDir("ytstop")).entryList({QStringLiteral("*.mp3")}, QDir::Files).isEmpty(),
            30000);
        ::kill(pid_t(p->processId()), SIGINT);
        const TRun r = finish(p);
        QCOMPARE(r.code, 1);
        QVERIFY(!r.out.contains(QLatin1String("saved: ")));
        QCOMPARE(QDir(saveDir("ytstop")).entryList(QDir::Files), QStringList{});
    }

    void interruptStopsAndCleansUp()
    {
        qbtest::TFakeSoundCloud sc;
        QStringList args{"download"};
        for (int i = 0; i < 3; ++i)
            args << sc.AddTrack({.name = "Long", .size = 5000000, .pieceSize = 8192, .gap = 20ms});
        args << "--save-to" << saveDir("three");
        QProcess* p = start(sc, args);
        QTRY_VERIFY_WITH_TIMEOUT(QDir(saveDir("three")).entryList(QDir::Files).size() == 3, 20000);
        ::kill(pid_t(p->processId()), SIGINT);
        const TRun r = finish(p);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count(QLatin1String("stopped: ")), 3);
        QCOMPARE(QDir(saveDir("three")).entryList(QDir::Files), QStringList{});
        QCOMPARE(QDir(saveDir("three") + QStringLiteral("/Temp")).entryList(QDir::Files),
                 QStringList{});
    }

    // Names and links are shown with every control character replaced: a page cannot clear
    // the screen, retitle the terminal or overwrite a line.
    void remoteTextCannotControlTheTerminal_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("title sequence and clear screen")
            << QString::fromUtf8("Hit\x1b]0;owned\x07\x1b[2J");
        QTest::newRow("carriage return") << QStringLiteral("Song\rsaved: /etc/passwd");
        QTest::newRow("C1 control sequence introducer")
            << QStringLiteral("Tune") + QChar(0x9B) + QStringLiteral("31m");
    }
    void remoteTextCannotControlTheTerminal()
    {
        QFETCH(QString, name);
        qbtest::TFakeSoundCloud sc;
        const QString good = sc.AddTrack({.name = name, .size = 1000});
        const QString bad = sc.AddTrack({.name = name, .size = 1000, .status = 404});
        const QString hostile = QStringLiteral("http://") + sc.Host() + QStringLiteral("/\x1b[2J");
        const QString save = m_dir.filePath(QLatin1String("four-") + QTest::currentDataTag());
        const TRun r = finish(
            start(sc, {"download", good, bad, hostile, "ftp://x/\x1b[2J", "--save-to", save}));
        QCOMPARE(r.code, 1);
        QCOMPARE(QDir(save).entryList(QDir::Files).size(), 1); // saved as named
        QVERIFY(r.out.contains(QLatin1String("saved: ")));
        QVERIFY(r.err.contains(QLatin1String("failed: ") + bad));
        for (const QString& text : {r.out, r.err}) {
            for (const QChar c : text) {
                const char16_t u = c.unicode();
                QVERIFY2(u == '\n' || (u >= 0x20 && u != 0x7F && !(u >= 0x80 && u <= 0x9F)),
                         qPrintable(QStringLiteral("control character U+%1 printed")
                                        .arg(int(u), 4, 16, QLatin1Char('0'))));
            }
        }
    }

    void versionPrintsTheProgramsVersion()
    {
        qbtest::TFakeSoundCloud sc;
        const TRun r = finish(start(sc, {"version"}));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("2.8\n"));
    }

    void versionCheck_data()
    {
        QTest::addColumn<int>("reply");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::newRow("newer") << int(qbtest::TVerReply::Plain) << "3.1" << 0 << "newer: 3.1\n";
        QTest::newRow("same") << int(qbtest::TVerReply::Plain) << "2.8" << 0 << "latest\n";
        QTest::newRow("404") << int(qbtest::TVerReply::NotFoundWithBody) << "9.9" << 1
                             << "failed: the server answered 404 Not Found\n";
        QTest::newRow("garbage") << int(qbtest::TVerReply::Plain) << "nan" << 1
                                 << "failed: the reply holds no valid version\n";
    }
    void versionCheck()
    {
        QFETCH(int, reply);
        QFETCH(QString, version);
        QFETCH(int, code);
        QFETCH(QString, out);
        qbtest::TFakeMakerSite site;
        site.SetReply(qbtest::TVerReply(reply), version);
        const QString hosts = m_dir.filePath(QStringLiteral("maker.ini"));
        QFile f(hosts);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Hosts]\nMaker=" + site.Host().toUtf8() + "\n");
        f.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLBROOK_SERVICES"), hosts);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QB_BIN_DIR "/quillbrook-cli"), {"version", "--check"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), code);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
        QCOMPARE(site.VersionRequests(), 1);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"fetch", "x"};
        QTest::newRow("no links") << QStringList{"download"};
        QTest::newRow("only bad links") << QStringList{"download", "ftp://soundcloud.com/a"};
        QTest::newRow("version with an unknown option") << QStringList{"version", "--now"};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        qbtest::TFakeSoundCloud sc;
        QCOMPARE(finish(start(sc, args)).code, 2);
    }
};

QB_TEST(TestCli, "e2e");
#include "TestCli.moc"
