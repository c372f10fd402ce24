#include "FakeDesktop.h"
#include "FakeSoundCloud.h"
#include "FakeSoundCloudApi.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "UiTestHelpers.h"

#include "app/MainController.h"
#include "app/SingleInstance.h"
#include "base/AppSettings.h"
#include "follow/TFollowedPeople.h"
#include "follow/TPeopleFile.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "ui/AppActivation.h"
#include "ui/TTarnMainWin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStatusBar>
#include <QTest>

#include <memory>

// Starting the real program while a window runs: the second start hands its links to that
// window over the session bus, brings it to the front and ends. Runs only on a private bus
// of its own (the ctest entry ui_dbus starts one), never on the user's.
class TestSecondStart : public QObject
{
    Q_OBJECT

    const QString m_program = QStringLiteral(QB_BIN_DIR "/quillbrook");
    std::unique_ptr<qbtest::TFakeSoundCloud> m_sc;
    FakeDesktop m_desktop;
    FakePrompts m_prompts;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<TTarnMainWin> m_win;
    std::unique_ptr<AppActivation> m_activation;

    struct Ended
    {
        bool ended = false;
        int code = -1;
        QString err;
    };

    // Runs the program with the arguments; this window keeps answering meanwhile.
    Ended run(const QStringList& args, int ms = 20000)
    {
        QProcess p;
        p.start(m_program, args);
        Ended e;
        e.ended = p.waitForStarted() &&
                  QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, ms);
        if (!e.ended) {
            p.kill();
            p.waitForFinished();
            return e;
        }
        e.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        e.err = QString::fromLocal8Bit(p.readAllStandardError());
        return e;
    }

    QStringList urls()
    {
        QStringList out;
        const ListViewModel& list = m_controller->DownloadList();
        for (int row = 0; row < list.rowCount(); ++row)
            out.append(list.text(row, TDownloadRows::UrlColumn));
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariable("QB_PRIVATE_BUS") != QLatin1String("1"))
            QSKIP("needs a private session bus (the ctest entry ui_dbus runs it on one)");
        QVERIFY2(QFile::exists(m_program), qPrintable(m_program));
    }

    void init()
    {
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini")));
        AppSettings().SetLanguageLoaded(true);
        qbtest::forgetWindowLayout();
        m_sc = std::make_unique<qbtest::TFakeSoundCloud>();
        m_sc->UseAsSoundCloud();
        // This process is the running copy: it holds the lock and the bus name.
        m_instance = std::make_unique<SingleInstance>();
        QVERIFY(m_instance->tryAcquire());
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_controller->Downloads().MaxDownloads = 0; // the jobs only need to be there
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_activation = std::make_unique<AppActivation>(
            [this](const QStringList& links) { m_win->TakeLinks(links); });
        QVERIFY(m_activation->Register());
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    }

    void cleanup()
    {
        // The window's first showing lets jobs start: their workers use the job table, so it
        // goes only after them.
        QTRY_COMPARE_WITH_TIMEOUT(m_controller->LiveWorkers(), 0, 30000);
        m_activation.reset();
        m_win.reset();
        m_controller.reset();
        m_instance.reset();
        m_sc.reset();
        qbtest::forgetWindowLayout();
    }

    void secondStartHandsItsLinksOver()
    {
        const QString link = m_sc->AddTrack({});
        const QString upper = QStringLiteral("HTTPS://") + link.mid(7);
        m_win->showMinimized();
        QTRY_VERIFY(m_win->isMinimized());
        const Ended e = run({link, QStringLiteral("http://example.org/other"), upper});
        QVERIFY(e.ended);
        QCOMPARE(e.code, 0);
        QVERIFY2(e.err.isEmpty(), qPrintable(e.err));
        QCOMPARE(urls(), (QStringList{link, link})); // as pasted: normalised, one skipped
        QCOMPARE(m_win->statusBar()->currentMessage(),
                 QStringLiteral("1 line skipped: not a SoundCloud or YouTube link"));
        QVERIFY(!m_win->isMinimized());
    }

    void secondStartWithoutLinksBringsTheWindowUp()
    {
        m_win->showMinimized();
        QTRY_VERIFY(m_win->isMinimized());
        const Ended e = run({});
        QVERIFY(e.ended);
        QCOMPARE(e.code, 0);
        QVERIFY(!m_win->isMinimized());
        QCOMPARE(urls(), QStringList());
    }

    // The lock is held but nobody answers on the bus (a copy that hangs, or one without
    // the bus): the links are not silently lost.
    void linksNobodyTakesFailTheStart()
    {
        m_activation.reset();
        const QString link = m_sc->AddTrack({});
        const Ended e = run({link});
        QVERIFY(e.ended);
        QCOMPARE(e.code, 1);
        QVERIFY2(e.err.contains(link), qPrintable(e.err));
        QCOMPARE(urls(), QStringList());
        // Without links there is nothing to lose.
        QCOMPARE(run({}).code, 0);
    }

    // The real program on both sides: the first start downloads the links it was given, a
    // second start's links reach it.
    void bothStartsOfTheRealProgram()
    {
        m_activation.reset();
        m_instance.reset();
        const QString hostsFile = qbtest::testHome() + QStringLiteral("/second-start-hosts.ini");
        QFile hosts(hostsFile);
        QVERIFY(hosts.open(QIODevice::WriteOnly | QIODevice::Truncate));
        hosts.write(QStringLiteral("[Hosts]\nSoundCloudWeb=%1\nMaker=127.0.0.1:1\n")
                        .arg(m_sc->Host())
                        .toUtf8());
        hosts.close();
        const QString folder = qbtest::testHome() + QStringLiteral("/Documents/Quillbrook/");
        const QString first = m_sc->AddTrack({.name = "First Start", .size = 3000});
        const QString second = m_sc->AddTrack({.name = "Second Start", .size = 3000});

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLBROOK_SERVICES"), hostsFile);
        QProcess window;
        window.setProcessEnvironment(env);
        window.start(m_program, {first});
        QVERIFY(window.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("First Start.mp3")), 20000);

        QProcess again;
        again.setProcessEnvironment(env);
        again.start(m_program, {second});
        QVERIFY(again.waitForFinished(20000));
        QCOMPARE(again.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("Second Start.mp3")), 20000);
        QCOMPARE(window.state(), QProcess::Running);
        window.terminate();
        if (!window.waitForFinished(10000))
            window.kill();
        window.waitForFinished(5000);
    }

    // SIGTERM (logout, shutdown, kill) after the start's daily check: the window ends as
    // Exit answered "Yes" does, so the day's results are in the file.
    void sigtermSavesTheFollowedUsers()
    {
        m_activation.reset();
        m_instance.reset();
        qbtest::TFakeSoundCloudApi api(m_sc.get());
        api.AddTracks(QStringLiteral("alice"), 2, 3000);
        const QString folder = qbtest::testHome() + QStringLiteral("/Documents/Quillbrook/");
        const QString peopleFile = folder + QStringLiteral("data/followuser.xml");
        {
            TFollowedPeople store;
            QVERIFY(store.SetAutoCheck(store.AddPeople(QStringLiteral("alice")), 1));
            QCOMPARE(TPeopleFile(peopleFile).WritePeopleInfo(store), QString());
        }
        const QString hostsFile = qbtest::testHome() + QStringLiteral("/sigterm-hosts.ini");
        QFile hosts(hostsFile);
        QVERIFY(hosts.open(QIODevice::WriteOnly | QIODevice::Truncate));
        hosts.write(
            QStringLiteral("[Hosts]\nSoundCloudWeb=%1\nSoundCloudApi=%2\nMaker=127.0.0.1:1\n")
                .arg(m_sc->Host(), api.Host())
                .toUtf8());
        hosts.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLBROOK_SERVICES"), hostsFile);
        QProcess window;
        window.setProcessEnvironment(env);
        window.start(m_program, {});
        QVERIFY(window.waitForStarted());
        for (const char* name : {"alice song 1.mp3", "alice song 2.mp3"})
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + QLatin1String(name)).size() == 3000, 20000);
        QTest::qWait(300); // the finished jobs mark their tracks
        window.terminate();
        QVERIFY(window.waitForFinished(10000));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 0);
        TFollowedPeople reread;
        QVERIFY(TPeopleFile(peopleFile).ReadPeopleInfo(reread));
        const auto alice = reread.Summary(reread.GetPeopleArrayID(QStringLiteral("alice")));
        QVERIFY(alice);
        QCOMPARE(alice->tracksCount, 2);
        QCOMPARE(alice->downloadedCount, 2);
        QVERIFY(!alice->lastCheckTime.isEmpty());
        QFile::remove(peopleFile);
    }
};

QB_TEST(TestSecondStart, "dbus");
#include "TestSecondStart.moc"
