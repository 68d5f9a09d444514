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

// The directory holding the lock files: $XDG_RUNTIME_DIR when it is a
// private directory of ours, else /tmp/pomrivel-<uid>, made 0700 if missing
// and refused unless it is a directory we own. Empty when neither will do.
std::string mutexDirectory();

}  // namespace platform::kernel
