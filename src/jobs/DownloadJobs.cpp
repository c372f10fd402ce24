#include "DownloadJobs.h"

int TDownloadJobTable::Append()
{
    std::lock_guard lock(m_mutex);
    m_jobs.emplace_back();
    return static_cast<int>(m_jobs.size());
}

TDownloadJobs* TDownloadJobTable::Job(int id)
{
    std::lock_guard lock(m_mutex);
    if (id < 1 || id > static_cast<int>(m_jobs.size()))
        return nullptr;
    return &m_jobs[static_cast<size_t>(id - 1)];
}

const TDownloadJobs* TDownloadJobTable::Job(int id) const
{
    return const_cast<TDownloadJobTable*>(this)->Job(id);
}

int TDownloadJobTable::Count() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_jobs.size());
}
