// An eventfd that wakes a thread polling it: made, signalled from any thread
// or from a signal handler, and read back to quiet.
#pragma once

#include <cstdint>

namespace zeft::platform {

// A new eventfd, its counter 0, non-blocking and closed on exec; -1 (errno
// telling why) on failure.
int MakeEventFD();

// Adds one to the counter so that the descriptor polls readable, again after
// an interruption. Safe in a signal handler; a counter already at its
// maximum (EAGAIN) leaves the descriptor readable all the same.
void SignalEventFD(int fd);

// Takes the counter back to 0: what it held, 0 when nothing was signalled.
uint64_t DrainEventFD(int fd);

}  // namespace zeft::platform
