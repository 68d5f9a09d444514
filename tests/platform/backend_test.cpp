// The headless backend: its virtual clock, scripts, message boxes, display
// modes and frame capture; the choice of backend.
#include "backend/factories.h"
#include "backend/headless/headless.h"
#include "backend/png.h"
#include "gdi/objects.h"
#include "support/png.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>


namespace {

using platform::backend::DisplayMode;
using platform::backend::Event;
using platform::backend::EventType;
using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;
using platform::backend::MouseButton;
using platform::gdi::PixelFormat;
using platform::gdi::Surface;
namespace fs = std::filesystem;

HeadlessConfig withScript(const std::string& script, HeadlessConfig config = {}) {
    std::string error;
    EXPECT_TRUE(platform::backend::parseScript(script, '|', config.script, error)) << error;
    return config;
}

HeadlessConfig fromText(const std::string& text) {
    HeadlessConfig config;
    std::string error;
    EXPECT_TRUE(platform::backend::parseHeadlessConfig(text, config, error)) << error;
    return config;
}

Surface filled(int w, int h, std::uint32_t pixel) {
    Surface s(w, h, PixelFormat::Rgb32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.rgbRow(y)[x] = pixel;
    return s;
}

// The next event, polling through at most `limit` idle polls.
std::optional<Event> nextEvent(HeadlessBackend& b, int limit = 100000) {
    Event e;
    for (int i = 0; i <= limit; ++i)
        if (b.pollEvent(e)) return e;
    return std::nullopt;
}

// A scratch directory removed at the end of the test.
struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& name)
        : path(fs::temp_directory_path() / ("pomrivel-backend-" + std::to_string(getpid()) + "-" + name)) {
        fs::remove_all(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// Reads a PNG back with libpng: 8-bit RGB pixels as 0x00RRGGBB.
// ---- The virtual clock ----

TEST(HeadlessClock, MovesOnlyOnIdlePollsAndWrapsThe32BitTickCount) {
    HeadlessConfig config = withScript("0 keyup A|0 keyup B");
    config.uptime = 0xFFFFFFFFull - 4;
    config.step = 2;
    auto b = platform::backend::makeHeadlessBackend(config);
    EXPECT_EQ(b->uptimeMilliseconds(), 0xFFFFFFFFull - 4);

    Event e;
    ASSERT_TRUE(b->pollEvent(e));
    ASSERT_TRUE(b->pollEvent(e));
    EXPECT_EQ(b->uptimeMilliseconds(), 0xFFFFFFFFull - 4) << "delivering events takes no virtual time";

    EXPECT_FALSE(b->pollEvent(e));
    EXPECT_FALSE(b->pollEvent(e));
    EXPECT_EQ(static_cast<DWORD>(b->uptimeMilliseconds()), 0xFFFFFFFFu);
    EXPECT_FALSE(b->pollEvent(e));
    EXPECT_EQ(b->uptimeMilliseconds(), 0x100000001ull);
    EXPECT_EQ(static_cast<DWORD>(b->uptimeMilliseconds()), 1u);
    EXPECT_EQ(b->elapsed(), 6u);
}

TEST(HeadlessClock, LocalTimeMovesWithTheClockAcrossDayMonthAndYearEnds) {
    {
        auto b = platform::backend::makeHeadlessBackend({});
        const SYSTEMTIME t = b->localTime();
        EXPECT_EQ(t.wYear, 2003);
        EXPECT_EQ(t.wMonth, 6);
        EXPECT_EQ(t.wDay, 1);
        EXPECT_EQ(t.wDayOfWeek, 0) << "1 June 2003 was a Sunday";
        EXPECT_EQ(t.wHour, 12);
    }
    struct Case {
        const char* start;
        std::uint64_t step;
        WORD year, month, day, dayOfWeek, hour, minute, second, ms;
    };
    const Case cases[] = {
        {"2004-02-28T23:59:59.999", 2, 2004, 2, 29, 0, 0, 0, 0, 1},              // leap day, a Sunday
        {"2000-12-31T23:59:59.500", 1000, 2001, 1, 1, 1, 0, 0, 0, 500},          // new year, a Monday
        {"2100-02-28T10:20:30.040", 86'400'000, 2100, 3, 1, 1, 10, 20, 30, 40},  // no 29 Feb in 2100
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        HeadlessConfig config = fromText(std::string("localtime=") + c.start);
        config.step = c.step;
        auto b = platform::backend::makeHeadlessBackend(config);
        Event e;
        EXPECT_FALSE(b->pollEvent(e));
        const SYSTEMTIME t = b->localTime();
        EXPECT_EQ(t.wYear, c.year);
        EXPECT_EQ(t.wMonth, c.month);
        EXPECT_EQ(t.wDay, c.day);
        EXPECT_EQ(t.wDayOfWeek, c.dayOfWeek);
        EXPECT_EQ(t.wHour, c.hour);
        EXPECT_EQ(t.wMinute, c.minute);
        EXPECT_EQ(t.wSecond, c.second);
        EXPECT_EQ(t.wMilliseconds, c.ms);
    }
}

TEST(HeadlessClock, ExitAfterSendsOneCloseRequestOnceTheTimeHasCome) {
    HeadlessConfig config = fromText("exit-after=5;step=1");
    auto b = platform::backend::makeHeadlessBackend(config);
    Event e;
    int idle = 0;
    while (!b->pollEvent(e)) ++idle;
    EXPECT_EQ(idle, 5);
    EXPECT_EQ(e.type, EventType::CloseRequest);
    EXPECT_EQ(e.window, 0u);
    EXPECT_FALSE(nextEvent(*b, 1000)) << "the close request comes once";
}

// ---- Scripts ----

TEST(HeadlessScript, ReadsKeysByNameOrCodeAndSkipsComments) {
    const std::string text =
        "# a comment line\n"
        "\n"
        "  0 keydown menu      # Alt, by its Win32 name\n"
        "10 KEYUP f4 alt\n"
        "20 keyup 0x31\n"
        "21 keydown 32\n"
        "22 keyup VK_ESCAPE\n"
        "60 close\n";
    std::vector<platform::backend::ScriptEvent> events;
    std::string error;
    ASSERT_TRUE(platform::backend::parseScript(text, '\n', events, error)) << error;
    ASSERT_EQ(events.size(), 6u);
    std::vector<int> keys;
    for (int i = 0; i < 5; ++i) keys.push_back(events[i].event.virtualKey);
    EXPECT_EQ(keys, (std::vector<int>{VK_MENU, VK_F4, '1', VK_SPACE, VK_ESCAPE}));
    EXPECT_EQ(events[1].event.type, EventType::KeyUp);
    EXPECT_EQ(events[1].time, 10u);
    EXPECT_TRUE(events[1].altFlag);
    EXPECT_EQ(events[5].event.type, EventType::CloseRequest);
}

TEST(HeadlessScript, RejectsBadLinesNamingTheLine) {
    const char* bad[] = {
        "x keyup A",
        "10",
        "10 jump",
        "10 keyup",
        "10 keyup NOSUCHKEY",
        "10 keyup 0",
        "10 keyup 300",
        "10 keyup A ctrl",
        "10 move 1",
        "10 move 1 two",
        "10 buttondown up",
        "10 buttondown left 5",
        "10 close now",
        "-5 keyup A",
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        std::vector<platform::backend::ScriptEvent> events;
        std::string error;
        EXPECT_FALSE(platform::backend::parseScript(std::string("0 keyup A|") + line, '|', events, error));
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }
}

TEST(HeadlessScript, DeliversDueEventsInTimeOrderOnePerPoll) {
    // Out of order in the text; equal times keep their text order.
    auto b = platform::backend::makeHeadlessBackend(withScript("10 keyup B|5 keyup A|10 keyup C|10 keyup D"));
    std::vector<std::pair<std::uint64_t, int>> seen;
    while (auto e = nextEvent(*b, 50)) seen.emplace_back(b->elapsed(), e->virtualKey);
    const std::vector<std::pair<std::uint64_t, int>> expected = {{5, 'A'}, {10, 'B'}, {10, 'C'}, {10, 'D'}};
    EXPECT_EQ(seen, expected);
}

TEST(HeadlessScript, MouseEventsMoveTheCursorWithinTheScreen) {
    HeadlessConfig config =
        withScript("0 buttondown left|1 move 30 40|2 buttonup left|3 buttondown right 5 6|4 move 9000 -20");
    config.screenWidth = 320;
    config.screenHeight = 200;
    auto b = platform::backend::makeHeadlessBackend(config);
    EXPECT_EQ(b->cursorPosition().x, 160) << "the cursor starts at the centre";
    EXPECT_EQ(b->cursorPosition().y, 100);

    const POINT expected[] = {{160, 100}, {30, 40}, {30, 40}, {5, 6}, {319, 0}};
    for (const POINT& p : expected) {
        auto e = nextEvent(*b);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->position.x, p.x);
        EXPECT_EQ(e->position.y, p.y);
        EXPECT_EQ(b->cursorPosition().x, p.x);
        EXPECT_EQ(b->cursorPosition().y, p.y);
    }
    HeadlessConfig placed = fromText("cursor=12,34");
    EXPECT_EQ(platform::backend::makeHeadlessBackend(placed)->cursorPosition().x, 12);
}

TEST(HeadlessScript, AltStateFollowsTheMenuKeyAndTheAltFlag) {
    auto b = platform::backend::makeHeadlessBackend(
        withScript("0 keydown MENU|0 keydown F4|0 keyup F4|0 keyup MENU|0 keyup A alt|0 keyup B|0 keydown RMENU|"
                   "0 keyup C"));
    std::vector<bool> alt;
    while (auto e = nextEvent(*b, 10)) alt.push_back(e->altDown);
    EXPECT_EQ(alt, (std::vector<bool>{true, true, true, false, true, false, true, true}));
}

// ---- Message boxes, display modes, windows ----

TEST(HeadlessBoxes, AreRecordedAndAnsweredWithTheStylesButtons) {
    auto b = platform::backend::makeHeadlessBackend({});
    EXPECT_EQ(b->messageBox(3, "text", "caption", MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(b->messageBox(0, "t", "c", MB_OKCANCEL), IDOK);
    EXPECT_EQ(b->messageBox(0, "t", "c", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(b->messageBox(0, "t", "c", MB_YESNOCANCEL), IDYES);
    ASSERT_EQ(b->boxes().size(), 4u);
    EXPECT_EQ(b->boxes()[0].owner, 3u);
    EXPECT_EQ(b->boxes()[0].text, "text");
    EXPECT_EQ(b->boxes()[0].caption, "caption");
    EXPECT_EQ(b->boxes()[0].style, UINT{MB_OK | MB_ICONHAND});
    EXPECT_EQ(b->boxes()[2].answer, IDYES);

    // A configured answer applies where the box has that button.
    HeadlessConfig config = fromText("box-answer=no;box-delay=250");
    auto answering = platform::backend::makeHeadlessBackend(config);
    EXPECT_EQ(answering->messageBox(0, "t", "c", MB_YESNO), IDNO);
    EXPECT_EQ(answering->messageBox(0, "t", "c", MB_OK), IDOK);
    EXPECT_EQ(answering->elapsed(), 500u) << "the clock runs while a box is open";
    EXPECT_EQ(answering->boxes()[1].time, 250u);
    auto retrying = platform::backend::makeHeadlessBackend(fromText("box-answer=Retry"));
    EXPECT_EQ(retrying->messageBox(0, "t", "c", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(retrying->messageBox(0, "t", "c", MB_ABORTRETRYIGNORE | MB_ICONHAND), IDRETRY);
}

TEST(BoxButtons, EachStyleHasItsButtonsInOrderAndEachCaptionNamesItsAnswer) {
    const std::pair<UINT, std::vector<int>> styles[] = {
        {MB_OK, {IDOK}},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, {IDOK, IDCANCEL}},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO | MB_ICONQUESTION, {IDYES, IDNO}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
    };
    for (const auto& [style, ids] : styles) {
        std::vector<int> got;
        for (const platform::backend::BoxButton& b : platform::backend::boxButtons(style)) {
            got.push_back(b.id);
            std::string lower = b.label;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_EQ(platform::backend::boxButtonId(lower), b.id) << b.label;
        }
        EXPECT_EQ(got, ids) << "style " << style;
    }
    EXPECT_EQ(platform::backend::boxButtonId("maybe"), 0);
}

TEST(HeadlessModes, QueryAndChangeFailOnRequestAndOtherwiseResizeTheScreen) {
    DisplayMode mode;
    EXPECT_FALSE(platform::backend::makeHeadlessBackend(fromText("mode-query=fail"))->currentMode(mode));

    for (const auto& [setting, result] :
         {std::pair{"mode-change=fail", DISP_CHANGE_FAILED}, std::pair{"mode-change=restart", DISP_CHANGE_RESTART}}) {
        SCOPED_TRACE(setting);
        auto b = platform::backend::makeHeadlessBackend(fromText(setting));
        EXPECT_EQ(b->changeMode(DisplayMode{320, 240, 8, 60}), result);
        ASSERT_TRUE(b->currentMode(mode));
        EXPECT_EQ(mode.width, 640) << "a failed change leaves the screen alone";
        ASSERT_EQ(b->modeLog().size(), 1u);
        EXPECT_EQ(b->modeLog()[0].result, result);
    }

    // A panel 30 pixels high along the bottom stays along the bottom.
    auto b = platform::backend::makeHeadlessBackend(fromText("screen=800x600;workarea=0,0,800,570;cursor=700,500"));
    ASSERT_TRUE(b->currentMode(mode));
    EXPECT_EQ(mode.width, 800);
    EXPECT_EQ(mode.height, 600);
    EXPECT_EQ(mode.bitsPerPixel, 32);
    EXPECT_EQ(b->changeMode(DisplayMode{640, 480, 32, 60}), DISP_CHANGE_SUCCESSFUL);
    ASSERT_TRUE(b->currentMode(mode));
    EXPECT_EQ(mode.width, 640);
    EXPECT_EQ(mode.height, 480);
    RECT wa = b->workArea();
    EXPECT_EQ(wa.right, 640);
    EXPECT_EQ(wa.bottom, 450);
    EXPECT_EQ(b->cursorPosition().x, 639) << "the cursor stays on the smaller screen";
    EXPECT_EQ(b->changeMode(DisplayMode{0, 480, 32, 60}), DISP_CHANGE_BADMODE);

    b->restoreMode();
    ASSERT_TRUE(b->currentMode(mode));
    EXPECT_EQ(mode.width, 800);
    wa = b->workArea();
    EXPECT_EQ(wa.bottom, 570);
    ASSERT_EQ(b->modeLog().size(), 3u);
    EXPECT_EQ(b->modeLog()[0].requested.width, 640);
    EXPECT_TRUE(b->modeLog()[2].restore);
}

TEST(HeadlessWindows, KeepTitlePlacementVisibilityAndWhatTheScreenShowed) {
    auto b = platform::backend::makeHeadlessBackend({});
    const auto id = b->createWindow("first", 10, 20, 4, 3);
    ASSERT_NE(id, 0u);
    const HeadlessBackend::WindowState* w = b->window(id);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->visible) << "windows start hidden";
    EXPECT_EQ(w->x, 10);
    EXPECT_EQ(w->lastFrame(), nullptr) << "nothing shown before the first present";

    b->setTitle(id, "second");
    b->place(id, 0, 0, 640, 480, true);
    b->show(id, true);
    Surface frame = filled(4, 3, 0x123456);
    b->recordFrame(id, frame);

    EXPECT_EQ(w->title, "second");
    EXPECT_EQ(w->width, 640);
    EXPECT_TRUE(w->topmost);
    EXPECT_TRUE(w->visible);
    ASSERT_NE(w->lastFrame(), nullptr);
    EXPECT_EQ(w->lastFrame()->rgbRow(0)[0], 0x123456u);
    EXPECT_EQ(b->presentCount(), 1);

    // Hidden, the window keeps what was shown, whatever is drawn meanwhile.
    b->show(id, false);
    frame.rgbRow(0)[0] = 0x654321;
    EXPECT_EQ(w->lastFrame()->rgbRow(0)[0], 0x123456u);
    b->show(id, true);
    b->recordFrame(id, frame);
    EXPECT_EQ(w->lastFrame()->rgbRow(0)[0], 0x654321u);

    // So does a destroyed one, after its pixels are gone.
    b->destroyWindow(id);
    frame = filled(4, 3, 0);
    ASSERT_NE(b->window(id), nullptr) << "kept for inspection";
    EXPECT_TRUE(b->window(id)->destroyed);
    ASSERT_NE(w->lastFrame(), nullptr);
    EXPECT_EQ(w->lastFrame()->rgbRow(0)[0], 0x654321u);
    EXPECT_EQ(b->window(id + 1), nullptr);
}

// ---- PNG ----

TEST(Png, WritesEightBitRgbThatReadsBackPixelForPixel) {
    TempDir dir("png");
    fs::create_directories(dir.path);
    Surface colour(5, 3, PixelFormat::Rgb32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            colour.rgbRow(y)[x] = static_cast<std::uint32_t>(0x010203 * (y * 5 + x) + 0x400000 * x) & 0xFFFFFFu;
    ASSERT_TRUE(platform::backend::writePng((dir.path / "c.png").string(), colour));
    const test_support::Image c = test_support::readPng(dir.path / "c.png");
    ASSERT_FALSE(c.empty());
    EXPECT_TRUE(c.rgb8);
    ASSERT_EQ(c.width, 5);
    ASSERT_EQ(c.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(c.pixels[y * 5 + x], colour.rgbRow(y)[x]) << x << "," << y;

    // Monochrome: 1 is white, 0 black; 10 pixels span two bytes of a row.
    Surface mono(10, 2, PixelFormat::Mono1);
    for (int y = 0; y < 2; ++y) std::fill(mono.row(y), mono.row(y) + mono.stride(), 0);
    mono.row(0)[0] = 0x80;  // pixel 0
    mono.row(1)[1] = 0x40;  // pixel 9
    ASSERT_TRUE(platform::backend::writePng((dir.path / "m.png").string(), mono));
    const test_support::Image m = test_support::readPng(dir.path / "m.png");
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.pixels[0], 0xFFFFFFu);
    EXPECT_EQ(m.pixels[1], 0u);
    EXPECT_EQ(m.pixels[19], 0xFFFFFFu);
    EXPECT_EQ(m.pixels[18], 0u);

    EXPECT_FALSE(platform::backend::writePng((dir.path / "no" / "such" / "dir.png").string(), colour));
}

TEST(HeadlessCapture, WritesTheChosenPresentsOfVisibleWindows) {
    TempDir dir("capture");
    const fs::path out = dir.path / "nested" / "frames";
    HeadlessConfig config = fromText("capture=" + out.string() + ";capture-first=2;capture-every=3;capture-count=2");
    // The frames outlive the backend, as a window's pixels outlive what
    // the screen shows of them.
    const Surface hiddenFrame = filled(8, 6, 0xFF0000);
    Surface shownFrame = filled(8, 6, 0);
    auto b = platform::backend::makeHeadlessBackend(config);
    const auto shown = b->createWindow("shown", 0, 0, 8, 6);
    const auto hidden = b->createWindow("hidden", 0, 0, 8, 6);
    b->show(shown, true);
    std::vector<std::uint32_t> closedAfter;
    for (std::uint32_t i = 1; i <= 10; ++i) {
        b->recordFrame(hidden, hiddenFrame);
        shownFrame = filled(8, 6, i);
        b->recordFrame(shown, shownFrame);
        Event e;
        if (b->pollEvent(e)) {
            EXPECT_EQ(e.type, EventType::CloseRequest);
            EXPECT_EQ(e.window, 0u);
            closedAfter.push_back(i);
        }
    }
    EXPECT_EQ(closedAfter, std::vector<std::uint32_t>{6}) << "one close request, right after the last file";
    EXPECT_EQ(b->presentCount(), 10) << "presents to hidden windows do not count";
    EXPECT_EQ(b->capturedCount(), 2);

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame-000003.png", "frame-000006.png"}));
    for (std::uint32_t n : {3u, 6u}) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06u.png", n);
        const test_support::Image png = test_support::readPng(out / name);
        ASSERT_FALSE(png.empty()) << name;
        EXPECT_EQ(png.width, 8);
        EXPECT_EQ(png.pixels[47], n) << "the frame of that present";
    }

    // A write that fails ends the run too: the files asked for can no longer
    // all be written. (A plain file stands where the folder should be.)
    std::ofstream(dir.path / "not-a-folder") << "x";
    const Surface frame = filled(8, 6, 1);
    auto failing = platform::backend::makeHeadlessBackend(
        fromText("capture=" + (dir.path / "not-a-folder").string() + ";capture-count=5"));
    const auto window = failing->createWindow("shown", 0, 0, 8, 6);
    failing->show(window, true);
    failing->recordFrame(window, frame);
    EXPECT_EQ(failing->capturedCount(), 0);
    const auto close = nextEvent(*failing, 0);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->type, EventType::CloseRequest);
}

// ---- Configuration text ----

TEST(HeadlessConfigText, TakesScriptsFromFilesAndInlineAndRejectsBadValues) {
    // The other keys are exercised by the behaviour tests above.
    TempDir dir("config");
    fs::create_directories(dir.path);
    const fs::path script = dir.path / "input.txt";
    std::ofstream(script) << "100 keyup SPACE\n200 close\n";
    const HeadlessConfig c =
        fromText(" uptime=4294967000 ; input=" + script.string() + ";script=50 move 3 4|60 keyup Q;");
    EXPECT_EQ(c.uptime, 4294967000u);
    ASSERT_EQ(c.script.size(), 4u);
    EXPECT_EQ(c.script[1].event.type, EventType::CloseRequest);
    EXPECT_EQ(c.script[3].event.virtualKey, 'Q');

    const char* bad[] = {
        "screen=640",
        "screen=0x480",
        "workarea=10,0,5,5",
        "uptime=-1",
        "step=0",
        "localtime=2003-02-29T00:00:00.000",
        "localtime=2003-06-01 12:00",
        "box-answer=maybe",
        "mode-change=sometimes",
        "capture-every=0",
        "nonsense=1",
        "screen",
        "input=/no/such/file",
        "script=10 fly",
    };
    for (const char* text : bad) {
        HeadlessConfig ignored;
        std::string error;
        EXPECT_FALSE(platform::backend::parseHeadlessConfig(text, ignored, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(HeadlessConfigText, TheEnvironmentConfiguresTheBackendAndABadValueStopsTheProcess) {
    const char* old = std::getenv("POMRIVEL_HEADLESS");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("POMRIVEL_HEADLESS", "screen=320x200", 1);
    DisplayMode mode;
    ASSERT_TRUE(platform::backend::makeHeadlessBackend()->currentMode(mode));
    EXPECT_EQ(mode.width, 320);

    setenv("POMRIVEL_HEADLESS", "screen=wide", 1);
    EXPECT_EXIT(platform::backend::makeHeadlessBackend(), ::testing::ExitedWithCode(2), "POMRIVEL_HEADLESS: bad value");
    // A clock that never moves is refused the same way.
    setenv("POMRIVEL_HEADLESS", "step=0", 1);
    EXPECT_EXIT(platform::backend::makeHeadlessBackend(), ::testing::ExitedWithCode(2),
                "POMRIVEL_HEADLESS: bad value for step: '0'");
    if (saved)
        setenv("POMRIVEL_HEADLESS", saved->c_str(), 1);
    else
        unsetenv("POMRIVEL_HEADLESS");
}

// A signal's close request wakes an idle wait through a descriptor that is
// readable exactly while the request is pending.
TEST(CloseRequests, KeepTheWakeDescriptorReadableUntilTaken) {
    const int fd = platform::backend::closeRequestFd();
    ASSERT_GE(fd, 0);
    auto readable = [fd] {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    };
    EXPECT_FALSE(platform::backend::takeCloseRequest());
    EXPECT_FALSE(readable());
    platform::backend::requestCloseFromSignal();
    platform::backend::requestCloseFromSignal();
    EXPECT_TRUE(readable());
    EXPECT_TRUE(platform::backend::takeCloseRequest()) << "two requests before a poll are one close";
    EXPECT_FALSE(readable());
    EXPECT_FALSE(platform::backend::takeCloseRequest());
}

TEST(BackendChoice, AnUnknownBackendNameStopsTheProcessNamingTheValidOnes) {
    EXPECT_EXIT(
        {
            setenv("POMRIVEL_BACKEND", "sdl2", 1);
            platform::backend::install(nullptr);
            platform::backend::current();
        },
        ::testing::ExitedWithCode(2), "POMRIVEL_BACKEND=sdl2 is not a backend; use wayland, x11 or headless");
}

}  // namespace
