#include "TestRegistry.h"

#include "base/ServiceHosts.h"
#include "jobs/DownloadJobs.h"
#include "jobs/DownloadProgress.h"
#include "jobs/LinkIntake.h"
#include "worker/OutputNaming.h"
#include "worker/SoundCloudPage.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestOutputNaming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { OverrideServiceHosts(LoadServiceHosts(QString())); }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "";
        QTest::newRow("512") << qint64(512) << "512B";
        QTest::newRow("2048") << qint64(2048) << "2.00K";
        QTest::newRow("1 MiB") << qint64(1048576) << "1.00M";
        QTest::newRow("1 GiB") << qint64(1073741824) << "1.00G";
        QTest::newRow("5 GiB") << qint64(5) * 1073741824 << "5.00G";
    }
    void sizeText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(SizeText(bytes), text);
    }

    void workingFileName_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("free") << QStringList{"Other"} << QStringList{} << "/s/Song";
        QTest::newRow("row shows it, other case")
            << QStringList{"song"} << QStringList{} << "/s/1-Song";
        QTest::newRow("rows then disk")
            << QStringList{"Song", "1-Song"} << QStringList{"/s/2-Song"} << "/s/3-Song";
        QTest::newRow("disk only") << QStringList{} << QStringList{"/s/Song"} << "/s/1-Song";
        QTest::newRow("empty captions ignored")
            << QStringList{"", ""} << QStringList{} << "/s/Song";
    }
    void workingFileName()
    {
        QFETCH(QStringList, captions);
        QFETCH(QStringList, onDisk);
        QFETCH(QString, chosen);
        const QSet<QString> disk(onDisk.begin(), onDisk.end());
        const TNameChoice c = ChooseAgainstCaptions(QStringLiteral("/s/Song"), captions);
        QCOMPARE(ChooseAgainstDisk(c,
                                   [&](const QString& p) {
                                       return disk.contains(p) ? TCreated::Taken
                                                               : TCreated::Created;
                                   }),
                 chosen);
        // A file that cannot be created ends the choice: no name at all.
        QCOMPARE(ChooseAgainstDisk(c, [](const QString&) { return TCreated::Failed; }), QString());
    }

    void mp3Name_data()
    {
        QTest::addColumn<QString>("working");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("final");
        QTest::newRow("plain") << "Song" << QStringList{} << "Song.mp3";
        QTest::newRow("taken twice")
            << "Song" << QStringList{"Song.mp3", "1-Song.mp3"} << "2-Song.mp3";
        QTest::newRow("numbered working file")
            << "1-Song" << QStringList{"1-Song.mp3"} << "1-1-Song.mp3";
    }
    void mp3Name()
    {
        QFETCH(QString, working);
        QFETCH(QStringList, existing);
        QFETCH(QString, final);
        QTemporaryDir dir;
        const auto touch = [&](const QString& name, const QByteArray& content) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        };
        for (const QString& e : existing)
            touch(e, "old");
        touch(working, "new");
        QCOMPARE(GiveMp3Name(dir.filePath(working)), dir.filePath(final));
        QFile result(dir.filePath(final));
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("new"));
        for (const QString& e : existing) { // nothing overwritten
            QFile f(dir.filePath(e));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("old"));
        }
    }

    void pageLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("stream");
        QTest::addColumn<QString>("name");
        QTest::newRow("stream then name")
            << R"({"streamUrl":"http://Cdn.example/A.mp3?x=1","name":"My Song"})" << true
            << "http://Cdn.example/A.mp3?x=1"
            << "My Song";
        QTest::newRow("name first, keys in other case")
            << R"(  {"NAME":"Tune","STREAMURL":"http://c/s"} )" << true << "http://c/s"
            << "Tune";
        QTest::newRow("quote is the last character")
            << R"(x "streamurl":"http://c/s")" << true << "http://c/s"
            << "";
        QTest::newRow("no closing quote") << R"("streamurl":"http://c/s)" << true << ""
                                          << "";
        QTest::newRow("username is not the name")
            << R"("username":"dj","streamurl":"http://c/s","name":"Real")" << true << "http://c/s"
            << "Real";
        QTest::newRow("no stream key") << R"("name":"Song")" << false << ""
                                       << "";
    }
    void pageLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, found);
        QFETCH(QString, stream);
        QFETCH(QString, name);
        const TSoundCloudTrack t = ParseSoundCloudLine(line);
        QCOMPARE(t.found, found);
        QCOMPARE(t.streamUrl, stream);
        QCOMPARE(t.name, name);
    }

    void pageFileUsesTheFirstMatchingLine()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("7.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html>\n\n\"streamurl\":\"http://a/1\",\"name\":\"Caf\xc3\xa9\"\n"
                "\"streamurl\":\"http://a/2\",\"name\":\"Second\"\n");
        f.close();
        TSoundCloudTrack t;
        QVERIFY(ReadSoundCloudPage(f.fileName(), t));
        QCOMPARE(t.streamUrl, QStringLiteral("http://a/1"));
        QCOMPARE(t.name, QStringLiteral("Café"));
        QVERIFY(!ReadSoundCloudPage(dir.filePath(QStringLiteral("absent.txt")), t));
    }

    void mp3NameOfAMissingFileIsEmpty()
    {
        QTemporaryDir dir;
        QCOMPARE(GiveMp3Name(dir.filePath(QStringLiteral("gone"))), QString());
    }

    // Page names stay inside the save folder, visible, and short enough for two number
    // prefixes and ".mp3" within 255 bytes, cut between characters.
    void pageNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xB5"); // 4 bytes, 2 UTF-16 units
        QTest::newRow("bars and slashes") << "a|b/c\\d/../e"
                                          << "a b c d .. e";
        QTest::newRow("climbing up") << "../../escape"
                                     << "escape";
        QTest::newRow("hidden") << ".hidden"
                                << "hidden";
        QTest::newRow("only dots and blanks") << " . .. "
                                              << "";
        QTest::newRow("dot inside stays") << "Mix v1.2"
                                          << "Mix v1.2";
        QTest::newRow("NUL and controls go, line ends become blanks")
            << QStringLiteral("A") + QChar(0) + QStringLiteral("B\x1b\x7f") + QChar(0x9C) +
                   QStringLiteral("\r\nC")
            << "AB  C";
        QTest::newRow("bidirectional controls go")
            << QString(QChar(0x202E)) + QStringLiteral("gpj") + QChar(0x202C) + QChar(0x2066) +
                   QChar(0x200E) + QChar(0x061C) + QStringLiteral(".exe")
            << "gpj.exe";
        QTest::newRow("a control before a dot does not hide it")
            << QStringLiteral("\x01.hidden") << "hidden";
        QTest::newRow("240 ASCII bytes") << QString(240, 'x') << QString(239, 'x');
        QTest::newRow("2-byte letters, cut would split one")
            << QString(150, QChar(0xE9)) << QString(119, QChar(0xE9));
        QTest::newRow("4-byte characters, cut would split one")
            << "ab" + emoji.repeated(60) << "ab" + emoji.repeated(59);
    }
    void pageNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        const QString result = SafeSoundCloudName(name);
        QCOMPARE(result, safe);
        QVERIFY(result.toUtf8().size() <= kMaxPageNameBytes);
        QCOMPARE(QString::fromUtf8(result.toUtf8()), result); // no half character
    }

    void barsInPaths()
    {
        QCOMPARE(ReplaceBars(QStringLiteral("/x/a|b")), QStringLiteral("/x/a b"));
    }

    void progressText()
    {
        TDownloadJobs job;
        job.t_ConvertStatus = CONVERT_NONE;
        job.t_Status = JOB_DOWNLOADING;
        job.t_Get_HTTP_200 = true;
        job.t_GetData = 1;
        job.t_Size = 1048576;
        job.t_Received = 262144;
        const QString received = QStringLiteral("Received");
        QCOMPARE(ProgressText(job, received, QLatin1Char('.')).value(),
                 QStringLiteral("Received: 262144 (25.00%)"));
        QCOMPARE(ProgressText(job, received, QLatin1Char(',')).value(),
                 QStringLiteral("Received: 262144 (25,00%)"));
        job.t_GetData = 0;
        QCOMPARE(ProgressText(job, received, QLatin1Char('.')).value(),
                 QStringLiteral(" Received: 262144 (25.00%)"));
        job.t_Size = -1;
        QCOMPARE(ProgressText(job, received, QLatin1Char('.')).value(), QString());
        job.t_Get_HTTP_200 = false; // left alone
        QVERIFY(!ProgressText(job, received, QLatin1Char('.')).has_value());
        job.t_Get_HTTP_200 = true;
        job.t_Status = JOB_FINISHED;
        QVERIFY(!ProgressText(job, received, QLatin1Char('.')).has_value());
    }

    void linkRules_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("dropped");
        QTest::newRow("https in capitals") << "HTTPS://SoundCloud.com/Artist/Track"
                                           << "http://SoundCloud.com/Artist/Track"
                                           << "http://SoundCloud.com/Artist/Track";
        QTest::newRow("blanks around") << "  http://soundcloud.com/a/b \t"
                                       << "http://soundcloud.com/a/b"
                                       << "http://soundcloud.com/a/b";
        QTest::newRow("no scheme") << "soundcloud.com/a/b"
                                   << ""
                                   << "";
        QTest::newRow("youtube watch link, https") << "https://www.youtube.com/watch?v=Ab1"
                                                   << "http://www.youtube.com/watch?v=Ab1"
                                                   << "http://www.youtube.com/watch?v=Ab1";
        QTest::newRow("youtube short link") << "  http://youtu.be/Ab1 "
                                            << "http://youtu.be/Ab1"
                                            << "http://youtu.be/Ab1";
        QTest::newRow("youtube without scheme") << "www.youtube.com/watch?v=Ab1"
                                                << ""
                                                << "";
        QTest::newRow("other site") << "http://example.org/a"
                                    << ""
                                    << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }
    void linkRules()
    {
        QFETCH(QString, line);
        QFETCH(QString, dialog);
        QFETCH(QString, dropped);
        QCOMPARE(AcceptedDialogLink(line), dialog);
        QCOMPARE(AcceptedDroppedLink(line), dropped);
    }
};

QB_TEST(TestOutputNaming, "unit");
#include "TestOutputNaming.moc"
