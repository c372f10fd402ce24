#include "FakeDesktop.h"
#include "MemorySettings.h"
#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include "app/SettingsFile.h"
#include "app/SettingsForm.h"
#include "app/SettingsStore.h"
#include "base/AppSettings.h"
#include "language/LangStrings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Hands the form a store that writes into the test's own one.
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

// What OK in the settings dialog does with what was typed and chosen: the settings in
// memory, the stored values, the message and whether the dialog stays open.
class TestSettingsForm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_appDir;
    QTemporaryDir m_work;
    FakePrompts m_prompts;
    MemorySettings m_store;
    std::unique_ptr<SettingsForm> m_form;
    std::unique_ptr<LanguageTarget> m_mainWindow;
    int m_mainWindowTexted = 0;

    QString languageDir() const { return m_appDir.filePath(QStringLiteral("language/")); }

    int indexOf(const QString& displayName) const
    {
        for (size_t i = 0; i < m_form->Languages.size(); ++i) {
            if (m_form->Languages[i].displayName == displayName)
                return static_cast<int>(i);
        }
        return -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(languageDir()));
        for (const char* file : {"brae_eng.ini", "brae_deu.ini"})
            QVERIFY(
                QFile::copy(qbtest::sourceLanguageDir() + QLatin1Char('/') + QLatin1String(file),
                            languageDir() + QLatin1String(file)));
        // Listed by display name, not by file name; a file without one is not offered.
        QFile extra(languageDir() + QStringLiteral("a_extra.ini"));
        QVERIFY(extra.open(QIODevice::WriteOnly));
        extra.write("[Info]\nLanguage=Esperanto\n[AllStrings]\nString1_48=Dosiero\n");
        extra.close();
        QFile nameless(languageDir() + QStringLiteral("nameless.ini"));
        QVERIFY(nameless.open(QIODevice::WriteOnly));
        nameless.write("[Info]\nLanguage=  \n[AllStrings]\nString1_48=X\n");
        nameless.close();
    }

    void init()
    {
        TAppSettings& app = AppSettings();
        app.SetAppDir(m_appDir.path() + QLatin1Char('/'));
        app.SetDataDir(m_work.filePath(QStringLiteral("data/")));
        app.SetSaveToFolder(m_work.filePath(QStringLiteral("old/")));
        app.SetDownloadAllSoundFiles(false);
        app.SetLatestTrackCount(5);
        app.SetSelectLanguage(QStringLiteral("brae_eng.ini"));
        QVERIFY(LoadLanguageFile(languageDir() + QStringLiteral("brae_eng.ini")));
        app.SetLanguageLoaded(true);
        m_prompts = FakePrompts();
        m_store = MemorySettings();
        m_form = std::make_unique<SettingsForm>(
            m_prompts, [this] { return std::make_unique<ForwardingStore>(m_store); });
        m_mainWindowTexted = 0;
        m_mainWindow =
            std::make_unique<LanguageTarget>(LANG_MAIN_WINDOW, [this] { ++m_mainWindowTexted; });
        m_form->FormShow();
    }

    void cleanup()
    {
        m_mainWindow.reset();
        m_form.reset();
    }

    void showFillsTheFields()
    {
        QCOMPARE(m_form->SaveToFolder, m_work.filePath(QStringLiteral("old/")));
        QVERIFY(m_form->LatestTrackCountEnabled());
        QCOMPARE(m_form->LatestTrackCount, 5);
        QStringList names;
        for (const TLanguageChoice& c : m_form->Languages)
            names << c.displayName;
        QCOMPARE(names, (QStringList{"Deutsch", "English", "Esperanto"}));
        QCOMPARE(m_form->LanguageIndex, indexOf(QStringLiteral("English")));
        // The current file is found ignoring case.
        AppSettings().SetSelectLanguage(QStringLiteral("BRAE_DEU.INI"));
        AppSettings().SetDownloadAllSoundFiles(true);
        m_form->FormShow();
        QCOMPARE(m_form->LanguageIndex, indexOf(QStringLiteral("Deutsch")));
        QVERIFY(!m_form->LatestTrackCountEnabled());
        // The chooser starts at the typed folder, or the data folder when none is typed.
        m_form->SaveToFolder = QStringLiteral("  /srv/music/ ");
        QCOMPARE(m_form->BrowseStartFolder(), QStringLiteral("/srv/music/"));
        m_form->SaveToFolder.clear();
        QCOMPARE(m_form->BrowseStartFolder(), AppSettings().DataDir());
        QCOMPARE(SettingsForm::ChosenFolderText(QStringLiteral("/srv/a")),
                 QStringLiteral("/srv/a/"));
        QCOMPARE(SettingsForm::ChosenFolderText(QStringLiteral("/")), QStringLiteral("/"));
    }

    void ok_data()
    {
        QTest::addColumn<QString>("folder"); // "{w}" is a scratch folder, "~" the home
        QTest::addColumn<bool>("downloadAll");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("language");    // display name; empty: nothing selected
        QTest::addColumn<QString>("result");      // close, focus or stay
        QTest::addColumn<QString>("savedFolder"); // expected in memory and stored
        QTest::addColumn<int>("savedCount");
        QTest::addColumn<QString>("savedLanguage");
        QTest::addColumn<QString>("message"); // the start of the message shown; empty: none

        const QString none;
        QTest::newRow("folder gets its slash") << "{w}/a" << false << 7 << "English"
                                               << "close"
                                               << "{w}/a/" << 7 << "brae_eng.ini" << none;
        QTest::newRow("folder with slash kept, blanks trimmed")
            << "  {w}/b/ " << true << 3 << "English"
            << "close"
            << "{w}/b/" << 3 << "brae_eng.ini" << none;
        QTest::newRow("home folder expanded") << "~/Music" << false << 5 << "English"
                                              << "close"
                                              << "~/Music/" << 5 << "brae_eng.ini" << none;
        QTest::newRow("count below 1 is 1") << "{w}/c" << false << -3 << "English"
                                            << "close"
                                            << "{w}/c/" << 1 << "brae_eng.ini" << none;
        QTest::newRow("count above 9999 is 9999") << "{w}/c" << true << 12000 << "English"
                                                  << "close"
                                                  << "{w}/c/" << 9999 << "brae_eng.ini" << none;
        QTest::newRow("no language selected keeps the language")
            << "{w}/d" << false << 5 << ""
            << "close"
            << "{w}/d/" << 5 << "brae_eng.ini" << none;
        QTest::newRow("German") << "{w}/e" << false << 5 << "Deutsch"
                                << "close"
                                << "{w}/e/" << 5 << "brae_deu.ini" << none;
        QTest::newRow("empty folder") << "   " << false << 5 << "Deutsch"
                                      << "focus"
                                      << "{old}" << 5 << "brae_eng.ini"
                                      << "Please enter the folder of saving downloaded files";
        QTest::newRow("relative folder") << "music" << false << 5 << "Deutsch"
                                         << "focus"
                                         << "{old}" << 5 << "brae_eng.ini"
                                         << "The save folder must be a full path";
        QTest::newRow("folder below a file") << "{w}/file/x" << false << 5 << "Deutsch"
                                             << "focus"
                                             << "{old}" << 5 << "brae_eng.ini"
                                             << "The save folder cannot be created:";
        // Not writable even for root.
        QTest::newRow("folder not writable") << "/proc/self" << false << 5 << "Deutsch"
                                             << "focus"
                                             << "{old}" << 5 << "brae_eng.ini"
                                             << "The save folder is not writable:";
    }
    void ok()
    {
        QFETCH(QString, folder);
        QFETCH(bool, downloadAll);
        QFETCH(int, count);
        QFETCH(QString, language);
        QFETCH(QString, result);
        QFETCH(QString, savedFolder);
        QFETCH(int, savedCount);
        QFETCH(QString, savedLanguage);
        QFETCH(QString, message);
        const QString work = m_work.path();
        QFile file(work + QStringLiteral("/file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const auto expand = [&](QString s) {
            return s.replace(QLatin1String("{w}"), work)
                .replace(QLatin1String("{old}"), work + QStringLiteral("/old/"))
                .replace(QLatin1String("~"), QDir::homePath());
        };

        m_form->SaveToFolder = folder.replace(QLatin1String("{w}"), work);
        m_form->DownloadAllSoundFiles = downloadAll;
        m_form->LatestTrackCount = count;
        m_form->LanguageIndex = language.isEmpty() ? -1 : indexOf(language);
        const SettingsForm::TOkResult got = m_form->ButtOKClick();
        const QString gotText = got == SettingsForm::TOkResult::Close         ? "close"
                                : got == SettingsForm::TOkResult::FocusFolder ? "focus"
                                                                              : "stay";
        QCOMPARE(gotText, result);

        const TAppSettings& app = AppSettings();
        QCOMPARE(app.SaveToFolder(), expand(savedFolder));
        QCOMPARE(app.LatestTrackCount(), savedCount);
        QCOMPARE(app.SelectLanguage(), savedLanguage);
        QVERIFY(app.LanguageLoaded());
        if (result == QLatin1String("close")) {
            QVERIFY(QFileInfo(app.SaveToFolder()).isDir());
            QCOMPARE(app.DownloadAllSoundFiles(), downloadAll);
            QCOMPARE(m_store.written, (QStringList{"SaveToFolder", "DownloadAllSoundFiles",
                                                   "LatestTrackCount", "SelectLanguage"}));
            QCOMPARE(m_store.values.value("SaveToFolder"), expand(savedFolder));
            QCOMPARE(m_store.values.value("DownloadAllSoundFiles"),
                     QString::number(downloadAll ? 1 : 0));
            QCOMPARE(m_store.values.value("LatestTrackCount"), QString::number(savedCount));
            QCOMPARE(m_store.values.value("SelectLanguage"), savedLanguage);
            QVERIFY(m_prompts.messages.isEmpty());
        } else {
            QVERIFY(!app.DownloadAllSoundFiles());
            QVERIFY(m_store.written.isEmpty());
            QCOMPARE(m_prompts.messages.size(), 1);
            QVERIFY2(m_prompts.messages.first().startsWith(message),
                     qPrintable(m_prompts.messages.first()));
        }
        // The main window is re-texted at once exactly when the language changed.
        const bool german = savedLanguage == QLatin1String("brae_deu.ini");
        QCOMPARE(m_mainWindowTexted, german ? 1 : 0);
        QCOMPARE(Lang("String1_48"), german ? QStringLiteral("Datei") : QStringLiteral("File"));
    }

    void languageThatFailsToLoadIsNotTheChoice()
    {
        const QString path = languageDir() + QStringLiteral("a_extra.ini");
        QVERIFY(QFile::copy(path, m_work.filePath(QStringLiteral("a_extra.ini"))));
        m_form->SaveToFolder = m_work.filePath(QStringLiteral("f"));
        m_form->LanguageIndex = indexOf(QStringLiteral("Esperanto"));
        QVERIFY(QFile::remove(path)); // gone between showing the list and OK
        QCOMPARE(m_form->ButtOKClick(), SettingsForm::TOkResult::Stay);
        QVERIFY(QFile::copy(m_work.filePath(QStringLiteral("a_extra.ini")), path));
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages.first().startsWith(
            QStringLiteral("The language file cannot be loaded:\n") + path));
        QCOMPARE(AppSettings().SelectLanguage(), QStringLiteral("brae_eng.ini"));
        QCOMPARE(AppSettings().SaveToFolder(), m_work.filePath(QStringLiteral("old/")));
        QVERIFY(AppSettings().LanguageLoaded());
        QCOMPARE(Lang("String1_48"), QStringLiteral("File"));
        QVERIFY(m_store.written.isEmpty());
        QCOMPARE(m_mainWindowTexted, 0);
    }

    void failingStoreSaysSoAndStaysOpenButTheSettingsHold()
    {
        m_store.failFromWrite = 1; // the second write fails
        m_form->SaveToFolder = m_work.filePath(QStringLiteral("g"));
        m_form->DownloadAllSoundFiles = true;
        m_form->LatestTrackCount = 9;
        m_form->LanguageIndex = indexOf(QStringLiteral("Deutsch"));
        QCOMPARE(m_form->ButtOKClick(), SettingsForm::TOkResult::Stay);
        QCOMPARE(m_store.written, (QStringList{"SaveToFolder", "DownloadAllSoundFiles"}));
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages[0].contains(QLatin1String("could not be saved")));
        QCOMPARE(AppSettings().SaveToFolder(), m_work.filePath(QStringLiteral("g/")));
        QVERIFY(AppSettings().DownloadAllSoundFiles());
        QCOMPARE(AppSettings().LatestTrackCount(), 9);
        QCOMPARE(AppSettings().SelectLanguage(), QStringLiteral("brae_deu.ini"));
        QCOMPARE(m_mainWindowTexted, 1);
    }

    // The real settings file on a real full disk: the dialog says so and stays open, and
    // the file is as it was.
    void fullConfigDisk()
    {
        const QString file = SettingsFilePath();
        qbtest::SmallDisk disk(QFileInfo(file).absolutePath());
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        {
            NativeSettingsBackend store;
            QCOMPARE(WriteSettings(store, {m_work.filePath(QStringLiteral("old/")), false, 5,
                                           QStringLiteral("brae_eng.ini")}),
                     QString());
        }
        const QByteArray before = [&file] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(before.contains("SaveToFolder"));
        QVERIFY(disk.fill());
        SettingsForm form(m_prompts, [] { return std::make_unique<NativeSettingsBackend>(); });
        form.FormShow();
        form.SaveToFolder = m_work.filePath(QStringLiteral("new"));
        form.LatestTrackCount = 77;
        QCOMPARE(form.ButtOKClick(), SettingsForm::TOkResult::Stay);
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY2(m_prompts.messages[0].contains(file + QStringLiteral(": No space left on device")),
                 qPrintable(m_prompts.messages[0]));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QB_TEST(TestSettingsForm, "unit");
#include "TestSettingsForm.moc"
