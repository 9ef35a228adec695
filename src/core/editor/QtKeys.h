#pragma once
// The key events of the Qt view in the key table's terms: Qt's key number
// and modifier flags become a virtual key and the Ctrl, Shift and Alt
// state. Qt's numbers are written here as constants so that the core
// needs no Qt header; they are Qt's stable values (qnamespace.h).

#include <optional>

#include "editor/KeyDispatcher.h"

namespace corvina {

namespace qtkey {
inline constexpr int kSpace = 0x20;
inline constexpr int k0 = 0x30;
inline constexpr int k9 = 0x39;
inline constexpr int kAt = 0x40;
inline constexpr int kA = 0x41;
inline constexpr int kZ = 0x5A;
inline constexpr int kBracketLeft = 0x5B;
inline constexpr int kBackslash = 0x5C;
inline constexpr int kBracketRight = 0x5D;
inline constexpr int kAsciiCircum = 0x5E;
inline constexpr int kUnderscore = 0x5F;
inline constexpr int kEscape = 0x01000000;
inline constexpr int kTab = 0x01000001;
inline constexpr int kBacktab = 0x01000002;
inline constexpr int kBackspace = 0x01000003;
inline constexpr int kReturn = 0x01000004;
inline constexpr int kEnter = 0x01000005;
inline constexpr int kInsert = 0x01000006;
inline constexpr int kDelete = 0x01000007;
inline constexpr int kPause = 0x01000008;
inline constexpr int kHome = 0x01000010;
inline constexpr int kEnd = 0x01000011;
inline constexpr int kLeft = 0x01000012;
inline constexpr int kUp = 0x01000013;
inline constexpr int kRight = 0x01000014;
inline constexpr int kDown = 0x01000015;
inline constexpr int kPageUp = 0x01000016;
inline constexpr int kPageDown = 0x01000017;
inline constexpr int kShift = 0x01000020;
inline constexpr int kControl = 0x01000021;
inline constexpr int kMeta = 0x01000022;
inline constexpr int kAlt = 0x01000023;
inline constexpr int kCapsLock = 0x01000024;
inline constexpr int kF1 = 0x01000030;
inline constexpr int kF24 = 0x01000047;

inline constexpr unsigned kShiftModifier = 0x02000000;
inline constexpr unsigned kControlModifier = 0x04000000;
inline constexpr unsigned kAltModifier = 0x08000000;
inline constexpr unsigned kMetaModifier = 0x10000000;
inline constexpr unsigned kKeypadModifier = 0x20000000;
}  // namespace qtkey

struct TranslatedKey {
    int virtualKey = 0;
    KeyModifiers modifiers;
};

// Every key the key table can name (letters and digits of any layout come
// as Qt's upper-case Key_A..Key_Z and Key_0..Key_9), Backtab as Shift+Tab,
// and the modifier keys, which the dispatcher passes on. On Linux Ctrl is
// Qt's ControlModifier; Meta and the keypad flag play no part. Nothing for
// keys without a virtual key.
std::optional<TranslatedKey> TranslateQtKey(int qtKey, unsigned qtModifiers);

}  // namespace corvina
