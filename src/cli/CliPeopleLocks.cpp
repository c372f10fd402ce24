#include "CliPeopleLocks.h"

#include "follow/TPeopleFile.h"

#include <cstdio>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBusy = 3;

void WindowRuns(const char* inWindow)
{
    std::fprintf(stderr,
                 "Quillbrook is running: it owns the followed users until it closes. %s, or "
                 "close it and try again.\n",
                 inWindow);
}

} // namespace

CliPeopleLocks::CliPeopleLocks() : m_people(TPeopleFile::DefaultPath()) {}

int CliPeopleLocks::Take(const char* inWindow)
{
    if (!m_people.tryLock()) {
        if (!m_people.HeldByOther()) {
            std::fprintf(stderr, "%s\n", qPrintable(m_people.Refusal()));
            return kExitFailed;
        }
        if (m_people.HeldByCli())
            std::fprintf(stderr,
                         "Another quillbrook-cli command (process %lld) is using the followed "
                         "users; try again when it has ended.\n",
                         static_cast<long long>(m_people.HolderPid()));
        else
            WindowRuns(inWindow);
        return kExitBusy;
    }
    if (!m_window.tryAcquire()) {
        WindowRuns(inWindow);
        return kExitBusy;
    }
    return 0;
}
