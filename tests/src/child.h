// Runs a piece of a test in a forked child, so the saver's module state
// (set once per process, as in the real program) starts fresh each time.
#pragma once

#include <cstdio>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace saver_test {

// The child's result: what `body` returned (0 to 255), or -1 when it did
// not exit normally.
inline int inChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace saver_test
