#include "run.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

namespace {

// This process's folder for its runs' files, removed when the tests end.
struct RunFolder {
    fs::path path;
    RunFolder() {
        const char* base = std::getenv("TMPDIR");
        path = fs::path(base ? base : "/tmp") / ("pomrivel-e2e-" + std::to_string(getpid()));
    }
    ~RunFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const fs::path& runFolder() {
    static RunFolder folder;
    return folder.path;
}

}  // namespace

std::string freshDir(const std::string& name) {
    const fs::path dir = runFolder() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string errorsPath(const std::string& tracePath) {
    return (fs::path(tracePath).parent_path() / "stderr.txt").string();
}

// Starts the program; returns its pid, or -1.
int spawn(const std::string& program, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& env, const std::string& tracePath) {
    static int runs = 0;
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    vars.erase("POMRIVEL_HEADLESS");
    vars.erase("POMRIVEL_BACKEND");
    vars["POMRIVEL_TRACE"] = tracePath;
    vars["XDG_RUNTIME_DIR"] = freshDir("runtime-" + std::to_string(++runs));
    for (const auto& [k, v] : env) vars[k] = v;

    std::vector<std::string> envStrings, argStrings{program};
    for (const auto& [k, v] : vars) envStrings.push_back(k + "=" + v);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> envp, argv;
    for (auto& s : envStrings) envp.push_back(s.data());
    for (auto& s : argStrings) argv.push_back(s.data());
    envp.push_back(nullptr);
    argv.push_back(nullptr);
    // stderr goes to a file beside the trace.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsPath(tracePath).c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

Result reap(int pid, const std::string& tracePath, int timeoutMs) {
    Result result;
    if (pid > 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (true) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                result.finished = WIFEXITED(status);
                result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    result.trace = readFile(tracePath);
    result.errors = readFile(errorsPath(tracePath));
    return result;
}

std::string newTracePath() {
    static int traces = 0;
    return freshDir("trace-" + std::to_string(++traces)) + "/trace.txt";
}

}  // namespace

Result run(const std::string& program, const std::vector<std::string>& args,
           const std::map<std::string, std::string>& env, int timeoutMs) {
    const std::string tracePath = newTracePath();
    return reap(spawn(program, args, env, tracePath), tracePath, timeoutMs);
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env)
    : tracePath_(newTracePath()) {
    pid_ = spawn(program, args, env, tracePath_);
}

Process::~Process() {
    if (!done_) stop(SIGKILL, 2000);
}

std::string Process::trace() const { return readFile(tracePath_); }

std::string Process::errors() const { return readFile(errorsPath(tracePath_)); }

bool Process::waitForTrace(const std::string& prefix, int timeoutMs, std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (traceLines(trace(), prefix).size() >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

Result Process::stop(int signal, int timeoutMs) {
    if (pid_ > 0 && !done_) kill(pid_, signal);
    return wait(timeoutMs);
}

Result Process::wait(int timeoutMs) {
    if (done_) return {true, -1, trace(), errors()};
    done_ = true;
    return reap(pid_, tracePath_, timeoutMs);
}

std::vector<std::string> pngFiles(const std::string& dir) {
    std::vector<std::string> files;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".png") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> traceLines(const std::string& trace, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

}  // namespace e2e
