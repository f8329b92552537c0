// The simulated controller as only the tests steer it (tests/sim/): silence,
// a pulled cable, a port no one can open.
#pragma once

#include <string>

#include "sim/win/sim_client.h"

class TestSim : public SimController {
public:
    // No answers from now on, not even those already scheduled; answers again.
    bool Silent() { return Ok("silent"); }
    bool Answer() { return Ok("answer"); }
    // Closes the controller's side of the line, as if the cable was pulled.
    bool Hangup() { return Ok("hangup"); }
    // Makes COM<port> a port that cannot be opened (access denied): Wine
    // does not refuse a second open of a port, so this stands in for a port
    // another program holds.
    bool Block(int port) { return Ok("block " + std::to_string(port)); }
};
