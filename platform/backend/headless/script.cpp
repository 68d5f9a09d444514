// Parsing of the headless configuration (POMRIVEL_HEADLESS) and of input
// scripts.
#include "backend/headless/headless.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>

namespace platform::backend {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    for (;;) {
        s = trim(s);
        if (s.empty()) return out;
        std::size_t end = 0;
        while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end]))) ++end;
        out.push_back(s.substr(0, end));
        s.remove_prefix(end);
    }
}

// A whole-string decimal number (or 0x hex when `allowHex`).
template <class T>
bool parseNumber(std::string_view s, T& value, bool allowHex = false) {
    int base = 10;
    if (allowHex && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    if (s.empty()) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    return ec == std::errc{} && end == s.data() + s.size();
}

// "A x B" lists such as "640x480" or "0,0,640,450".
template <std::size_t N>
bool parseInts(std::string_view s, char separator, int (&out)[N]) {
    const auto parts = split(s, separator);
    if (parts.size() != N) return false;
    for (std::size_t i = 0; i < N; ++i)
        if (!parseNumber(trim(parts[i]), out[i])) return false;
    return true;
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

bool parseLocalTime(std::string_view s, SYSTEMTIME& t) {
    // YYYY-MM-DDTHH:MM:SS with an optional .mmm
    const std::string text(s);
    int y, mo, d, h, mi, sec, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &sec, &used) != 6) return false;
    int ms = 0;
    std::string_view rest = s.substr(static_cast<std::size_t>(used));
    if (!rest.empty()) {
        if (rest.front() != '.' || rest.size() != 4 || !parseNumber(rest.substr(1), ms)) return false;
    }
    if (y < 1601 || y > 30827 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 ||
        sec > 59 || h < 0 || mi < 0 || sec < 0 || ms < 0)
        return false;
    t = SYSTEMTIME{static_cast<WORD>(y),   static_cast<WORD>(mo), 0,
                   static_cast<WORD>(d),   static_cast<WORD>(h),  static_cast<WORD>(mi),
                   static_cast<WORD>(sec), static_cast<WORD>(ms)};
    return true;
}

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

// One script line (comment already removed, not blank).
bool parseScriptLine(const std::vector<std::string_view>& w, ScriptEvent& out, std::string& error) {
    if (!parseNumber(w[0], out.time)) {
        error = "bad time '" + std::string(w[0]) + "'";
        return false;
    }
    if (w.size() < 2) {
        error = "no event after the time";
        return false;
    }
    const std::string what = upper(w[1]);
    const std::size_t args = w.size() - 2;
    Event& e = out.event;
    if (what == "KEYDOWN" || what == "KEYUP") {
        e.type = what == "KEYDOWN" ? EventType::KeyDown : EventType::KeyUp;
        if (args < 1 || args > 2) {
            error = what == "KEYDOWN" ? "keydown takes a key and an optional 'alt'"
                                      : "keyup takes a key and an optional 'alt'";
            return false;
        }
        e.virtualKey = parseVirtualKey(std::string(w[2]));
        if (e.virtualKey < 0) {
            error = "unknown key '" + std::string(w[2]) + "'";
            return false;
        }
        if (args == 2) {
            if (upper(w[3]) != "ALT") {
                error = "unexpected '" + std::string(w[3]) + "' after the key";
                return false;
            }
            out.altFlag = true;
        }
        return true;
    }
    if (what == "MOVE") {
        e.type = EventType::MouseMove;
        int x = 0, y = 0;
        if (args != 2 || !parseNumber(w[2], x) || !parseNumber(w[3], y)) {
            error = "move takes X Y";
            return false;
        }
        e.position = POINT{x, y};
        out.hasPosition = true;
        return true;
    }
    if (what == "BUTTONDOWN" || what == "BUTTONUP") {
        e.type = what == "BUTTONDOWN" ? EventType::ButtonDown : EventType::ButtonUp;
        if (args != 1 && args != 3) {
            error = "button events take left|right|middle and an optional X Y";
            return false;
        }
        const std::string button = upper(w[2]);
        if (button == "LEFT")
            e.button = MouseButton::Left;
        else if (button == "RIGHT")
            e.button = MouseButton::Right;
        else if (button == "MIDDLE")
            e.button = MouseButton::Middle;
        else {
            error = "unknown button '" + std::string(w[2]) + "'";
            return false;
        }
        if (args == 3) {
            int x = 0, y = 0;
            if (!parseNumber(w[3], x) || !parseNumber(w[4], y)) {
                error = "bad button position";
                return false;
            }
            e.position = POINT{x, y};
            out.hasPosition = true;
        }
        return true;
    }
    if (what == "CLOSE") {
        e.type = EventType::CloseRequest;
        if (args != 0) {
            error = "close takes no arguments";
            return false;
        }
        return true;
    }
    error = "unknown event '" + std::string(w[1]) + "'";
    return false;
}

}  // namespace

int parseVirtualKey(const std::string& word) {
    int code = 0;
    if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0]))) {
        return parseNumber(std::string_view(word), code, true) && code >= 1 && code <= 0xFE ? code : -1;
    }
    std::string name = upper(word);
    if (name.rfind("VK_", 0) == 0) name.erase(0, 3);
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') return name[0];
    if (name.size() >= 2 && name[0] == 'F' && parseNumber(std::string_view(name).substr(1), code) && code >= 1 &&
        code <= 24)
        return VK_F1 + code - 1;
    if (name.size() == 7 && name.rfind("NUMPAD", 0) == 0 && name[6] >= '0' && name[6] <= '9')
        return 0x60 + (name[6] - '0');
    static const std::pair<const char*, int> names[] = {
        {"BACK", VK_BACK},        {"BACKSPACE", VK_BACK}, {"TAB", VK_TAB},         {"RETURN", VK_RETURN},
        {"ENTER", VK_RETURN},     {"SHIFT", VK_SHIFT},    {"CONTROL", VK_CONTROL}, {"CTRL", VK_CONTROL},
        {"MENU", VK_MENU},        {"ALT", VK_MENU},       {"PAUSE", VK_PAUSE},     {"CAPITAL", VK_CAPITAL},
        {"CAPSLOCK", VK_CAPITAL}, {"ESCAPE", VK_ESCAPE},  {"ESC", VK_ESCAPE},      {"SPACE", VK_SPACE},
        {"PRIOR", VK_PRIOR},      {"PAGEUP", VK_PRIOR},   {"NEXT", VK_NEXT},       {"PAGEDOWN", VK_NEXT},
        {"END", VK_END},          {"HOME", VK_HOME},      {"LEFT", VK_LEFT},       {"UP", VK_UP},
        {"RIGHT", VK_RIGHT},      {"DOWN", VK_DOWN},      {"SNAPSHOT", 0x2C},      {"INSERT", VK_INSERT},
        {"DELETE", VK_DELETE},    {"LWIN", 0x5B},         {"RWIN", 0x5C},          {"APPS", 0x5D},
        {"NUMLOCK", 0x90},        {"SCROLL", 0x91},       {"LSHIFT", 0xA0},        {"RSHIFT", 0xA1},
        {"LCONTROL", 0xA2},       {"RCONTROL", 0xA3},     {"LMENU", 0xA4},         {"RMENU", 0xA5},
    };
    for (const auto& [n, value] : names)
        if (name == n) return value;
    return -1;
}

bool parseScript(const std::string& text, char separator, std::vector<ScriptEvent>& events, std::string& error) {
    int lineNumber = 0;
    for (std::string_view line : split(text, separator)) {
        ++lineNumber;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const auto w = words(line);
        if (w.empty()) continue;
        ScriptEvent event;
        std::string problem;
        if (!parseScriptLine(w, event, problem)) {
            error = "line " + std::to_string(lineNumber) + ": " + problem;
            return false;
        }
        events.push_back(event);
    }
    return true;
}

bool parseHeadlessConfig(const std::string& text, HeadlessConfig& config, std::string& error) {
    for (std::string_view item : split(text, ';')) {
        item = trim(item);
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            error = "'" + std::string(item) + "' is not key=value";
            return false;
        }
        const std::string key(trim(item.substr(0, eq)));
        const std::string_view value = trim(item.substr(eq + 1));
        const std::string bad = "bad value for " + key + ": '" + std::string(value) + "'";
        bool ok = true;
        if (key == "screen") {
            int v[2];
            ok = parseInts(upper(value), 'X', v) && v[0] > 0 && v[1] > 0;
            if (ok) config.screenWidth = v[0], config.screenHeight = v[1];
        } else if (key == "workarea") {
            int v[4];
            ok = parseInts(value, ',', v) && v[0] < v[2] && v[1] < v[3];
            if (ok) config.workArea = RECT{v[0], v[1], v[2], v[3]};
        } else if (key == "uptime") {
            ok = parseNumber(value, config.uptime);
        } else if (key == "step") {
            // A clock that never moves would leave a loop waiting on it
            // spinning for ever.
            ok = parseNumber(value, config.step) && config.step > 0;
        } else if (key == "localtime") {
            ok = parseLocalTime(value, config.localTime);
        } else if (key == "cursor") {
            int v[2];
            ok = parseInts(value, ',', v);
            if (ok) config.cursor = POINT{v[0], v[1]};
        } else if (key == "input" || key == "script") {
            std::string script(value);
            if (key == "input" && !readFile(script, script)) {
                error = "cannot read input script '" + std::string(value) + "'";
                return false;
            }
            std::string problem;
            if (!parseScript(script, key == "input" ? '\n' : '|', config.script, problem)) {
                error = (key == "input" ? std::string(value) : std::string("script")) + ": " + problem;
                return false;
            }
        } else if (key == "box-answer") {
            const int id = boxButtonId(value);
            ok = id != 0;
            if (ok) config.boxAnswer = id;
        } else if (key == "box-delay") {
            ok = parseNumber(value, config.boxDelay);
        } else if (key == "mode-query") {
            ok = value == "fail" || value == "ok";
            if (ok) config.modeQueryFails = value == "fail";
        } else if (key == "mode-change") {
            if (value == "fail")
                config.modeChangeResult = DISP_CHANGE_FAILED;
            else if (value == "restart")
                config.modeChangeResult = DISP_CHANGE_RESTART;
            else if (value == "badmode")
                config.modeChangeResult = DISP_CHANGE_BADMODE;
            else if (value == "ok")
                config.modeChangeResult = DISP_CHANGE_SUCCESSFUL;
            else
                ok = false;
        } else if (key == "capture") {
            config.captureDir = std::string(value);
            ok = !value.empty();
        } else if (key == "capture-first") {
            ok = parseNumber(value, config.captureFirst) && config.captureFirst >= 0;
        } else if (key == "capture-every") {
            ok = parseNumber(value, config.captureEvery) && config.captureEvery >= 1;
        } else if (key == "capture-count") {
            ok = parseNumber(value, config.captureCount) && config.captureCount >= 0;
        } else if (key == "exit-after") {
            std::uint64_t ms = 0;
            ok = parseNumber(value, ms);
            if (ok) config.exitAfter = ms;
        } else {
            error = "unknown key '" + key + "'";
            return false;
        }
        if (!ok) {
            error = bad;
            return false;
        }
    }
    return true;
}

}  // namespace platform::backend
