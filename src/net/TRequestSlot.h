#pragma once

#include <mutex>

class THttpCli;

// Where a running request can be reached from another thread. The requesting thread
// registers its client for the time of the request and clears it before freeing the
// client; a stop takes the same mutex, so it never reaches a freed client.
class TRequestSlot
{
public:
    void SetClient(THttpCli* client)
    {
        std::lock_guard lock(m_mutex);
        m_client = client;
    }

    // Runs f(client) under the slot mutex when a client is registered; false otherwise.
    template <class F> bool WithClient(F&& f)
    {
        std::lock_guard lock(m_mutex);
        if (!m_client)
            return false;
        f(*m_client);
        return true;
    }

private:
    std::mutex m_mutex;
    THttpCli* m_client = nullptr;
};
