// The calling thread's last-error code, as every layer reports failures.
#include <windows.h>

namespace platform::kernel {
namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}
}  // namespace platform::kernel

extern "C" {

DWORD WINAPI GetLastError(void) {
    return platform::kernel::lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    platform::kernel::lastError = dwErrCode;
}

}  // extern "C"
