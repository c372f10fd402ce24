// quillbrook-cli: Quillbrook's download engine without a window.
//
//   quillbrook-cli download LINK... [--save-to DIR]
//   quillbrook-cli follow add|remove|list|auto-check ...
//   quillbrook-cli check [NAME...] [--download] | check --daily
//   quillbrook-cli version [--check]
#include "CliCheck.h"
#include "CliDownloader.h"
#include "CliFollow.h"
#include "TerminalText.h"
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

#include <algorithm>
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

const char* const kDownloadUsage =
    "Usage: quillbrook-cli download LINK... [--save-to DIR]\n"
    "\n"
    "Downloads SoundCloud track links and YouTube video links (a video becomes an MP3) into\n"
    "the save folder of your settings (or DIR), up to ten at once, and exits when every job\n"
    "has ended: 0 when all finished, 1 otherwise (each failed link is named with the\n"
    "reason). Ctrl+C stops the running downloads and conversions.\n";

const char* const kFollowUsage =
    "Usage: quillbrook-cli follow add NAME... | remove NAME... | list |\n"
    "                             auto-check NAME on|off\n"
    "\n"
    "Changes and lists the followed users of the window (not while it or another follow or\n"
    "check command runs: exit code 3).\n";

const char* const kCheckUsage =
    "Usage: quillbrook-cli check [NAME...] [--download]\n"
    "       quillbrook-cli check --daily\n"
    "\n"
    "Looks for new tracks of the named followed users (all when none is named); --download\n"
    "also downloads the newest of them as the settings say. --daily runs the daily check of\n"
    "the window's start: users with auto-check on who were not checked today, downloads on.\n"
    "Exit code 1 when a check or a download failed, 3 while the window or another follow or\n"
    "check command runs.\n";

const char* const kVersionUsage =
    "Usage: quillbrook-cli version [--check]\n"
    "\n"
    "Prints the program's version. With --check, asks our web site for the latest version\n"
    "and prints \"newer: X\" or \"latest\" (exit 0) or \"failed: reason\" (exit 1).\n";

// Every command's help, one after the other.
int usage(FILE* to)
{
    for (const char* text : {kDownloadUsage, kFollowUsage, kCheckUsage, kVersionUsage}) {
        std::fputs(text, to);
        std::fputs("\n", to);
    }
    std::fputs("quillbrook-cli --version | --help | COMMAND --help\n", to);
    return to == stdout ? 0 : 2;
}

// A mistake in the command line: says what is wrong and how to ask for help; exit code 2.
int argumentError(const QString& what, const char* command = nullptr)
{
    std::fprintf(stderr, "quillbrook-cli: %s\nTry 'quillbrook-cli %s--help'.\n", qPrintable(what),
                 command ? (QByteArray(command) + ' ').constData() : "");
    return 2;
}

bool isHelp(const QString& arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

// quillbrook-cli version [--check]
int runVersion(const QStringList& args, const char* argv0)
{
    if (args.isEmpty()) {
        std::printf("%s\n", qPrintable(ProgramVersion()));
        return 0;
    }
    for (const QString& arg : args) {
        if (arg != QLatin1String("--check"))
            return argumentError((arg.startsWith(QLatin1Char('-'))
                                      ? QStringLiteral("unknown option: ")
                                      : QStringLiteral("unexpected argument: ")) +
                                     arg,
                                 "version");
    }
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
            std::printf("newer: %s\n", qPrintable(TerminalSafe(outcome.version)));
            code = 0;
            break;
        case TVersionOutcome::Latest:
            std::printf("latest\n");
            code = 0;
            break;
        case TVersionOutcome::Failed:
            // The reason may carry the server's own words.
            std::printf("failed: %s\n", qPrintable(TerminalSafe(outcome.reason)));
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
    if (args.isEmpty())
        return usage(stderr);
    const QString command = args.takeFirst();
    if (isHelp(command))
        return usage(stdout);
    if (command == QLatin1String("--version")) {
        std::printf("quillbrook-cli %s\n", qPrintable(ProgramVersion()));
        return 0;
    }
    const char* commandUsage = command == QLatin1String("download")  ? kDownloadUsage
                               : command == QLatin1String("follow")  ? kFollowUsage
                               : command == QLatin1String("check")   ? kCheckUsage
                               : command == QLatin1String("version") ? kVersionUsage
                                                                     : nullptr;
    if (!commandUsage) {
        return argumentError((command.startsWith(QLatin1Char('-'))
                                  ? QStringLiteral("unknown option: ")
                                  : QStringLiteral("unknown command: ")) +
                             command);
    }
    if (std::any_of(args.begin(), args.end(), isHelp)) {
        std::fputs(commandUsage, stdout);
        return 0;
    }
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

    QString saveTo;
    QStringList links;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--save-to")) {
            if (i + 1 >= args.size())
                return argumentError(QStringLiteral("--save-to needs a folder"), "download");
            saveTo = args[++i];
        } else if (args[i].startsWith(QLatin1String("--save-to="))) {
            saveTo = args[i].mid(10);
        } else if (args[i] == QLatin1String("--")) {
            links += args.mid(i + 1);
            break;
        } else if (args[i].startsWith(QLatin1Char('-'))) {
            return argumentError(QStringLiteral("unknown option: ") + args[i], "download");
        } else {
            links.append(args[i]);
        }
    }
    if (links.isEmpty())
        return argumentError(QStringLiteral("no link to download"), "download");

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
