#include "MemorySettings.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "base/AppSettings.h"
#include "language/LangStrings.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RecordingFrontEnd final : public IStartupFrontEnd
{
public:
    QStringList errors;
    int windowRuns = 0;
    int handOvers = 0;
    bool delivered = true;
    void showStartupError(const QString& text) override { errors.append(text); }
    int runWindows() override
    {
        ++windowRuns;
        return 0;
    }
    bool passToRunningCopy() override
    {
        ++handOvers;
        return delivered;
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_appDir;
    int m_settingsOpened = 0;
    QStringList m_written;

    StartupOptions options(QMap<QString, QString> stored = {})
    {
        StartupOptions o;
        o.executablePath = m_appDir + QStringLiteral("quillbrook");
        o.documentsFolder = m_dir.path() + QStringLiteral("/Documents");
        o.openSettings = [this, stored] {
            ++m_settingsOpened;
            auto store = std::make_unique<MemorySettings>();
            store->values = stored;
            store->writeLog = &m_written;
            return store;
        };
        return o;
    }

private Q_SLOTS:
    void init()
    {
        m_appDir = m_dir.path() + QStringLiteral("/app/");
        QDir(m_appDir).removeRecursively();
        QDir().mkpath(m_appDir + QStringLiteral("language"));
        m_settingsOpened = 0;
        m_written.clear();
    }

    void startsWithTheSelectedLanguage()
    {
        QFile::copy(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini"),
                    m_appDir + QStringLiteral("language/brae_eng.ini"));
        RecordingFrontEnd front;
        QCOMPARE(RunStartup(options(), front), 0);
        QCOMPARE(front.windowRuns, 1);
        QVERIFY(front.errors.isEmpty());
        const TAppSettings& app = AppSettings();
        QVERIFY(app.LanguageLoaded());
        QCOMPARE(app.AppDir(), m_appDir);
        QCOMPARE(app.DataDir(), m_dir.path() + QStringLiteral("/Documents/Quillbrook/"));
        QCOMPARE(app.SaveToFolder(), app.DataDir());
        QCOMPARE(app.LatestTrackCount(), 5);
        QCOMPARE(Lang("Msg1_5"),
                 QStringLiteral("Are you sure you want to delete the selected downloads?"));
        QCOMPARE(app.AppFormatSettings().DecimalSeparator, QLatin1Char('.'));
    }

    void missingLanguageFileShowsOneMessageAndEnds()
    {
        RecordingFrontEnd front;
        QCOMPARE(RunStartup(options({{"SelectLanguage", "brae_xx.ini"}}), front), 0);
        QCOMPARE(front.windowRuns, 0);
        QCOMPARE(front.errors,
                 QStringList{QStringLiteral("Failed to read language file:") + m_appDir +
                             QStringLiteral("language/brae_xx.ini, reinstall.")});
        QCOMPARE(m_settingsOpened, 1);
        QVERIFY(m_written.isEmpty());
    }

    // A second start only hands its links to the running copy; links it could not deliver
    // make the exit code say so.
    void secondInstanceEndsWithoutTouchingAnything_data()
    {
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("handed over") << true << 0;
        QTest::newRow("links not delivered") << false << 1;
    }
    void secondInstanceEndsWithoutTouchingAnything()
    {
        QFETCH(bool, delivered);
        QFETCH(int, exitCode);
        QLockFile other(SingleInstance::lockFilePath());
        QVERIFY(other.tryLock(0));
        RecordingFrontEnd front;
        front.delivered = delivered;
        QCOMPARE(RunStartup(options(), front), exitCode);
        QCOMPARE(front.handOvers, 1);
        QCOMPARE(m_settingsOpened, 0);
        QCOMPARE(front.windowRuns, 0);
        QVERIFY(front.errors.isEmpty());
    }

    void staleLockOfDeadProcessDoesNotBlock()
    {
        // A lock file whose owner no longer runs, as after a crash.
        QFile stale(SingleInstance::lockFilePath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("999999\nquillbrook\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();
        QFile::copy(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini"),
                    m_appDir + QStringLiteral("language/brae_eng.ini"));
        RecordingFrontEnd front;
        QCOMPARE(RunStartup(options(), front), 0);
        QCOMPARE(front.windowRuns, 1);
    }
};

// The real program: a second start ends at once with exit code 0 while the first runs on.
class TestSecondInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondStartEndsAtOnce()
    {
        const QString program = QStringLiteral(QB_BIN_DIR "/quillbrook");
        if (!QFile::exists(program))
            QSKIP("the desktop program is not part of this build");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Not the user's session bus: the second start must not reach a real window there.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + qbtest::testHome() + QStringLiteral("/no-bus"));
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(program, {});
        QVERIFY(first.waitForStarted());
        const QString lock = SingleInstance::lockFilePath();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 20000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(program, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        if (!first.waitForFinished(10000))
            first.kill();
        first.waitForFinished(5000);
    }
};

QB_TEST(TestStartup, "unit");
QB_TEST(TestSecondInstance, "e2e");
#include "TestStartup.moc"
