// Waiting for the controller's answer to a command.
#pragma once

// Tests the link's input queue up to 201 times, 10 ms apart (about 2 s in
// all): true as soon as a byte is waiting, false when none came. The caller
// holds the port lock for the whole exchange.
bool WaitForReply();
