// The clocks, read from the backend: the headless one runs a virtual clock
// that can start anywhere, just before the tick count wraps included.
#include <windows.h>

#include "backend/backend.h"

extern "C" {

// Milliseconds since system start in 32 bits: the cast keeps the low 32
// bits, so the count wraps to 0 after 2^32 - 1 as Windows' does (every
// 49.7 days).
DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(platform::backend::current().uptimeMilliseconds());
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return;
    *lpSystemTime = platform::backend::current().localTime();
}

}  // extern "C"
