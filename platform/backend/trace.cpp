#include "backend/trace.h"

#include <cstdio>
#include <cstdlib>

namespace platform::backend {

void trace(const std::string& line) {
    static std::FILE* file = [] {
        const char* path = std::getenv("POMRIVEL_TRACE");
        return path && *path ? std::fopen(path, "a") : nullptr;
    }();
    if (!file) return;
    // One write per line, flushed at once, so the trace is complete even if
    // the process is killed.
    std::fprintf(file, "%s\n", line.c_str());
    std::fflush(file);
}

}  // namespace platform::backend
