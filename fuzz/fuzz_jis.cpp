// ISO-2022-JP to Shift_JIS and back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "message/JapaneseCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string sjis = JisToSjis(text);
    if (sjis.size() > text.size()) {
        __builtin_trap();
    }
    std::string jis = SjisToJis(text, size > 0 && (data[0] & 1));
    // Always ends in one-byte mode: the last escape written is ESC ( B
    // (checked where the input holds no ESC of its own).
    if (text.find('\x1B') == std::string_view::npos) {
        std::size_t enter = jis.rfind("\x1B$B");
        if (enter != std::string::npos) {
            std::size_t leave = jis.rfind("\x1B(B");
            if (leave == std::string::npos || leave < enter) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
