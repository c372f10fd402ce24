#pragma once

#include "app/SingleInstance.h"
#include "follow/PeopleFileLock.h"

// What a follow or check command holds while it reads and writes the followed users: the
// lock beside their file, and the window's single-instance lock, so a window cannot start
// on a file about to change.
class CliPeopleLocks
{
public:
    CliPeopleLocks();

    // Takes both. On refusal prints why (with what to do instead, for a running window)
    // and returns the exit code: 3 when another process holds them, 1 when the lock
    // cannot be taken at all. 0 when both are held.
    int Take(const char* inWindow);

private:
    PeopleFileLock m_people;
    SingleInstance m_window;
};
