#include "TestRegistry.h"

#include "worker/StaleTempFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The id of a process that has ended.
qint64 endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

void makeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("part of a download");
}

// Sets the modification time of the path and everything below it to two days ago.
void age(const QString& path)
{
    const timeval old[2] = {{::time(nullptr) - 2 * 24 * 3600, 0},
                            {::time(nullptr) - 2 * 24 * 3600, 0}};
    if (QFileInfo(path).isDir()) {
        for (const QFileInfo& e :
             QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            age(e.filePath());
    }
    QVERIFY(::lutimes(QFile::encodeName(path).constData(), old) == 0);
}

// Our marker in a folder, naming the process of the folder's name.
void mark(const QString& folder)
{
    QDir().mkpath(folder);
    QFile f(folder + QLatin1Char('/') + QLatin1String(kTempMarkerName));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QFileInfo(folder).fileName().section(QLatin1Char('-'), 0, 0).toUtf8() + "\n");
}

} // namespace

// A crashed run's Temp folder goes at the next start; nothing that may still be in use,
// and nothing that is not ours, is touched.
class TestStaleTempFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row: one folder below Temp, and whether the sweep removes it.
    void onlyOurOldFoldersOfEndedProcessesGo_data()
    {
        QTest::addColumn<QString>("name"); // "dead": the id of an ended process
        QTest::addColumn<bool>("marked");
        QTest::addColumn<bool>("old");
        QTest::addColumn<bool>("removed");
        QTest::newRow("ours, old, process ended") << "dead-1" << true << true << true;
        QTest::newRow("ours, written a moment ago") << "dead-1" << true << false << false;
        QTest::newRow("ours, process 1 runs") << "1-1" << true << true << false;
        QTest::newRow("this process's own")
            << QString::number(::getpid()) + QStringLiteral("-1") << true << true << false;
        QTest::newRow("the user's 2023-06 with photos") << "2023-06" << false << true << false;
        QTest::newRow("no marker, process ended") << "dead-1" << false << true << false;
        QTest::newRow("not a name we give") << "mine" << true << true << false;
    }
    void onlyOurOldFoldersOfEndedProcessesGo()
    {
        QFETCH(QString, name);
        QFETCH(bool, marked);
        QFETCH(bool, old);
        QFETCH(bool, removed);
        QTemporaryDir save;
        QTemporaryDir outside;
        name.replace(QLatin1String("dead"), QString::number(endedProcess()));
        const QString folder = save.filePath(QStringLiteral("Temp/") + name);
        makeFile(folder + QStringLiteral("/3.txt"));
        makeFile(folder + QStringLiteral("/sub/IMG_0001.jpg"));
        // A link inside leads out of Temp: it goes as a link, what it points to stays.
        makeFile(outside.filePath(QStringLiteral("keep.jpg")));
        QVERIFY(QFile::link(outside.path(), folder + QStringLiteral("/out")));
        if (marked)
            mark(folder);
        if (old) {
            age(folder);
            age(outside.path());
        }

        QCOMPARE(RemoveStaleTempFolders(save.path() + QLatin1Char('/')), removed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(folder), !removed);
        if (!removed)
            QVERIFY(QFile::exists(folder + QStringLiteral("/sub/IMG_0001.jpg")));
        QVERIFY(QFile::exists(outside.filePath(QStringLiteral("keep.jpg"))));
        // Temp goes with the last folder in it.
        QCOMPARE(QFileInfo::exists(save.filePath(QStringLiteral("Temp"))), !removed);
    }

    // A Temp, or a folder in it, that is a link to a folder holding one of ours: nothing is
    // removed through it.
    void nothingGoesThroughALink()
    {
        QTemporaryDir elsewhere;
        const QString dead = QString::number(endedProcess()) + QStringLiteral("-1");
        const QString ours = elsewhere.filePath(dead);
        makeFile(ours + QStringLiteral("/3.txt"));
        mark(ours);
        age(ours);

        QTemporaryDir tempIsALink;
        QVERIFY(QFile::link(elsewhere.path(), tempIsALink.filePath(QStringLiteral("Temp"))));
        QCOMPARE(RemoveStaleTempFolders(tempIsALink.path()), 0);

        QTemporaryDir folderIsALink;
        QDir(folderIsALink.path()).mkdir(QStringLiteral("Temp"));
        const QString link = folderIsALink.filePath(QStringLiteral("Temp/") + dead);
        QVERIFY(QFile::link(ours, link));
        age(link);
        QCOMPARE(RemoveStaleTempFolders(folderIsALink.path()), 0);
        QVERIFY(QFileInfo(link).isSymLink());

        QVERIFY(QFile::exists(ours + QStringLiteral("/3.txt")));
        // Nothing to do: no Temp at all, or no save folder.
        QTemporaryDir empty;
        QCOMPARE(RemoveStaleTempFolders(empty.path()), 0);
        QCOMPARE(RemoveStaleTempFolders(QString()), 0);
    }

    // The folder an engine makes is marked, is used again while it stands, and goes once
    // only its marker is left; a Temp that is a link is refused.
    void engineFolders()
    {
        QTemporaryDir save;
        const QString saveTo = save.path() + QLatin1Char('/');
        const QString folder =
            saveTo + QStringLiteral("Temp/") + QString::number(::getpid()) + QStringLiteral("-7");
        QString error;
        QVERIFY2(MakeEngineTempFolder(saveTo, QFileInfo(folder).fileName(), error),
                 qPrintable(error));
        QFile marker(folder + QLatin1Char('/') + QLatin1String(kTempMarkerName));
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QCOMPARE(marker.readAll(), QByteArray::number(qint64(::getpid())) + "\n");
        QVERIFY(MakeEngineTempFolder(saveTo, QFileInfo(folder).fileName(), error));
        makeFile(folder + QStringLiteral("/1.txt"));
        RemoveEngineTempFolderIfEmpty(folder);
        QVERIFY(QFile::exists(folder + QStringLiteral("/1.txt")));
        QFile::remove(folder + QStringLiteral("/1.txt"));
        RemoveEngineTempFolderIfEmpty(folder + QLatin1Char('/'));
        QVERIFY(!QFileInfo::exists(folder));

        QTemporaryDir elsewhere;
        QTemporaryDir linked;
        QVERIFY(QFile::link(elsewhere.path(), linked.filePath(QStringLiteral("Temp"))));
        QVERIFY(
            !MakeEngineTempFolder(linked.path() + QLatin1Char('/'), QStringLiteral("1-1"), error));
        QVERIFY2(error.contains(QLatin1String("Temp is a link")), qPrintable(error));
        QCOMPARE(QDir(elsewhere.path())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{});
    }
};

QB_TEST(TestStaleTempFolders, "unit");
#include "TestStaleTempFolders.moc"
