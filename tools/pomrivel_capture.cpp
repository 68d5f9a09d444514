// pomrivel-capture: runs the saver program that sits next to this tool on the
// headless backend (a virtual screen and clock, no display) and writes the
// frames it presents as PNG files.
//
// The saver is the real program, started with /s as the system starts it.
// The virtual screen counts the pictures it writes and, once the last one
// asked for is written, closes the saver's window as a window manager would;
// the saver stops on that in its orderly way.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: pomrivel-capture [options]\n"
    "\n"
    "Runs the saver on a virtual screen and clock, with no display, and writes\n"
    "the pictures its window shows as DIR/frame-NNNNNN.png, NNNNNN counting\n"
    "them from 1. Picture 1 is the window as it appears, still black; the\n"
    "saver's own frames follow, its n-th frame being picture n + 1.\n"
    "\n"
    "  --frames N     pictures to write (default 1)\n"
    "  --every N      write every N-th picture (default 1)\n"
    "  --first K      skip the first K pictures (default 1: the blank window)\n"
    "  --size WxH     the virtual screen the saver starts on (default 640x480);\n"
    "                 the saver switches it to 640x480 for its run, as on a\n"
    "                 desktop, so its frames are 640x480 unless --keep-mode\n"
    "  --keep-mode    the screen's mode cannot be read, so the saver keeps it\n"
    "                 and draws on the whole WxH screen (it reports that in a\n"
    "                 message box, which the virtual screen answers)\n"
    "  --uptime MS    time since the system started, in ms, when the run\n"
    "                 begins (default 3600000); near 4294967296 the 32-bit\n"
    "                 tick count wraps during the run\n"
    "  --out DIR      folder for the pictures, made if missing (default captures);\n"
    "                 pictures of the same names already there are replaced\n"
    "  --help         this text\n"
    "\n"
    "At 50 frames a second the first walk ends at picture 789, the sand shows\n"
    "from picture 2765 and the landscape comes back at picture 5729.\n";

// About 55 hours of the saver at 50 frames a second.
const long kMostPictures = 10'000'000;

struct Options {
    long frames = 1;
    long every = 1;
    long first = 1;
    long width = 640;
    long height = 480;
    bool keepMode = false;
    std::uint64_t uptime = 3'600'000;
    std::string out = "captures";
};

bool parseCount(const char* text, long minimum, long& value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < minimum || v > 100'000'000) return false;
    value = v;
    return true;
}

bool parseSize(const char* text, long& width, long& height) {
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    const long h = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
    width = w;
    height = h;
    return true;
}

bool parseUptime(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || v > (1ull << 48)) return false;
    value = v;
    return true;
}

// Returns 0 on success, 1 for a bad command line (message printed), and 2
// when --help was asked for.
int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return 2;
        if (arg == "--keep-mode") {
            o.keepMode = true;
            continue;
        }
        if (arg != "--frames" && arg != "--every" && arg != "--first" && arg != "--size" && arg != "--uptime" &&
            arg != "--out") {
            std::fprintf(stderr, "pomrivel-capture: unknown option %s (see --help)\n", arg.c_str());
            return 1;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "pomrivel-capture: %s needs a value (see --help)\n", arg.c_str());
            return 1;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--frames")
            ok = parseCount(value, 1, o.frames);
        else if (arg == "--every")
            ok = parseCount(value, 1, o.every);
        else if (arg == "--first")
            ok = parseCount(value, 0, o.first);
        else if (arg == "--size")
            ok = parseSize(value, o.width, o.height);
        else if (arg == "--uptime")
            ok = parseUptime(value, o.uptime);
        else
            ok = value[0] != '\0' && std::string(value).find(';') == std::string::npos;  // --out
        if (!ok) {
            std::fprintf(stderr, "pomrivel-capture: bad value for %s: %s (see --help)\n", arg.c_str(), value);
            return 1;
        }
        if (arg == "--out") o.out = value;
    }
    return 0;
}

std::string saverPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "pomrivel";
    return (self.parent_path() / "pomrivel").string();
}

std::string frameName(long number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06ld.png", number);
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    switch (parseOptions(argc, argv, o)) {
        case 1: return 1;
        case 2: std::fputs(kUsage, stdout); return 0;
        default: break;
    }

    const std::string saver = saverPath();
    if (access(saver.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "pomrivel-capture: cannot run the saver %s: %s\n", saver.c_str(), std::strerror(errno));
        return 1;
    }

    // Pictures are counted from 1; the last one written is picture
    // first + 1 + (frames - 1) * every.
    const long lastFrame = o.first + 1 + (o.frames - 1) * o.every;
    if (lastFrame > kMostPictures) {
        std::fprintf(stderr, "pomrivel-capture: picture %ld is too far; the run stops at picture %ld\n", lastFrame,
                     kMostPictures);
        return 1;
    }

    std::string settings = "screen=" + std::to_string(o.width) + "x" + std::to_string(o.height) +
                           ";uptime=" + std::to_string(o.uptime) + ";step=1" + ";capture=" + o.out +
                           ";capture-first=" + std::to_string(o.first) + ";capture-every=" + std::to_string(o.every) +
                           ";capture-count=" + std::to_string(o.frames);
    if (o.keepMode) settings += ";mode-query=fail";

    std::error_code ec;
    std::filesystem::create_directories(o.out, ec);
    for (long i = 0; i < o.frames; ++i)
        std::filesystem::remove(std::filesystem::path(o.out) / frameName(o.first + 1 + i * o.every), ec);

    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("pomrivel-capture: fork");
        return 1;
    }
    if (child == 0) {
        setenv("POMRIVEL_BACKEND", "headless", 1);
        setenv("POMRIVEL_HEADLESS", settings.c_str(), 1);
        char* const args[] = {const_cast<char*>(saver.c_str()), const_cast<char*>("/s"), nullptr};
        execv(saver.c_str(), args);
        std::fprintf(stderr, "pomrivel-capture: cannot run the saver %s: %s\n", saver.c_str(), std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("pomrivel-capture: waitpid");
            return 1;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (WIFSIGNALED(status))
            std::fprintf(stderr, "pomrivel-capture: the saver was ended by signal %d\n", WTERMSIG(status));
        else
            std::fprintf(stderr, "pomrivel-capture: the saver exited with status %d\n", WEXITSTATUS(status));
        return 1;
    }

    long missing = 0;
    for (long i = 0; i < o.frames; ++i) {
        const std::string name = frameName(o.first + 1 + i * o.every);
        if (!std::filesystem::exists(std::filesystem::path(o.out) / name)) {
            if (missing == 0)
                std::fprintf(stderr, "pomrivel-capture: the saver ended without writing %s\n", name.c_str());
            ++missing;
        }
    }
    if (missing) {
        std::fprintf(stderr,
                     "pomrivel-capture: %ld of %ld pictures missing (is another saver running? it allows one at "
                     "a time)\n",
                     missing, o.frames);
        return 1;
    }
    if (o.frames == 1)
        std::printf("pomrivel-capture: wrote %s/%s\n", o.out.c_str(), frameName(o.first + 1).c_str());
    else
        std::printf("pomrivel-capture: wrote %ld pictures to %s/ (%s to %s)\n", o.frames, o.out.c_str(),
                    frameName(o.first + 1).c_str(), frameName(lastFrame).c_str());
    return 0;
}
