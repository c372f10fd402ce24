// quillbrook-cli: Quillbrook's download engine without a window.
//
//   quillbrook-cli download LINK... [--save-to DIR]
//   quillbrook-cli follow add|remove|list|auto-check ...
//   quillbrook-cli check [NAME...] [--download] | check --daily
//   quillbrook-cli version [--check]
#include "CliCheck.h"
#include "CliDownloader.h"
#include "CliFollow.h"
#include "app/Folders.h"
#include "app/SettingsStore.h"
#include "app/Startup.h"
#include "base/AppSettings.h"
#include "base/ProgramVersion.h"
#include "base/TMessageQueue.h"
#include "base/ThreadRegistry.h"
#include "language/LangStrings.h"
#include "update/TVersionCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// Ctrl+C and SIGTERM: the first calls onFirst, a second one ends the process at once.
void installInterrupt(std::function<void()> onFirst)
{
    if (::pipe(g_signalPipe) != 0)
        return;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    auto* notifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [onFirst = std::move(onFirst)] {
        static int signals = 0;
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        if (++signals > 1) {
            std::fflush(nullptr);
            std::_Exit(130);
        }
        onFirst();
    });
}

int usage(FILE* to)
{
    std::fputs(
        "Usage: quillbrook-cli download LINK... [--save-to DIR]\n"
        "       quillbrook-cli follow add NAME... | remove NAME... | list |\n"
        "                             auto-check NAME on|off\n"
        "       quillbrook-cli check [NAME...] [--download] | check --daily\n"
        "       quillbrook-cli version [--check]\n"
        "\n"
        "download: downloads SoundCloud track links into the save folder of your\n"
        "settings (or DIR), up to ten at once, and exits when every job has ended: 0 when\n"
        "all finished, 1 otherwise. Ctrl+C stops the running downloads.\n"
        "\n"
        "follow: changes and lists the followed users of the window (not while it runs:\n"
        "exit code 3).\n"
        "\n"
        "check: looks for new tracks of the named followed users (all when none is\n"
        "named); --download also downloads the newest of them as the settings say.\n"
        "check --daily runs the daily check of the window's start: users with\n"
        "auto-check on who were not checked today, downloads on. Exit code 1 when a\n"
        "check or a download failed, 3 while the window runs.\n"
        "\n"
        "version: prints the program's version. With --check, asks our web site for the\n"
        "latest version and prints \"newer: X\" or \"latest\" (exit 0) or \"failed: reason\"\n"
        "(exit 1).\n",
        to);
    return to == stdout ? 0 : 2;
}

// quillbrook-cli version [--check]
int runVersion(const QStringList& args, const char* argv0)
{
    if (args.isEmpty()) {
        std::printf("%s\n", qPrintable(ProgramVersion()));
        return 0;
    }
    if (args != QStringList{QStringLiteral("--check")})
        return usage(stderr);
    {
        NativeSettingsBackend store;
        PrepareSession(ExecutablePath(argv0), DocumentsFolder(), store);
    }
    TMessageQueue queue;
    TVersionCheck check(queue);
    check.Connect();
    int code = 1;
    bool reported = false;
    check.OnReport = [&code, &reported](const TVersionOutcome& outcome) {
        switch (outcome.kind) {
        case TVersionOutcome::Newer:
            std::printf("newer: %s\n", qPrintable(outcome.version));
            code = 0;
            break;
        case TVersionOutcome::Latest:
            std::printf("latest\n");
            code = 0;
            break;
        case TVersionOutcome::Failed:
            std::printf("failed: %s\n", qPrintable(outcome.reason));
            code = 1;
            break;
        }
        std::fflush(stdout);
        reported = true;
        QCoreApplication::exit(code);
    };
    check.WMCheckVersion(1);
    if (!reported)
        code = QCoreApplication::exec();
    // The check's thread may still be ending; it uses nothing a normal exit destroys, but
    // leave nothing to chance.
    if (ThreadRegistry::LiveCount() > 0) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.contains(QLatin1String("--help")) ||
        args.contains(QLatin1String("-h")))
        return usage(args.isEmpty() ? stderr : stdout);
    const QString command = args.takeFirst();
    if (command == QLatin1String("follow")) {
        NativeSettingsBackend store;
        if (!PrepareSession(ExecutablePath(argv[0]), DocumentsFolder(), store))
            LoadDefaultLanguage();
        return RunFollowCommand(args, ::isatty(STDOUT_FILENO) == 1);
    }
    if (command == QLatin1String("check")) {
        NativeSettingsBackend store;
        if (!PrepareSession(ExecutablePath(argv[0]), DocumentsFolder(), store))
            LoadDefaultLanguage();
        return RunCheckCommand(args, ::isatty(STDOUT_FILENO) == 1, installInterrupt);
    }
    if (command == QLatin1String("version"))
        return runVersion(args, argv[0]);
    if (command != QLatin1String("download"))
        return usage(stderr);

    QString saveTo;
    QStringList links;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--save-to")) {
            if (i + 1 >= args.size())
                return usage(stderr);
            saveTo = args[++i];
        } else if (args[i].startsWith(QLatin1String("--save-to="))) {
            saveTo = args[i].mid(10);
        } else {
            links.append(args[i]);
        }
    }
    if (links.isEmpty())
        return usage(stderr);

    // The user's own settings and folders; --save-to applies to this run only.
    TAppSettings& settings = AppSettings();
    bool languageLoaded = false;
    {
        NativeSettingsBackend store;
        languageLoaded = PrepareSession(ExecutablePath(argv[0]), DocumentsFolder(), store);
    }
    if (!languageLoaded)
        LoadDefaultLanguage();
    if (!saveTo.isEmpty())
        settings.SetSaveToFolder(WithTrailingSlash(QDir(saveTo).absolutePath()));

    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    TCliDownloader downloader(terminal);
    if (downloader.Add(links) == 0) {
        std::fputs("No SoundCloud link to download.\n", stderr);
        return 2;
    }
    std::printf("Saving to %s\n", qPrintable(settings.SaveToFolder()));

    // Ctrl+C and SIGTERM: the first stops the downloads, a second one ends at once.
    installInterrupt([&downloader] { downloader.Interrupt(); });

    downloader.Start();
    const int code = QCoreApplication::exec();
    // A thread of ours still running uses what a normal exit would destroy.
    if (ThreadRegistry::LiveCount() > 0) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
