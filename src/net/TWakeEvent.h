#pragma once

#include "TUniqueFd.h"

// An eventfd that one thread signals and another polls: the way to wake a blocked poll()
// from any thread without touching the socket it waits on.
class TWakeEvent
{
public:
    TWakeEvent();

    int fd() const { return m_fd.get(); }
    void signal();
    void drain();

private:
    TUniqueFd m_fd;
};
