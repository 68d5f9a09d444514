#include "backend/factories.h"
#include "backend/wayland/desktop.h"

namespace platform::backend {

std::unique_ptr<Backend> makeWaylandBackend(std::string& why) { return wayland::Desktop::open(why); }

}  // namespace platform::backend
