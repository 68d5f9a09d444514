// Running a program of ours in a child process, with its own environment,
// for end-to-end tests, and reading back what it left: its trace and the
// frames it captured.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace e2e {

struct Result {
    bool finished = false;  // false: killed at the time limit
    int status = -1;        // exit status when finished
    std::string trace;      // the POMRIVEL_TRACE file's contents
    std::string errors;     // what it wrote to stderr
};

// Runs `program` with `args`, the variables in `env` added to the test's own
// environment and a fresh trace file; kills it after `timeoutMs`. Each run
// gets a runtime folder of its own (XDG_RUNTIME_DIR, where the named mutex
// lives) unless `env` names one, so runs in parallel do not meet.
Result run(const std::string& program, const std::vector<std::string>& args,
           const std::map<std::string, std::string>& env, int timeoutMs = 20000);

// A program left running in the background.
class Process {
public:
    Process(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The trace so far.
    std::string trace() const;
    // What it wrote to stderr so far.
    std::string errors() const;
    int pid() const { return pid_; }
    // Waits until the trace has `count` lines beginning with `prefix`.
    bool waitForTrace(const std::string& prefix, int timeoutMs = 10000, std::size_t count = 1) const;
    // Waits until frames are being shown: the caption has counted a second
    // of them.
    bool waitForFrames(int timeoutMs = 10000) const { return waitForTrace("caption \"Frames Per Second:", timeoutMs, 2); }
    // Sends a signal and waits for the exit (killing it at the time limit).
    Result stop(int signal, int timeoutMs = 10000);
    // Waits for the exit.
    Result wait(int timeoutMs = 20000);

private:
    int pid_ = -1;
    std::string tracePath_;
    bool done_ = false;
};

// A new empty folder under the test's temporary folder.
std::string freshDir(const std::string& name);

// The PNG files in a folder, sorted by name.
std::vector<std::string> pngFiles(const std::string& dir);

// Lines of a trace that begin with `prefix`.
std::vector<std::string> traceLines(const std::string& trace, const std::string& prefix);

}  // namespace e2e
