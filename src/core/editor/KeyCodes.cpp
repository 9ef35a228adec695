#include "editor/KeyCodes.h"

#include <array>

namespace corvina {
namespace {

struct KeyName {
    std::string_view name;
    int virtualKey;
};

constexpr std::array<KeyName, kKeyNameCount> kKeyNames{{
    {"RBtn", kVkRButton}, {"LBtn", kVkLButton}, {"@", 0x40},         {"A", 0x41},
    {"B", 0x42},          {"C", 0x43},          {"D", 0x44},         {"E", 0x45},
    {"F", 0x46},          {"G", 0x47},          {"H", 0x48},         {"I", 0x49},
    {"J", 0x4A},          {"K", 0x4B},          {"L", 0x4C},         {"M", 0x4D},
    {"N", 0x4E},          {"O", 0x4F},          {"P", 0x50},         {"Q", 0x51},
    {"R", 0x52},          {"S", 0x53},          {"T", 0x54},         {"U", 0x55},
    {"V", 0x56},          {"W", 0x57},          {"X", 0x58},         {"Y", 0x59},
    {"Z", 0x5A},          {"[", 0x5B},          {"\\", 0x5C},        {"]", 0x5D},
    {"^", 0x5E},          {"_", 0x5F},          {"BS", kVkBack},     {"Tab", kVkTab},
    {"Enter", kVkReturn}, {"ESC", kVkEscape},   {"Space", kVkSpace}, {"PgUp", kVkPrior},
    {"PgDn", kVkNext},    {"End", kVkEnd},      {"Home", kVkHome},   {"Left", kVkLeft},
    {"Up", kVkUp},        {"Right", kVkRight},  {"Down", kVkDown},   {"Ins", kVkInsert},
    {"Del", kVkDelete},   {"F1", 0x70},         {"F2", 0x71},        {"F3", 0x72},
    {"F4", 0x73},         {"F5", 0x74},         {"F6", 0x75},        {"F7", 0x76},
    {"F8", 0x77},         {"F9", 0x78},         {"F10", 0x79},       {"F11", 0x7A},
    {"F12", 0x7B},        {"F13", 0x7C},        {"F14", 0x7D},       {"F15", 0x7E},
    {"F16", 0x7F},        {"F17", 0x80},        {"F18", 0x81},       {"F19", 0x82},
    {"F20", 0x83},        {"F21", 0x84},        {"F22", 0x85},       {"F23", 0x86},
    {"F24", kVkF24},
}};

struct ModifierPrefix {
    std::string_view text;
    std::uint8_t modifierClass;
};

// "SCtrl+" and "SAlt+" cannot be mistaken for "Ctrl+" or "Alt+": every
// prefix is matched at the start of the name.
constexpr std::array<ModifierPrefix, 5> kModifierPrefixes{{
    {"Ctrl+", kModCtrl},
    {"Shift+", kModShift},
    {"SCtrl+", kModShiftCtrl},
    {"SAlt+", kModShiftAlt},
    {"Alt+", kModAlt},
}};

// The second key of a two-stroke key is dispatched only as 0x41 to 0x5F,
// giving control codes 1 to 31; any other character would put a modifier
// class into the high byte and bind an ordinary key ("K^`" is Ctrl+K).
constexpr bool IsSecondStroke(char c) {
    return c >= 0x41 && c <= 0x5F;
}

}  // namespace

std::string_view KeyNameAt(int index) {
    return index >= 0 && index < kKeyNameCount ? kKeyNames[index].name : std::string_view();
}

KeyCode ParseKeyName(std::string_view name) {
    std::uint8_t modifier = kModNone;
    if (name.find('+') != std::string_view::npos) {
        for (const ModifierPrefix& prefix : kModifierPrefixes) {
            if (name.starts_with(prefix.text)) {
                modifier = prefix.modifierClass;
                name.remove_prefix(prefix.text.size());
                break;
            }
        }
    }
    if (name.size() == 3 && name[1] == '^' && IsSecondStroke(name[2])) {
        return MakeTwoStrokeKey(name[0], name[2]);
    }
    if (name.size() == 1) {
        return MakeKeyCode(modifier, static_cast<unsigned char>(name[0]));
    }
    for (const KeyName& entry : kKeyNames) {
        if (entry.name == name) {
            return MakeKeyCode(modifier, entry.virtualKey);
        }
    }
    return MakeKeyCode(modifier, 0xFF);
}

std::string KeyCodeName(KeyCode key) {
    const int high = key >> 8;
    const int low = key & 0xFF;
    if (IsTwoStrokeKey(key)) {
        return std::string("Ctrl+") + static_cast<char>(low) + '^' + static_cast<char>(high + 0x40);
    }
    std::string name;
    if (high != kModNone) {
        for (const ModifierPrefix& prefix : kModifierPrefixes) {
            if (prefix.modifierClass == high) {
                name = prefix.text;
            }
        }
        if (name.empty()) {
            return {};
        }
    }
    for (const KeyName& entry : kKeyNames) {
        if (entry.virtualKey == low) {
            return name + std::string(entry.name);
        }
    }
    // A single character the key file may name though the table does not.
    if (low > 0x20 && low < 0x7F) {
        return name + static_cast<char>(low);
    }
    return {};
}

}  // namespace corvina
