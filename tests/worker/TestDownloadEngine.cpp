#include "DownloadRig.h"
#include "FailDevice.h"
#include "FakeSoundCloud.h"
#include "TestRegistry.h"
#include "base/ServiceHosts.h"
#include "worker/OutputNaming.h"
#include "worker/StaleTempFolders.h"
#include "worker/TOutputFile.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>

using qbtest::TFakeSoundCloud;
using qbtest::TFakeTrack;

Q_DECLARE_METATYPE(TFakeTrack)
using namespace std::chrono_literals;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isPattern(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != qbtest::TScriptedReply::PatternByte(i))
            return false;
    }
    return true;
}

void touch(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("keep me");
}

// A fault fixture as the worker's file: the bytes go to a FailDevice, while an empty file
// stands at the path so the test sees whether the worker removes it.
class TFixtureOutput final : public TOutputFile
{
public:
    TFixtureOutput(qint64 writeLimit, bool failAtClose) : m_device(writeLimit)
    {
        m_device.setFailAtClose(failAtClose);
    }
    QIODevice& Device() override { return m_device; }
    bool Finish() override
    {
        m_device.close();
        return !m_device.closeFailed();
    }

private:
    FailDevice m_device;
};

// Where the worker's files go in a fault test.
enum TFault
{
    WriteFailsPartWay,  // the device refuses bytes after a limit
    WriteOutFailsAtEnd, // every write succeeds, the close does not
    RealFullDevice,     // a real file whose buffered bytes cannot be written out
    RealFullDeviceForPage,
    FileGoneBeforeNaming, // the working file vanished: it cannot get its name
};

std::unique_ptr<TOutputFile> faultyOutput(TFault fault, const QString& path)
{
    const bool page = path.contains(QLatin1String("/Temp/"));
    if (fault == RealFullDeviceForPage ? !page : page) {
        QString error;
        return TOutputFile::Create(path, error);
    }
    if (fault != FileGoneBeforeNaming) {
        QFile stand(path);
        stand.open(QIODevice::WriteOnly);
    }
    switch (fault) {
    case WriteFailsPartWay:
        return std::make_unique<TFixtureOutput>(4096, false);
    case WriteOutFailsAtEnd:
        return std::make_unique<TFixtureOutput>(-1, true);
    case FileGoneBeforeNaming:
        return std::make_unique<TFixtureOutput>(-1, false);
    default:
        // The system's full device takes nothing: the file's buffer hides that until the
        // buffered bytes are written out.
        return TOutputFile::OnDescriptor(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    }
}

// What stands below a folder, links as links: a file's bytes, a link's target, "<folder>".
// The Temp folder itself is left out: a job may leave it, empty, behind.
QMap<QString, QByteArray> entriesBelow(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(folder).relativeFilePath(path);
        if (info.isSymLink())
            entries[name] = "link to " + QFile::encodeName(info.symLinkTarget());
        else if (info.isDir())
            entries[name] = "<folder>";
        else
            entries[name] = fileBytes(path);
    }
    entries.remove(QStringLiteral("Temp"));
    return entries;
}

// What a test puts in the save folder before a download of the same name.
enum TPlant
{
    PlantNothing,
    PlantFile,
    PlantDanglingLink,
    PlantLinkToFile, // a link to a file outside the save folder
};
} // namespace

// The engine end to end: real workers against the fake SoundCloud service.
class TestDownloadEngine : public QObject
{
    Q_OBJECT

    std::unique_ptr<TFakeSoundCloud> m_sc;

private Q_SLOTS:
    void init()
    {
        m_sc = std::make_unique<TFakeSoundCloud>();
        m_sc->UseAsSoundCloud();
    }
    void cleanup() { m_sc.reset(); }

    void trackBecomesMp3NamedAfterIt()
    {
        TDownloadRig rig;
        const QString link = m_sc->AddTrack({.name = "Song", .size = 100000, .redirects = 2});
        const int id = rig.Add(link);
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        QCOMPARE(rig.Icon(id), int(JOB_FINISHED));
        QCOMPARE(rig.Caption(id), QStringLiteral("Song.mp3"));
        const int row = FindRowByJob(rig.list, id) - 1;
        QCOMPARE(rig.list.text(row, TDownloadRows::SizeColumn), QStringLiteral("97.66K"));
        QCOMPARE(rig.list.text(row, TDownloadRows::StatusColumn), QStringLiteral("Finished"));
        QCOMPARE(rig.Job(id).t_FileName.get(), rig.SaveTo() + QStringLiteral("Song.mp3"));
        QCOMPARE(rig.Files(), QStringList{"Song.mp3"}); // page file gone, Temp empty
        const QByteArray bytes = fileBytes(rig.SaveTo() + QStringLiteral("Song.mp3"));
        QCOMPARE(bytes.size(), 100000);
        QVERIFY(isPattern(bytes));
        QCOMPARE(rig.state.RunningDownloads.load(), 0);
        QCOMPARE(rig.state.FindFreeSlot(), 1);
    }

    // A message box opened by a handler must not hold the downloads up: while its nested
    // event loop runs, a worker's row changes and the next job's start still happen.
    void modalBoxDoesNotStallDownloads()
    {
        TDownloadRig rig;
        rig.state.MaxDownloads = 1;
        const int first = rig.Add(m_sc->AddTrack({.name = "One", .size = 4096}));
        const int second = rig.Add(m_sc->AddTrack({.name = "Two", .size = 4096}));
        bool finishedDuringBox = false;
        bool secondStartedDuringBox = false;
        rig.gui.SetHandler(WM_CHECK_VERSION, [&](int) {
            QEventLoop box;
            QTimer::singleShot(1000, &box, &QEventLoop::quit);
            box.exec();
            finishedDuringBox = rig.Icon(first) == JOB_FINISHED;
            secondStartedDuringBox = rig.Starts().size() == 2;
        });
        rig.gui.Post(WM_CHECK_VERSION);
        rig.gui.Post(WM_START_JOBS);
        QTest::qWait(1200);
        QVERIFY(rig.WaitUntilIdle());
        QVERIFY(finishedDuringBox);
        QVERIFY(secondStartedDuringBox);
        QCOMPARE(rig.Status(second), int(JOB_FINISHED));
    }

    void twelveLinksTenAtATime()
    {
        TDownloadRig rig;
        std::vector<int> ids;
        for (int i = 1; i <= 12; ++i) {
            // The first two take a few tenths of a second, the others well over a second, so
            // the first two free their slots first and the queue is still there to look at.
            TFakeTrack t{.name = QStringLiteral("T%1").arg(i), .size = 40000, .pieceSize = 4000};
            t.gap = i > 2 ? 150ms : 30ms;
            ids.push_back(rig.Add(m_sc->AddTrack(t)));
        }
        rig.gui.Post(WM_START_JOBS);
        QTRY_COMPARE(rig.Starts().size(), size_t(10));
        for (int i = 1; i <= 10; ++i) {
            QCOMPARE(rig.Starts()[size_t(i - 1)], std::make_pair(i, i));
            QVERIFY(rig.Status(i) == JOB_DOWNLOADING || rig.Status(i) == JOB_FINISHED);
        }
        QCOMPARE(rig.Status(11), int(JOB_QUEUED));
        QCOMPARE(rig.Status(12), int(JOB_QUEUED));
        QVERIFY(rig.WaitUntilIdle());
        const auto starts = rig.Starts();
        QCOMPARE(starts.size(), size_t(12));
        // 11 and 12 start in that order, in the slots the first two jobs freed.
        QCOMPARE(starts[10].first, 11);
        QCOMPARE(starts[11].first, 12);
        QVERIFY(starts[10].second <= 2 && starts[11].second <= 2);
        for (int id : ids)
            QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        QCOMPARE(rig.state.RunningDownloads.load(), 0);
    }

    void sameNameTwiceAndOnDisk()
    {
        TDownloadRig rig;
        touch(rig.SaveTo() + QStringLiteral("Old.mp3"));
        const QString a =
            m_sc->AddTrack({.name = "Song", .size = 30000, .pieceSize = 3000, .gap = 20ms});
        const QString b =
            m_sc->AddTrack({.name = "Song", .size = 30000, .pieceSize = 3000, .gap = 20ms});
        const QString c = m_sc->AddTrack({.name = "Old", .size = 500});
        const int ia = rig.Add(a), ib = rig.Add(b), ic = rig.Add(c);
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QStringList names{rig.Caption(ia), rig.Caption(ib)};
        names.sort();
        QCOMPARE(names, (QStringList{"1-Song.mp3", "Song.mp3"}));
        QCOMPARE(rig.Caption(ic), QStringLiteral("1-Old.mp3"));
        QCOMPARE(fileBytes(rig.SaveTo() + QStringLiteral("Old.mp3")), QByteArray("keep me"));
        QCOMPARE(rig.Files(), (QStringList{"1-Old.mp3", "1-Song.mp3", "Old.mp3", "Song.mp3"}));
    }

    void unfinishedStreamsLeaveNothingBehind_data()
    {
        QTest::addColumn<bool>("contentLength");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no Content-Length")
            << false << 200 << "The server did not announce the size";
        QTest::newRow("error status") << true << 403 << "HTTP 403 Error";
        QTest::newRow("not found") << true << 404 << "HTTP 404 Error";
    }
    void unfinishedStreamsLeaveNothingBehind()
    {
        QFETCH(bool, contentLength);
        QFETCH(int, status);
        QFETCH(QString, reason);
        TDownloadRig rig;
        const int id = rig.Add(m_sc->AddTrack(
            {.name = "Song", .size = 5000, .contentLength = contentLength, .status = status}));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        QCOMPARE(rig.Icon(id), int(JOB_STOPPED));
        QCOMPARE(rig.Files(), QStringList{});
        QCOMPARE(rig.Job(id).t_EndReason.get(), reason);
    }

    void stopInMediaPhaseThenResume()
    {
        TDownloadRig rig;
        touch(rig.SaveTo() + QStringLiteral("Song")); // same name, no number: not ours
        const QString link =
            m_sc->AddTrack({.name = "Song", .size = 400000, .pieceSize = 4000, .gap = 20ms});
        const int id = rig.Add(link);
        rig.gui.Post(WM_START_JOBS);
        QTRY_VERIFY(rig.Job(id).t_GetData.load() == 1 && rig.Job(id).t_Received.load() > 8000);
        QCOMPARE(rig.Caption(id), QStringLiteral("1-Song"));
        QVERIFY(QFile::exists(rig.SaveTo() + QStringLiteral("1-Song")));
        rig.gui.Post(WM_STOP_JOB, id);
        QVERIFY(rig.WaitUntilIdle(5000));
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        QVERIFY(rig.Job(id).t_UserCancelDownload.load());
        QCOMPARE(rig.Job(id).t_EndReason.get(), QStringLiteral("Stopped by the user"));
        QCOMPARE(rig.Files(), QStringList{"Song"});
        QCOMPARE(fileBytes(rig.SaveTo() + QStringLiteral("Song")), QByteArray("keep me"));

        rig.gui.Post(WM_RESUME_JOB, id);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        QCOMPARE(rig.Caption(id), QStringLiteral("1-Song.mp3"));
        QCOMPARE(rig.Job(id).t_EndReason.get(), QString()); // the old reason went at the start
        QCOMPARE(fileBytes(rig.SaveTo() + QStringLiteral("1-Song.mp3")).size(), 400000);
        QCOMPARE(m_sc->PageRequests(link), 2);
    }

    void namesCannotLeaveTheSaveFolder()
    {
        TDownloadRig rig;
        const int id = rig.Add(m_sc->AddTrack({.name = "A|B/../C\\D", .size = 100}));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        QCOMPARE(rig.Caption(id), QStringLiteral("A B .. C D.mp3"));
        QCOMPARE(rig.Files(), QStringList{"A B .. C D.mp3"});
    }

    void otherSiteEndsStoppedAfterOnePage()
    {
        TDownloadRig rig;
        // Accepted by the host test (it names the host in its query), but its own site is
        // another one, with no stream to find.
        const QString link = QStringLiteral("http://127.0.0.1:%1/artist/track-1?from=%2")
                                 .arg(m_sc->Server().Port())
                                 .arg(QStringLiteral("elsewhere"));
        ServiceHosts hosts = Hosts();
        hosts.SoundCloudWeb = QStringLiteral("soundcloud.invalid");
        OverrideServiceHosts(hosts);
        m_sc->AddTrack({});
        const int id = rig.Add(link);
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        QCOMPARE(m_sc->PageRequests(link), 1);
        QCOMPARE(rig.Files(), QStringList{});
    }

    // Only the last response of a relocation chain is the document: a redirect's length and
    // body are never counted as media, and a short body never finishes.
    void relocationChains_data()
    {
        QTest::addColumn<TFakeTrack>("track");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        const QByteArray body(1000, 'r');
        const QString shortBody = QStringLiteral("Transfer ended after 9500 of 10000 bytes");
        QTest::newRow("302 with a body, then a 200 that ends 500 bytes short")
            << TFakeTrack{.size = 9500, .redirects = 1, .announced = 10000, .redirectBody = body}
            << int(JOB_STOPPED) << shortBody;
        QTest::newRow("302 announcing 1000 bytes, then a 200 without a length")
            << TFakeTrack{.size = 1000,
                          .contentLength = false,
                          .redirects = 1,
                          .redirectBody = body}
            << int(JOB_STOPPED) << "The server did not announce the size";
        QTest::newRow("two 302s with bodies, then the whole stream")
            << TFakeTrack{.size = 10000, .redirects = 2, .redirectBody = body} << int(JOB_FINISHED)
            << "";
        QTest::newRow("page behind a 301 with a body")
            << TFakeTrack{.size = 10000, .pageRedirects = 1, .redirectBody = body}
            << int(JOB_FINISHED) << "";
        QTest::newRow("short body without redirects")
            << TFakeTrack{.size = 9500, .announced = 10000} << int(JOB_STOPPED) << shortBody;
    }
    void relocationChains()
    {
        QFETCH(TFakeTrack, track);
        QFETCH(int, status);
        QFETCH(QString, reason);
        TDownloadRig rig;
        const int id = rig.Add(m_sc->AddTrack(track));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), status);
        QCOMPARE(rig.Icon(id), status);
        QCOMPARE(rig.Job(id).t_EndReason.get(), reason);
        if (status == JOB_STOPPED) {
            QCOMPARE(rig.Files(), QStringList{});
            return;
        }
        QCOMPARE(rig.Files(), QStringList{"Song.mp3"});
        const QByteArray bytes = fileBytes(rig.SaveTo() + QStringLiteral("Song.mp3"));
        QCOMPARE(bytes.size(), track.size);
        QVERIFY(isPattern(bytes));
    }

    // A full disk, a broken write-out or a file that cannot be named: the job ends stopped
    // and leaves no file behind, whichever moment the fault shows at.
    void faultyDiskNeverFinishes_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason"); // what the job's end reason says
        const QString full = QStringLiteral("No space left on device");
        QTest::newRow("write fails after 4096 bytes") << int(WriteFailsPartWay) << full;
        QTest::newRow("buffered bytes fail at the close") << int(WriteOutFailsAtEnd) << full;
        QTest::newRow("real file on a full device") << int(RealFullDevice) << full;
        QTest::newRow("page file on a full device") << int(RealFullDeviceForPage) << full;
        QTest::newRow("working file gone before its .mp3 name")
            << int(FileGoneBeforeNaming) << "cannot give the file its .mp3 name";
    }
    void faultyDiskNeverFinishes()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        TDownloadRig rig;
        rig.workers.openOutput = [fault](const QString& path) {
            return faultyOutput(TFault(fault), path);
        };
        // Pieces well below the file's buffer, as the last pieces of any download are.
        const int id = rig.Add(m_sc->AddTrack({.size = 10000, .pieceSize = 1000}));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        QCOMPARE(rig.Icon(id), int(JOB_STOPPED));
        QVERIFY(rig.Job(id).t_FileName.get().isEmpty());
        QCOMPARE(rig.Files(), QStringList{});
        const QString said = rig.Job(id).t_EndReason.get();
        QVERIFY2(said.startsWith(QLatin1String("Disk error: ")) && said.contains(reason),
                 qPrintable(said));
    }

    // Whatever a page calls its track, the download lands in a new file of its own inside
    // the save folder: nothing outside it appears or changes, and no file, folder or link
    // that was there is written through or replaced.
    void pageNamesTouchNothingElse_data()
    {
        QTest::addColumn<QString>("name");    // on the page
        QTest::addColumn<QString>("planted"); // what stands in the save folder already
        QTest::addColumn<int>("plant");
        QTest::addColumn<QString>("saved"); // "*" for the last part of the link
        const QString song = QStringLiteral("Song");
        QTest::newRow("NUL in the name, the cut name exists")
            << QStringLiteral("Victim.mp3") + QChar(0) + QStringLiteral("xxx") << "Victim.mp3"
            << int(PlantFile) << "Victim.mp3xxx.mp3";
        QTest::newRow("control characters")
            << QStringLiteral("Bad\x01\x1b[2JName\x7f") + QChar(0x85) + QChar(0x9b) << ""
            << int(PlantNothing) << "Bad[2JName.mp3";
        QTest::newRow("a tab") << "Two\tWords"
                               << "" << int(PlantNothing) << "Two Words.mp3";
        QTest::newRow("right-to-left override") << song + QChar(0x202E) + QStringLiteral("3pm.exe")
                                                << "" << int(PlantNothing) << "Song3pm.exe.mp3";
        QTest::newRow("isolates and marks")
            << QString(QChar(0x2067)) + QStringLiteral("A") + QChar(0x2069) + QChar(0x200F) +
                   QStringLiteral("B") + QChar(0x061C)
            << "" << int(PlantNothing) << "AB.mp3";
        QTest::newRow("working name is a file") << song << "Song" << int(PlantFile) << "1-Song.mp3";
        QTest::newRow("final name is a file")
            << song << "Song.mp3" << int(PlantFile) << "1-Song.mp3";
        QTest::newRow("working name is a dangling link")
            << song << "Song" << int(PlantDanglingLink) << "1-Song.mp3";
        QTest::newRow("final name is a dangling link")
            << song << "Song.mp3" << int(PlantDanglingLink) << "1-Song.mp3";
        QTest::newRow("working name is a link to a file")
            << song << "Song" << int(PlantLinkToFile) << "1-Song.mp3";
        QTest::newRow("final name is a link to a file")
            << song << "Song.mp3" << int(PlantLinkToFile) << "1-Song.mp3";
        QTest::newRow("dots inside") << "Mr. Blue Sky"
                                     << "" << int(PlantNothing) << "Mr. Blue Sky.mp3";
        QTest::newRow("only dots: the link names it") << ".."
                                                      << "" << int(PlantNothing) << "*.mp3";
    }
    void pageNamesTouchNothingElse()
    {
        QFETCH(QString, name);
        QFETCH(QString, planted);
        QFETCH(int, plant);
        QFETCH(QString, saved);
        QTemporaryDir outside;
        const QString target = outside.filePath(QStringLiteral("target"));
        touch(target);
        TDownloadRig rig;
        const QString at = rig.SaveTo() + planted;
        if (plant == PlantFile)
            touch(at);
        else if (plant == PlantDanglingLink)
            QVERIFY(QFile::link(outside.filePath(QStringLiteral("nothing")), at));
        else if (plant == PlantLinkToFile)
            QVERIFY(QFile::link(target, at));
        const QMap<QString, QByteArray> saveBefore = entriesBelow(rig.saveFolder);
        const QMap<QString, QByteArray> outsideBefore = entriesBelow(outside.path());

        const QString link = m_sc->AddTrack({.name = name, .size = 20000});
        const int id = rig.Add(link);
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        saved.replace(QLatin1Char('*'), QUrl(link).fileName());
        QCOMPARE(rig.Job(id).t_FileName.get(), rig.SaveTo() + saved);

        QMap<QString, QByteArray> saveAfter = entriesBelow(rig.saveFolder);
        const QByteArray bytes = saveAfter.take(saved);
        QCOMPARE(bytes.size(), 20000);
        QVERIFY(isPattern(bytes));
        QCOMPARE(saveAfter, saveBefore);
        QCOMPARE(entriesBelow(outside.path()), outsideBefore);
    }

    // A Temp folder that is a link may lead anywhere: the job says so and writes nothing.
    void tempThatIsALinkIsNotUsed()
    {
        QTemporaryDir elsewhere;
        TDownloadRig rig;
        QVERIFY(QFile::link(elsewhere.path(), rig.SaveTo() + QStringLiteral("Temp")));
        const int id = rig.Add(m_sc->AddTrack({.name = "Song", .size = 2000}));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        const QString said = rig.Job(id).t_EndReason.get();
        QVERIFY2(said.startsWith(QLatin1String("Disk error: ")) &&
                     said.contains(QLatin1String("Temp is a link")),
                 qPrintable(said));
        QCOMPARE(entriesBelow(elsewhere.path()), (QMap<QString, QByteArray>{}));
        QCOMPARE(
            QDir(rig.saveFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList{"Temp"});
    }

    // A crashed run whose process id this one has again left its marked folder with a
    // page file of the same job number: the job is not refused for it.
    void leftoverOfARunWithTheSameProcessId()
    {
        TDownloadRig rig;
        QString error;
        QVERIFY2(MakeEngineTempFolder(rig.SaveTo(), rig.workers.tempFolderName, error),
                 qPrintable(error));
        const QString folder =
            rig.SaveTo() + QStringLiteral("Temp/") + rig.workers.tempFolderName + QLatin1Char('/');
        touch(folder + QStringLiteral("1.txt"));
        const int id = rig.Add(m_sc->AddTrack({.name = "Song", .size = 2000}));
        QCOMPARE(id, 1);
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        QCOMPARE(rig.Files(), QStringList{"Song.mp3"});
    }

    // Two engines numbering their jobs from 1 in one save folder, as the window and the
    // command line do: neither touches the other's page file.
    void twoEnginesShareASaveFolder()
    {
        TDownloadRig first;
        TDownloadRig second(first.saveFolder);
        const QString slow = m_sc->AddTrack({.name = "Slow", .pagePieceSize = 40, .pageGap = 30ms});
        const QString fast = m_sc->AddTrack({.name = "Fast"});
        const int a = first.Add(slow);
        first.gui.Post(WM_START_JOBS);
        first.gui.Drain();
        QVERIFY(m_sc->Server().WaitForRequests(1, 5s));
        const int b = second.Add(fast);
        QCOMPARE(a, b);
        second.gui.Post(WM_START_JOBS);
        QVERIFY(second.WaitUntilIdle());
        QVERIFY(first.WaitUntilIdle());
        QCOMPARE(first.Status(a), int(JOB_FINISHED));
        QCOMPARE(second.Status(b), int(JOB_FINISHED));
        // Each engine's Temp folder went with its last job.
        QCOMPARE(first.Files(), (QStringList{"Fast.mp3", "Slow.mp3"}));
    }

    // A stop that comes while the working file is being named is not lost: the stream is
    // never asked for and nothing is left.
    void stopWhileTheFileIsNamed()
    {
        TDownloadRig rig;
        const QString link = m_sc->AddTrack({.size = 5000});
        const int id = rig.Add(link);
        // The caption is set on the GUI thread while the worker waits for it to be done.
        QObject::connect(&rig.list, &QAbstractItemModel::dataChanged, &rig.list, [&] {
            if (!rig.Caption(id).isEmpty() && !rig.Job(id).t_UserCancelDownload.load())
                rig.scheduler.WMStopJob(id);
        });
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QVERIFY(rig.Job(id).t_UserCancelDownload.load());
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        QCOMPARE(m_sc->StreamRequests(link), 0);
        QCOMPARE(rig.Files(), QStringList{});
    }

    // A name from a page fits the file system with both number prefixes and ".mp3", is
    // cut between characters, and never makes a hidden file.
    void pageNamesFitAndStayVisible_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("existing"); // names already in the save folder
        QTest::addColumn<QString>("file");
        const QString e300 = QString(150, QChar(0xE9)); // 300 bytes of UTF-8
        const QString cut = QString(119, QChar(0xE9));  // 238 bytes: no half character
        QTest::newRow("300-byte title") << e300 << QStringList{} << cut + ".mp3";
        QTest::newRow("300-byte title, both numbers used")
            << e300 << QStringList{cut, "1-" + cut + ".mp3"} << "1-1-" + cut + ".mp3";
        QTest::newRow("../../escape") << "../../escape" << QStringList{} << "escape.mp3";
        QTest::newRow(". falls back to the link") << "." << QStringList{} << "track-1.mp3";
        QTest::newRow("dots and blanks first") << " . .hidden" << QStringList{} << "hidden.mp3";
    }
    void pageNamesFitAndStayVisible()
    {
        QFETCH(QString, title);
        QFETCH(QStringList, existing);
        QFETCH(QString, file);
        TDownloadRig rig;
        for (const QString& name : existing)
            touch(rig.SaveTo() + name);
        const int id = rig.Add(m_sc->AddTrack({.name = title, .size = 3000}));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_FINISHED));
        QCOMPARE(rig.Caption(id), file);
        QVERIFY(file.toUtf8().size() <= 255);
        QCOMPARE(rig.Job(id).t_FileName.get(), rig.SaveTo() + file);
        QCOMPARE(fileBytes(rig.SaveTo() + file).size(), 3000);
    }

    void pageWithoutStreamStops()
    {
        TDownloadRig rig;
        const int id = rig.Add(m_sc->Server().Url(QStringLiteral("/artist/track-99")));
        rig.gui.Post(WM_START_JOBS);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Status(id), int(JOB_STOPPED));
        QCOMPARE(rig.Files(), QStringList{});
        // The page's own status says more than its missing stream.
        QCOMPARE(rig.Job(id).t_EndReason.get(), QStringLiteral("HTTP 404 Not Found"));
    }

    // A page that is there but names no stream, and a host nobody answers on.
    void pageAndNetworkFailuresSayWhy()
    {
        TDownloadRig rig;
        const int other = rig.Add(QStringLiteral("http://127.0.0.1:%1/artist/track-1?from=%2")
                                      .arg(m_sc->Server().Port())
                                      .arg(QStringLiteral("elsewhere")),
                                  false);
        ServiceHosts hosts = Hosts();
        hosts.SoundCloudWeb = QStringLiteral("soundcloud.invalid");
        OverrideServiceHosts(hosts);
        m_sc->AddTrack({});
        // A port that was just free: nothing listens on it.
        quint16 closedPort = 0;
        {
            qbtest::TFakeSoundCloud gone;
            closedPort = gone.Server().Port();
        }
        const int refused = rig.Add(
            QStringLiteral("http://127.0.0.1:%1/soundcloud.invalid/x").arg(closedPort), false);
        rig.gui.Post(WM_RESUME_JOB, other);
        rig.gui.Post(WM_RESUME_JOB, refused);
        QVERIFY(rig.WaitUntilIdle());
        QCOMPARE(rig.Job(other).t_EndReason.get(), QStringLiteral("No stream on the page"));
        const QString network = rig.Job(refused).t_EndReason.get();
        QVERIFY2(network.startsWith(QLatin1String("Network error: can't connect")),
                 qPrintable(network));
    }
};

QB_TEST(TestDownloadEngine, "e2e");
#include "TestDownloadEngine.moc"
