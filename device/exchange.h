// One exchange with the controller: a command out, its one-line answer back.
// The caller holds the port lock for the whole exchange.
#pragma once

#include <atomic>

// Discards whatever waits in the link's input queue, formats command into
// buffer (kCommandBufferSize bytes) and sends it. Discarding first keeps
// answers paired with their requests: an unasked line, the rest of an
// over-long line or a late answer would otherwise be read in place of this
// command's answer, and every later reading would lag one line behind.
void SendCommand(char* buffer, const char* command);

// Tests the link's input queue up to 201 times, 10 ms apart (about 2 s in
// all): true as soon as a byte is waiting, false when none came, or at once
// when *stop becomes non-zero (the caller tells the two apart).
bool WaitForReply(const std::atomic<int>* stop = nullptr);
