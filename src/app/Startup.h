#pragma once

#include <QString>

#include <functional>
#include <memory>

class ISettingsBackend;

// What start-up needs from the desktop side, which owns the GUI application.
class IStartupFrontEnd
{
public:
    virtual ~IStartupFrontEnd() = default;
    // Shows one message box with the text and returns once it is dismissed.
    virtual void showStartupError(const QString& text) = 0;
    // Creates the windows and runs the message loop until the main window has closed.
    virtual int runWindows() = 0;
    // Another copy of the program already runs: hands it the links the program was started
    // with and asks it to bring its window to the front. False when links were given and
    // could not be delivered (the front end has said why).
    virtual bool passToRunningCopy() { return true; }
};

struct StartupOptions
{
    QString executablePath;
    QString documentsFolder;
    // Opens the settings store; called once, only when start-up gets that far.
    std::function<std::unique_ptr<ISettingsBackend>()> openSettings;
};

// What both front ends need before anything else: the folders, the stored settings, the
// language file of the settings and the host configuration. Returns whether the language
// file loaded (AppSettings().LanguageLoaded() says the same).
bool PrepareSession(const QString& executablePath, const QString& documentsFolder,
                    ISettingsBackend& store);

// The program's start-up: single instance, folders, settings, language, windows. Returns
// the process exit code.
int RunStartup(const StartupOptions& options, IStartupFrontEnd& frontEnd);
