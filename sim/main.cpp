// kavro-sim: plays a KAVRO motion controller on a pseudo-terminal so the
// Windows tool, run under Wine, can be tried and measured without the
// hardware.
#include "sim_main.h"

int main(int argc, char** argv) { return RunSim(argc, argv); }
