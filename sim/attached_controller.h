// A simulated controller wired to its end of a pseudo-terminal: moves bytes
// between the two and follows the tool opening and closing the port.
#pragma once

#include <optional>
#include <poll.h>
#include <string>
#include <vector>

#include "controller.h"
#include "pty_port.h"

namespace kavro_sim {

class AttachedController {
public:
    bool Create(std::string& error) { return port_.Create(error); }

    Controller& Logic() { return controller_; }
    const Controller& Logic() const { return controller_; }
    PtyPort& Port() { return port_; }
    const std::string& SlavePath() const { return port_.SlavePath(); }

    // Sampled now, not from the last service pass.
    bool Opened() const { return port_.SlaveOpen(); }

    // Raw bytes from a test: like anything put on the wire, they reach the
    // tool only while it has the port open. False when they were dropped.
    bool SendRaw(const std::string& bytes);
    void Hangup();

    // Poll descriptors this controller needs. The master is watched only
    // while the slave is open: with no slave it reports POLLHUP without end.
    void AddPollFds(std::vector<pollfd>& fds) const;
    // Reads, answers and writes whatever can be done at `now`.
    void Service(Clock::time_point now);
    std::optional<Clock::time_point> NextDeadline(Clock::time_point now) const;

private:
    Controller controller_;
    PtyPort port_;
    bool wasOpen_ = false;
};

}  // namespace kavro_sim
