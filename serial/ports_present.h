// The COM ports present, as Windows reports them: the "PortName" of each
// present device of the Ports setup class, with the device's friendly name
// and maker. Runs on the caller's thread; takes no lock and shows nothing.
#pragma once

#include <vector>

#include "serial/port_names.h"

// The ports present, de-duplicated and in ordinal order of their names (a
// name that two devices share is listed once, with the first one's texts).
// Empty when the Ports class cannot be listed.
std::vector<PresentPort> PresentPorts();
