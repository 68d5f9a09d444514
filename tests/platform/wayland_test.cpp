// The Wayland backend's parts: keys through xkbcommon keymaps, where the
// program sees the pointer, and the whole backend in this process on a
// real compositor (sway, headless), driven by a virtual pointer and
// keyboard.
#include "backend/factories.h"
#include "backend/wayland/keyboard.h"
#include "backend/wayland/pointer.h"
#include "gdi/objects.h"
#include "support/compositor.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::backend::Backend;
using platform::backend::Event;
using platform::backend::EventType;
using platform::backend::wayland::Keyboard;
using platform::backend::wayland::PointerTrack;

// A keymap as a compositor sends it: xkbcommon's text form.
struct Keymap {
    std::string text;
    std::uint32_t altMask = 0, shiftMask = 0;
};

Keymap keymapFor(const char* layout) {
    Keymap k;
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap) {
        char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        k.text = text;
        std::free(text);
        k.altMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_ALT);
        k.shiftMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return k;
}

int releaseOf(Keyboard& keyboard, std::uint32_t evdev) {
    const auto k = keyboard.key(evdev, false);
    return k ? k->virtualKey : -1;
}

TEST(WaylandKeyboard, NamesKeysByTheirFirstLevelAsX11Does) {
    const Keymap us = keymapFor("us"), de = keymapFor("de"), ru = keymapFor("ru");
    if (us.text.empty()) GTEST_SKIP() << "no XKB data (xkb-data) to build keymaps from";
    Keyboard keyboard;
    EXPECT_EQ(releaseOf(keyboard, KEY_A), -1) << "no keymap yet: no key";
    ASSERT_TRUE(keyboard.setKeymap(us.text + '\0'));
    EXPECT_EQ(releaseOf(keyboard, KEY_A), 'A');
    EXPECT_EQ(releaseOf(keyboard, KEY_SPACE), VK_SPACE);
    EXPECT_EQ(releaseOf(keyboard, KEY_ESC), VK_ESCAPE);
    EXPECT_EQ(releaseOf(keyboard, KEY_F4), VK_F1 + 3);
    // Shift makes another character, not another key.
    keyboard.setModifiers(us.shiftMask, 0, 0, 0);
    EXPECT_EQ(releaseOf(keyboard, KEY_1), '1');
    keyboard.setModifiers(0, 0, 0, 0);
    // A keymap that cannot be read leaves the one before.
    EXPECT_FALSE(keyboard.setKeymap("xkb_keymap { nonsense"));
    EXPECT_EQ(releaseOf(keyboard, KEY_A), 'A');

    // QWERTZ: the key at Y's place is Z.
    ASSERT_TRUE(keyboard.setKeymap(de.text));
    EXPECT_EQ(releaseOf(keyboard, KEY_Y), 'Z');
    // Cyrillic letters keep the letter codes of their places.
    ASSERT_TRUE(keyboard.setKeymap(ru.text));
    EXPECT_EQ(releaseOf(keyboard, KEY_Q), 'Q');
    EXPECT_EQ(releaseOf(keyboard, KEY_0), '0');
}

TEST(WaylandKeyboard, AltIsAsItIsAfterTheEvent) {
    const Keymap us = keymapFor("us");
    if (us.text.empty()) GTEST_SKIP() << "no XKB data (xkb-data) to build keymaps from";
    Keyboard keyboard;
    ASSERT_TRUE(keyboard.setKeymap(us.text));
    // The compositor sends the modifiers after the key that changes them.
    auto alt = keyboard.key(KEY_LEFTALT, true);
    ASSERT_TRUE(alt);
    EXPECT_EQ(alt->virtualKey, VK_MENU);
    EXPECT_TRUE(alt->altDown);
    keyboard.setModifiers(us.altMask, 0, 0, 0);
    const auto f4 = keyboard.key(KEY_F4, false);
    ASSERT_TRUE(f4);
    EXPECT_TRUE(f4->altDown);
    alt = keyboard.key(KEY_LEFTALT, false);
    ASSERT_TRUE(alt);
    EXPECT_FALSE(alt->altDown);
    keyboard.setModifiers(0, 0, 0, 0);
    EXPECT_FALSE(keyboard.key(KEY_F4, false)->altDown);
}

TEST(WaylandKeyboard, AKeyHeldWhenTheKeyboardCameIsNotOurs) {
    const Keymap us = keymapFor("us");
    if (us.text.empty()) GTEST_SKIP() << "no XKB data (xkb-data) to build keymaps from";
    Keyboard keyboard;
    ASSERT_TRUE(keyboard.setKeymap(us.text));
    // The Enter that started the program in a terminal.
    keyboard.entered({KEY_ENTER});
    EXPECT_EQ(releaseOf(keyboard, KEY_ENTER), -1);
    EXPECT_EQ(releaseOf(keyboard, KEY_A), 'A');
    // Pressed again, it is ours.
    EXPECT_TRUE(keyboard.key(KEY_ENTER, true));
    EXPECT_EQ(releaseOf(keyboard, KEY_ENTER), VK_RETURN);
}

TEST(WaylandPointer, TheFirstEntryIsNoMovementAndLaterOnesAreTheirFullSize) {
    PointerTrack p;
    // Unknown: the centre, every time.
    EXPECT_EQ(p.read({640, 480}).x, 320);
    EXPECT_EQ(p.read({640, 480}).y, 240);
    // The entry tells where it is: the program reads what it read before.
    const POINT entered = p.at({-40, 17}, {640, 480});
    EXPECT_EQ(entered.x, 320);
    EXPECT_EQ(entered.y, 240);
    EXPECT_EQ(p.read({640, 480}).x, 320);
    // From there on each change is a movement of its size, bars and
    // beyond the screen included (no clamping).
    EXPECT_EQ(p.at({-34, 17}, {640, 480}).x, 326);
    EXPECT_EQ(p.at({-1000, 17}, {640, 480}).x, 320 - 960);
    EXPECT_EQ(p.read({640, 480}).x, 320 - 960);

    // Entering before the program ever read goes on from the centre.
    PointerTrack q;
    EXPECT_EQ(q.at({5, 5}, {800, 600}).x, 400);
    EXPECT_EQ(q.at({15, 5}, {800, 600}).x, 410);
}

// ---- The backend on sway ----

using namespace std::chrono_literals;

// Runs the backend's loop (as the message queue does) until `done`, or
// two seconds; the events it took.
std::vector<Event> pump(Backend& b, const std::function<bool()>& done = [] { return false; },
                        std::chrono::milliseconds limit = 2000ms) {
    std::vector<Event> events;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until && !done()) {
        Event e;
        while (b.pollEvent(e)) events.push_back(e);
        b.showFrames();
        b.idle();
    }
    return events;
}

// A client command of the compositor's, run while the backend's loop runs
// (the compositor tells us of a new device only while we listen).
std::vector<Event> whileRunning(Backend& b, const test_support::Sway& sway, const std::string& command) {
    auto client = std::async(std::launch::async, [&] { return sway.client(command); });
    std::vector<Event> events = pump(b, [&] { return client.wait_for(0s) == std::future_status::ready; }, 10000ms);
    EXPECT_EQ(client.get(), 0) << command;
    // What it sent last may still be on its way.
    const std::vector<Event> late = pump(b, [] { return false; }, 200ms);
    events.insert(events.end(), late.begin(), late.end());
    return events;
}

bool has(const std::vector<Event>& events, EventType type, platform::backend::WindowId window) {
    for (const Event& e : events)
        if (e.type == type && e.window == window) return true;
    return false;
}

TEST(WaylandDesktop, InputFromEveryOutputReachesTheWindowThroughEachOutputsLetterbox) {
    // HEADLESS-1: 1280x1024, the picture doubled with 32-pixel bars above
    // and below; HEADLESS-2 right of it: 3840x2160 at scale 2, the picture
    // 4.5 times its size in real pixels, bars left and right.
    test_support::Sway sway({"resolution 1280x1024 position 0,0", "resolution 3840x2160 position 1280,0 scale 2"});
    if (!sway.whyNot().empty()) GTEST_SKIP() << sway.whyNot();
    const char* before = std::getenv("WAYLAND_DISPLAY");
    const std::string saved = before ? before : "";
    setenv("WAYLAND_DISPLAY", sway.socket().c_str(), 1);
    std::string why;
    std::unique_ptr<Backend> b = platform::backend::makeWaylandBackend(why);
    setenv("WAYLAND_DISPLAY", saved.c_str(), 1);
    ASSERT_TRUE(b) << why;

    ASSERT_EQ(b->changeMode({640, 480, 32, 60}), DISP_CHANGE_SUCCESSFUL);
    const auto id = b->createWindow("saver", 0, 0, 640, 480);
    b->show(id, true);
    b->setCursorVisible(false);
    platform::gdi::Surface frame(640, 480, platform::gdi::PixelFormat::Rgb32);
    b->recordFrame(id, frame);
    pump(*b, [] { return false; }, 500ms);

    const std::string pointer = VIRTUAL_POINTER;
    const POINT centre = b->cursorPosition();
    EXPECT_EQ(centre.x, 320);
    // The pointer starts in HEADLESS-1's top bar; its first entry moves
    // nothing the program sees.
    whileRunning(*b, sway, pointer + " move 1 0");
    EXPECT_EQ(b->cursorPosition().x, 320);
    // 100 pixels across HEADLESS-1 are 50 of the picture's, in the bar too.
    std::vector<Event> events = whileRunning(*b, sway, pointer + " move 100 0");
    EXPECT_EQ(b->cursorPosition().x, 370);
    EXPECT_TRUE(has(events, EventType::MouseMove, id));
    // On HEADLESS-2, 200 logical pixels are 400 real ones, 400 / 4.5 of the
    // picture's.
    whileRunning(*b, sway, pointer + " move 1280 0");
    const LONG there = b->cursorPosition().x;
    whileRunning(*b, sway, pointer + " move 200 0");
    EXPECT_NEAR(b->cursorPosition().x - there, 400 / 4.5, 1.0);
    // Buttons and keys on any output are the window's.
    events = whileRunning(*b, sway, pointer + " click");
    EXPECT_TRUE(has(events, EventType::ButtonDown, id));
    EXPECT_TRUE(has(events, EventType::ButtonUp, id));
    events = whileRunning(*b, sway, "wtype -s 500 -k a");
    bool keyA = false;
    for (const Event& e : events) keyA |= e.type == EventType::KeyUp && e.virtualKey == 'A' && e.window == id;
    EXPECT_TRUE(keyA);
    b->destroyWindow(id);
}

}  // namespace
