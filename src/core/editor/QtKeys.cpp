#include "editor/QtKeys.h"

#include <array>

#include "editor/KeyCodes.h"

namespace corvina {
namespace {

struct KeyPair {
    int qtKey;
    int virtualKey;
};

// Qt's special keys that have a virtual key of their own.
constexpr std::array<KeyPair, 22> kSpecialKeys{{
    {qtkey::kEscape, kVkEscape},   {qtkey::kTab, kVkTab},       {qtkey::kBacktab, kVkTab},
    {qtkey::kBackspace, kVkBack},  {qtkey::kReturn, kVkReturn}, {qtkey::kEnter, kVkReturn},
    {qtkey::kInsert, kVkInsert},   {qtkey::kDelete, kVkDelete}, {qtkey::kPause, kVkPause},
    {qtkey::kHome, kVkHome},       {qtkey::kEnd, kVkEnd},       {qtkey::kLeft, kVkLeft},
    {qtkey::kUp, kVkUp},           {qtkey::kRight, kVkRight},   {qtkey::kDown, kVkDown},
    {qtkey::kPageUp, kVkPrior},    {qtkey::kPageDown, kVkNext}, {qtkey::kShift, kVkShift},
    {qtkey::kControl, kVkControl}, {qtkey::kAlt, kVkMenu},      {qtkey::kCapsLock, kVkCapital},
    {qtkey::kSpace, kVkSpace},
}};

std::optional<int> VirtualKeyOf(int qtKey) {
    // Letters, digits and "@[\]^_" carry their ASCII code in both.
    if ((qtKey >= qtkey::k0 && qtKey <= qtkey::k9) ||
        (qtKey >= qtkey::kAt && qtKey <= qtkey::kUnderscore)) {
        return qtKey;
    }
    if (qtKey >= qtkey::kF1 && qtKey <= qtkey::kF24) {
        return kVkF1 + (qtKey - qtkey::kF1);
    }
    for (const KeyPair& pair : kSpecialKeys) {
        if (pair.qtKey == qtKey) {
            return pair.virtualKey;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<TranslatedKey> TranslateQtKey(int qtKey, unsigned qtModifiers) {
    const std::optional<int> virtualKey = VirtualKeyOf(qtKey);
    if (!virtualKey) {
        return std::nullopt;
    }
    TranslatedKey key;
    key.virtualKey = *virtualKey;
    key.modifiers.ctrl = (qtModifiers & qtkey::kControlModifier) != 0;
    key.modifiers.shift = (qtModifiers & qtkey::kShiftModifier) != 0 || qtKey == qtkey::kBacktab;
    key.modifiers.alt = (qtModifiers & qtkey::kAltModifier) != 0;
    return key;
}

}  // namespace corvina
