// kavro-test-sim: the simulator with the commands only the tests send.
//   silent        no answers from now on, not even those already due
//   answer        answers again
//   preload HEX   bytes left in the port's input queue even while it is
//                 closed, as an earlier session would leave them
#include "attached_controller.h"
#include "commands.h"
#include "hex.h"
#include "sim_main.h"

namespace {

std::optional<std::string> RunTestCommands(kavro_sim::AttachedController& target,
                                           const kavro_sim::CommandLine& command) {
    if (command.verb == "silent") {
        target.Logic().Silence();
        return std::string("ok");
    }
    if (command.verb == "answer") {
        target.Logic().Resume();
        return std::string("ok");
    }
    if (command.verb == "preload") {
        const std::optional<std::string> bytes = kavro_sim::FromHex(command.argument);
        if (!bytes)
            return "err bad hex: " + command.argument;
        target.Preload(*bytes);
        return std::string("ok");
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) { return RunSim(argc, argv, RunTestCommands); }
