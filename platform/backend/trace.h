// A trace of the platform events a person would notice (a window shown, a
// caption set, a message box, a display mode change, ...), one line each,
// written to the file named by POMRIVEL_TRACE, so a run can be checked from
// outside the process. Without the variable nothing is written.
#pragma once

#include <string>

namespace platform::backend {

void trace(const std::string& line);

}  // namespace platform::backend
