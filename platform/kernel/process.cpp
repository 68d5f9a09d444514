// The command line, the program's module handle and the signal mapping.
#include "kernel/process.h"

#include <windows.h>

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "backend/backend.h"

namespace platform::kernel {

namespace {


std::string& commandLine() {
    static std::string line;
    return line;
}

// argv[0] is always quoted, as Explorer and CreateProcess present a program's
// path. Windows splits the program name at the next quote with no escapes,
// so a quote inside it cannot be represented; Windows paths never hold one,
// and here it is dropped.
void appendProgram(std::string& out, const char* program) {
    out += '"';
    for (const char* p = program; *p; ++p)
        if (*p != '"') out += *p;
    out += '"';
}

// An argument as the Microsoft C runtime's parser will split it back out:
// plain when it has no blank or quote (and is not empty); otherwise in
// quotes, with each embedded quote escaped by a backslash and the
// backslashes right before a quote (or the closing quote) doubled.
void appendArgument(std::string& out, const char* arg) {
    if (*arg && !std::strpbrk(arg, " \t\n\v\"")) {
        out += arg;
        return;
    }
    out += '"';
    std::size_t backslashes = 0;
    for (const char* p = arg;; ++p) {
        if (*p == '\\') {
            ++backslashes;
            continue;
        }
        if (*p == '\0') {
            out.append(backslashes * 2, '\\');
            break;
        }
        if (*p == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        out += *p;
        backslashes = 0;
    }
    out += '"';
}

// The module handle is the address of this object: unique, non-null, and
// never dereferenced by anyone.
const char moduleIdentity = 0;

// How long the orderly stop may take before the process ends anyway.
constexpr unsigned kStopDeadlineSeconds = 3;

// Async-signal-safe: it sets an atomic flag and writes a byte to a pipe
// (which wakes an idle wait). The first request also arms an alarm whose
// default action ends the process, so a program that never gets back to
// its message loop still ends.
void onTerminationSignal(int) {
    static volatile sig_atomic_t requested = 0;
    if (!requested) {
        requested = 1;
        alarm(kStopDeadlineSeconds);
    }
    platform::backend::requestCloseFromSignal();
}

}  // namespace

void setCommandLine(int argc, char** argv) {
    std::string line;
    if (argc > 0 && argv && argv[0]) appendProgram(line, argv[0]);
    for (int i = 1; i < argc && argv[i]; ++i) {
        line += ' ';
        appendArgument(line, argv[i]);
    }
    commandLine() = std::move(line);
}

const char* commandLineTail(const char* line) {
    if (!line) return "";
    const char* p = line;
    if (*p == '"') {
        const char* closing = std::strchr(p + 1, '"');
        if (!closing) return line;
        p = closing + 1;
    } else {
        while (*p && *p != ' ') ++p;
    }
    while (*p == ' ') ++p;
    return p;
}

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a call blocked in the kernel returns (EINTR) so the
    // program can see the request.
    action.sa_flags = 0;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    // The deadline's alarm ends the process as SIGALRM does by default.
    signal(SIGALRM, SIG_DFL);
}

HINSTANCE mainModule() {
    return reinterpret_cast<HINSTANCE>(const_cast<char*>(&moduleIdentity));
}

}  // namespace platform::kernel

extern "C" {

// Before setCommandLine the line is empty (a program with its own main that
// never recorded its arguments).
LPSTR WINAPI GetCommandLineA(void) {
    return platform::kernel::commandLine().data();
}

// Only the program itself is a module here: any name fails as a module that
// is not loaded would, the program's own file name included.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return platform::kernel::mainModule();
}

}  // extern "C"
