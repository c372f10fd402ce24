#pragma once

#include "net/TRequestSlot.h"

#include <atomic>

// One of the ten worker slots. The busy flag is set by the scheduler before its worker
// starts and cleared by the worker as one of its last actions; the job id names the job the
// worker runs. The worker's current HTTP client is reachable through Request (see
// TRequestSlot): a stop aborts it there, never a freed one.
class TWorkerSlot
{
public:
    bool Busy() const { return m_busy.load(); }
    void SetBusy(bool busy) { m_busy.store(busy); }

    // Job id of the slot's worker (m_JobArrayID), 0 when none.
    int JobId() const { return m_jobId.load(); }
    void SetJobId(int id) { m_jobId.store(id); }

    TRequestSlot Request;

private:
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_jobId{0};
};

constexpr int kWorkerSlotCount = 10;
