// Runs a piece of a test in a forked child, so the saver's module state
// (set once per process, as in the real program) starts fresh each time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

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

// The numbers `body` returns in a forked child, sent back through a pipe;
// nothing when the child did not exit normally.
inline std::optional<std::vector<std::uint32_t>> numbersFromChild(
    const std::function<std::vector<std::uint32_t>()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::vector<std::uint32_t> numbers = body();
        const char* data = reinterpret_cast<const char*>(numbers.data());
        std::size_t left = numbers.size() * sizeof numbers[0];
        while (left > 0) {
            const ssize_t n = write(fds[1], data, left);
            if (n <= 0) _exit(1);
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        std::fflush(nullptr);
        _exit(0);
    }
    close(fds[1]);
    std::vector<char> bytes;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    close(fds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    std::vector<std::uint32_t> numbers(bytes.size() / sizeof(std::uint32_t));
    std::memcpy(numbers.data(), bytes.data(), numbers.size() * sizeof numbers[0]);
    return numbers;
}

}  // namespace saver_test
