#include "FakeDesktop.h"
#include "FakeSoundCloudApi.h"
#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "UiTestHelpers.h"

#include "app/MainController.h"
#include "app/SettingsFile.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/ThreadRegistry.h"
#include "follow/TFollowChecks.h"
#include "follow/TFollowView.h"
#include "follow/TFollowedPeople.h"
#include "follow/TFollowing.h"
#include "follow/TPeopleFile.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "ui/TFollowPanel.h"
#include "ui/TTarnMainWin.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// The followed-users panel through the real widgets.
class TestFollowPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_data;
    // The daily check at the window's first showing asks this API.
    std::unique_ptr<qbtest::TFakeSoundCloudApi> m_api;
    FakeDesktop m_desktop;
    FakePrompts m_prompts;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<TTarnMainWin> m_win;

    TFollowPanel& panel() { return *m_win->FollowuserPanel; }
    ListViewModel& people() { return m_controller->PeopleList(); }
    ListViewModel& tracks() { return m_controller->TracksList(); }
    TFollowedPeople& store() { return m_controller->Following().FollowedPeople(); }
    QString file() const { return m_data->path() + QStringLiteral("/data/followuser.xml"); }

    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void openWindow()
    {
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
        waitForChecks();
    }

    // Until no check of a followed user runs or waits.
    void waitForChecks()
    {
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_controller->Following().Checks().Busy() && ThreadRegistry::LiveCount() == 0, 30000);
    }

    void closeWindow()
    {
        waitForChecks();
        m_win->close();
        m_win.reset();
        m_controller.reset();
    }

    // A followed user with tracks whose order differs by every column.
    void followAliceWithTracks()
    {
        const QString web = Hosts().SoundCloudWeb;
        TPeopleInfo alice;
        alice.t_Name = QStringLiteral("Alice");
        alice.t_AutoCheck = 1;
        alice.t_lastCheckTime = QStringLiteral("20131224153005");
        const auto track = [&](const char* id, const char* title, const char* ms, const char* size,
                               const QString& link) {
            TTracksInfo t;
            t.t_id = QString::fromLatin1(id);
            t.t_title = QString::fromUtf8(title);
            t.t_duration = QString::fromLatin1(ms);
            t.t_original_content_size = QString::fromLatin1(size);
            t.t_created_at = QStringLiteral("2013/05/0%1 10:00:00 +0000").arg(t.t_id.size());
            t.t_permalink_url = link;
            return t;
        };
        alice.t_TracksInfo = {
            track("99", "Night Drive", "225000", "3145728", "https://" + web + "/alice/night"),
            track("100", "awake", "59999", "1536", "http://" + web + "/alice/awake"),
            track("7", "Blue Hour", "3725000", "1024", "file:///etc/passwd")};
        alice.t_TracksInfo[1].t_downloaded_at = QStringLiteral("20130405123456");
        alice.t_TracksInfo[1].t_Downloaded_LocalFile = QStringLiteral("/nowhere/awake.mp3");
        alice.t_TracksCount = 3;
        alice.t_DownloadedCount = 1;
        store().AppendPeople(alice);
        store().AddPeople(QStringLiteral("bob"));
        m_controller->Following().View().ShowPeopleList();
    }

    void selectPeople(std::initializer_list<int> rows)
    {
        m_win->PeopleList->clearSelection();
        for (int row : rows)
            m_controller->PeopleSelection().select(
                people().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void selectTracks(std::initializer_list<int> rows)
    {
        m_win->TracksList->clearSelection();
        for (int row : rows)
            m_controller->TracksSelection().select(
                tracks().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void clickHeader(int column)
    {
        QHeaderView* header = m_win->TracksList->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    QStringList ids()
    {
        QStringList out;
        for (int row = 0; row < tracks().rowCount(); ++row)
            out.append(tracks().text(row, TFollowView::IdColumn));
        return out;
    }

    QPoint checkBoxOf(int row)
    {
        QTableView* view = m_win->PeopleList;
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.rect = view->visualRect(people().index(row, 0));
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        return view->style()
            ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view)
            .center();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini")));
        AppSettings().SetLanguageLoaded(true);
        m_data = std::make_unique<QTemporaryDir>();
        AppSettings().SetDataDir(m_data->path() + QLatin1Char('/'));
        m_api = std::make_unique<qbtest::TFakeSoundCloudApi>();
        m_api->UseAsApi();
        m_desktop = FakeDesktop();
        m_prompts = FakePrompts();
        openWindow();
    }

    void cleanup()
    {
        if (m_controller) {
            waitForChecks();
            QTRY_COMPARE_WITH_TIMEOUT(m_controller->LiveWorkers(), 0, 30000);
        }
        m_win.reset();
        m_controller.reset();
        m_data.reset();
        m_api.reset();
    }

    void addThroughTheBoxAndFindItAfterARestart()
    {
        QCOMPARE(m_controller->Following().File().Path(), file());
        QTest::keyClicks(m_win->PeopleName, QStringLiteral("  Carol  "));
        QTest::mouseClick(m_win->ButtAddPeople, Qt::LeftButton);
        QTest::mouseClick(m_win->ButtAddPeople, Qt::LeftButton);
        QCOMPARE(m_prompts.messages, QStringList{Lang("Msg1_10")});
        QCOMPARE(m_win->PeopleName->text(), QStringLiteral("  Carol  "));
        QCOMPARE(people().rowCount(), 1);
        followAliceWithTracks();
        closeWindow();
        QVERIFY(readAll(file()).contains("<name>Carol</name>"));

        openWindow();
        QCOMPARE(people().rowCount(), 3);
        QCOMPARE(people().text(1, TFollowView::NameColumn), QStringLiteral("Alice"));
        QVERIFY(people().item(1).checked);
        QCOMPARE(people().text(1, TFollowView::TracksColumn), QStringLiteral("3"));
        QCOMPARE(people().text(1, TFollowView::DownloadsColumn), QStringLiteral("1"));
        QCOMPARE(people().text(1, TFollowView::CheckTimeColumn),
                 QStringLiteral("2013-12-24 15:30:05"));
        selectPeople({1});
        QCOMPARE(tracks().rowCount(), 3);
        selectTracks({0, 2});
        m_controller->Downloads().MaxDownloads = 0;
        QTest::mouseClick(m_win->ButtDownloadTrack, Qt::LeftButton);
        QCOMPARE(m_controller->DownloadList().rowCount(), 2);
        m_win->resize(1400, 700);
        m_win->Splitter1->setSizes({650, 750});
        qbtest::screenshot(m_win.get(), "main-window.png");
    }

    void selectionRules()
    {
        followAliceWithTracks();
        QVERIFY(!m_win->ButtDeletePeople->isEnabled());
        QVERIFY(!m_win->ButtCheck->isEnabled());
        clickHeader(TFollowView::TitleColumn);
        clickHeader(TFollowView::TitleColumn);
        selectPeople({0});
        QVERIFY(m_win->ButtDeletePeople->isEnabled());
        // Sorted by the column and direction last chosen.
        QCOMPARE(ids(), (QStringList{"99", "7", "100"}));
        selectPeople({0, 1});
        QCOMPARE(tracks().rowCount(), 0);
        selectPeople({0});
        QCOMPARE(ids(), (QStringList{"99", "7", "100"}));
        selectPeople({1});
        QCOMPARE(tracks().rowCount(), 0);
        selectPeople({});
        QVERIFY(!m_win->ButtDeletePeople->isEnabled());
        // The row as a selected user shows it.
        selectPeople({0});
        QCOMPARE(tracks().item(2).subItems,
                 (QStringList{"awake", "0:0:59", "1536 (1.50 KB)", "2013/05/03 10:00:00 +0000",
                              "2013-04-05 12:34:56"}));
    }

    void headerClicksSortAndDownloadQueuesWhatIsShown()
    {
        followAliceWithTracks();
        selectPeople({0});
        clickHeader(TFollowView::DurationColumn);
        QCOMPARE(ids(), (QStringList{"100", "99", "7"}));
        clickHeader(TFollowView::DurationColumn);
        QCOMPARE(ids(), (QStringList{"7", "99", "100"}));
        clickHeader(TFollowView::SizeColumn);
        QCOMPARE(ids(), (QStringList{"7", "100", "99"}));
        clickHeader(TFollowView::IdColumn);
        QCOMPARE(ids(), (QStringList{"100", "7", "99"}));
        // The selection follows its rows through a sort.
        selectTracks({0, 2});
        clickHeader(TFollowView::IdColumn);
        QCOMPARE(ids(), (QStringList{"99", "7", "100"}));
        QCOMPARE(m_controller->Following().View().SelectedTrackRows(), (QList<int>{0, 2}));

        m_controller->Downloads().MaxDownloads = 0;
        QTest::mouseClick(m_win->ButtDownloadTrack, Qt::LeftButton);
        const TDownloadJobTable& jobs = m_controller->Downloads().DownloadJobs;
        QCOMPARE(jobs.Count(), 2);
        QCOMPARE(jobs.Job(1)->t_FollowedTrackID.get(), QStringLiteral("99"));
        QCOMPARE(jobs.Job(2)->t_FollowedTrackID.get(), QStringLiteral("100"));
        QCOMPARE(jobs.Job(1)->t_URL.get(), "http://" + Hosts().SoundCloudWeb + "/alice/night");
        QCOMPARE(m_controller->DownloadList().rowCount(), 2);
    }

    void popupsOfTheTwoLists()
    {
        followAliceWithTracks();
        selectPeople({0, 1});
        panel().PMOpenuserLink->trigger();
        const QString web = Hosts().SoundCloudWeb;
        QCOMPARE(m_desktop.opened,
                 (QStringList{"https://" + web + "/Alice", "https://" + web + "/bob"}));

        selectPeople({0});
        QVERIFY(!panel().PMTrackListOpenfolder->isEnabled());
        // Sorted by ID as text: 100, 7, 99.
        selectTracks({0, 2});
        QVERIFY(!panel().PMTrackListOpenfolder->isEnabled());
        panel().PMCopyTrackInfo->trigger();
        QCOMPARE(m_desktop.clipboard,
                 QStringLiteral("100\r\nawake\r\n0:0:59\r\n1536 (1.50 KB)\r\n"
                                "2013/05/03 10:00:00 +0000\r\n2013-04-05 12:34:56\r\n"
                                "99\r\nNight Drive\r\n0:3:45\r\n3145728 (3.00 MB)\r\n"
                                "2013/05/02 10:00:00 +0000\r\n\r\n"));
        m_desktop.opened.clear();
        selectTracks({0, 1, 2});
        panel().PMOpenTrackLink->trigger();
        // Web addresses only.
        QCOMPARE(m_desktop.opened, (QStringList{"http://" + web + "/alice/awake",
                                                "https://" + web + "/alice/night"}));

        selectTracks({0});
        QVERIFY(panel().PMTrackListOpenfolder->isEnabled());
        panel().PMTrackListOpenfolder->trigger();
        selectTracks({1});
        panel().PMTrackListOpenfolder->trigger();
        QCOMPARE(m_prompts.messages,
                 (QStringList{"Can not find the downloaded file:/nowhere/awake.mp3",
                              "Can not find the downloaded file:"}));

        selectTracks({});
        panel().PMCopyTrackInfo->trigger();
        QCOMPARE(m_desktop.clipboard, QString());
    }

    void autoCheckFollowsMouseAndKeyboard()
    {
        followAliceWithTracks();
        QTest::mouseClick(m_win->PeopleList->viewport(), Qt::LeftButton, {}, checkBoxOf(1));
        QCOMPARE(store().Summary(2)->autoCheck, std::uint8_t(1));
        QTest::mouseClick(m_win->PeopleList->viewport(), Qt::LeftButton, {}, checkBoxOf(0));
        QCOMPARE(store().Summary(1)->autoCheck, std::uint8_t(0));
        m_win->PeopleList->setFocus();
        m_win->PeopleList->setCurrentIndex(people().index(0, 0));
        QTest::keyClick(m_win->PeopleList, Qt::Key_Space);
        QCOMPARE(store().Summary(1)->autoCheck, std::uint8_t(1));
        QVERIFY(people().item(0).checked);
    }

    void deleteThroughTheButton()
    {
        followAliceWithTracks();
        selectPeople({0, 1});
        m_prompts.answers = {true};
        QTest::mouseClick(m_win->ButtDeletePeople, Qt::LeftButton);
        QCOMPARE(people().rowCount(), 0);
        QCOMPARE(tracks().rowCount(), 0);
        QVERIFY(!m_win->ButtDeletePeople->isEnabled());
    }

    void checkListsNewTracksOfTheSelectedUser()
    {
        followAliceWithTracks();
        m_api->AddTrack(QStringLiteral("Alice"), {.id = QStringLiteral("99")});
        m_api->AddTrack(QStringLiteral("Alice"),
                        {.id = QStringLiteral("555"), .title = QStringLiteral("Fresh")});
        QVERIFY(!m_win->ButtCheck->isEnabled());
        selectPeople({0});
        QVERIFY(m_win->ButtCheck->isEnabled());
        QTest::mouseClick(m_win->ButtCheck, Qt::LeftButton);
        QCOMPARE(people().text(0, TFollowView::CheckTimeColumn), Lang("Msg1_8"));
        waitForChecks();
        QCOMPARE(people().text(0, TFollowView::TracksColumn), QStringLiteral("4"));
        QCOMPARE(people().text(0, TFollowView::CheckTimeColumn).left(10),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        // The shown user's new track is appended; Check only lists.
        QCOMPARE(ids(), (QStringList{"100", "7", "99", "555"}));
        QCOMPARE(tracks().text(3, TFollowView::TitleColumn), QStringLiteral("Fresh"));
        QCOMPARE(m_controller->DownloadList().rowCount(), 0);
        selectPeople({});
        QVERIFY(!m_win->ButtCheck->isEnabled());
    }

    void failedSaveAsksBeforeClosing()
    {
        followAliceWithTracks();
        // The data folder cannot hold the file: a plain file stands in its place.
        QFile blocker(m_data->path() + QStringLiteral("/data"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_prompts.answers = {false};
        m_win->close();
        QVERIFY(m_win->isVisible());
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY(m_prompts.questions.front().contains(file()));
        // Once the folder can be made, the close saves and goes on without a question.
        QVERIFY(QFile::remove(blocker.fileName()));
        m_win->close();
        QVERIFY(!m_win->isVisible());
        QCOMPARE(m_prompts.questions.size(), 1);
        TFollowedPeople reread;
        QVERIFY(TPeopleFile(file()).ReadPeopleInfo(reread));
        QCOMPARE(reread.FollowedPeopleCount(), 2);
    }

    // The window's close on a real full disk, for each file it saves: the close asks, and
    // the file is as it was.
    void fullDiskAtClose_data()
    {
        QTest::addColumn<bool>("layout");
        QTest::newRow("followed users") << false;
        QTest::newRow("window layout") << true;
    }
    void fullDiskAtClose()
    {
        QFETCH(bool, layout);
        followAliceWithTracks();
        const QString saved = layout ? SettingsFilePath() : file();
        qbtest::SmallDisk disk(QFileInfo(saved).absolutePath());
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        if (layout) {
            QCOMPARE(ChangeSettingsFile(
                         [](QSettings& s) { s.setValue(QStringLiteral("Window/Toolbar"), false); }),
                     QString());
        } else {
            QCOMPARE(m_controller->Following().SavePeople(), QString());
        }
        const QByteArray before = readAll(saved);
        QVERIFY(!before.isEmpty());
        QVERIFY(disk.fill());
        m_prompts.answers = {false};
        m_win->close();
        QVERIFY(m_win->isVisible());
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY2(m_prompts.questions.front().contains(saved) &&
                     m_prompts.questions.front().contains(QLatin1String("No space left on device")),
                 qPrintable(m_prompts.questions.front()));
        QCOMPARE(readAll(saved), before);
        // Closing anyway is the user's choice.
        m_prompts.answers = {true};
        m_win->close();
        QVERIFY(!m_win->isVisible());
        QCOMPARE(readAll(saved), before);
    }

    void captionsFollowTheLanguage()
    {
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_deu.ini")));
        ApplyLanguage(LANG_MAIN_WINDOW);
        QCOMPARE(panel().PMCopyTrackInfo->text(), QStringLiteral("Titelinformationen kopieren"));
        QCOMPARE(panel().PMOpenuserLink->text(), Lang("String1_52"));
        QCOMPARE(panel().PMTrackListOpenfolder->text(), QStringLiteral("Ordner öffnen"));
        QCOMPARE(m_win->ButtAddPeople->text(), QStringLiteral("Hinzufügen"));
        QVERIFY(LoadLanguageFile(qbtest::sourceLanguageDir() + QStringLiteral("/brae_eng.ini")));
        ApplyLanguage(LANG_MAIN_WINDOW);
        QCOMPARE(panel().PMCopyTrackInfo->text(), QStringLiteral("Copy Track Information"));
    }
};

QB_TEST(TestFollowPanel, "gui");
#include "TestFollowPanel.moc"
