#pragma once

#include <array>
#include <atomic>
#include <mutex>

class THttpCli;

// One of the ten worker slots. The busy flag is set by the scheduler before its worker
// starts and cleared by the worker as one of its last actions; the job id names the job the
// worker runs. The worker's current HTTP client is reachable only under the slot's mutex: a
// stop takes that mutex, sets the cancel flag and aborts the client, while the worker clears
// the client under the same mutex before freeing it. So a stop never reaches a freed object.
class TWorkerSlot
{
public:
    bool Busy() const { return m_busy.load(); }
    void SetBusy(bool busy) { m_busy.store(busy); }

    // Job id of the slot's worker (m_JobArrayID), 0 when none.
    int JobId() const { return m_jobId.load(); }
    void SetJobId(int id) { m_jobId.store(id); }

    void SetClient(THttpCli* client)
    {
        std::lock_guard lock(m_mutex);
        m_client = client;
    }

    // Runs f(client) under the slot mutex when the worker has a client; false otherwise.
    template <class F> bool WithClient(F&& f)
    {
        std::lock_guard lock(m_mutex);
        if (!m_client)
            return false;
        f(*m_client);
        return true;
    }

private:
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_jobId{0};
    std::mutex m_mutex;
    THttpCli* m_client = nullptr;
};

constexpr int kWorkerSlotCount = 10;
