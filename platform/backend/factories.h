// Constructors of the backends, for the chooser in backend.cpp.
#pragma once

#include "backend/backend.h"

#include <string>

namespace platform::backend {

// The window systems' backends: null, with the reason in `why`, when their
// display cannot be opened or drawn on. X11's draws into a screensaver
// host's window when the start-up named one (hostOptions()).
std::unique_ptr<Backend> makeX11Backend(std::string& why);
std::unique_ptr<Backend> makeWaylandBackend(std::string& why);
// What runs when there is no display: nothing is shown, boxes go to stderr.
std::unique_ptr<Backend> makeNoDisplayBackend();
// Configured from the POMRIVEL_HEADLESS environment variable.
std::unique_ptr<Backend> makeHeadlessBackend();

}  // namespace platform::backend
