#include "FakeDesktop.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "UiTestHelpers.h"

#include "app/MainController.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "ui/TFollowPanel.h"
#include "ui/TTarnMainWin.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

    FakeDesktop m_desktop;
    FakePrompts m_prompts;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<TTarnMainWin> m_win;

    static QString language(const char* file)
    {
        return qbtest::sourceLanguageDir() + QLatin1Char('/') + QString::fromLatin1(file);
    }

    static QStringList headers(const QTableView* view)
    {
        QStringList out;
        for (int c = 0; c < view->model()->columnCount(); ++c)
            out.append(view->model()->headerData(c, Qt::Horizontal).toString());
        return out;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(LoadLanguageFile(language("brae_eng.ini")));
        AppSettings().SetLanguageLoaded(true);
        qbtest::forgetWindowLayout();
        m_desktop = FakeDesktop();
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    }

    void cleanup()
    {
        // Workers use the job table: it goes only after them.
        QTRY_COMPARE_WITH_TIMEOUT(m_controller->LiveWorkers(), 0, 30000);
        m_win.reset();
        m_controller.reset();
        qbtest::forgetWindowLayout();
    }

    // Closes the window as the user does and opens the next run's.
    void reopen()
    {
        QVERIFY(m_win->close());
        m_win.reset();
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    }

    static QList<int> widths(const QTableView* view)
    {
        QList<int> out;
        for (int c = 0; c + 1 < view->model()->columnCount(); ++c)
            out.append(view->columnWidth(c));
        return out;
    }

    void startsMaximisedWithToolbarAndEmptyLists()
    {
        QVERIFY(m_win->isMaximized());
        QCOMPARE(m_win->windowTitle(), QStringLiteral("Quillbrook"));
        QVERIFY(m_win->TBarMain->isVisible());
        QCOMPARE(m_win->TBarMain->actions().size(), 8);
        QCOMPARE(m_win->TBarMain->iconSize(), QSize(48, 48));
        QVERIFY(m_win->ButtAbout->isVisible() && m_win->ButtHelp->isVisible());
        QVERIFY(!m_win->ADPanel->isVisible());
        QCOMPARE(m_win->DownloadList->model()->rowCount(), 0);
        QCOMPARE(m_win->PeopleList->model()->rowCount(), 0);
        QCOMPARE(m_win->TracksList->model()->rowCount(), 0);
        QCOMPARE(headers(m_win->DownloadList), (QStringList{"File", "Size", "Status", "URL"}));
        QCOMPARE(headers(m_win->PeopleList),
                 (QStringList{"Auto Check", "Name", "Tracks", "Downloaded", "Last Checked"}));
        QCOMPARE(headers(m_win->TracksList).size(), 6);
        // The followed-users panel sits right of the download list, behind the splitter.
        QCOMPARE(m_win->Splitter1->indexOf(m_win->DownloadListPanel), 0);
        QCOMPARE(m_win->Splitter1->indexOf(m_win->FollowuserPanel), 1);
        QVERIFY(m_win->FollowuserPanel->x() > m_win->DownloadList->x());
        QCOMPARE(m_controller->Downloads().MaxDownloads.load(), 10);
        QVERIFY(m_win->PMenuBraeSettings->isEnabled());
        QVERIFY(m_win->ButtAbout->isEnabled());
        QVERIFY(m_win->TButExit->isEnabled());
        qbtest::screenshot(m_win.get(), "main-window-empty.png");
    }

    void viewToggles()
    {
        QVERIFY(m_win->PMenuBrae_Toolbar->isChecked());
        const int listTop = m_win->Splitter1->mapTo(m_win.get(), QPoint()).y();
        m_win->PMenuBrae_Toolbar->trigger();
        QVERIFY(!m_win->TBarMain->isVisible());
        QTRY_VERIFY(m_win->Splitter1->mapTo(m_win.get(), QPoint()).y() < listTop);
        m_win->PMenuBrae_Toolbar->trigger();
        QVERIFY(m_win->TBarMain->isVisible());

        for (const QTableView* v : {m_win->DownloadList, m_win->PeopleList, m_win->TracksList})
            QVERIFY(!v->showGrid());
        m_win->PMenuBrae_ShowGirdLine->trigger();
        for (const QTableView* v : {m_win->DownloadList, m_win->PeopleList, m_win->TracksList})
            QVERIFY(v->showGrid());
        m_win->PMenuBrae_ShowGirdLine->trigger();
        for (const QTableView* v : {m_win->DownloadList, m_win->PeopleList, m_win->TracksList})
            QVERIFY(!v->showGrid());
    }

    void alwaysOnTopTwiceRestoresTheWindow()
    {
        m_win->PMenuBraeAlwaysOnTop->trigger();
        QCOMPARE(m_win->windowTitle(), QStringLiteral("Quillbrook - Top"));
        QVERIFY(m_win->PMenuBraeAlwaysOnTop->isChecked());
        QVERIFY(m_win->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(m_win->isVisible());
        m_win->PMenuBraeAlwaysOnTop->trigger();
        QCOMPARE(m_win->windowTitle(), QStringLiteral("Quillbrook"));
        QVERIFY(!m_win->PMenuBraeAlwaysOnTop->isChecked());
        QVERIFY(!(m_win->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(m_win->isVisible());
        QVERIFY(m_win->isMaximized());
    }

    void languageChangeReappliesEverythingAtOnce()
    {
        QVERIFY(LoadLanguageFile(language("brae_deu.ini")));
        ApplyLanguage(LANG_MAIN_WINDOW);
        QCOMPARE(m_win->PMenuBrae_File->title(), QStringLiteral("Datei"));
        QCOMPARE(m_win->PMenuBraeExit->text(), QStringLiteral("Beenden"));
        QCOMPARE(m_win->PMenuBrae_View->title(), QStringLiteral("Ansicht"));
        QCOMPARE(m_win->TButAdd->toolTip(), QStringLiteral("Links zum Herunterladen hinzufügen"));
        QCOMPARE(m_win->TButExit->toolTip(), QStringLiteral("Beenden"));
        QCOMPARE(m_win->ButtCheck->text(), QStringLiteral("Prüfen"));
        QCOMPARE(headers(m_win->DownloadList), (QStringList{"Datei", "Größe", "Status", "URL"}));
        QCOMPARE(headers(m_win->PeopleList).at(4), QStringLiteral("Letzte Prüfung"));
        QCOMPARE(headers(m_win->TracksList).at(2), QStringLiteral("Dauer"));
        QCOMPARE(m_win->DownloadList->horizontalHeader()->model()->headerData(0, Qt::Horizontal),
                 QVariant(QStringLiteral("Datei")));
    }

    void pagesOpenThroughTheDesktop()
    {
        const ServiceHosts& h = Hosts();
        m_win->PMenuBraeOnlineHelp->trigger();
        m_win->ButtHelp->trigger();
        m_win->PMenuMoreToolsProduct->trigger();
        QTest::mouseClick(m_win->ButtExplore, Qt::LeftButton);
        QTest::mouseClick(m_win->ButtOnlineHelp, Qt::LeftButton);
        QCOMPARE(m_desktop.opened,
                 (QStringList{h.makerPage("/support.htm"), h.makerPage("/support.htm"),
                              h.makerPage("/inkwell-recorder.htm"),
                              "https://" + h.SoundCloudWeb + "/explore",
                              h.makerPage("/how-to-follow-soundcloud-user.htm")}));
    }

    // Place, size and state, the splitters, the columns of the three lists and the two
    // toggles come back in the next window; the program's own settings are not touched.
    void theNextWindowRemembersTheLayout()
    {
        m_win->showNormal();
        QTRY_VERIFY(!m_win->isMaximized());
        m_win->setGeometry(40, 50, 1000, 640);
        QTRY_COMPARE(m_win->geometry().size(), QSize(1000, 640));
        m_win->PMenuBrae_Toolbar->trigger();
        m_win->PMenuBrae_ShowGirdLine->trigger();
        m_win->Splitter1->setSizes({600, 390});
        m_win->FollowSplitter->setSizes({150, 300});
        m_win->DownloadList->setColumnWidth(0, 233);
        m_win->DownloadList->setColumnWidth(2, 177);
        m_win->PeopleList->setColumnWidth(1, 144);
        m_win->TracksList->setColumnWidth(4, 99);
        QTest::qWait(50); // the layout settles without the toolbar
        const QRect geometry = m_win->geometry();
        const QList<int> splitter = m_win->Splitter1->sizes();
        const QList<int> follow = m_win->FollowSplitter->sizes();
        const QList<int> downloads = widths(m_win->DownloadList);
        const QList<int> people = widths(m_win->PeopleList);
        const QList<int> tracks = widths(m_win->TracksList);

        reopen();
        QVERIFY(!m_win->isMaximized());
        QCOMPARE(m_win->geometry(), geometry);
        QVERIFY(!m_win->PMenuBrae_Toolbar->isChecked());
        QVERIFY(!m_win->TBarMain->isVisible());
        QVERIFY(m_win->PMenuBrae_ShowGirdLine->isChecked());
        for (const QTableView* v : {m_win->DownloadList, m_win->PeopleList, m_win->TracksList})
            QVERIFY(v->showGrid());
        QCOMPARE(m_win->Splitter1->sizes(), splitter);
        QCOMPARE(m_win->FollowSplitter->sizes(), follow);
        QCOMPARE(widths(m_win->DownloadList), downloads);
        QCOMPARE(widths(m_win->PeopleList), people);
        QCOMPARE(widths(m_win->TracksList), tracks);

        // Maximised again, it opens maximised; the normal place is kept for later.
        m_win->showMaximized();
        QTRY_VERIFY(m_win->isMaximized());
        reopen();
        QVERIFY(m_win->isMaximized());
        m_win->showNormal();
        QTRY_COMPARE(m_win->geometry(), geometry);

        // Everything lives in its own group.
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Quillbrook"));
        QCOMPARE(settings.childGroups(), QStringList{"Window"});
        QCOMPARE(settings.childKeys(), QStringList());
    }

    // Values that make no sense (a hand-edited file) leave the design layout.
    void nonsenseInTheStoredLayoutIsIgnored()
    {
        const QList<int> downloads = widths(m_win->DownloadList);
        const QList<int> splitter = m_win->Splitter1->sizes();
        m_win.reset();
        {
            QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                               QStringLiteral("Quillbrook"));
            settings.beginGroup(QStringLiteral("Window"));
            settings.setValue(QStringLiteral("Geometry"), QByteArray("not a geometry"));
            settings.setValue(QStringLiteral("Splitter"), QStringList{"0", "700"});
            settings.setValue(QStringLiteral("DownloadListColumns"), QStringList{"50", "x", "9"});
        }
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
        QVERIFY(m_win->isMaximized());
        QCOMPARE(widths(m_win->DownloadList), downloads);
        QCOMPARE(m_win->Splitter1->sizes(), splitter);
    }

    void exitClosesTheWindow()
    {
        m_win->PMenuBraeExit->trigger();
        QVERIFY(!m_win->isVisible());
    }
};

QB_TEST(TestMainWindow, "gui");
#include "TestMainWindow.moc"
