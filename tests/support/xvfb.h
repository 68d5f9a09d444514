// A private X server for the tests that need a real display.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace test_support {

class Xvfb {
public:
    // Starts Xvfb with one screen of the given size (and any further
    // arguments, "-extension MIT-SHM" say) on a display number it picks
    // itself; display() (":N") is empty when no server could start.
    explicit Xvfb(const std::string& screen = "1024x768x24", const std::vector<std::string>& arguments = {});
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    const std::string& display() const { return display_; }
    // The environment of a program of ours shown on this server: its
    // display, no Wayland one, the X11 backend.
    std::map<std::string, std::string> environment() const {
        return {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", ""}, {"POMRIVEL_BACKEND", "x11"}};
    }
    // Ends the server now, as a crash or a closed session would.
    void stop();

private:
    int pid_ = -1;
    // The process that started the server: a forked child (a death test)
    // that exits must not take the server with it.
    int owner_ = -1;
    std::string display_;
};

// Runs a command line through the shell with DISPLAY set for every command
// of it; its exit status.
int onDisplay(const std::string& display, const std::string& command);

}  // namespace test_support
