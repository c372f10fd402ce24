#include "FakeDesktop.h"
#include "FakeMakerSite.h"
#include "FakeSoundCloud.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "UiTestHelpers.h"

#include "../app/MemorySettings.h"
#include "app/MainController.h"
#include "app/SettingsForm.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "base/ThreadRegistry.h"
#include "jobs/DownloadListCommands.h"
#include "jobs/DownloadState.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"
#include "ui/DesktopServices.h"
#include "ui/TAboutWin.h"
#include "ui/TAddWin.h"
#include "ui/TBraeSettingsWin.h"
#include "ui/TTarnMainWin.h"
#include "update/TVersionCheck.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace std::chrono_literals;

namespace {

// Hands the settings form a store that writes into the test's own one.
class ForwardingStore final : public ISettingsBackend
{
public:
    explicit ForwardingStore(MemorySettings& target) : m_target(target) {}
    std::optional<QString> read(const QString& key) override { return m_target.read(key); }
    bool write(const QString& key, const QVariant& value) override
    {
        return m_target.write(key, value);
    }

private:
    MemorySettings& m_target;
};

} // namespace

// The settings, about and add-links dialogs through their widgets, the update check as the
// window runs it, and a language switch seen on the window.
class TestDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_appDir;
    QTemporaryDir m_work;
    FakeDesktop m_desktop;
    FakePrompts m_prompts;
    FakePrompts m_settingsPrompts;
    MemorySettings m_store;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<TTarnMainWin> m_win;
    std::unique_ptr<TAddWin> m_add;
    std::unique_ptr<TAboutWin> m_about;
    std::unique_ptr<SettingsForm> m_form;
    std::unique_ptr<TBraeSettingsWin> m_settings;

    // Runs steps while the modal dialog is up (the opener blocks until it closes).
    void whileOpen(QDialog* dialog, std::function<void()> steps, std::function<void()> open)
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(dialog->isVisible());
            steps();
            ran = true;
            if (dialog->isVisible())
                dialog->reject();
        });
        open();
        QVERIFY(ran);
    }

    void createWindows()
    {
        m_controller = std::make_unique<MainController>(m_prompts, m_desktop);
        m_win = std::make_unique<TTarnMainWin>(*m_controller);
        m_add = std::make_unique<TAddWin>(*m_controller, m_win.get());
        m_win->SetAddWin(m_add.get());
        m_about = std::make_unique<TAboutWin>(m_desktop, m_win.get());
        m_win->SetAboutWin(m_about.get());
        m_form = std::make_unique<SettingsForm>(
            m_settingsPrompts, [this] { return std::make_unique<ForwardingStore>(m_store); });
        m_settings = std::make_unique<TBraeSettingsWin>(*m_form, m_win.get());
        m_win->SetSettingsWin(m_settings.get());
        m_win->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_win.get()));
    }

    void destroyWindows()
    {
        m_settings.reset();
        m_form.reset();
        m_about.reset();
        m_add.reset();
        m_win.reset();
        m_controller.reset();
    }

    static QString header(const QTableView* view, int column)
    {
        return view->model()->headerData(column, Qt::Horizontal).toString();
    }

    // The window in one language, as a person sees it.
    void expectWindowIn(bool german)
    {
        QCOMPARE(m_win->PMenuBrae_File->title(), german ? "Datei" : "File");
        QCOMPARE(m_win->PMenuBraeSettings->text(), german ? "Einstellungen" : "Settings");
        QCOMPARE(m_win->TButSettings->toolTip(), german ? "Einstellungen" : "Settings");
        QCOMPARE(m_win->TButAdd->toolTip(),
                 german ? "Links zum Herunterladen hinzufügen" : "Add Links to Download");
        QCOMPARE(header(m_win->DownloadList, 1), german ? "Größe" : "Size");
        QCOMPARE(header(m_win->PeopleList, 4), german ? "Letzte Prüfung" : "Last Checked");
        QCOMPARE(m_win->ButtCheck->text(), german ? "Prüfen" : "Check");
        QCOMPARE(m_win->FollowUserLabel->text(), german ? "Benutzer" : "User");
        // The toolkit's own texts follow as far as it ships a translation.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), german ? "&Ja" : "&Yes");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_appDir.filePath(QStringLiteral("language"))));
        for (const char* file : {"brae_eng.ini", "brae_deu.ini"})
            QVERIFY(
                QFile::copy(qbtest::sourceLanguageDir() + QLatin1Char('/') + QLatin1String(file),
                            m_appDir.filePath(QStringLiteral("language/")) + QLatin1String(file)));
    }

    void init()
    {
        TAppSettings& app = AppSettings();
        app.SetAppDir(m_appDir.path() + QLatin1Char('/'));
        app.SetDataDir(m_work.filePath(QStringLiteral("data/")));
        app.SetSaveToFolder(m_work.filePath(QStringLiteral("save/")));
        app.SetDownloadAllSoundFiles(false);
        app.SetLatestTrackCount(5);
        app.SetSelectLanguage(QStringLiteral("brae_eng.ini"));
        QVERIFY(LoadLanguageFile(app.LanguageFilePath()));
        app.SetLanguageLoaded(true);
        m_desktop = FakeDesktop();
        m_prompts = FakePrompts();
        m_settingsPrompts = FakePrompts();
        m_store = MemorySettings();
    }

    void cleanup() { destroyWindows(); }

    void everyCommandIsEnabled()
    {
        createWindows();
        for (QAction* a : {m_win->PMenuBraeSettings, m_win->PMenuBraeAbout,
                           m_win->PMenyBraeChecktheupdate, m_win->TButSettings, m_win->ButtAbout})
            QVERIFY2(a->isEnabled() && a->isVisible(), qPrintable(a->objectName()));
    }

    void settingsDialogSwitchesTheWindowToGermanAndBack()
    {
        createWindows();
        expectWindowIn(false);
        whileOpen(
            m_settings.get(),
            [&] {
                TBraeSettingsWin& d = *m_settings;
                QCOMPARE(d.SaveToFolder->text(), m_work.filePath(QStringLiteral("save/")));
                QVERIFY(!d.CBoxDownloadAllSoundFiles->isChecked());
                QVERIFY(d.latesttrackcount->isEnabled());
                QCOMPARE(d.latesttrackcount->value(), 5);
                QCOMPARE(d.latesttrackcount->minimum(), 1);
                QCOMPARE(d.latesttrackcount->maximum(), 9999);
                QCOMPARE(d.LngList->count(), 2);
                QCOMPARE(d.LngList->itemText(0), QStringLiteral("Deutsch"));
                QCOMPARE(d.LngList->currentText(), QStringLiteral("English"));
                QCOMPARE(d.windowTitle(), QStringLiteral("Settings"));
                QTest::mouseClick(d.CBoxDownloadAllSoundFiles, Qt::LeftButton);
                QVERIFY(!d.latesttrackcount->isEnabled());
                QTest::mouseClick(d.CBoxDownloadAllSoundFiles, Qt::LeftButton);
                QVERIFY(d.latesttrackcount->isEnabled());

                // Select opens the chooser at the current folder.
                QString startedAt;
                QString titled;
                d.BrowseFolder = [&](QWidget*, const QString& title, const QString& start) {
                    startedAt = start;
                    titled = title;
                    return m_work.filePath(QStringLiteral("chosen"));
                };
                QTest::mouseClick(d.ButtSelect, Qt::LeftButton);
                QCOMPARE(startedAt, m_work.filePath(QStringLiteral("save/")));
                QCOMPARE(titled, QStringLiteral("Save to Folder"));
                QCOMPARE(d.SaveToFolder->text(), m_work.filePath(QStringLiteral("chosen/")));

                // An empty folder: the message, the folder focused, still open.
                d.SaveToFolder->clear();
                QTest::mouseClick(d.ButtOK, Qt::LeftButton);
                QCOMPARE(m_settingsPrompts.messages,
                         QStringList{"Please enter the folder of saving downloaded files"});
                QVERIFY(d.isVisible());
                QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.SaveToFolder));

                QTest::keyClicks(d.SaveToFolder, m_work.filePath(QStringLiteral("music")));
                d.LngList->setCurrentIndex(0);
                d.latesttrackcount->setValue(12);
                qbtest::screenshot(&d, "settings.png");
                QTest::mouseClick(d.ButtOK, Qt::LeftButton);
                QVERIFY(!d.isVisible());
            },
            [&] { m_win->PMenuBraeSettings->trigger(); });

        QCOMPARE(AppSettings().SelectLanguage(), QStringLiteral("brae_deu.ini"));
        QCOMPARE(AppSettings().SaveToFolder(), m_work.filePath(QStringLiteral("music/")));
        QCOMPARE(AppSettings().LatestTrackCount(), 12);
        QCOMPARE(m_store.values.value("SelectLanguage"), QStringLiteral("brae_deu.ini"));
        expectWindowIn(true);

        // The dialog itself speaks German the next time it opens; back to English.
        whileOpen(
            m_settings.get(),
            [&] {
                TBraeSettingsWin& d = *m_settings;
                QCOMPARE(d.windowTitle(), QStringLiteral("Einstellungen"));
                QCOMPARE(d.ButtCancel->text(), QStringLiteral("Abbrechen"));
                QCOMPARE(d.LngList->currentText(), QStringLiteral("Deutsch"));
                d.LngList->setCurrentIndex(d.LngList->findText(QStringLiteral("English")));
                QTest::mouseClick(d.ButtOK, Qt::LeftButton);
            },
            [&] { m_win->TButSettings->trigger(); });
        expectWindowIn(false);
        QCOMPARE(AppSettings().SelectLanguage(), QStringLiteral("brae_eng.ini"));
    }

    void cancelEscapeAndCloseChangeNothing()
    {
        createWindows();
        const auto edit = [&] {
            TBraeSettingsWin& d = *m_settings;
            d.SaveToFolder->setText(QStringLiteral("/elsewhere/"));
            d.CBoxDownloadAllSoundFiles->setChecked(true);
            d.LngList->setCurrentIndex(0);
        };
        whileOpen(
            m_settings.get(),
            [&] {
                edit();
                QTest::mouseClick(m_settings->ButtCancel, Qt::LeftButton);
            },
            [&] { m_settings->ShowModal(); });
        whileOpen(
            m_settings.get(),
            [&] {
                edit();
                QTest::keyClick(m_settings.get(), Qt::Key_Escape);
            },
            [&] { m_settings->ShowModal(); });
        whileOpen(
            m_settings.get(),
            [&] {
                edit();
                m_settings->close();
            },
            [&] { m_settings->ShowModal(); });
        QCOMPARE(AppSettings().SaveToFolder(), m_work.filePath(QStringLiteral("save/")));
        QVERIFY(!AppSettings().DownloadAllSoundFiles());
        QCOMPARE(AppSettings().SelectLanguage(), QStringLiteral("brae_eng.ini"));
        QVERIFY(m_store.written.isEmpty());
        // Each showing starts from the settings again.
        whileOpen(
            m_settings.get(),
            [&] {
                QCOMPARE(m_settings->SaveToFolder->text(),
                         m_work.filePath(QStringLiteral("save/")));
                QVERIFY(!m_settings->CBoxDownloadAllSoundFiles->isChecked());
            },
            [&] { m_settings->ShowModal(); });
    }

    void aboutBoxShowsTheVersionAndTheSite()
    {
        createWindows();
        whileOpen(
            m_about.get(),
            [&] {
                TAboutWin& a = *m_about;
                QCOMPARE(a.windowTitle(), QStringLiteral("About"));
                QCOMPARE(a.LabelVer->text(), QStringLiteral("Version:2.8"));
                QCOMPARE(a.GBoxInfo->title(), QStringLiteral("Info"));
                QCOMPARE(a.SoftMemo->toPlainText(),
                         QStringLiteral("A free program that downloads audio from ") +
                             Hosts().SoundCloudWeb);
                QVERIFY(a.SoftMemo->isReadOnly());
                qbtest::screenshot(&a, "about.png");
                QTest::mouseClick(a.Buttwebsite, Qt::LeftButton);
                QCOMPARE(m_desktop.opened, QStringList{Hosts().makerPage(QStringLiteral("/"))});
                QTest::mouseClick(a.ButtClose, Qt::LeftButton);
                QVERIFY(!a.isVisible());
            },
            [&] { m_win->ButtAbout->trigger(); });
        // In another language at its next showing.
        QVERIFY(LoadLanguageFile(m_appDir.filePath(QStringLiteral("language/brae_deu.ini"))));
        whileOpen(
            m_about.get(),
            [&] {
                QCOMPARE(m_about->windowTitle(), QStringLiteral("Über"));
                QCOMPARE(m_about->ButtClose->text(), QStringLiteral("Schließen"));
                QCOMPARE(m_about->LabelVer->text(), QStringLiteral("Version:2.8"));
            },
            [&] { m_win->PMenuBraeAbout->trigger(); });
    }

    void addLinksKeepsWhatWasTypedWhenShownAgain()
    {
        createWindows();
        whileOpen(
            m_add.get(),
            [&] {
                m_add->Link->setPlainText(QStringLiteral("typed before minimising"));
                m_add->CBoximmediately->setChecked(false);
                // What a restore from minimised sends.
                QShowEvent restored;
                QCoreApplication::sendEvent(m_add.get(), &restored);
                QCOMPARE(m_add->Link->toPlainText(), QStringLiteral("typed before minimising"));
                QVERIFY(!m_add->CBoximmediately->isChecked());
            },
            [&] { m_add->ShowModal(); });
        // Opened again, it starts empty.
        whileOpen(
            m_add.get(),
            [&] {
                QVERIFY(m_add->Link->toPlainText().isEmpty());
                QVERIFY(m_add->CBoximmediately->isChecked());
            },
            [&] { m_add->ShowModal(); });
    }

    void messageBoxesShowPlainText()
    {
        QWidget owner;
        QtPrompts prompts(&owner);
        const QString text = QStringLiteral("Find the latest version: <a href=\"http://x/\">9</a>");
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->text(), text);
            seen = true;
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!prompts.askYesNo(text));
        QVERIFY(seen);
    }

    void windowAsksAboutANewVersionShortlyAfterItOpens()
    {
        qbtest::TFakeMakerSite site;
        site.SetReply(qbtest::TVerReply::Plain, QStringLiteral("9.9"));
        site.UseAsMaker();
        m_prompts.answers = {true};
        createWindows();
        QTRY_COMPARE_WITH_TIMEOUT(m_prompts.questions.size(), 1, 20000);
        QCOMPARE(m_prompts.questions.first(),
                 QStringLiteral("A newer version is available: 9.9\nDo you want to download it?"));
        QCOMPARE(m_desktop.opened, QStringList{Hosts().makerPage(QStringLiteral("/download.htm"))});
        // Help, Check for updates asks again and reports.
        site.SetReply(qbtest::TVerReply::Plain, QStringLiteral("2.8"));
        m_win->PMenyBraeChecktheupdate->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_prompts.messages.size(), 1, 20000);
        QCOMPARE(m_prompts.messages.first(), Lang("Msg1_1"));
        QCOMPARE(site.VersionRequests(), 2);
    }

    void stalledSiteDelaysNeitherTheWindowNorADownload()
    {
        qbtest::TFakeMakerSite site;
        site.SetReply(qbtest::TVerReply::Stalled);
        site.UseAsMaker();
        qbtest::TFakeSoundCloud sc;
        sc.UseAsSoundCloud();
        createWindows();
        QVERIFY(site.Server().WaitForRequests(1, 10s));
        QVERIFY(m_controller->VersionCheck().VersionCheckRunning());
        m_controller->ListCommands().AddLinks(sc.AddTrack({.name = "Meanwhile", .size = 4000}),
                                              true);
        TDownloadState& state = m_controller->Downloads();
        QTRY_COMPARE_WITH_TIMEOUT(state.DownloadJobs.Job(1)->t_Status.load(), int(JOB_FINISHED),
                                  20000);
        QVERIFY(QFile::exists(m_work.filePath(QStringLiteral("save/Meanwhile.mp3"))));
        QVERIFY(m_controller->VersionCheck().VersionCheckRunning());
        // Ending the program while the check still waits: its thread ends and cleans up.
        QTRY_COMPARE(m_controller->LiveWorkers(), 0);
        destroyWindows();
        QTRY_COMPARE(ThreadRegistry::LiveCount(), 0);
        QVERIFY(!QFile::exists(m_work.filePath(QStringLiteral("data/ver.ini"))));
        QVERIFY(m_prompts.messages.isEmpty() && m_prompts.questions.isEmpty());
    }
};

QB_TEST(TestDialogs, "gui");
#include "TestDialogs.moc"
