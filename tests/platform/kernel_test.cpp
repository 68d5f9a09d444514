// The KERNEL layer: last error, command line and its tail, module handle,
// named mutexes within and across processes, the clocks and the signal
// mapping.
//
// These tests check the Linux side only and use the layer's internals
// (kernel/process.h, kernel/mutex.h, the backend interface) besides the
// Win32 calls.
#include <windows.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/clock_backend.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "backend/backend.h"
#include "kernel/mutex.h"
#include "kernel/process.h"

extern char** environ;

namespace {

using platform::kernel::commandLineTail;

// ---- Last error ------------------------------------------------------------

TEST(KernelLastError, IsPerThread) {
    SetLastError(ERROR_ALREADY_EXISTS);
    DWORD seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_INVALID_HANDLE);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

// ---- Command-line tail -----------------------------------------------------

struct TailCase {
    const char* line;
    const char* tail;
};

TEST(KernelCommandLineTail, FollowsTheStartUpRule) {
    const TailCase cases[] = {
        {"", ""},
        {"pomrivel", ""},
        {"pomrivel /s", "/s"},
        {"pomrivel    /s  x ", "/s  x "},  // every space skipped before, none trimmed after
        {"pomrivel /p 1234", "/p 1234"},
        {"pomrivel /c:5678", "/c:5678"},
        {"pomrivel \"/p 1234\"", "\"/p 1234\""},
        {" /s", "/s"},  // the first space is the first character
        {"\"C:\\Program Files\\Pomrivel\\pomrivel.scr\" /S", "/S"},
        {"\"/opt/my saver/pomrivel\"", ""},
        {"\"/opt/my saver/pomrivel\"   \"/p 1234\"", "\"/p 1234\""},
        {"\"pomrivel\"/c:5678", "/c:5678"},  // no blank needed after the closing quote
        {"\"\" /s", "/s"},
        {"\"my saver /s", "\"my saver /s"},  // no closing quote: the whole line
        {"\"", "\""},
        {"pomrivel\t/s", ""},  // a tab is not a blank: all one program name
        {"\"pomrivel\"\t/s", "\t/s"},
        {"pomrivel \t/s", "\t/s"},
    };
    for (const TailCase& c : cases) {
        const char* tail = commandLineTail(c.line);
        EXPECT_STREQ(tail, c.tail) << "line [" << c.line << "]";
        // A pointer into the line itself, as WinMain's lpCmdLine is.
        EXPECT_GE(tail, c.line);
        EXPECT_LE(tail, c.line + std::strlen(c.line));
    }
    EXPECT_STREQ(commandLineTail(nullptr), "");
}

// ---- GetCommandLineA -------------------------------------------------------

// The arguments a Windows program's C runtime makes of a command line: the
// program name up to the closing quote (or first blank) with no escapes; then
// blank-separated arguments where quotes group, 2n backslashes before a quote
// give n and the quote groups, 2n+1 give n and a literal quote.
std::vector<std::string> splitAsWindowsDoes(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    std::string program;
    if (i < line.size() && line[i] == '"') {
        for (++i; i < line.size() && line[i] != '"'; ++i) program += line[i];
        if (i < line.size()) ++i;
    } else {
        for (; i < line.size() && line[i] != ' ' && line[i] != '\t'; ++i) program += line[i];
    }
    args.push_back(program);
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

void setArgs(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    platform::kernel::setCommandLine(static_cast<int>(args.size()), argv.data());
}

TEST(KernelCommandLine, QuotesTheProgramAndKeepsTheSwitchesTail) {
    setArgs({"/usr/bin/pomrivel", "/s"});
    EXPECT_STREQ(GetCommandLineA(), "\"/usr/bin/pomrivel\" /s");

    setArgs({"/opt/my saver/pomrivel", "/p", "1234"});
    EXPECT_STREQ(GetCommandLineA(), "\"/opt/my saver/pomrivel\" /p 1234");
    EXPECT_STREQ(commandLineTail(GetCommandLineA()), "/p 1234");

    setArgs({"pomrivel", "/p 1234"});
    EXPECT_STREQ(commandLineTail(GetCommandLineA()), "\"/p 1234\"");

    setArgs({"pomrivel", "/c:5678"});
    EXPECT_STREQ(commandLineTail(GetCommandLineA()), "/c:5678");

    setArgs({"/usr/bin/pomrivel"});
    EXPECT_STREQ(GetCommandLineA(), "\"/usr/bin/pomrivel\"");
    EXPECT_STREQ(commandLineTail(GetCommandLineA()), "");
}

TEST(KernelCommandLine, ArgumentsSplitBackOutAsWindowsSplitsThem) {
    const std::vector<std::string> args = {
        "/opt/my saver/pomrivel",
        "/s",
        "",
        "two words",
        "tab\there",
        "say \"hi\"",
        "\"",
        "C:\\dir\\",
        "C:\\dir with space\\",
        "back\\\\\"slashes",
        "a\\b",
        "100%",
    };
    setArgs(args);
    EXPECT_EQ(splitAsWindowsDoes(GetCommandLineA()), args) << GetCommandLineA();
}

// ---- GetModuleHandleA ------------------------------------------------------

TEST(KernelModule, NullNamesTheProgramAndNothingElseIsLoaded) {
    const HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), self);
    EXPECT_EQ(platform::kernel::mainModule(), self);

    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);  // ERROR_MOD_NOT_FOUND
}

// ---- Named mutexes: lock file names and place --------------------------------

TEST(KernelMutexNames, AreSafeDistinctFileNames) {
    using platform::kernel::mutexFileName;
    EXPECT_EQ(mutexFileName("SCREENSAVER"), "pomrivel-SCREENSAVER.lock");

    const std::vector<std::string> distinct = {
        "a/b", "a_b", "a%2Fb", "a%b", "a\\b", "a b", "A/B", "x", "X", "Global\\x", "a~b", "..", "",
    };
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        const std::string file = mutexFileName(distinct[i]);
        EXPECT_EQ(file.find('/'), std::string::npos) << file;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(file, mutexFileName(distinct[j])) << distinct[i] << " vs " << distinct[j];
    }
    // Within a session, "Local\X" is the same object as "X".
    EXPECT_EQ(mutexFileName("Local\\SCREENSAVER"), mutexFileName("SCREENSAVER"));

    // Long names are capped, and names that differ only past the cap stay apart.
    const std::string longA(5000, '/');
    std::string longB = longA;
    longB.back() = '\\';
    EXPECT_LE(mutexFileName(longA).size(), 255u);
    EXPECT_NE(mutexFileName(longA), mutexFileName(longB));
    const std::string longest(300, 'n');
    EXPECT_LE(mutexFileName(longest).size(), 255u);
    EXPECT_NE(mutexFileName(longest), mutexFileName(longest + "n"));
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string uniqueMutexName(const char* what) {
    static int serial = 0;
    return "kernel-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + "-" + what;
}

TEST(KernelMutexNames, LiveInTheRuntimeDirectoryOrAFolderOfTheUsersCache) {
    char privateDir[] = "/tmp/kernel-test-XXXXXX";
    ASSERT_NE(mkdtemp(privateDir), nullptr);
    char home[] = "/tmp/kernel-test-home-XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    const std::string cache = std::string(home) + "/cache";
    const std::string name = uniqueMutexName("place");
    const std::string lockFile = std::string(privateDir) + "/" + platform::kernel::mutexFileName(name);
    ScopedEnv homeEnv("HOME", home);
    {
        ScopedEnv env("XDG_RUNTIME_DIR", privateDir);
        EXPECT_EQ(platform::kernel::mutexDirectory(), privateDir);
        HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
        ASSERT_NE(m, nullptr);
        struct stat st {};
        EXPECT_EQ(stat(lockFile.c_str(), &st), 0) << lockFile;
        CloseHandle(m);

        // A runtime directory others may write to is not used.
        chmod(privateDir, 0777);
        ScopedEnv cacheEnv("XDG_CACHE_HOME", nullptr);
        EXPECT_EQ(platform::kernel::mutexDirectory(), std::string(home) + "/.cache/pomrivel");
    }
    {
        ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
        ScopedEnv cacheEnv("XDG_CACHE_HOME", cache.c_str());
        EXPECT_EQ(platform::kernel::mutexDirectory(), cache + "/pomrivel");
        struct stat st {};
        ASSERT_EQ(lstat((cache + "/pomrivel").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_uid, geteuid());
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    {
        // Relative paths are not taken, from either variable.
        ScopedEnv env("XDG_RUNTIME_DIR", "relative/dir");
        ScopedEnv cacheEnv("XDG_CACHE_HOME", "relative/cache");
        EXPECT_EQ(platform::kernel::mutexDirectory(), std::string(home) + "/.cache/pomrivel");
    }
    {
        // A link planted under the folder's name is refused, not followed,
        // and the mutex then fails with a reason instead of working anywhere.
        ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
        const std::string planted = std::string(home) + "/planted";
        ASSERT_EQ(mkdir(planted.c_str(), 0700), 0);
        ASSERT_EQ(mkdir((planted + "/cache").c_str(), 0700), 0);
        ASSERT_EQ(symlink(privateDir, (planted + "/cache/pomrivel").c_str()), 0);
        ScopedEnv cacheEnv("XDG_CACHE_HOME", (planted + "/cache").c_str());
        EXPECT_EQ(platform::kernel::mutexDirectory(), "");
        EXPECT_EQ(CreateMutexA(nullptr, FALSE, name.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    unlink(lockFile.c_str());
    std::filesystem::remove_all(home);
    rmdir(privateDir);
}

// ---- Named mutexes within one process -----------------------------------------

// Each test keeps its lock files in a runtime directory of its own (the
// helper processes inherit it), removed afterwards with whatever it holds.
class KernelMutex : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(mkdtemp(dir_), nullptr);
        env_.emplace("XDG_RUNTIME_DIR", dir_);
    }
    void TearDown() override {
        env_.reset();
        std::filesystem::remove_all(dir_);
    }

private:
    char dir_[32] = "/tmp/kernel-test-XXXXXX";
    std::optional<ScopedEnv> env_;
};
using KernelMutexAcrossProcesses = KernelMutex;

TEST_F(KernelMutex, SecondCreateInTheSameProcessFindsTheName) {
    const std::string name = uniqueMutexName("twice");
    HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(second, first);

    // The name lasts while any handle to it is open.
    EXPECT_TRUE(CloseHandle(first));
    HANDLE third = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(third));

    HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(again));
}

TEST_F(KernelMutex, UnnamedMutexesAreDistinctAndCloseOnce) {
    SetLastError(ERROR_ALREADY_EXISTS);
    HANDLE a = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE b = CreateMutexA(nullptr, FALSE, "");  // an empty name is no name
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));

    // What is not an open kernel handle is refused: a closed one, null, a GDI handle.
    HDC memoryDc = CreateCompatibleDC(nullptr);
    for (HANDLE h : {a, HANDLE{nullptr}, reinterpret_cast<HANDLE>(memoryDc)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    DeleteDC(memoryDc);
}

// ---- Named mutexes across processes --------------------------------------------

// A running kernel_mutex_holder with pipes to its standard input and output.
// It exits when the object goes (its input closes), so none is left behind.
class Holder {
public:
    explicit Holder(const std::string& argument, const std::vector<std::string>& extraEnvironment = {}) {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);

        std::vector<std::string> environment(extraEnvironment);
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = KERNEL_MUTEX_HOLDER;
        std::string arg = argument;
        char* argv[] = {program.data(), arg.data(), nullptr};

        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        input_ = toChild[1];
        output_ = fromChild[0];
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder() {
        if (input_ >= 0) close(input_);
        if (output_ >= 0) close(output_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }

    bool started() const { return pid_ > 0; }

    // The line the holder printed, without its newline; "" after 10 s of
    // silence or at end of output.
    std::string readLine() {
        std::string line;
        char c;
        pollfd p{output_, POLLIN, 0};
        while (poll(&p, 1, 10000) == 1 && read(output_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    // Ends it the hard way, as a crash would, and waits until it is gone.
    void killHard() {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        EXPECT_TRUE(WIFSIGNALED(status));
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

// Without a runtime directory the lock went to /tmp/pomrivel-<uid>; another
// user who made that folder first switched the guard off for good (every
// copy ran). The lock now lives where only this user can make it.
TEST(KernelMutexGuard, HoldsWhenAnotherUserOwnsTheFolderInTmp) {
    const std::string oldFallback = "/tmp/pomrivel-" + std::to_string(geteuid());
    struct stat st {};
    bool planted = false;
    if (geteuid() == 0 && lstat(oldFallback.c_str(), &st) != 0) {
        // As root the test can play the other user: nobody.
        planted = mkdir(oldFallback.c_str(), 0755) == 0 && chown(oldFallback.c_str(), 65534, 65534) == 0;
    }
    char home[] = "/tmp/kernel-test-guard-XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    const std::string name = uniqueMutexName("guard");
    {
        const std::vector<std::string> environment{"XDG_RUNTIME_DIR=", "XDG_CACHE_HOME=", std::string("HOME=") + home};
        Holder first(name, environment);
        ASSERT_TRUE(first.started());
        EXPECT_EQ(first.readLine(), "created");
        Holder second(name, environment);
        ASSERT_TRUE(second.started());
        EXPECT_EQ(second.readLine(), "exists") << "a second copy is kept out";
    }
    std::filesystem::remove_all(home);
    if (planted) rmdir(oldFallback.c_str());
    if (!planted) std::printf("note: ran without a folder of another user's in /tmp (needs root)\n");
}

TEST_F(KernelMutexAcrossProcesses, TheNameLivesExactlyAsLongAsItsCreator) {
    const std::string name = uniqueMutexName("killed");
    Holder holder(name);
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.readLine(), "created");

    HANDLE seen = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(CloseHandle(seen));

    holder.killHard();

    HANDLE mine = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(mine));
}

TEST_F(KernelMutexAcrossProcesses, AnotherProcessFindsOursAndTracesIt) {
    const std::string name = uniqueMutexName("ours");
    char traceFile[] = "/tmp/kernel-test-trace-XXXXXX";
    const int traceFd = mkstemp(traceFile);
    ASSERT_GE(traceFd, 0);
    close(traceFd);

    HANDLE mine = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    {
        Holder other(name, {std::string("POMRIVEL_TRACE=") + traceFile});
        ASSERT_TRUE(other.started());
        EXPECT_EQ(other.readLine(), "exists");
    }
    std::ifstream trace(traceFile);
    std::stringstream text;
    text << trace.rdbuf();
    EXPECT_EQ(text.str(), "mutex exists " + name + "\n");
    unlink(traceFile);

    // Closing our last handle frees the name for the others.
    EXPECT_TRUE(CloseHandle(mine));
    Holder later(name);
    EXPECT_EQ(later.readLine(), "created");
}

TEST_F(KernelMutexAcrossProcesses, ChildrenDoNotInheritTheLock) {
    const std::string name = uniqueMutexName("inherit");
    HANDLE mine = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    Holder child("--wait");  // started while we hold the name
    ASSERT_EQ(child.readLine(), "waiting");

    EXPECT_TRUE(CloseHandle(mine));
    HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "the child kept the lock alive";
    CloseHandle(again);
}

// ---- Clocks ----------------------------------------------------------------------

using FakeClock = test_support::ClockBackend;

class KernelClock : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<FakeClock>();
        clock_ = fake.get();
        platform::backend::install(std::move(fake));
    }
    // The next user of the backend chooses a real one again.
    void TearDown() override { platform::backend::install(nullptr); }

    FakeClock* clock_ = nullptr;
};

TEST_F(KernelClock, TickCountIsTheUptimeWrappedTo32Bits) {
    clock_->uptime = 1234;
    EXPECT_EQ(GetTickCount(), 1234u);

    clock_->uptime = (std::uint64_t{1} << 32) - 5;
    const DWORD before = GetTickCount();
    EXPECT_EQ(before, 4294967291u);
    clock_->uptime += 10;
    const DWORD after = GetTickCount();
    EXPECT_EQ(after, 5u);
    EXPECT_EQ(after - before, 10u);  // unsigned differences survive the wrap

    clock_->uptime = (std::uint64_t{3} << 32) + 7;
    EXPECT_EQ(GetTickCount(), 7u);
}

TEST_F(KernelClock, LocalTimeIsTheBackendsWallClock) {
    clock_->now = SYSTEMTIME{2024, 2, 4, 29, 23, 59, 58, 999};
    SYSTEMTIME st;
    std::memset(&st, 0xAB, sizeof st);
    GetLocalTime(&st);
    EXPECT_EQ(std::memcmp(&st, &clock_->now, sizeof st), 0);
    GetLocalTime(nullptr);  // nothing to fill, nothing done
}

// ---- Signals ---------------------------------------------------------------------

// The state letter of a process (R running, S sleeping, ...), from /proc.
char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() ? line[end + 2] : '?';
}

// In a forked child with the handlers installed: `body` runs, the parent
// sends `signal` once the child is ready, and the child's end is returned
// (the wait status), or -1 when it had not ended after `limitMs`.
int signalledChild(int signal, const std::function<int(int ready)>& body, int limitMs = 10000) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        platform::kernel::installSignalHandlers();
        _exit(body(pipeFds[1]));
    }
    close(pipeFds[1]);
    char c;
    pollfd p{pipeFds[0], POLLIN, 0};
    const bool ready = poll(&p, 1, 10000) == 1 && read(pipeFds[0], &c, 1) == 1;
    close(pipeFds[0]);
    // Once the child sleeps it is blocked in the call after its "ready".
    for (int waited = 0; ready && waited < 10000 && processState(pid) != 'S'; ++waited) usleep(1000);
    if (ready) kill(pid, signal);
    int status = 0;
    for (int waited = 0; waited < limitMs; waited += 5) {
        if (waitpid(pid, &status, WNOHANG) == pid) return ready ? status : -1;
        usleep(5000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(KernelSignals, InterruptTerminateAndHangUpInterruptABlockedCallWithACloseRequest) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::testing::Message() << "signal " << signal);
        const int status = signalledChild(signal, [](int ready) {
            int blocked[2];
            if (pipe(blocked) != 0) return 10;
            [[maybe_unused]] const ssize_t w = write(ready, "r", 1);
            char c;
            // Nothing ever arrives: only the signal ends the wait, and only
            // when the handler does not restart the call.
            if (read(blocked[0], &c, 1) != -1 || errno != EINTR) return 11;
            if (!platform::backend::takeCloseRequest()) return 12;
            return platform::backend::takeCloseRequest() ? 13 : 0;  // one request per signal
        });
        ASSERT_NE(status, -1) << "the signal did not end the blocked call";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

TEST(KernelSignals, AProgramThatNeverStopsIsEndedAFewSecondsAfterTheRequest) {
    const int status = signalledChild(SIGTERM, [](int ready) {
        [[maybe_unused]] const ssize_t w = write(ready, "r", 1);
        for (;;) pause();  // never looks at the request
        return 0;
    });
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGALRM);
}

}  // namespace
