// A millisecond clock that always runs, for the tool's bounds on waits.
// GetTickCount64 is not one under Wine: it stands still while the process
// makes no call into Wine's server, and a wait for the rest of a line, made
// of queue queries and yields alone, was seen never to end.
#pragma once

// Milliseconds since an arbitrary start (the performance counter's).
unsigned long long SteadyMs();
