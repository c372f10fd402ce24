// Quillbrook's entry point: start-up on the core side, windows on the desktop side.
#include "app/Folders.h"
#include "app/SettingsStore.h"
#include "app/Startup.h"
#include "ui/DesktopFrontEnd.h"

int main(int argc, char** argv)
{
    StartupOptions options;
    options.executablePath = ExecutablePath(argv[0]);
    options.documentsFolder = DocumentsFolder();
    options.openSettings = [] {
        return std::make_unique<NativeSettingsBackend>();
    };
    DesktopFrontEnd frontEnd(argc, argv);
    return RunStartup(options, frontEnd);
}
