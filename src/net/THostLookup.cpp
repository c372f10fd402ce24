#include "THostLookup.h"

#include "TWakeEvent.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <mutex>
#include <thread>

struct THostLookup::TShared
{
    std::mutex m_mutex;
    bool m_done = false;
    int m_error = 0;
    addrinfo* m_result = nullptr;
    std::unique_ptr<TWakeEvent> m_wake;

    ~TShared()
    {
        if (m_result)
            ::freeaddrinfo(m_result);
    }
};

namespace {

addrinfo hints(bool numericOnly)
{
    addrinfo h;
    std::memset(&h, 0, sizeof h);
    h.ai_family = AF_INET;
    h.ai_socktype = SOCK_STREAM;
    h.ai_protocol = IPPROTO_TCP;
    h.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
    return h;
}

} // namespace

THostLookup::THostLookup(const std::string& host, const std::string& port)
    : m_shared(std::make_shared<TShared>())
{
    const addrinfo numeric = hints(true);
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &numeric, &result);
    if (rc == 0 || rc == EAI_SERVICE || host.empty()) {
        m_shared->m_done = true;
        m_shared->m_error = host.empty() ? EAI_NONAME : rc;
        m_shared->m_result = result;
        return;
    }

    m_shared->m_wake = std::make_unique<TWakeEvent>();
    std::thread([shared = m_shared, host, port] {
        const addrinfo any = hints(false);
        addrinfo* found = nullptr;
        const int error = ::getaddrinfo(host.c_str(), port.c_str(), &any, &found);
        std::lock_guard lock(shared->m_mutex);
        shared->m_done = true;
        shared->m_error = error;
        shared->m_result = error == 0 ? found : nullptr;
        shared->m_wake->signal();
    }).detach();
}

THostLookup::~THostLookup() = default;

int THostLookup::waitFd() const
{
    return m_shared->m_wake ? m_shared->m_wake->fd() : -1;
}

bool THostLookup::done() const
{
    std::lock_guard lock(m_shared->m_mutex);
    return m_shared->m_done;
}

int THostLookup::error() const
{
    std::lock_guard lock(m_shared->m_mutex);
    return m_shared->m_error;
}

const addrinfo* THostLookup::addresses() const
{
    std::lock_guard lock(m_shared->m_mutex);
    return m_shared->m_done ? m_shared->m_result : nullptr;
}
