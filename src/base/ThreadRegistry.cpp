#include "ThreadRegistry.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<int> g_live{0};
} // namespace

void ThreadRegistry::Start(std::function<void()> body)
{
    g_live.fetch_add(1);
    try {
        std::thread([body = std::move(body)]() mutable {
            body();
            body = nullptr;
            g_live.fetch_sub(1);
        }).detach();
    } catch (...) {
        g_live.fetch_sub(1);
        throw;
    }
}

int ThreadRegistry::LiveCount()
{
    return g_live.load();
}
