#include "support/compositor.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

namespace fs = std::filesystem;

namespace {

bool installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

Compositor::~Compositor() {
    stop();
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

void Compositor::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) sleepMs(20);
    if (waitpid(pid_, nullptr, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

std::string Compositor::log() const { return dir_.empty() ? "" : readText(dir_ + "/log.txt"); }

void Compositor::start(const std::string& program, std::vector<std::string> argv,
                       const std::map<std::string, std::string>& env, const std::map<std::string, std::string>& files) {
    if (!installed(program)) {
        whyNot_ = program + " is not installed (scripts/install-deps.sh installs it)";
        return;
    }
    char folder[] = "/tmp/pomrivel-wayland-XXXXXX";
    if (!mkdtemp(folder)) {
        whyNot_ = "no runtime folder could be made";
        return;
    }
    dir_ = folder;
    const std::string home = dir_ + "/home";
    fs::create_directories(home);
    // Compositors that refuse root run as nobody, in a folder of its own.
    const bool root = geteuid() == 0;
    if (root) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) {
            whyNot_ = "there is no user nobody to run " + program + " as";
            return;
        }
        if (chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0 ||
            chown(home.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            whyNot_ = "the runtime folder could not be given to nobody";
            return;
        }
    }
    chmod(dir_.c_str(), 0700);
    for (const auto& [name, text] : files) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        chmod(path.c_str(), 0644);
    }
    for (std::string& a : argv)
        if (const auto at = a.find("@DIR@"); at != std::string::npos) a.replace(at, 5, dir_);
    std::vector<std::string> args;
    if (root) args = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
    args.push_back(program);
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + home,
                                            "XDG_RUNTIME_DIR=" + dir_};
    for (const auto& [k, v] : env) environment.push_back(k + "=" + v);

    const std::string logPath = dir_ + "/log.txt";
    pid_ = fork();
    if (pid_ == 0) {
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        std::vector<char*> a, e;
        for (auto& s : args) a.push_back(s.data());
        a.push_back(nullptr);
        for (auto& s : environment) e.push_back(s.data());
        e.push_back(nullptr);
        execvpe(a[0], a.data(), e.data());
        _exit(127);
    }
    // Ready once its socket is there.
    for (int i = 0; i < 500 && socket_.empty(); ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) != 0) {
            pid_ = -1;
            whyNot_ = program + " ended at start:\n" + log();
            return;
        }
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos &&
                entry.is_socket())
                socket_ = entry.path().string();
        }
        if (socket_.empty()) sleepMs(20);
    }
    if (socket_.empty()) whyNot_ = program + " made no socket in 10 seconds:\n" + log();
}

int Compositor::client(const std::string& command, std::string* output) const {
    std::string line = "export XDG_RUNTIME_DIR='" + dir_ + "' WAYLAND_DISPLAY='" + socket_ + "'; ";
    // sway's IPC socket, for swaymsg.
    line += "export SWAYSOCK=$(ls '" + dir_ + "'/sway-ipc.*.sock 2>/dev/null | head -n 1); ";
    line += "unset DISPLAY; ( " + command + " ) 2>&1";
    FILE* p = popen(line.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
    const int status = pclose(p);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Compositor::hasChild(const std::string& name) const {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = readText(entry.path().string() + "/stat");
        // pid (comm) state ppid ...
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        int ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == pid_ &&
            stat.substr(open + 1, close - open - 1) == name)
            return true;
    }
    return false;
}

// ---- sway ----

Sway::Sway(const std::vector<std::string>& outputs) {
    std::string config = "xwayland disable\n";
    for (std::size_t i = 0; i < outputs.size(); ++i)
        config += "output HEADLESS-" + std::to_string(i + 1) + " " + outputs[i] + "\n";
    start("sway", {"-c", "@DIR@/config"},
          {{"WLR_BACKENDS", "headless"},
           {"WLR_LIBINPUT_NO_DEVICES", "1"},
           {"WLR_RENDERER", "pixman"},
           {"WLR_HEADLESS_OUTPUTS", std::to_string(outputs.size())}},
          {{"config", config}});
    if (!whyNot_.empty()) return;
    // Its outputs are configured once it answers on its IPC socket with all
    // of them.
    for (int i = 0; i < 250; ++i) {
        std::string text;
        if (swaymsg("-t get_outputs", &text) == 0) {
            std::size_t count = 0;
            for (std::size_t at = 0; (at = text.find("\"HEADLESS-", at)) != std::string::npos; ++at) ++count;
            if (count >= outputs.size()) return;
        }
        sleepMs(20);
    }
    whyNot_ = "sway did not report its outputs:\n" + log();
}

int Sway::swaymsg(const std::string& args, std::string* output) const { return client("swaymsg " + args, output); }

Image Sway::grab(const std::string& name) const {
    const std::string file = dir_ + "/grab-" + name + ".ppm";
    if (client("grim -t ppm -o " + name + " '" + file + "'") != 0) return {};
    Image image = readPpm(file);
    std::remove(file.c_str());
    return image;
}

// ---- weston ----

Weston::Weston(int width, int height) {
    start("weston",
          {"--backend=headless-backend.so", "--use-pixman", "--width=" + std::to_string(width),
           "--height=" + std::to_string(height), "--socket=wayland-1", "--idle-time=0",
           // Opens weston-debug's scene graph.
           "--debug"},
          {});
}

std::string Weston::sceneGraph() const {
    std::string text;
    client("timeout 5 weston-debug scene-graph", &text);
    return text;
}

// ---- PPM ----

Image readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, most = 0;
    in >> magic >> width >> height >> most;
    in.get();  // the one whitespace before the pixels
    Image image;
    if (!in || magic != "P6" || width <= 0 || height <= 0 || most != 255) return image;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width) * height * 3);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return image;
    image.width = width;
    image.height = height;
    image.rgb8 = true;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = std::uint32_t{bytes[3 * i]} << 16 | std::uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
    return image;
}

}  // namespace test_support
