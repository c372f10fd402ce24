#include "Startup.h"

#include "Folders.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "base/AppSettings.h"
#include "base/ServiceHosts.h"
#include "language/LangStrings.h"

bool PrepareSession(const QString& executablePath, const QString& documentsFolder,
                    ISettingsBackend& store)
{
    TAppSettings& app = AppSettings();
    app.SetDataDir(DataDirFrom(documentsFolder));
    app.SetAppDir(AppDirFrom(executablePath));
    ApplyStoredSettings(ReadSettings(store, app.DataDir()));
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
    if (!languageLoaded) {
        frontEnd.showStartupError(QStringLiteral("Failed to read language file:") +
                                  app.LanguageFilePath() + QStringLiteral(", reinstall."));
        return 0;
    }
    frontEnd.runWindows();
    return 0;
}
