#pragma once

#include <atomic>
#include <mutex>

class THttpCli;

// Where a running request can be reached from another thread. The requesting thread
// registers its client for the time of the request and clears it before freeing the
// client; a stop takes the same mutex, so it never reaches a freed client.
class TRequestSlot
{
public:
    // Registers client (or clears with nullptr). Refuses, and registers nothing, once
    // AbortRequest has asked to stop: the caller then must not start the request.
    bool SetClient(THttpCli* client)
    {
        std::lock_guard lock(m_mutex);
        if (client && m_abortRequested)
            return false;
        m_client = client;
        return true;
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

    // Stops the slot's requests: aborts the one running and refuses every later one, so a
    // stop that comes between two requests is not lost. abort(client) does the aborting.
    template <class F> void AbortRequest(F&& abort)
    {
        std::lock_guard lock(m_mutex);
        m_abortRequested = true;
        if (m_client)
            abort(*m_client);
    }

    // A stop has been asked for: work that follows the request (reading its reply) ends too.
    bool AbortRequested() const { return m_abortRequested.load(); }

    // A new owner of the slot starts without the last one's stop.
    void ClearAbort()
    {
        std::lock_guard lock(m_mutex);
        m_abortRequested = false;
    }

private:
    std::mutex m_mutex;
    THttpCli* m_client = nullptr;
    std::atomic<bool> m_abortRequested{false}; // written under m_mutex
};
