// The real clocks, for the backends that show a real screen (or none).
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform::backend {

// Milliseconds since the system started (suspended time included), not
// wrapped to 32 bits.
std::uint64_t systemUptimeMilliseconds();
// The local wall clock, to the millisecond.
SYSTEMTIME systemLocalTime();

// Waits until the uptime reaches millisecond `tick` (at least until its
// next millisecond), or `inputFd` (when not -1) is readable, or a signal
// asks to close, whichever comes first. True when the wait ended at the
// tick with nothing to read.
bool waitUntil(std::uint64_t tick, int inputFd = -1);

}  // namespace platform::backend
