// The process entry of a Win32 program on this layer: what the Windows C
// runtime start-up does before and after WinMain, and what a Linux host's
// conventions ask of the start-up (screensaver hack options, --help,
// --version). Kept out of the platform library so that programs with their
// own main (tests, tools) link it freely.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backend/backend.h"
#include "backend/trace.h"
#include "kernel/mutex.h"
#include "kernel/process.h"
#include "kernel/startup.h"

namespace {

// Whether WinMain will read the run switch from this tail: the letter after
// its first '-' or '/' is S.
bool runsTheSaver(const char* tail) {
    while (*tail && *tail != '-' && *tail != '/') ++tail;
    return *tail && (tail[1] == 'S' || tail[1] == 's');
}

// The named mutexes' scope for a host's window: copies drawing into
// different windows (monitors, a preview) do not keep each other out.
std::string hostScope(const platform::backend::HostOptions& host) {
    const char* display = std::getenv("DISPLAY");
    char window[32];
    std::snprintf(window, sizeof window, "0x%lx", host.window.value_or(0));
    return std::string("x11") + (display ? display : "") + "-" + (host.window ? window : "root");
}

void explainMissingDisplay(const platform::backend::HostOptions& host) {
    const std::string& why = platform::backend::whyDisplayMissing();
    // A host's window that cannot be drawn into is the host's affair: say
    // what is wrong with it, nothing about capturing frames.
    if (host.drawsIntoHostWindow()) {
        std::fprintf(stderr, "pomrivel: %s\n", why.c_str());
        return;
    }
    if (!why.empty() && why != "DISPLAY is not set")
        std::fprintf(stderr, "pomrivel: %s, so the saver has nowhere to be seen.\n", why.c_str());
    else
        std::fprintf(stderr,
                     "pomrivel: no display to show the saver on: DISPLAY and WAYLAND_DISPLAY are not set (or no X "
                     "or Wayland display could be opened).\n");
    std::fprintf(stderr,
                 "To see the saver's frames without a display, write them to PNG files with pomrivel-capture "
                 "(pomrivel-capture --help).\n");
}

}  // namespace

int main(int argc, char** argv) {
    using platform::kernel::StartUp;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const StartUp start = platform::kernel::readStartUp(args, std::getenv("XSCREENSAVER_WINDOW"));
    switch (start.action) {
        case StartUp::Action::Help: std::fputs(platform::kernel::helpText().c_str(), stdout); return 0;
        case StartUp::Action::Version: std::printf("pomrivel %s\n", POMRIVEL_VERSION); return 0;
        case StartUp::Action::Refuse: std::fprintf(stderr, "pomrivel: %s\n", start.error.c_str()); return 1;
        case StartUp::Action::RunProgram: break;
    }
    platform::backend::setHostOptions(start.host);
    if (start.host.drawsIntoHostWindow()) platform::kernel::setMutexScope(hostScope(start.host));

    // The Win32 program sees its own arguments only.
    std::vector<char*> programArgs{argc > 0 ? argv[0] : const_cast<char*>("pomrivel")};
    std::vector<std::string> kept = start.arguments;
    for (std::string& a : kept) programArgs.push_back(a.data());
    programArgs.push_back(nullptr);
    platform::kernel::setCommandLine(static_cast<int>(programArgs.size() - 1), programArgs.data());
    platform::kernel::installSignalHandlers();

    // The tail points into the process's own command-line buffer, writable as
    // the one Windows hands over is.
    LPSTR line = GetCommandLineA();
    LPSTR tail = line + (platform::kernel::commandLineTail(line) - line);

    // Run unseen, the saver would only cost: say what is missing instead.
    if (runsTheSaver(tail) && platform::backend::displayMissing()) {
        explainMissingDisplay(start.host);
        platform::backend::trace("exit 1");
        return 1;
    }

    const int status = WinMain(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL);
    platform::backend::trace("exit " + std::to_string(status));
    return status;
}
