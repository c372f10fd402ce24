#pragma once

#include <memory>
#include <string>

struct addrinfo;

// Resolves a host name to IPv4 addresses without blocking the caller: a numeric address is
// read at once, a name is looked up on a helper thread that signals a pollable descriptor
// when done. Dropping the lookup abandons a running one; the helper cleans up after itself.
class THostLookup
{
public:
    THostLookup(const std::string& host, const std::string& port);
    ~THostLookup();
    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    // Readable once the lookup is done; -1 when it was done from the start.
    int waitFd() const;
    bool done() const;
    // 0 on success, else the resolver's error code (EAI_...).
    int error() const;
    // The addresses found; valid while this object lives and done() is true.
    const addrinfo* addresses() const;

private:
    struct TShared;
    std::shared_ptr<TShared> m_shared;
};
