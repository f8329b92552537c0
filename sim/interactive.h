// `kavro-sim interactive`: one controller for a person at a keyboard, or,
// with stdin not a terminal, for a script feeding control commands.
#pragma once

#include <string>

namespace kavro_sim {

struct InteractiveOptions {
    std::string link;
    std::string serial;
    std::string switches = "00000000";
};

int RunInteractive(const InteractiveOptions& options);

}  // namespace kavro_sim
