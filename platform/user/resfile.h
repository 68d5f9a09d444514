// Readers for the standard binary resource format (.res, as llvm-rc and
// windres write it) and for the resource types the saver uses: dialog
// templates, menus and accelerator tables.
//
// Every reader takes untrusted bytes: a damaged or truncated input gives
// std::nullopt, never a read out of bounds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::user {

// ASCII upper case. Class names and resource names compare without case.
std::string upperCase(std::string s);

// A resource type or name: a 16-bit id or a string. Strings keep their case
// but compare without it, as Windows compares resource names.
struct ResourceId {
    bool isNumber = true;
    WORD number = 0;
    std::string text;

    static ResourceId fromNumber(WORD n) { return {true, n, {}}; }
    static ResourceId fromText(std::string s) { return {false, 0, std::move(s)}; }
    // A name as Win32 calls take it: MAKEINTRESOURCE values (below 0x10000)
    // are ids, "#123" is id 123, anything else a string.
    static ResourceId fromWin32(LPCSTR name);
    bool operator==(const ResourceId& other) const;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    std::span<const std::uint8_t> data;  // points into the parsed image
};

// All entries of a .res image, in file order, without the leading empty
// entry. Nothing when the image is malformed.
std::optional<std::vector<ResourceEntry>> parseResFile(std::span<const std::uint8_t> image);

// ---- Dialog templates (DLGTEMPLATE, not the extended form) -------------

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    ResourceId windowClass;  // a predefined class atom (0x80 button, ...) or a class name
    ResourceId text;         // a string, or a resource id for icons and the like
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    ResourceId menu;         // number 0: none
    ResourceId windowClass;  // number 0: the default dialog class
    std::string title;
    WORD pointSize = 0;      // only with DS_SETFONT
    std::string font;
    std::vector<DialogItem> items;
};

std::optional<DialogTemplate> parseDialogTemplate(std::span<const std::uint8_t> data);

// ---- Menus (the standard MENUITEMTEMPLATE form) ------------------------

struct MenuItem {
    WORD flags = 0;  // MF_POPUP 0x10, MF_END 0x80, ...
    WORD id = 0;     // commands only; popups carry none
    std::string text;
    std::vector<MenuItem> children;  // popups only
};

std::optional<std::vector<MenuItem>> parseMenuTemplate(std::span<const std::uint8_t> data);

// ---- Accelerator tables ------------------------------------------------

struct Accelerator {
    WORD flags = 0;  // FVIRTKEY 0x01, FSHIFT 0x04, FCONTROL 0x08, FALT 0x10, end of table 0x80
    WORD key = 0;
    WORD command = 0;
};

std::optional<std::vector<Accelerator>> parseAcceleratorTable(std::span<const std::uint8_t> data);

}  // namespace platform::user
