#include "TestRegistry.h"

#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// quillbrook-cli follow: the same followed users and file as the window.
class TestCliFollow : public QObject
{
    Q_OBJECT

    struct TRun
    {
        int code;
        QString out;
        QString err;
    };

    static TRun run(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(QB_BIN_DIR "/quillbrook-cli"), QStringList{"follow"} + args);
        if (!p.waitForFinished(30000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QString file()
    {
        // The documents folder of the isolated home, as the program finds it.
        return QDir::homePath() + QStringLiteral("/Documents/Quillbrook/data/followuser.xml");
    }

private Q_SLOTS:
    void init() { QFile::remove(file()); }

    void addListAutoCheckRemove()
    {
        TRun r = run({"add", " alice ", "Bob", "ALICE"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("ALICE: This user is already in the list.")));
        QVERIFY(QFile::exists(file()));
        QCOMPARE(run({"auto-check", "bob", "on"}).code, 0);
        r = run({"list"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("alice\t0\t0\t0\t\nBob\t1\t0\t0\t\n"));
        QCOMPARE(run({"remove", "ALICE"}).code, 0);
        r = run({"remove", "nobody"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QLatin1String("nobody: not followed")));
        QCOMPARE(run({"list"}).out, QStringLiteral("Bob\t1\t0\t0\t\n"));
        QCOMPARE(run({"auto-check", "bob", "maybe"}).code, 2);
    }

    void refusesWhileTheWindowRuns()
    {
        QCOMPARE(run({"add", "carol"}).code, 0);
        const QByteArray before = [] {
            QFile f(file());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        SingleInstance window;
        QVERIFY(window.tryAcquire());
        const TRun r = run({"add", "dave"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains(QLatin1String("Quillbrook is running")));
        QCOMPARE(run({"list"}).code, 3);
        QFile f(file());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QB_TEST(TestCliFollow, "e2e");
#include "TestCliFollow.moc"
