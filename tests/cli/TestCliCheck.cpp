#include "FakeSoundCloud.h"
#include "FakeSoundCloudApi.h"
#include "SmallDisk.h"
#include "TestRegistry.h"

#include "app/SingleInstance.h"
#include "follow/PeopleFileLock.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// quillbrook-cli check as a user runs it against the fake API and track pages: the users
// and the file of the window, the daily check, downloads, failures and the window's lock.
class TestCliCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<qbtest::TFakeSoundCloud> m_sc;
    std::unique_ptr<qbtest::TFakeSoundCloudApi> m_api;

    struct TRun
    {
        int code;
        QString out;
        QString err;
    };

    QProcessEnvironment environment()
    {
        const QString hosts = m_dir.filePath(QStringLiteral("hosts.ini"));
        QFile f(hosts);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write("[Hosts]\nSoundCloudWeb=" + m_sc->Host().toUtf8() +
                    "\nSoundCloudApi=" + m_api->Host().toUtf8() + "\n");
        f.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLBROOK_SERVICES"), hosts);
        return env;
    }

    void start(QProcess& p, const QStringList& args, const QString& runtimeDir = {})
    {
        QProcessEnvironment env = environment();
        if (!runtimeDir.isEmpty())
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QB_BIN_DIR "/quillbrook-cli"), args);
    }

    static TRun finish(QProcess& p)
    {
        if (!p.waitForFinished(60000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    TRun run(const QStringList& args, const QString& runtimeDir = {})
    {
        QProcess p;
        start(p, args, runtimeDir);
        return finish(p);
    }

    // The data folder of the isolated home, which is also the save folder by default.
    static QString dataDir() { return QDir::homePath() + QStringLiteral("/Documents/Quillbrook/"); }

    static QString savedFile(const QString& name) { return dataDir() + name + ".mp3"; }
    static QString peopleFile() { return dataDir() + QStringLiteral("data/followuser.xml"); }

    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init()
    {
        QDir(dataDir()).removeRecursively();
        m_sc = std::make_unique<qbtest::TFakeSoundCloud>();
        m_api = std::make_unique<qbtest::TFakeSoundCloudApi>(m_sc.get());
    }

    void dailyCheckDownloadsTheNewTracksOfDueUsers()
    {
        m_api->AddTracks(QStringLiteral("alice"), 2, 5000);
        m_api->AddTracks(QStringLiteral("bob"), 1, 5000);
        m_api->AddTracks(QStringLiteral("carol"), 1, 5000);
        QCOMPARE(run({"follow", "add", "alice", "bob", "carol"}).code, 0);
        QCOMPARE(run({"follow", "auto-check", "alice", "on"}).code, 0);
        QCOMPARE(run({"follow", "auto-check", "bob", "on"}).code, 0);

        TRun r = run({"check", "--daily"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("alice: 2 new track(s), 2 queued\n  1001  alice "
                                              "song 1\n  1002  alice song 2\n")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QLatin1String("bob: 1 new track(s), 1 queued")));
        QVERIFY(!r.out.contains(QLatin1String("carol")));
        for (const char* name : {"alice song 1", "alice song 2", "bob song 1"})
            QCOMPARE(QFileInfo(savedFile(QString::fromLatin1(name))).size(), 5000);
        QVERIFY(!QFile::exists(savedFile(QStringLiteral("carol song 1"))));
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        r = run({"follow", "list"});
        QVERIFY2(r.out.startsWith(QStringLiteral("alice\t1\t2\t2\t") + today), qPrintable(r.out));

        // Checked today: the next daily check leaves them alone.
        m_api->AddTracks(QStringLiteral("alice"), 1, 5000);
        r = run({"check", "--daily"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("No followed user is due")));
        QCOMPARE(m_api->Requests(QStringLiteral("alice")), 1);

        // Named users are checked on request; without --download they are only listed.
        r = run({"check", "ALICE", "carol"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QLatin1String("alice: 1 new track(s)\n  1005  alice song 3\n")));
        QVERIFY(r.out.contains(QLatin1String("carol: 1 new track(s)\n")));
        QVERIFY(!QFile::exists(savedFile(QStringLiteral("alice song 3"))));
        QVERIFY(run({"follow", "list"}).out.contains(QLatin1String("carol\t0\t1\t0\t") + today));
    }

    // Ctrl+C while a long track list is still arriving ends the check there: nothing more
    // of the reply is read or committed, the last check time stays, and the run ends.
    void interruptDuringALongReply()
    {
        m_api->AddTracks(QStringLiteral("alice"), 20000);
        m_api->SetMode(QStringLiteral("alice"), qbtest::TApiMode::StallNearEnd);
        QCOMPARE(run({"follow", "add", "alice"}).code, 0);

        QProcess p;
        start(p, {"check", "alice"});
        // The request has come and the server has sent all it sends: a moment for the
        // bytes to arrive (the outcome is the same should they be late).
        QVERIFY(m_api->Server().WaitForRequests(1, std::chrono::seconds(30)));
        QTest::qWait(1000);
        ::kill(pid_t(p.processId()), SIGINT);
        const TRun r = finish(p);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QLatin1String(
                     "alice: check failed (stopped); 0 new track(s), last check time kept\n")),
                 qPrintable(r.out + r.err));
        QVERIFY(run({"follow", "list"}).out.contains(QLatin1String("alice\t0\t0\t0\t\n")));
    }

    void failuresAndRefusals()
    {
        m_api->AddTracks(QStringLiteral("alice"), 1);
        m_api->SetMode(QStringLiteral("alice"), qbtest::TApiMode::ServerError);
        QCOMPARE(run({"follow", "add", "alice", "bob"}).code, 0);
        TRun r = run({"check", "--download"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QLatin1String("alice: check failed (HTTP 500 Internal Server "
                                              "Error); 0 new track(s), last check time kept")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QLatin1String("bob: check failed (HTTP 404")));
        QVERIFY(run({"follow", "list"}).out.contains(QLatin1String("alice\t0\t0\t0\t\n")));

        r = run({"check", "nobody"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("nobody: not followed")));
        QCOMPARE(run({"check", "--daily", "alice"}).code, 2);
        QCOMPARE(run({"check", "--everything"}).code, 2);

        SingleInstance window;
        QVERIFY(window.tryAcquire());
        r = run({"check", "--daily"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains(QLatin1String("Quillbrook is running")));
        QCOMPARE(m_api->Requests(QStringLiteral("alice")), 1);
    }

    void fullDataDisk_data();
    void fullDataDisk();
    void lockBesideTheFile();
};

// Every command that saves the followed users, on a real full disk under the data folder
// (one page left for the lock): the command fails naming the file and the reason, and
// the file is as it was.
void TestCliCheck::fullDataDisk_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("follow add") << QStringList{"follow", "add", "bob"};
    QTest::newRow("follow remove") << QStringList{"follow", "remove", "alice"};
    QTest::newRow("follow auto-check") << QStringList{"follow", "auto-check", "alice", "off"};
    QTest::newRow("check") << QStringList{"check"};
    QTest::newRow("check --daily") << QStringList{"check", "--daily"};
    QTest::newRow("check --download") << QStringList{"check", "--download"};
}

void TestCliCheck::fullDataDisk()
{
    QFETCH(QStringList, args);
    m_api->AddTracks(QStringLiteral("alice"), 2, 5000);
    qbtest::SmallDisk disk(dataDir() + QStringLiteral("data"));
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.reason()));
    QCOMPARE(run({"follow", "add", "alice"}).code, 0);
    QCOMPARE(run({"follow", "auto-check", "alice", "on"}).code, 0);
    const QByteArray before = readAll(peopleFile());
    QVERIFY(before.contains("alice"));
    QVERIFY(disk.fill(4096));
    const TRun r = run(args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("could not be saved to ") + peopleFile() +
                            QStringLiteral(": No space left on device")),
             qPrintable(r.err));
    QCOMPARE(readAll(peopleFile()), before);
}

// The lock beside the file: a second command is told which process holds it, a window of
// another runtime folder still holds it, and a lock that cannot be taken refuses.
void TestCliCheck::lockBesideTheFile()
{
    // Slow replies for several users keep the check running for seconds.
    const QStringList users{"alice", "amy", "ann", "ava", "abe", "al"};
    for (const QString& user : users) {
        m_api->AddTracks(user, 3);
        m_api->SetMode(user, qbtest::TApiMode::Slow);
    }
    QCOMPARE(run(QStringList{"follow", "add"} + users).code, 0);
    const QString lock = peopleFile() + QStringLiteral(".lock");
    QProcess check;
    start(check, {"check"});
    QVERIFY(check.waitForStarted());
    const qint64 pid = check.processId();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 20000);
    TRun r = run({"follow", "add", "bob"});
    QCOMPARE(check.state(), QProcess::Running);
    QVERIFY(check.waitForFinished(60000));
    QCOMPARE(check.exitCode(), 0);
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QStringLiteral("Another quillbrook-cli command (process %1) is "
                                           "using the followed users")
                                .arg(pid)),
             qPrintable(r.err));

    const QByteArray before = readAll(peopleFile());
    {
        // As the window holds it; the command runs with a runtime folder of its own.
        PeopleFileLock window(peopleFile());
        QVERIFY(window.tryLock());
        const QString otherRuntime = m_dir.filePath(QStringLiteral("other-runtime"));
        QVERIFY(QDir().mkpath(otherRuntime));
        r = run({"follow", "add", "bob"}, otherRuntime);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(QLatin1String("Quillbrook is running")), qPrintable(r.err));
        QCOMPARE(run({"check", "--daily"}, otherRuntime).code, 3);
    }
    QVERIFY(QDir().mkpath(lock)); // a lock that cannot be created
    r = run({"follow", "add", "bob"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QLatin1String("The followed users cannot be locked")),
             qPrintable(r.err));
    QVERIFY(QDir(lock).removeRecursively());
    QCOMPARE(readAll(peopleFile()), before);
    QCOMPARE(run({"follow", "add", "bob"}).code, 0);
}

QB_TEST(TestCliCheck, "e2e");
#include "TestCliCheck.moc"
