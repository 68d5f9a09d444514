// The process entry of a Win32 program on this layer: what the Windows C
// runtime start-up does before and after WinMain. Kept out of the platform
// library so that programs with their own main (tests, tools) link it freely.
#include <windows.h>

#include <string>

#include "../backend/backend.h"
#include "../backend/trace.h"
#include "../kernel/process.h"

int main(int argc, char** argv) {
    platform::kernel::setCommandLine(argc, argv);
    platform::kernel::installSignalHandlers();

    // The tail points into the process's own command-line buffer, writable as
    // the one Windows hands over is.
    LPSTR line = GetCommandLineA();
    LPSTR tail = line + (platform::kernel::commandLineTail(line) - line);

    const int status = WinMain(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL);
    platform::backend::trace("exit " + std::to_string(status));
    return status;
}
