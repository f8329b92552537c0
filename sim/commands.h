// The text commands that set a controller's behaviour, shared by the control
// server and the headless interactive mode. One command line in, one reply
// line out: "ok", "ok <value>" or "err <message>".
#pragma once

#include <optional>
#include <string>

#include "attached_controller.h"
#include "hex.h"

namespace kavro_sim {

struct CommandLine {
    std::string verb;
    std::string argument;  // everything after the first space, untouched
};
CommandLine SplitCommand(const std::string& line);

bool IsControllerCommand(const std::string& verb);

// Runs a behaviour command on `target`. Returns no value when the verb is
// not one of these, so the caller can try its own.
std::optional<std::string> RunControllerCommand(AttachedController& target, const CommandLine& command);

}  // namespace kavro_sim
