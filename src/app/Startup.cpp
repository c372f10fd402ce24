#include "Startup.h"

#include "Folders.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "follow/PeopleFileLock.h"
#include "follow/TPeopleFile.h"
#include "language/LangStrings.h"

#include <cstdio>

bool PrepareSession(const QString& executablePath, const QString& documentsFolder,
                    ISettingsBackend& store)
{
    TAppSettings& app = AppSettings();
    app.SetDataDir(DataDirFrom(documentsFolder));
    app.SetAppDir(AppDirFrom(executablePath));
    QString note;
    ApplyStoredSettings(ReadSettings(store, app.DataDir(), &note));
    if (!note.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(note));
    // Read the host configuration now, before any thread asks for it.
    Hosts();
    app.SetLanguageLoaded(LoadLanguageFile(app.LanguageFilePath()));
    return app.LanguageLoaded();
}

int RunStartup(const StartupOptions& options, IStartupFrontEnd& frontEnd)
{
    TAppSettings& app = AppSettings();
    app.SetAppFormatSettings({QLatin1Char(','), QLatin1Char('.')});

    SingleInstance instance;
    if (!instance.tryAcquire())
        return frontEnd.passToRunningCopy() ? 0 : 1;

    bool languageLoaded = false;
    {
        std::unique_ptr<ISettingsBackend> store = options.openSettings();
        languageLoaded = PrepareSession(options.executablePath, options.documentsFolder, *store);
    }
    // Held until the window has closed and saved the followed users: a quillbrook-cli
    // command of any runtime folder meets it.
    PeopleFileLock peopleLock(TPeopleFile::DefaultPath());
    if (!peopleLock.tryLock()) {
        frontEnd.showStartupError(
            peopleLock.Refusal() +
            (peopleLock.HeldByOther() ? QStringLiteral(" Start Quillbrook again when it has ended.")
                                      : QStringLiteral(" Quillbrook does not start without it.")));
        return 1;
    }
    if (!languageLoaded) {
        frontEnd.showStartupError(QStringLiteral("Failed to read language file:") +
                                  app.LanguageFilePath() + QStringLiteral(", reinstall."));
        return 0;
    }
    frontEnd.runWindows();
    return 0;
}
