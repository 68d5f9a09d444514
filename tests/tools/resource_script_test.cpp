// res/pomrivel.rc as a resource compiler builds it: every resource with its
// id, type and language, the files it carries, and the contents of the icon
// group, menu, accelerator table, configuration dialog, string table and
// version; and the same resources served by the layer's resource calls from
// the copy this program carries.
#include "asset_files.h"

#include "user/resfile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

using namespace asset_test;
using platform::user::ResourceEntry;
using platform::user::ResourceId;

namespace {

constexpr WORD kEnglishUs = 1033;
constexpr WORD kBitmap = 2, kIcon = 3, kMenu = 4, kDialog = 5, kString = 6, kRcData = 10, kAccelerators = 9,
               kGroupIcon = 14, kVersion = 16, kManifest = 24;

class ResourceScript : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = readFile(POMRIVEL_RES_FILE);
        ASSERT_FALSE(image_.empty()) << POMRIVEL_RES_FILE;
        auto entries = platform::user::parseResFile(image_);
        ASSERT_TRUE(entries.has_value());
        entries_ = std::move(*entries);
    }

    // The data of the one resource of this type and id, in US English.
    std::span<const std::uint8_t> data(WORD type, WORD id) const {
        for (const ResourceEntry& e : entries_) {
            if (e.type == ResourceId::fromNumber(type) && e.name == ResourceId::fromNumber(id) &&
                e.language == kEnglishUs) {
                return e.data;
            }
        }
        ADD_FAILURE() << "no resource of type " << type << " with id " << id;
        return {};
    }

    Bytes image_;
    std::vector<ResourceEntry> entries_;
};

Bytes bytes(std::span<const std::uint8_t> s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace

TEST_F(ResourceScript, HoldsEveryResourceOnceInUsEnglish) {
    // (type, id) -> how often; the icon image itself is RT_ICON 1, made from
    // the .ico by the compiler.
    std::map<std::pair<WORD, WORD>, int> found;
    for (const ResourceEntry& e : entries_) {
        ASSERT_TRUE(e.type.isNumber && e.name.isNumber) << "named resources are not expected";
        EXPECT_EQ(e.language, kEnglishUs) << e.type.number << "/" << e.name.number;
        ++found[{e.type.number, e.name.number}];
    }
    const std::map<std::pair<WORD, WORD>, int> expected = {
        {{kBitmap, 666}, 1}, {{kBitmap, 668}, 1}, {{kBitmap, 669}, 1},       {{kBitmap, 670}, 1},
        {{kBitmap, 671}, 1}, {{kRcData, 667}, 1}, {{kGroupIcon, 710}, 1},    {{kIcon, 1}, 1},
        {{kMenu, 600}, 1},   {{kDialog, 400}, 1}, {{kAccelerators, 100}, 1}, {{kString, 1}, 1},
        {{kVersion, 1}, 1},  {{kManifest, 1}, 1},
    };
    EXPECT_EQ(found, expected);
}

TEST_F(ResourceScript, CarriesTheGeneratedFiles) {
    // A bitmap resource is the .bmp file without its 14-byte file header;
    // raw data and the icon image are carried unchanged.
    const std::pair<WORD, const char*> bitmaps[] = {
        {666, "walker.bmp"}, {668, "landscape.bmp"}, {669, "meadow.bmp"}, {670, "trees.bmp"}, {671, "sand.bmp"}};
    for (const auto& [id, file] : bitmaps) {
        const Bytes bmp = readFile(sourcePath(std::string("res/") + file));
        ASSERT_GT(bmp.size(), 14u);
        EXPECT_TRUE(bytes(data(kBitmap, id)) == Bytes(bmp.begin() + 14, bmp.end())) << file;
    }
    EXPECT_TRUE(bytes(data(kRcData, 667)) == readFile(sourcePath("res/chime.wav")));
    EXPECT_TRUE(bytes(data(kManifest, 1)) == readFile(sourcePath("res/pomrivel.manifest")));
    const Bytes ico = readFile(sourcePath("res/pomrivel.ico"));
    ASSERT_EQ(ico.size(), 22u + 2216u);
    EXPECT_TRUE(bytes(data(kIcon, 1)) == Bytes(ico.begin() + 22, ico.end()));
}

TEST_F(ResourceScript, IconGroupNamesTheOneIcon) {
    const Bytes g = bytes(data(kGroupIcon, 710));
    ASSERT_EQ(g.size(), 6u + 14u);
    EXPECT_EQ(le16(g, 0), 0u);
    EXPECT_EQ(le16(g, 2), 1u);  // icons
    EXPECT_EQ(le16(g, 4), 1u);  // one entry
    EXPECT_EQ(g[6], 32);        // width
    EXPECT_EQ(g[7], 32);        // height
    EXPECT_EQ(g[8], 0);         // colour count
    EXPECT_EQ(g[9], 0);
    EXPECT_EQ(le16(g, 10), 1u);     // planes
    EXPECT_EQ(le16(g, 12), 8u);     // bits per pixel
    EXPECT_EQ(le32(g, 14), 2216u);  // bytes in the image
    EXPECT_EQ(le16(g, 18), 1u);     // the RT_ICON id
}

TEST_F(ResourceScript, MenuHasFileAndHelp) {
    const auto menu = platform::user::parseMenuTemplate(data(kMenu, 600));
    ASSERT_TRUE(menu.has_value());
    ASSERT_EQ(menu->size(), 2u);
    constexpr WORD kPopup = 0x10, kEnd = 0x80;

    const auto& file = (*menu)[0];
    EXPECT_EQ(file.text, "&File");
    EXPECT_EQ(file.flags, kPopup);
    ASSERT_EQ(file.children.size(), 3u);
    const std::tuple<const char*, WORD, WORD> fileItems[] = {
        {"&New", 200, 0}, {"&Open", 210, 0}, {"&E&xit", 300, kEnd}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(file.children[i].text, std::get<0>(fileItems[i]));
        EXPECT_EQ(file.children[i].id, std::get<1>(fileItems[i]));
        EXPECT_EQ(file.children[i].flags, std::get<2>(fileItems[i]));
    }

    const auto& help = (*menu)[1];
    EXPECT_EQ(help.text, "&Help");
    EXPECT_EQ(help.flags, kPopup | kEnd);
    ASSERT_EQ(help.children.size(), 1u);
    EXPECT_EQ(help.children[0].text, "&About");
    EXPECT_EQ(help.children[0].id, 500);
    EXPECT_EQ(help.children[0].flags, kEnd);
}

TEST_F(ResourceScript, AcceleratorIsCtrlQForExit) {
    const auto table = platform::user::parseAcceleratorTable(data(kAccelerators, 100));
    ASSERT_TRUE(table.has_value());
    ASSERT_EQ(table->size(), 1u);
    EXPECT_EQ((*table)[0].flags, 0x89);  // FVIRTKEY | FCONTROL | end of table
    EXPECT_EQ((*table)[0].key, 0x51);
    EXPECT_EQ((*table)[0].command, 300);
}

TEST_F(ResourceScript, ConfigurationDialogMatchesItsLayout) {
    const auto dlg = platform::user::parseDialogTemplate(data(kDialog, 400));
    ASSERT_TRUE(dlg.has_value());
    EXPECT_EQ(dlg->style, 0x90C80040u);
    EXPECT_EQ(dlg->exStyle, 0u);
    EXPECT_EQ(dlg->x, 127);
    EXPECT_EQ(dlg->y, 39);
    EXPECT_EQ(dlg->cx, 107);
    EXPECT_EQ(dlg->cy, 106);
    EXPECT_EQ(dlg->menu, ResourceId::fromNumber(0));
    EXPECT_EQ(dlg->windowClass, ResourceId::fromNumber(0));
    EXPECT_EQ(dlg->title, "Configure Screensaver");
    EXPECT_EQ(dlg->pointSize, 8);
    EXPECT_EQ(dlg->font, "Microsoft Sans Serif");

    const ResourceId button = ResourceId::fromNumber(0x80);
    const ResourceId datePicker = ResourceId::fromText("SysDateTimePick32");
    struct Item {
        ResourceId cls;
        const char* text;
        DWORD style;
        short x, y, cx, cy;
    };
    const Item expected[] = {
        {button, "Show countdown", 0x50010003, 18, 22, 70, 10},
        {datePicker, "", 0x50800000, 17, 35, 60, 16},
        {datePicker, "", 0x50800009, 18, 54, 60, 16},
        {button, "Countdown Time", 0x50000007, 9, 11, 84, 66},
        {button, "OK", 0x50010000, 30, 80, 40, 14},
    };
    ASSERT_EQ(dlg->items.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const auto& item = dlg->items[i];
        EXPECT_EQ(item.windowClass, expected[i].cls);
        EXPECT_FALSE(item.text.isNumber);
        EXPECT_EQ(item.text.text, expected[i].text);
        EXPECT_EQ(item.style, expected[i].style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.id, 404);
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
    }
}

namespace {

// A NUL-terminated UTF-16 text of ASCII characters at `at`, which moves past
// the NUL.
std::string ascii16(std::span<const std::uint8_t> d, std::size_t& at) {
    std::string out;
    for (; at + 2 <= d.size(); at += 2) {
        const unsigned c = d[at] | (d[at + 1] << 8);
        if (c == 0) {
            at += 2;
            break;
        }
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// The values of a version resource's tree of blocks, by path
// ("VS_VERSION_INFO/StringFileInfo/040904B0/FileVersion"): each block is its length, its
// value's length, its type (1 text, 0 binary), its key, then its value and
// its children, each aligned to 4 bytes. Texts are read up to their NUL.
struct VersionValues {
    std::map<std::string, std::string> texts;
    std::map<std::string, Bytes> binary;
};

void readVersionBlocks(std::span<const std::uint8_t> d, const std::string& path, VersionValues& out) {
    std::size_t at = 0;
    while (at + 6 <= d.size()) {
        const std::size_t length = d[at] | (d[at + 1] << 8);
        const std::size_t valueLength = d[at + 2] | (d[at + 3] << 8);
        const bool text = (d[at + 4] | (d[at + 5] << 8)) == 1;
        if (length < 6 || length > d.size() - at) {
            ADD_FAILURE() << "a block of " << length << " bytes in '" << path << "'";
            return;
        }
        const auto block = d.subspan(at, length);
        std::size_t p = 6;
        const std::string name = ascii16(block, p);
        const std::string key = path.empty() ? name : path + "/" + name;
        p = (p + 3) / 4 * 4;
        const std::size_t valueBytes = text ? valueLength * 2 : valueLength;
        if (p + valueBytes > block.size()) {
            ADD_FAILURE() << "the value of '" << key << "' runs past its block";
            return;
        }
        if (valueBytes > 0) {
            if (text) {
                std::size_t q = p;
                out.texts[key] = ascii16(block.first(p + valueBytes), q);
            } else {
                out.binary[key] = Bytes(block.begin() + p, block.begin() + p + valueBytes);
            }
        }
        p = (p + valueBytes + 3) / 4 * 4;
        if (p < block.size()) readVersionBlocks(block.subspan(p), key, out);
        at = (at + length + 3) / 4 * 4;
    }
}

}  // namespace

TEST_F(ResourceScript, StringOneIsTheSaversName) {
    // Block 1 holds strings 0 to 15, each a length and that many UTF-16
    // units; only string 1 is there.
    const Bytes block = bytes(data(kString, 1));
    std::size_t at = 0;
    for (int id = 0; id < 16; ++id) {
        SCOPED_TRACE(id);
        const std::size_t length = le16(block, at);
        ASSERT_LE(at + 2 + 2 * length, block.size());
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(le16(block, at + 2 + 2 * i));
        EXPECT_EQ(text, id == 1 ? "Pomrivel" : "");
        at += 2 + 2 * length;
    }
    EXPECT_EQ(at, block.size());
}

TEST_F(ResourceScript, VersionIsTheProjectVersion) {
    VersionValues values;
    readVersionBlocks(data(kVersion, 1), "", values);

    // VS_FIXEDFILEINFO: its signature, its layout version, then the file's
    // and the product's version, each as two 32-bit halves.
    const std::string version = POMRIVEL_VERSION;
    unsigned part[4] = {};
    std::sscanf(version.c_str(), "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]);
    const std::uint32_t high = part[0] << 16 | part[1], low = part[2] << 16 | part[3];
    const Bytes& fixed = values.binary["VS_VERSION_INFO"];
    ASSERT_EQ(fixed.size(), 52u);
    EXPECT_EQ(le32(fixed, 0), 0xFEEF04BDu);
    EXPECT_EQ(le32(fixed, 8), high);
    EXPECT_EQ(le32(fixed, 12), low);
    EXPECT_EQ(le32(fixed, 16), high);
    EXPECT_EQ(le32(fixed, 20), low);

    // The texts, in the block named after the one translation: US English
    // (0x409) in Unicode (1200).
    const Bytes& translation = values.binary["VS_VERSION_INFO/VarFileInfo/Translation"];
    ASSERT_EQ(translation.size(), 4u);
    EXPECT_EQ(le16(translation, 0), 0x409u);
    EXPECT_EQ(le16(translation, 2), 1200u);
    const std::string block = "VS_VERSION_INFO/StringFileInfo/040904B0/";
    EXPECT_EQ(values.texts[block + "FileVersion"], version);
    EXPECT_EQ(values.texts[block + "ProductVersion"], version);
    EXPECT_EQ(values.texts[block + "ProductName"], "Pomrivel");
    EXPECT_EQ(values.texts[block + "OriginalFilename"], "pomrivel.scr");
}

TEST_F(ResourceScript, TheLayerServesEveryResourceOfItsCopy) {
    // This program carries the same script; every resource, of whatever
    // type, is found and loaded with its bytes.
    for (const ResourceEntry& e : entries_) {
        SCOPED_TRACE(std::to_string(e.type.number) + "/" + std::to_string(e.name.number));
        HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(e.name.number), MAKEINTRESOURCEA(e.type.number));
        ASSERT_NE(found, nullptr);
        const auto* p = static_cast<const std::uint8_t*>(LockResource(LoadResource(NULL, found)));
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(Bytes(p, p + SizeofResource(NULL, found)) == bytes(e.data));
    }
}
