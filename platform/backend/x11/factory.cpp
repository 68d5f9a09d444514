#include "backend/factories.h"
#include "backend/x11/desktop.h"
#include "backend/x11/host.h"

namespace platform::backend {

std::unique_ptr<Backend> makeX11Backend(std::string& why) {
    if (hostOptions().drawsIntoHostWindow()) return x11::Host::open(hostOptions(), why);
    return x11::Desktop::open(why);
}

}  // namespace platform::backend
