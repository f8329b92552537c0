// The simulator's command line, for its two builds: kavro-sim (the demo and
// the bench) and the tests' own, which adds the commands only tests send.
#pragma once

#include "control_server.h"

// Runs the mode argv names; extraCommands (may be null) extends the control
// server's commands. Returns the process's exit code.
int RunSim(int argc, char** argv, kavro_sim::ExtraCommands extraCommands);
