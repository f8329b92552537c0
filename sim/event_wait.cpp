#include "event_wait.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kavro_sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;
sigset_t g_waitMask;

void OnStopSignal(int) {
    g_stop = 1;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);

    struct sigaction stop{};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &g_waitMask);
    sigdelset(&g_waitMask, SIGINT);
    sigdelset(&g_waitMask, SIGTERM);
}

bool StopRequested() {
    return g_stop != 0;
}

void WaitForEvents(std::vector<pollfd>& fds, std::optional<Clock::time_point> deadline) {
    timespec timeout{};
    timespec* timeoutPointer = nullptr;
    if (deadline) {
        const auto left = *deadline - Clock::now();
        const long long ns =
            left.count() > 0 ? std::chrono::duration_cast<std::chrono::nanoseconds>(left).count() : 0;
        timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
        timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        timeoutPointer = &timeout;
    }
    if (ppoll(fds.data(), fds.size(), timeoutPointer, &g_waitMask) < 0 && errno != EINTR) {
        std::fprintf(stderr, "kavro-sim: poll: %s\n", std::strerror(errno));
        // Whatever went wrong, do not spin on it.
        struct timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
    if (!a)
        return b;
    if (!b)
        return a;
    return *a < *b ? a : b;
}

}  // namespace kavro_sim
