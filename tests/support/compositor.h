// Wayland compositors of the tests' own: sway and weston with headless
// outputs, each on a private runtime folder, run as an unprivileged user
// when the tests run as root (sway will not run as root), and the clients
// the tests drive them with (grim, swaymsg, wtype).
#pragma once

#include "support/png.h"

#include <map>
#include <string>
#include <vector>

namespace test_support {

class Compositor {
public:
    virtual ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Empty when it runs; else why not (not installed, did not start).
    const std::string& whyNot() const { return whyNot_; }
    // Its socket, as an absolute path (WAYLAND_DISPLAY may be one).
    const std::string& socket() const { return socket_; }
    int pid() const { return pid_; }
    // The environment of a program of ours shown on it: its socket, no X
    // display, the backend chosen as a user's would be.
    std::map<std::string, std::string> environment() const {
        return {{"WAYLAND_DISPLAY", socket_}, {"DISPLAY", ""}, {"POMRIVEL_BACKEND", ""}};
    }
    // Runs a command line through the shell as a client of it; its exit
    // status, and what it wrote to stdout and stderr in `output`.
    int client(const std::string& command, std::string* output = nullptr) const;
    // Whether a process named `name` runs as its child (XWayland).
    bool hasChild(const std::string& name) const;
    // What it wrote so far (sway's and weston's logs).
    std::string log() const;

protected:
    Compositor() = default;
    // Starts `program` with `argv` and `env` as its whole environment (the
    // runtime folder and home added), in a fresh runtime folder holding
    // `files` (name and text; "@DIR@" in an argument names the folder);
    // waits for its socket.
    void start(const std::string& program, std::vector<std::string> argv, const std::map<std::string, std::string>& env,
               const std::map<std::string, std::string>& files = {});
    std::string dir_;  // the runtime folder
    std::string whyNot_;

private:
    void stop();
    int pid_ = -1;
    std::string socket_;
};

// sway with `outputs.size()` headless outputs, HEADLESS-1, 2, ..., each
// set by its config line ("resolution 1280x1024 position 0,0 scale 2");
// no XWayland; the pixman renderer.
class Sway final : public Compositor {
public:
    explicit Sway(const std::vector<std::string>& outputs);
    // swaymsg with these arguments; its exit status.
    int swaymsg(const std::string& args, std::string* output = nullptr) const;
    // What output `name` shows, at its real pixels (grim). Empty when it
    // cannot be read.
    Image grab(const std::string& name) const;
};

// weston with one headless output of the size given and its desktop
// shell (xdg-shell, no layer-shell), the pixman renderer, its debug
// interface open.
class Weston final : public Compositor {
public:
    Weston(int width, int height);
    // Its scene graph (weston-debug): every layer, top first, with its
    // views, their roles, places and buffers. (Its screenshots cannot show
    // an XRGB8888 surface: the screenshot keeps the unused byte as alpha.)
    std::string sceneGraph() const;
};

// A PPM file (P6, 8-bit) as an image; empty when it cannot be read.
Image readPpm(const std::string& path);

}  // namespace test_support
