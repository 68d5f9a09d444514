// The UTF-8 encoder shared by font names and resource strings.
#include "gdi/utf8.h"

#include <gtest/gtest.h>

#include <string>

TEST(Utf8, EncodesEachLengthUpToItsLimit) {
    const struct {
        char32_t cp;
        const char* bytes;
    } cases[] = {
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0xE9, "\xC3\xA9"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    std::string all, expected;
    for (const auto& c : cases) {
        std::string out;
        platform::appendUtf8(out, c.cp);
        EXPECT_EQ(out, c.bytes) << std::hex << static_cast<unsigned>(c.cp);
        platform::appendUtf8(all, c.cp);
        expected += c.bytes;
    }
    // Appends, never replaces.
    EXPECT_EQ(all, expected);
}
