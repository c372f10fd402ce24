#include "FakeDesktop.h"
#include "FakeSoundCloud.h"
#include "FakeYouTube.h"
#include "MediaFixtures.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "UiTestHelpers.h"
#include "app/MainController.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/TMessageQueue.h"
#include "convert/TConvertDriver.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "ui/TAddWin.h"
#include "ui/TTarnMainWin.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;

// A pasted watch link in the window: the download, then the conversion's progress in the
// list, and what closing the window does to conversions that run.
class TestConversionList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_media;
    QByteArray m_longClip; // long enough for its conversion to be caught running
    ServiceHosts m_hosts;  // as they were before the fake services replaced them
    std::unique_ptr<qbtest::TFakeYouTube> m_yt;
    std::unique_ptr<qbtest::TFakeSoundCloud> m_sc;
    std::unique_ptr<QTemporaryDir> m_save;
    FakeDesktop m_desktop;
    FakePrompts m_prompts;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<TTarnMainWin> m_win;
    std::unique_ptr<TAddWin> m_add;

    ListViewModel& list() { return m_controller->DownloadList(); }
    TDownloadJobs& job(int row)
    {
        return *m_controller->Downloads().DownloadJobs.Job(list().item(row).data);
    }
    QString statusText(int row) { return list().text(row, TDownloadRows::StatusColumn); }

    void paste(const QString& link)
    {
        QTimer::singleShot(0, this, [this, link] {
            m_add->Link->setPlainText(link);
            QTest::mouseClick(m_add->ButtOK, Qt::LeftButton);
        });
        m_win->PMenuBraeAdd->trigger();
    }

    QString addVideo(const QString& title)
    {
        qbtest::TFakeVideo video;
        video.title = title;
        video.media = m_longClip;
        return m_yt->AddVideo(video);
    }

    // The row shows a conversion percentage.
    bool converting(int row)
    {
        static const QRegularExpression progress(QStringLiteral("^\\d+% \\(\\d+, \\d+\\)$"));
        return job(row).t_ConvertStatus.load() == CONVERT_RUNNING &&
               progress.match(statusText(row)).hasMatch();
    }

    // The MP3s and the ones being written.
    QStringList mp3Files() const
    {
        return QDir(m_save->path())
            .entryList({QStringLiteral("*.mp3"), QStringLiteral("*.mp3.part")}, QDir::Files);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_hosts = Hosts();
        const QString clip = m_media.filePath(QStringLiteral("long.mp4"));
        QVERIFY(qbtest::runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=330:duration=2400", "-ac",
                                   "1", "-c:a", "aac", "-b:a", "24k", clip}));
        QFile f(clip);
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_longClip = f.readAll();
    }

    void cleanupTestCase() { OverrideServiceHosts(m_hosts); }

    void init()
    {
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini")));
        AppSettings().SetLanguageLoaded(true);
        m_sc = std::make_unique<qbtest::TFakeSoundCloud>();
        m_sc->UseAsSoundCloud();
        m_yt = std::make_unique<qbtest::TFakeYouTube>();
        m_yt->UseAsYouTube();
        m_save = std::make_unique<QTemporaryDir>();
        AppSettings().SetSaveToFolder(m_save->path() + QLatin1Char('/'));
        m_prompts = FakePrompts();
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_controller->Converter().LibAVFolder = qbtest::libAVFolder();
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_add = std::make_unique<TAddWin>(*m_controller, m_win.get());
        m_win->SetAddWin(m_add.get());
        m_win->resize(900, 300);
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    }

    void cleanup()
    {
        // Stops what still runs, as the end of the program does.
        m_controller->Converter().StopAll();
        QTRY_COMPARE_WITH_TIMEOUT(m_controller->LiveWorkers(), 0, 30000);
        m_add.reset();
        m_win.reset();
        m_controller.reset();
        m_yt.reset();
        m_sc.reset();
        m_save.reset();
    }

    // Answering No keeps the conversion going to its MP3; the list shows its progress and
    // then "100%" with the MP3's name.
    void closeAnsweredNoKeepsConverting()
    {
        const QString slow =
            m_sc->AddTrack({.name = "Slow", .size = 4000000, .pieceSize = 4096, .gap = 20ms});
        paste(addVideo(QStringLiteral("Harbour Lights")));
        paste(slow);
        QTRY_VERIFY_WITH_TIMEOUT(converting(0), 30000);
        m_controller->Timer1Timer();
        qbtest::screenshot(m_win.get(), "conversion.png");

        QVERIFY(m_controller->Downloads().RunningDownloads.load() > 0);
        m_prompts.answers = {false};
        QVERIFY(!m_win->close());
        QCOMPARE(m_prompts.questions, QStringList{Lang("Msg1_6")});
        QVERIFY(m_controller->Converter().Busy());

        QTRY_COMPARE_WITH_TIMEOUT(job(0).t_ConvertStatus.load(), int(CONVERT_DONE), 120000);
        QCOMPARE(statusText(0), QStringLiteral("100%"));
        QCOMPARE(list().item(0).caption, QStringLiteral("Harbour Lights - YouTube_(new).mp3"));
        // The slow download may have finished too on a loaded machine; nothing else is there.
        QStringList outputs = mp3Files();
        outputs.removeAll(QStringLiteral("Slow.mp3"));
        QCOMPARE(outputs, QStringList{QStringLiteral("Harbour Lights - YouTube_(new).mp3")});
        m_win->ButtStop->trigger(); // the slow download is not needed any more
    }

    // The close going ahead stops the conversion at once: neither output nor downloaded
    // video is left and no event reaches the list afterwards.
    void closeGoingAheadStopsConversions()
    {
        paste(addVideo(QStringLiteral("Tape Loop")));
        QTRY_VERIFY_WITH_TIMEOUT(converting(0), 30000);
        QVERIFY(m_win->close());
        QVERIFY(m_prompts.questions.isEmpty()); // no download runs: no question
        QVERIFY(!m_controller->Converter().Busy());
        const QString shown = statusText(0);
        QTest::qWait(700); // longer than the progress interval
        QCOMPARE(statusText(0), shown);
        QCOMPARE(job(0).t_ConvertStatus.load(), int(CONVERT_RUNNING));
        QVERIFY(mp3Files().isEmpty());
        QVERIFY(!QFile::exists(job(0).t_TempName.get()));
    }
};

QB_TEST(TestConversionList, "gui");
#include "TestConversionList.moc"
