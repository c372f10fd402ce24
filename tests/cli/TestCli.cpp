#include "FakeMakerSite.h"
#include "FakeSoundCloud.h"
#include "FakeYouTube.h"
#include "MediaFixtures.h"
#include "TestRegistry.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

using namespace std::chrono_literals;

namespace {

// A tmux server of the test's own (its own socket), with one pane of a given size running
// a command; the server goes with the object.
class TTmuxPane
{
public:
    TTmuxPane(const QString& tmux, const QString& socket) : m_tmux(tmux), m_socket(socket) {}
    ~TTmuxPane() { run({"kill-server"}); }

    bool Start(int columns, int rows, const QString& command)
    {
        return run({"-f", "/dev/null", "new-session", "-d", "-x", QString::number(columns), "-y",
                    QString::number(rows), "-s", "t", command});
    }
    // The pane's screen, one line a row, trailing blanks cut.
    QStringList Screen()
    {
        QProcess p;
        p.start(m_tmux, {"-u", "-L", m_socket, "capture-pane", "-p", "-t", "t"});
        p.waitForFinished(10000);
        QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
        for (QString& line : lines) {
            while (line.endsWith(QLatin1Char(' ')))
                line.chop(1);
        }
        return lines;
    }

private:
    bool run(const QStringList& args)
    {
        QProcess p;
        p.start(m_tmux, QStringList{"-u", "-L", m_socket} + args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    QString m_tmux;
    QString m_socket;
};

QString shellQuoted(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

int linesWith(const QStringList& screen, const QString& text)
{
    return int(std::count_if(screen.begin(), screen.end(),
                             [&text](const QString& line) { return line.contains(text); }));
}

} // namespace

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
                    const qbtest::TFakeYouTube* yt = nullptr,
                    const QString& program = QStringLiteral(QB_BIN_DIR "/quillbrook-cli"))
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
        p->start(program, args);
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
        QVERIFY(
            r.err.contains(QLatin1String("failed: ") + bad + QLatin1String(" (HTTP 404 Error)\n")));
        QVERIFY(!r.err.contains(QLatin1String("failed: ") + good));
        QCOMPARE(QDir(saveDir("two")).entryList(QDir::Files), QStringList{"Good.mp3"});
        // Nothing is left of the work in progress, not even an empty Temp folder.
        QCOMPARE(QDir(saveDir("two")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"Good.mp3"});
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

    // The program beside a LibAV folder that lacks one library: the watch link fails with
    // the library and the folder named.
    void missingLibraryIsNamed()
    {
        const QString app = m_dir.filePath(QStringLiteral("partial-app"));
        const QString libav = app + QStringLiteral("/LibAV");
        QVERIFY(QDir().mkpath(libav));
        const QString program = app + QStringLiteral("/quillbrook-cli");
        QVERIFY(QFile::copy(QStringLiteral(QB_BIN_DIR "/quillbrook-cli"), program));
        const QDir built(QStringLiteral(QB_BIN_DIR "/LibAV"));
        const QStringList libraries = built.entryList(QDir::Files);
        QVERIFY(libraries.contains(QLatin1String("libswresample.so.4")));
        for (const QString& library : libraries) {
            if (library != QLatin1String("libswresample.so.4"))
                QVERIFY(QFile::link(QFileInfo(built.filePath(library)).symLinkTarget(),
                                    libav + QLatin1Char('/') + library));
        }
        qbtest::TFakeSoundCloud sc;
        qbtest::TFakeYouTube yt;
        qbtest::TFakeVideo video;
        QFile media(qbtest::makeMedia(m_dir.path(), QStringLiteral("mp4")));
        QVERIFY(media.open(QIODevice::ReadOnly));
        video.media = media.readAll();
        const QString link = yt.AddVideo(video);
        const TRun r =
            finish(start(sc, {"download", link, "--save-to", saveDir("nolib")}, &yt, program));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("failed: %1 (Conversion failed: libswresample.so.4 "
                                               "not found in %2)\n")
                                    .arg(link, libav)),
                 qPrintable(r.err));
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
        // The conversion runs once its MP3 is being written (under its working name).
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(saveDir("ytstop"))
                                      .entryList({QStringLiteral("*.mp3.part")}, QDir::Files)
                                      .isEmpty(),
                                 30000);
        ::kill(pid_t(p->processId()), SIGINT);
        const TRun r = finish(p);
        QCOMPARE(r.code, 1);
        QVERIFY(!r.out.contains(QLatin1String("saved: ")));
        // Not even the downloaded video is left in Temp.
        QDirIterator left(saveDir("ytstop"), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                          QDirIterator::Subdirectories);
        QVERIFY2(!left.hasNext(), qPrintable(left.hasNext() ? left.next() : QString()));
    }

    // Two runs saving a track of the same name into one folder at the same moment: each
    // gets a file of its own, whole. The tracks differ in length, so a file either run
    // wrote into shows.
    void twoRunsRacingForOneName()
    {
        qbtest::TFakeSoundCloud sc;
        for (int pair = 0; pair < 20; ++pair) {
            const QString folder = saveDir("race") + QString::number(pair);
            const std::int64_t sizes[2] = {200000, 200001};
            QProcess* runs[2];
            for (int i = 0; i < 2; ++i)
                runs[i] = start(
                    sc, {"download",
                         sc.AddTrack(
                             {.name = "Race", .size = sizes[i], .pieceSize = 16384, .gap = 1ms}),
                         "--save-to", folder});
            for (QProcess* p : runs) {
                const TRun r = finish(p);
                QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
            }
            const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
            QCOMPARE(files.size(), 2);
            QList<std::int64_t> seen;
            for (const QFileInfo& file : files) {
                QVERIFY2(file.fileName().endsWith(QLatin1String("Race.mp3")),
                         qPrintable(file.fileName()));
                QFile f(file.filePath());
                QVERIFY(f.open(QIODevice::ReadOnly));
                const QByteArray bytes = f.readAll();
                QByteArray served(bytes.size(), '\0');
                for (qsizetype at = 0; at < served.size(); ++at)
                    served[at] = qbtest::TScriptedReply::PatternByte(at);
                QVERIFY2(bytes == served, qPrintable(file.fileName()));
                seen.append(bytes.size());
            }
            std::sort(seen.begin(), seen.end());
            QCOMPARE(seen, (QList<std::int64_t>{sizes[0], sizes[1]}));
        }
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

    // The live table on an 80-column terminal, as a user sees it: in the chosen language,
    // every line within the width (long names cut in the middle), queued rows told apart by
    // their links, and redrawn in place (one table on the screen, not one per refresh).
    void liveTableOnAnEightyColumnTerminal()
    {
        const QString tmux = QStandardPaths::findExecutable(QStringLiteral("tmux"));
        if (tmux.isEmpty())
            QSKIP("tmux is missing (scripts/packages.txt installs it)");
        qbtest::TFakeSoundCloud sc;
        QStringList links;
        for (int i = 1; i <= 12; ++i) {
            // Ten slow ones hold every slot for a few seconds; the last two wait meanwhile.
            const QString name =
                QStringLiteral("Track %1 - with a name far too long for its column, to be cut")
                    .arg(i, 2, 10, QLatin1Char('0'));
            links << sc.AddTrack(
                {.name = name, .size = 200000, .pieceSize = 4000, .gap = i <= 10 ? 60ms : 0ms});
        }
        // Settings of a user who chose German.
        const QString home = m_dir.filePath(QStringLiteral("home-tmux"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/.config")));
        QFile conf(home + QStringLiteral("/.config/Quillbrook.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nSelectLanguage=brae_deu.ini\n");
        conf.close();
        const QString hosts = m_dir.filePath(QStringLiteral("hosts-tmux.ini"));
        QFile f(hosts);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Hosts]\nSoundCloudWeb=" + sc.Host().toUtf8() + "\n");
        f.close();

        QString command = QStringLiteral("env HOME=%1 XDG_CONFIG_HOME=%1/.config LC_ALL=C.UTF-8 "
                                         "QUILLBROOK_SERVICES=%2 %3 download")
                              .arg(shellQuoted(home), shellQuoted(hosts),
                                   shellQuoted(QStringLiteral(QB_BIN_DIR "/quillbrook-cli")));
        for (const QString& link : links)
            command += QLatin1Char(' ') + shellQuoted(link);
        command += QStringLiteral(" --save-to ") + shellQuoted(saveDir("tmux")) +
                   QStringLiteral("; echo EXIT=$?; sleep 120");
        TTmuxPane pane(tmux, QStringLiteral("qbtest-%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(pane.Start(80, 60, command));

        QStringList whileQueued;
        QStringList screen;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000) {
            screen = pane.Screen();
            if (whileQueued.isEmpty() && linesWith(screen, QStringLiteral("queued")) == 2 &&
                linesWith(screen, QStringLiteral("Empfangen: ")) > 0)
                whileQueued = screen;
            if (linesWith(screen, QStringLiteral("EXIT=")) > 0)
                break;
            QTest::qWait(100);
        }
        const QString shown = screen.join(QLatin1Char('\n'));
        QVERIFY2(linesWith(screen, QStringLiteral("EXIT=0")) == 1, qPrintable(shown));
        QVERIFY2(!whileQueued.isEmpty(), qPrintable(shown));

        for (const QStringList& s : {whileQueued, screen}) {
            const QString text = s.join(QLatin1Char('\n'));
            QVERIFY2(linesWith(s, QStringLiteral("Datei")) == 1, qPrintable(text));
            QVERIFY2(s.indexOf(QRegularExpression(QStringLiteral("^Datei +Größe +Status$"))) >= 0,
                     qPrintable(text));
            // The table's lines (the saved files' paths below it are not the table's).
            for (const QString& line : s) {
                if (!line.startsWith(QLatin1String("saved: ")) &&
                    !line.startsWith(QLatin1Char(',')))
                    QVERIFY2(line.size() < 80, qPrintable(line));
            }
        }
        // Running rows: the name cut in the middle, both ends kept.
        QCOMPARE(linesWith(whileQueued, QStringLiteral("downloading")), 10);
        const QRegularExpression cut(QStringLiteral("^Track \\d\\d - \\S*\u2026.*to be cut "));
        QVERIFY2(whileQueued.filter(cut).size() == 10,
                 qPrintable(whileQueued.join(QLatin1Char('\n'))));
        // Queued rows: their links, cut so that their different ends still show.
        for (const QString& link : {links[10], links[11]}) {
            const QRegularExpression queued(QRegularExpression::escape(link.right(10)) +
                                            QStringLiteral(" +queued$"));
            QVERIFY2(whileQueued.filter(queued).size() == 1,
                     qPrintable(whileQueued.join(QLatin1Char('\n'))));
        }
        // The end: one table, every row finished, once each.
        QCOMPARE(linesWith(screen, QStringLiteral("finished")), 13); // 12 rows and the sum
        QCOMPARE(linesWith(screen, QStringLiteral("12 of 12 finished")), 1);
        for (int i = 1; i <= 12; ++i) {
            const QRegularExpression row(QStringLiteral("^Track %1 - .*finished +Finished$")
                                             .arg(i, 2, 10, QLatin1Char('0')));
            QCOMPARE(screen.filter(row).size(), 1);
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
        // The server's words reach the terminal with every control character replaced.
        QTest::newRow("hostile reason phrase")
            << int(qbtest::TVerReply::HostileReason) << "9.9" << 1
            << "failed: the server answered 404 Not Found?]0;owned??[2J?newer: 9.9\n";
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

    // Every mistake exits 2 and names what was wrong.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::newRow("no command") << QStringList{} << "Usage: quillbrook-cli download";
        QTest::newRow("unknown command") << QStringList{"fetch", "x"} << "unknown command: fetch";
        QTest::newRow("unknown top-level option")
            << QStringList{"--fast"} << "unknown option: --fast";
        QTest::newRow("no links") << QStringList{"download"} << "no link to download";
        QTest::newRow("download with an unknown option")
            << QStringList{"download", "--quiet", "http://soundcloud.com/a/b"}
            << "unknown option: --quiet";
        QTest::newRow("--save-to without a folder")
            << QStringList{"download", "http://soundcloud.com/a/b", "--save-to"}
            << "--save-to needs a folder";
        QTest::newRow("only bad links") << QStringList{"download", "ftp://soundcloud.com/a"}
                                        << "No SoundCloud link to download.";
        QTest::newRow("version with an unknown option")
            << QStringList{"version", "--now"} << "unknown option: --now";
        QTest::newRow("unknown follow command")
            << QStringList{"follow", "rename", "a"} << "unknown follow command: rename";
        QTest::newRow("check with an unknown option")
            << QStringList{"check", "alice", "-d"} << "unknown option: -d";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        qbtest::TFakeSoundCloud sc;
        const TRun r = finish(start(sc, args));
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    // Help goes to standard output and exits 0, for the program and for each command.
    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("starts");
        QTest::newRow("--help") << QStringList{"--help"} << "Usage: quillbrook-cli download";
        QTest::newRow("download --help")
            << QStringList{"download", "--help"} << "Usage: quillbrook-cli download LINK";
        QTest::newRow("follow --help")
            << QStringList{"follow", "list", "--help"} << "Usage: quillbrook-cli follow";
        QTest::newRow("check --help")
            << QStringList{"check", "--daily", "--help"} << "Usage: quillbrook-cli check";
        QTest::newRow("version --help")
            << QStringList{"version", "--help"} << "Usage: quillbrook-cli version";
        QTest::newRow("--version") << QStringList{"--version"} << "quillbrook-cli 2.8\n";
    }
    void helpAndVersion()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, starts);
        qbtest::TFakeSoundCloud sc;
        const TRun r = finish(start(sc, args));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(starts), qPrintable(r.out));
        QVERIFY(r.err.isEmpty());
    }
};

QB_TEST(TestCli, "e2e");
#include "TestCli.moc"
