#include "DownloadRig.h"
#include "FakeDesktop.h"
#include "FakeYouTube.h"
#include "MediaFixtures.h"
#include "TestRegistry.h"
#include "base/AppSettings.h"
#include "base/TextHelpers.h"
#include "convert/TConvertDriver.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "media/TAVLibrary.h"
#include "media/TFFEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

using qbtest::TFakeVideo;
using qbtest::TFakeYouTube;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// YouTube watch links through the real workers, the fake service, the media component and
// the conversion driver, as the program wires them.
class TestConvertDriver : public QObject
{
    Q_OBJECT

    QTemporaryDir m_media;
    QString m_mp4;

    // The engine of a test with its driver; every Status text and progress value the list
    // showed is kept.
    struct TRig
    {
        TDownloadRig engine;
        FakePrompts prompts;
        TConvertDriver driver{engine.state, engine.list, engine.gui, prompts};
        QStringList statusTexts;
        QList<double> progress;

        TRig()
        {
            driver.LibAVFolder = qbtest::libAVFolder();
            driver.Connect();
            QObject::connect(
                &engine.list, &QAbstractItemModel::dataChanged,
                [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                    for (int r = from.row(); r <= to.row(); ++r) {
                        if (roles.contains(ListViewModel::ProgressRole))
                            progress.append(engine.list.item(r).progress);
                        if (from.column() <= TDownloadRows::StatusColumn &&
                            to.column() >= TDownloadRows::StatusColumn)
                            statusTexts.append(engine.list.text(r, TDownloadRows::StatusColumn));
                    }
                });
        }
        // Downloads and conversions have all ended (false on time-out).
        bool WaitUntilDone()
        {
            engine.gui.Post(WM_START_JOBS);
            if (!engine.WaitUntilIdle()) {
                for (int id = 1; id <= engine.state.DownloadJobs.Count(); ++id)
                    qWarning() << "job" << id << engine.Status(id)
                               << engine.Job(id).t_GetData.load()
                               << engine.Job(id).t_ConvertStatus.load()
                               << engine.Job(id).t_TempName.get() << engine.Job(id).t_MediaURL.get()
                               << engine.Files();
                return false;
            }
            QDeadlineTimer deadline(60000);
            while (driver.Busy()) {
                if (deadline.hasExpired())
                    return false;
                QTest::qWait(10);
            }
            engine.gui.Drain();
            return true;
        }
        QString Status(int id)
        {
            const int row = FindRowByJob(engine.list, id);
            return row > 0 ? engine.list.text(row - 1, TDownloadRows::StatusColumn) : QString();
        }
    };

    QString watchLink(TFakeYouTube& yt, const QString& title, const QString& kind = {},
                      TFakeVideo::TTitleStyle style = TFakeVideo::PlainTitle)
    {
        TFakeVideo video;
        video.title = title;
        video.titleStyle = style;
        video.media = fileBytes(kind.isEmpty() ? m_mp4 : qbtest::makeMedia(m_media.path(), kind));
        return yt.AddVideo(video);
    }

    // A job whose download has finished into Temp, waiting for its conversion.
    static int waitingJob(TRig& rig, const QString& source)
    {
        const int id = rig.engine.Add(QStringLiteral("http://youtube.com/watch?v=x"), false);
        rig.engine.gui.Drain();
        TDownloadJobs& job = rig.engine.Job(id);
        job.t_Status = JOB_FINISHED;
        job.t_TempName.set(source);
        job.t_ConvertStatus = CONVERT_WAITING;
        return id;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_mp4 = qbtest::makeMedia(m_media.path(), QStringLiteral("mp4"));
        QVERIFY(!m_mp4.isEmpty());
    }

    // Runs first: the libraries, once loaded, stay loaded for the whole process.
    void missingLibrariesFailAndTheNextRequestTriesAgain()
    {
        if (TFFEncoder::AVLibLoaded())
            QSKIP("the libraries were loaded by an earlier test of this process");
        TFakeYouTube yt;
        yt.UseAsYouTube();
        // The build's LibAV folder without one of its libraries.
        const QString partial = m_media.path() + QStringLiteral("/partial-LibAV");
        QVERIFY(QDir().mkpath(partial));
        for (const char* const* name = TAVLibrary::FileNames(); *name; ++name) {
            const QString library = QString::fromLatin1(*name);
            if (library != QLatin1String("libswresample.so.4"))
                QVERIFY(QFile::link(qbtest::libAVFolder() + QLatin1Char('/') + library,
                                    partial + QLatin1Char('/') + library));
        }
        TRig rig;
        rig.driver.LibAVFolder = partial;
        const int first = rig.engine.Add(watchLink(yt, QStringLiteral("First")));
        QVERIFY(rig.WaitUntilDone());
        QCOMPARE(rig.engine.Status(first), int(JOB_FINISHED));
        QCOMPARE(rig.engine.Job(first).t_ConvertStatus.load(), int(CONVERT_FAILED));
        QCOMPARE(rig.Status(first), Lang("Msg7_1"));
        // The reason the row's tooltip and the command line show names the library and
        // the folder.
        QCOMPARE(rig.engine.Job(first).t_EndReason.get(),
                 QStringLiteral("Conversion failed: libswresample.so.4 not found in ") + partial);
        QVERIFY(!QFile::exists(rig.engine.Job(first).t_TempName.get())); // no video left
        QVERIFY(rig.prompts.messages.isEmpty());
        QVERIFY(!TFFEncoder::AVLibLoaded());

        rig.driver.LibAVFolder = qbtest::libAVFolder();
        const int second = rig.engine.Add(watchLink(yt, QStringLiteral("Second")));
        QVERIFY(rig.WaitUntilDone());
        QCOMPARE(rig.engine.Job(second).t_ConvertStatus.load(), int(CONVERT_DONE));
        QVERIFY(TFFEncoder::AVLibLoaded());
    }

    void watchLinkBecomesAnMp3()
    {
        TFakeYouTube yt;
        yt.UseAsYouTube();
        TRig rig;
        // A dot in a title is part of the name, not the start of an extension.
        const int id = rig.engine.Add(watchLink(yt, QStringLiteral("Mr. Blue Sky")));
        QVERIFY(rig.WaitUntilDone());

        const QString output =
            rig.engine.SaveTo() + QStringLiteral("Mr. Blue Sky - YouTube_(new).mp3");
        QCOMPARE(rig.engine.Files(), QStringList{LastPathPart(output)});
        QCOMPARE(yt.LastQuality(), QStringLiteral("medium"));
        TDownloadJobs& job = rig.engine.Job(id);
        QCOMPARE(job.t_ConvertStatus.load(), int(CONVERT_DONE));
        QCOMPARE(job.t_FileName.get(), output);
        QCOMPARE(rig.engine.Caption(id), LastPathPart(output));
        QCOMPARE(rig.Status(id), QStringLiteral("100%"));
        QVERIFY(rig.prompts.messages.isEmpty());

        const qbtest::AudioProbe source = qbtest::probeAudio(m_mp4);
        const qbtest::AudioProbe mp3 = qbtest::probeAudio(output);
        QCOMPARE(mp3.codec, QStringLiteral("mp3"));
        QVERIFY2(qAbs(mp3.decodedSeconds - source.decodedSeconds) < 0.15,
                 qPrintable(QString::number(mp3.decodedSeconds)));

        // The progress texts: "p% (seconds, bytes)" never above 100, then "100%".
        static const QRegularExpression progress(QStringLiteral("^(\\d+)% \\(\\d+, \\d+\\)$"));
        int shown = 0;
        for (const QString& text : rig.statusTexts) {
            const auto m = progress.match(text);
            if (m.hasMatch()) {
                QVERIFY2(m.captured(1).toInt() <= 100, qPrintable(text));
                ++shown;
            }
        }
        QVERIFY2(shown > 0, qPrintable(rig.statusTexts.join(QLatin1Char('|'))));
        QCOMPARE(rig.statusTexts.constLast(), QStringLiteral("100%"));
        // The bar grew during the conversion and went with its end.
        QVERIFY2(std::any_of(rig.progress.begin(), rig.progress.end(),
                             [](double p) { return p > 0 && p <= 1; }),
                 qPrintable(QString::number(rig.progress.size())));
        QCOMPARE(rig.engine.list.item(FindRowByJob(rig.engine.list, id) - 1).progress, -1.0);
        QVERIFY(job.t_EndReason.get().isEmpty());
    }

    // Titles that end in a media extension lose it (in any case), so both want
    // "My_(new).mp3".
    void twoConversionsFinishingTogether()
    {
        TFakeYouTube yt;
        yt.UseAsYouTube();
        TRig rig;
        const int a =
            rig.engine.Add(watchLink(yt, QStringLiteral("My.mp4"), {}, TFakeVideo::LtrFallback));
        const int b =
            rig.engine.Add(watchLink(yt, QStringLiteral("My.WEBM"), {}, TFakeVideo::LtrFallback));
        QVERIFY(rig.WaitUntilDone());
        QCOMPARE(rig.driver.ConvertEncoderCount(), 2);
        QCOMPARE(rig.engine.Files(),
                 (QStringList{QStringLiteral("My_(new).mp3"), QStringLiteral("My_(new_1).mp3")}));
        for (int id : {a, b}) {
            QCOMPARE(rig.engine.Job(id).t_ConvertStatus.load(), int(CONVERT_DONE));
            const qbtest::AudioProbe mp3 = qbtest::probeAudio(rig.engine.Job(id).t_FileName.get());
            QVERIFY(qAbs(mp3.decodedSeconds - 3.0) < 0.15);
        }
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("saveFolderUsable");
        QTest::newRow("an HTML page instead of media") << "html" << true;
        QTest::newRow("a video without sound") << "video" << true;
        QTest::newRow("a save folder that cannot hold files") << "mp4" << false;
    }
    // Failed: neither the downloaded video nor anything half-written is left, and at most
    // one warning says why.
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(bool, saveFolderUsable);
        TRig rig;
        QDir(rig.engine.SaveTo()).mkpath(QStringLiteral("Temp"));
        const QString source = rig.engine.SaveTo() + QStringLiteral("Temp/Clip");
        QVERIFY(QFile::copy(qbtest::makeMedia(m_media.path(), kind), source));
        // A regular file where the save folder should be: not even root can write below it.
        const QString blocked = rig.engine.SaveTo() + QStringLiteral("blocked");
        QFile(blocked).open(QIODevice::WriteOnly);
        if (!saveFolderUsable)
            AppSettings().SetSaveToFolder(blocked + QLatin1Char('/'));
        const int id = waitingJob(rig, source);
        rig.engine.gui.Send(WM_START_CONVERT, id);
        QVERIFY(rig.WaitUntilDone());
        AppSettings().SetSaveToFolder(rig.engine.SaveTo());

        QCOMPARE(rig.engine.Job(id).t_ConvertStatus.load(), int(CONVERT_FAILED));
        QCOMPARE(rig.Status(id), Lang("Msg7_1"));
        // Why, for the tooltip and the command line: the media component's own words.
        const QString reason = rig.engine.Job(id).t_EndReason.get();
        QVERIFY2(reason.startsWith(QStringLiteral("Conversion failed: ")) &&
                     reason.size() > QStringLiteral("Conversion failed: ").size() + 3,
                 qPrintable(reason));
        QCOMPARE(rig.engine.Files(), QStringList{QStringLiteral("blocked")});
        QVERIFY2(rig.prompts.messages.size() <= 1,
                 qPrintable(rig.prompts.messages.join(QLatin1Char('|'))));
    }

    void requestsThatStartNothing()
    {
        TRig rig;
        const QString source = rig.engine.SaveTo() + QStringLiteral("Clip");
        QVERIFY(QFile::copy(m_mp4, source));
        const int id = waitingJob(rig, source);
        rig.engine.gui.Send(WM_START_CONVERT, 0);
        rig.engine.gui.Send(WM_START_CONVERT, id + 1);
        QCOMPARE(rig.driver.ConvertEncoderCount(), 0);
        QCOMPARE(rig.engine.Job(id).t_ConvertStatus.load(), int(CONVERT_WAITING));

        // After the close went ahead nothing starts that the close would not stop.
        rig.driver.StopAll();
        rig.engine.gui.Send(WM_START_CONVERT, id);
        QCOMPARE(rig.driver.ConvertEncoderCount(), 0);
        QCOMPARE(rig.engine.Job(id).t_ConvertStatus.load(), int(CONVERT_FAILED));
        QVERIFY(!QFile::exists(source));
    }

    // The close (or Ctrl+C) stops a running conversion: the downloaded video goes with its
    // half-written MP3, and the engine's Temp folder once it is empty.
    void stoppedConversionLeavesNothing()
    {
        TFakeYouTube yt;
        yt.UseAsYouTube();
        TRig rig;
        const int id =
            rig.engine.Add(watchLink(yt, QStringLiteral("Long"), QStringLiteral("long")));
        rig.engine.gui.Post(WM_START_JOBS);
        QVERIFY(rig.engine.WaitUntilIdle());
        QTRY_VERIFY_WITH_TIMEOUT(rig.driver.Busy(), 10000);
        const QString source = rig.engine.Job(id).t_TempName.get();
        QVERIFY(QFile::exists(source));
        rig.driver.StopAll();
        QVERIFY(!rig.driver.Busy());
        QVERIFY(!QFile::exists(source));
        QCOMPARE(rig.engine.Files(), QStringList{});
        QVERIFY(!QFileInfo::exists(QFileInfo(source).path()));
    }

    // A title of nothing but dots, or none, leaves no file name: the job says so, rather
    // than that the page has no stream.
    void titleThatLeavesNoName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("reason");
        QTest::newRow("only dots")
            << ".." << int(TFakeVideo::LtrFallback) << "The title \"..\" leaves no file name";
        QTest::newRow("dots and a control")
            << ".\x01." << int(TFakeVideo::LtrFallback) << "The title \"..\" leaves no file name";
        QTest::newRow("no title on the page") << "Clip" << int(TFakeVideo::CapitalTags)
                                              << "The page has no title to name the file after";
    }
    void titleThatLeavesNoName()
    {
        QFETCH(QString, title);
        QFETCH(int, style);
        QFETCH(QString, reason);
        TFakeYouTube yt;
        yt.UseAsYouTube();
        TRig rig;
        const int id = rig.engine.Add(watchLink(yt, title, {}, TFakeVideo::TTitleStyle(style)));
        QVERIFY(rig.WaitUntilDone());
        QCOMPARE(rig.engine.Status(id), int(JOB_STOPPED));
        QCOMPARE(rig.engine.Job(id).t_EndReason.get(), reason);
        QCOMPARE(yt.StreamsServed(), 0);
        QCOMPARE(rig.engine.Files(), QStringList{});
    }
};

QB_TEST(TestConvertDriver, "e2e");
#include "TestConvertDriver.moc"
