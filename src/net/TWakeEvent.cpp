#include "TWakeEvent.h"

#include <sys/eventfd.h>

#include <cstdint>
#include <stdexcept>

TWakeEvent::TWakeEvent() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (!m_fd)
        throw std::runtime_error("eventfd failed");
}

void TWakeEvent::signal()
{
    const std::uint64_t one = 1;
    while (::write(m_fd.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TWakeEvent::drain()
{
    std::uint64_t value = 0;
    while (::read(m_fd.get(), &value, sizeof value) < 0 && errno == EINTR) {
    }
}
