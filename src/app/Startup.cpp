#include "Startup.h"

#include "AppSettings.h"
#include "Folders.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "language/LangStrings.h"

int RunStartup(const StartupOptions& options, IStartupFrontEnd& frontEnd)
{
    TAppSettings& app = AppSettings();
    app.SetAppFormatSettings({QLatin1Char(','), QLatin1Char('.')});

    SingleInstance instance;
    if (!instance.tryAcquire())
        return 0;

    app.SetDataDir(DataDirFrom(options.documentsFolder));
    app.SetAppDir(AppDirFrom(options.executablePath));

    {
        std::unique_ptr<ISettingsBackend> store = options.openSettings();
        ApplyStoredSettings(ReadSettings(*store, app.DataDir()));
    }

    const QString languageFile = app.LanguageFilePath();
    app.SetLanguageLoaded(LoadLanguageFile(languageFile));
    if (!app.LanguageLoaded()) {
        frontEnd.showStartupError(QStringLiteral("Failed to read language file:") + languageFile +
                                  QStringLiteral(", reinstall."));
        return 0;
    }
    frontEnd.runWindows();
    return 0;
}
