#include "SessionEndSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
}

} // namespace

SessionEndSignals::SessionEndSignals(std::function<void()> onEnd, QObject* parent)
    : QObject(parent), m_onEnd(std::move(onEnd))
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char c;
        while (::read(g_pipe[0], &c, 1) > 0) {
            if (++m_signals > 1) {
                std::fflush(nullptr);
                std::_Exit(1);
            }
        }
        if (m_signals == 1 && m_onEnd) {
            const auto onEnd = std::move(m_onEnd);
            m_onEnd = nullptr;
            onEnd();
        }
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(number, &action, nullptr);
}

SessionEndSignals::~SessionEndSignals()
{
    // Back to the default: nothing is left to end the session for.
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        std::signal(number, SIG_DFL);
}
