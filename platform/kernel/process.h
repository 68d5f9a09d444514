// The process side of the KERNEL layer: the command line as Windows presents
// it, the program's module, and the mapping of termination signals onto an
// orderly close.
#pragma once

#include <windows.h>

namespace platform::kernel {

// Records the program's arguments; GetCommandLineA rebuilds the Windows
// command line from them. Called once, first thing, by the process entry.
void setCommandLine(int argc, char** argv);

// The command-line tail that WinMain receives: the line less the program
// name. If the line begins with a double quote, the tail begins after the
// next double quote, past the spaces that follow it (with no closing quote
// it is the whole line, opening quote included); otherwise it begins at the
// first space, past all spaces. Only ' ' counts as a blank. Returns a
// pointer into `line` (an empty string for a null line).
const char* commandLineTail(const char* line);

// SIGINT, SIGTERM and SIGHUP ask every top-level window to close (they
// become WM_CLOSE), so an interrupted run stops the same orderly way as any
// other; a process that has not ended a few seconds after the first of them
// is ended by an alarm.
void installSignalHandlers();

// The handle GetModuleHandleA(NULL) returns: fixed, non-null, the same on
// every call. The resource functions take it as the module whose resources
// are the ones embedded in the executable.
HINSTANCE mainModule();

}  // namespace platform::kernel
