// The program's one module.
#pragma once

#include <windows.h>

namespace platform::kernel {

// The handle GetModuleHandleA(NULL) returns: fixed, non-null, the same on
// every call. The resource functions take it as the module whose resources
// are the ones embedded in the executable.
HINSTANCE mainModule();

}  // namespace platform::kernel
