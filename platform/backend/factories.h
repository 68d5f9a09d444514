// Constructors of the two backends, for the chooser in backend.cpp.
#pragma once

#include "backend/backend.h"

namespace platform::backend {

// Null when no display can be opened.
std::unique_ptr<Backend> makeSdlBackend();
// What runs when there is no display: nothing is shown, boxes go to stderr.
std::unique_ptr<Backend> makeNoDisplayBackend();
// Configured from the POMRIVEL_HEADLESS environment variable.
std::unique_ptr<Backend> makeHeadlessBackend();

}  // namespace platform::backend
