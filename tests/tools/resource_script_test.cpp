// res/pomrivel.rc as a resource compiler builds it: every resource with its
// id, type and language, the files it carries, and the contents of the icon
// group, menu, accelerator table and configuration dialog.
#include "asset_files.h"

#include "user/resfile.h"

#include <gtest/gtest.h>

#include <map>

using namespace asset_test;
using platform::user::ResourceEntry;
using platform::user::ResourceId;

namespace {

constexpr WORD kEnglishUs = 1033;
constexpr WORD kBitmap = 2, kIcon = 3, kMenu = 4, kDialog = 5, kRcData = 10, kAccelerators = 9, kGroupIcon = 14;

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
        {{kMenu, 600}, 1},   {{kDialog, 400}, 1}, {{kAccelerators, 100}, 1},
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
