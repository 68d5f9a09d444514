// Named mutexes as per-user lock files.
#pragma once

#include <string>
#include <string_view>

namespace platform::kernel {

// The lock file name (no directory) that stands for the mutex `name`.
// Names equal to Windows equal here: "Local\X" is "X", as it is within a
// session. Bytes outside [A-Za-z0-9._-] are escaped as %XX, so distinct
// names give distinct files; a name too long for a file name keeps a prefix
// and gains a hash of the whole name (after '~', which escaping never
// leaves bare). Never contains '/'.
std::string mutexFileName(std::string_view name);

// Makes every named mutex of this process stand for its name within
// `scope` (empty: none). A screensaver host runs one copy of a hack per
// window it gives out (a monitor, a preview): the process start-up scopes
// the names to that window, so copies for different windows do not keep
// each other out while a second copy for the same window still is.
void setMutexScope(std::string scope);

// The directory holding the lock files: $XDG_RUNTIME_DIR when it is a
// private directory of ours, else pomrivel/ in the user's cache directory
// ($XDG_CACHE_HOME, or ~/.cache), made 0700 if missing and refused unless it
// is a directory we own (never a folder in a place other users can write
// to, where one of them could plant it first). Empty when neither will do.
std::string mutexDirectory();

}  // namespace platform::kernel
