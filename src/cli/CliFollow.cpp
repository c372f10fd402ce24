#include "CliFollow.h"

#include "CliPeopleLocks.h"
#include "base/TextHelpers.h"
#include "follow/FollowFormats.h"
#include "follow/TFollowedPeople.h"
#include "follow/TPeopleFile.h"
#include "language/LangStrings.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

int Usage()
{
    std::fputs("Usage: quillbrook-cli follow add NAME...\n"
               "       quillbrook-cli follow remove NAME...\n"
               "       quillbrook-cli follow list\n"
               "       quillbrook-cli follow auto-check NAME on|off\n",
               stderr);
    return kExitUsage;
}

void PrintList(const TFollowedPeople& store, bool terminal)
{
    std::vector<QStringList> rows;
    const int count = store.FollowedPeopleCount();
    for (int id = 1; id <= count; ++id) {
        const auto p = store.Summary(id);
        if (!p || p->status == PEOPLE_DELETED)
            continue;
        rows.push_back({p->name, QString::number(p->autoCheck), QString::number(p->tracksCount),
                        QString::number(p->downloadedCount), FormatCheckTime(p->lastCheckTime)});
    }
    if (!terminal) {
        for (const QStringList& row : rows)
            std::printf("%s\n", qPrintable(row.join(QLatin1Char('\t'))));
        return;
    }
    rows.insert(rows.begin(),
                {QStringLiteral("NAME"), QStringLiteral("AUTO-CHECK"), QStringLiteral("TRACKS"),
                 QStringLiteral("DOWNLOADED"), QStringLiteral("LAST CHECK")});
    std::vector<qsizetype> widths(5, 0);
    for (const QStringList& row : rows)
        for (int c = 0; c < 5; ++c)
            widths[size_t(c)] = std::max(widths[size_t(c)], row[c].size());
    for (const QStringList& row : rows) {
        QString line;
        for (int c = 0; c < 5; ++c)
            line += c < 4 ? row[c].leftJustified(widths[size_t(c)] + 2) : row[c];
        std::printf("%s\n", qPrintable(line.trimmed()));
    }
}

} // namespace

int RunFollowCommand(const QStringList& args, bool terminal)
{
    if (args.isEmpty())
        return Usage();
    const QString command = args.front();
    if (command != QLatin1String("list") && command != QLatin1String("add") &&
        command != QLatin1String("remove") && command != QLatin1String("auto-check")) {
        std::fprintf(stderr, "quillbrook-cli: unknown follow command: %s\n", qPrintable(command));
        return Usage();
    }
    const QStringList names = args.mid(1);
    const bool list = command == QLatin1String("list");
    const bool add = command == QLatin1String("add");
    const bool remove = command == QLatin1String("remove");
    const bool autoCheck = command == QLatin1String("auto-check");
    if ((list && !names.isEmpty()) || ((add || remove) && names.isEmpty()) ||
        (autoCheck && (names.size() != 2 ||
                       (names[1] != QLatin1String("on") && names[1] != QLatin1String("off")))) ||
        !(list || add || remove || autoCheck))
        return Usage();

    // Held while this command reads and writes the file.
    CliPeopleLocks locks;
    if (const int refused = locks.Take("Make the change in its window"))
        return refused;

    TFollowedPeople store;
    TPeopleFile file(TPeopleFile::DefaultPath());
    if (!file.ReadPeopleInfo(store))
        std::fprintf(stderr,
                     "%s did not load whole (%s); the users after the fault are "
                     "missing. It is copied to %s before it is saved again.\n",
                     qPrintable(file.Path()), qPrintable(file.LoadError()),
                     qPrintable(file.BadCopyPath()));
    if (list) {
        PrintList(store, terminal);
        return kExitOk;
    }

    int code = kExitOk;
    if (add) {
        for (const QString& typed : names) {
            const QString name = TrimBlanksAndControls(typed);
            if (name.isEmpty())
                continue;
            if (store.AddPeople(name) == 0) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(Lang("Msg1_10")));
                code = kExitRefused;
            }
        }
    } else if (remove) {
        for (const QString& name : names) {
            if (store.DeletePeople(TrimBlanksAndControls(name), {}) !=
                TFollowedPeople::DeleteDone) {
                std::fprintf(stderr, "%s: not followed\n", qPrintable(name));
                code = kExitRefused;
            }
        }
    } else {
        const int id = store.GetPeopleArrayID(TrimBlanksAndControls(names[0]));
        if (id == 0) {
            std::fprintf(stderr, "%s: not followed\n", qPrintable(names[0]));
            return kExitRefused;
        }
        store.SetAutoCheck(id, names[1] == QLatin1String("on") ? 1 : 0);
    }
    const QString error = file.WritePeopleInfo(store);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "The followed users could not be saved to %s: %s\n",
                     qPrintable(file.Path()), qPrintable(error));
        return kExitRefused;
    }
    return code;
}
