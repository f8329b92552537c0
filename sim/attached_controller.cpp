#include "attached_controller.h"

namespace kavro_sim {

bool AttachedController::SendRaw(const std::string& bytes) {
    if (!port_.SlaveOpen())
        return false;
    port_.Write(bytes);
    return true;
}

void AttachedController::Hangup() {
    port_.Hangup();
    wasOpen_ = false;
}

void AttachedController::AddPollFds(std::vector<pollfd>& fds) const {
    if (!port_.Connected())
        return;
    if (port_.WatchFd() >= 0)
        fds.push_back({port_.WatchFd(), POLLIN, 0});
    if (wasOpen_) {
        short events = POLLIN;
        if (port_.HasOutput())
            events |= POLLOUT;
        fds.push_back({port_.MasterFd(), events, 0});
    }
}

std::optional<Clock::time_point> AttachedController::NextDeadline(Clock::time_point now) const {
    std::optional<Clock::time_point> next = controller_.NextDue();
    // Without inotify nothing announces the tool opening the port: look
    // again now and then.
    if (port_.Connected() && port_.WatchFd() < 0 && !wasOpen_) {
        const Clock::time_point recheck = now + std::chrono::milliseconds(50);
        if (!next || recheck < *next)
            next = recheck;
    }
    return next;
}

void AttachedController::Service(Clock::time_point now) {
    if (!port_.Connected())
        return;
    port_.DrainWatch();

    // Whatever the tool wrote before closing is still readable after the
    // close, so read first, then look at the open state.
    char buffer[4096];
    for (;;) {
        const std::size_t n = port_.Read(buffer, sizeof buffer);
        if (n == 0)
            break;
        controller_.Receive(buffer, n, now);
    }

    const bool open = port_.SlaveOpen();
    if (wasOpen_ && !open)
        port_.DiscardUndelivered();
    wasOpen_ = open;

    // An answer that falls due while nobody listens is lost, as on a cable.
    const std::string due = controller_.TakeDue(now);
    if (!due.empty() && open)
        port_.Write(due);
    port_.Flush();
}

}  // namespace kavro_sim
