#include "xvfb.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {

Xvfb::Xvfb(const std::string& screen) {
    for (int n = 90 + getpid() % 100; n < 300; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) continue;
        const std::string display = ":" + std::to_string(n);
        std::string args[] = {"Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                        args[4].data(), args[5].data(), args[6].data(), nullptr};
        pid_t pid = 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int failed = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed) return;  // no Xvfb on this machine
        // Ready once its socket exists; gone if it lost a race for the number.
        for (int i = 0; i < 500; ++i) {
            if (std::filesystem::exists(socket)) {
                pid_ = pid;
                display_ = display;
                return;
            }
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

int onDisplay(const std::string& display, const std::string& command) {
    const std::string line = "DISPLAY=" + display + " " + command;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace e2e
