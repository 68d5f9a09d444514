// Moves and clicks a Wayland compositor's pointer as a mouse would, through
// a virtual pointer (wlroots' zwlr_virtual_pointer_v1), for the tests:
//
//   virtual_pointer move DX DY | click | wait MS ...
//
// runs the steps in order on WAYLAND_DISPLAY; status 0 when all were sent.
#include "wlr-virtual-pointer-unstable-v1.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

wl_seat* gSeat = nullptr;
zwlr_virtual_pointer_manager_v1* gManager = nullptr;

void global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !gSeat)
        gSeat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        gManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void globalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistry = {global, globalRemove};

std::uint32_t now() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

}  // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "virtual_pointer: no Wayland compositor\n");
        return 2;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistry, nullptr);
    wl_display_roundtrip(display);
    if (!gManager) {
        std::fprintf(stderr, "virtual_pointer: the compositor has no virtual pointers\n");
        return 2;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(gManager, gSeat);
    wl_display_roundtrip(display);
    // A new pointer reaches the clients a moment later (each asks the seat
    // for it when told it has one), as a mouse just plugged in does.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "move" && i + 2 < argc) {
            zwlr_virtual_pointer_v1_motion(pointer, now(), wl_fixed_from_double(std::atof(argv[i + 1])),
                                           wl_fixed_from_double(std::atof(argv[i + 2])));
            zwlr_virtual_pointer_v1_frame(pointer);
            i += 2;
        } else if (step == "click") {
            zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (step == "wait" && i + 1 < argc) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[++i])));
        } else {
            std::fprintf(stderr, "virtual_pointer: what is \"%s\"?\n", step.c_str());
            return 2;
        }
        wl_display_roundtrip(display);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(gManager);
    if (gSeat) wl_seat_destroy(gSeat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
