// The simulator's command line: kavro-sim's modes, and the serve options the
// tests' build of it (tests/sim/) reads the same way.
#pragma once

#include <string>

#include "control_server.h"

// Reads serve's options, argv[2] on, into options: "" when they are whole,
// else what is wrong with them.
std::string ReadServeOptions(int argc, char** argv, kavro_sim::ServeOptions& options);

// Runs the mode argv names. Returns the process's exit code.
int RunSim(int argc, char** argv);
