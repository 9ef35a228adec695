// EUC-JP and Shift_JIS lines; a failed line comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "message/JapaneseCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int errors = 0;
    std::string sjis = EucToSjisLine(text, errors);
    if (errors != 0 && sjis != text) {
        __builtin_trap();
    }
    if (errors == 0) {
        // Valid EUC-JP without JIS X 0212 converts back to itself.
        if (text.find('\x8F') == std::string_view::npos) {
            int back = 0;
            if (SjisToEucLine(sjis, back) != text || back != 0) {
                __builtin_trap();
            }
        }
    }
    errors = 0;
    std::string euc = SjisToEucLine(text, errors);
    if (errors != 0 && euc != text) {
        __builtin_trap();
    }
    return 0;
}
