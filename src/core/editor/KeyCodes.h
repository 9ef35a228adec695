#pragma once
// Key codes of the editor's key table and the names the key file writes
// them with. A key code is 16 bits: the high byte is the modifier class,
// the low byte the virtual key. A two-stroke key (Ctrl+K, then L) keeps the
// second key's control code (1 to 31) in the high byte and the prefix
// letter in the low byte, so it never collides with a modifier class.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvina {

using KeyCode = std::uint16_t;

// No key: an unbound slot of the key table.
inline constexpr KeyCode kNoKey = 0xFFFF;

// Modifier classes (the high byte).
inline constexpr std::uint8_t kModNone = 0xFF;
inline constexpr std::uint8_t kModCtrl = 0x20;
inline constexpr std::uint8_t kModShift = 0x40;
inline constexpr std::uint8_t kModShiftCtrl = 0x60;
inline constexpr std::uint8_t kModAlt = 0xFE;
inline constexpr std::uint8_t kModShiftAlt = 0xFD;

// The virtual keys the key table names.
inline constexpr int kVkLButton = 1;
inline constexpr int kVkRButton = 2;
inline constexpr int kVkBack = 8;
inline constexpr int kVkTab = 9;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkShift = 16;
inline constexpr int kVkControl = 17;
inline constexpr int kVkMenu = 18;  // Alt
inline constexpr int kVkPause = 19;
inline constexpr int kVkCapital = 20;  // Caps Lock
inline constexpr int kVkEscape = 27;
inline constexpr int kVkSpace = 32;
inline constexpr int kVkPrior = 0x21;  // PgUp
inline constexpr int kVkNext = 0x22;   // PgDn
inline constexpr int kVkEnd = 0x23;
inline constexpr int kVkHome = 0x24;
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkRight = 0x27;
inline constexpr int kVkDown = 0x28;
inline constexpr int kVkInsert = 0x2D;
inline constexpr int kVkDelete = 0x2E;
inline constexpr int kVkF1 = 0x70;
inline constexpr int kVkF24 = 0x87;
// The input method's "processing" key: the keystroke belongs to it.
inline constexpr int kVkProcessKey = 229;

constexpr KeyCode MakeKeyCode(std::uint8_t modifierClass, int virtualKey) {
    return static_cast<KeyCode>(modifierClass << 8 | (virtualKey & 0xFF));
}

// Ctrl+<prefix>, then <second>: both upper-case letters or one of "@[\]^_".
constexpr KeyCode MakeTwoStrokeKey(char prefix, char second) {
    return static_cast<KeyCode>((second - 0x40) << 8 | static_cast<unsigned char>(prefix));
}

constexpr bool IsTwoStrokeKey(KeyCode key) {
    const int high = key >> 8;
    return high >= 1 && high <= 31;
}

// The number of names the key-name table holds.
inline constexpr int kKeyNameCount = 73;

// The name of entry `index` (0 .. kKeyNameCount - 1) in table order.
std::string_view KeyNameAt(int index);

// A key name of the key file to its code, case-sensitive: an optional
// modifier prefix ("Ctrl+", "Shift+", "SCtrl+", "SAlt+", "Alt+"), then a
// two-stroke key ("K^L"), a single character, or a name of the key-name
// table. A name nothing knows gives a code that matches no key; an empty
// name gives kNoKey.
KeyCode ParseKeyName(std::string_view name);

// The name a key is shown with ("Ctrl+K^L", "Shift+F3"); "" for kNoKey and
// for codes no name writes.
std::string KeyCodeName(KeyCode key);

}  // namespace corvina
