// A private X server for the tests that need a real display.
#pragma once

#include <string>

namespace test_support {

class Xvfb {
public:
    // Starts Xvfb with one screen of the given size on a display number it
    // picks itself; display() (":N") is empty when no server could start.
    explicit Xvfb(const std::string& screen = "1024x768x24");
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    const std::string& display() const { return display_; }

private:
    int pid_ = -1;
    std::string display_;
};

// Runs a command line through the shell with DISPLAY set for every command
// of it; its exit status.
int onDisplay(const std::string& display, const std::string& command);

}  // namespace test_support
