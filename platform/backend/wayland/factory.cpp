#include "backend/factories.h"

namespace platform::backend {

std::unique_ptr<Backend> makeWaylandBackend(std::string& why) {
    why = "this build draws on Wayland through XWayland only";
    return nullptr;
}

}  // namespace platform::backend
