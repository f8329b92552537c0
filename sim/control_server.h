// `kavro-sim serve`: controllers created and steered by tests over TCP.
#pragma once

#include <optional>
#include <string>

namespace kavro_sim {

class AttachedController;
struct CommandLine;

// Commands for an attached controller beyond the simulator's own (a test
// build adds those only tests send): the reply, or no value when the verb
// is not one of them.
using ExtraCommands = std::optional<std::string> (*)(AttachedController&, const CommandLine&);

struct ServeOptions {
    std::string portFile;       // receives the control port number
    std::string linksDir;       // DIR/comN links
    std::string dosDevicesDir;  // a Wine prefix's dosdevices; may be empty
    ExtraCommands extraCommands = nullptr;
};

int RunControlServer(const ServeOptions& options);

}  // namespace kavro_sim
