// The one blocking call of the simulator: poll() until a descriptor is ready,
// the next deadline passes, or SIGINT/SIGTERM asks us to stop.
#pragma once

#include <optional>
#include <poll.h>
#include <vector>

#include "controller.h"

namespace kavro_sim {

// Blocks SIGINT and SIGTERM except while waiting, so a stop request can not
// slip in between checking StopRequested() and going to sleep. SIGPIPE is
// ignored: a control client that went away must not take the server along.
void InstallStopSignals();
bool StopRequested();

// Returns after readiness, the deadline, or a stop signal (EINTR is not an
// error here; the caller simply checks StopRequested()).
void WaitForEvents(std::vector<pollfd>& fds, std::optional<Clock::time_point> deadline);

// The earlier of two optional deadlines.
std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b);

}  // namespace kavro_sim
