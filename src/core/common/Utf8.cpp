#include "common/Utf8.h"

namespace corvina::utf8 {

std::string Sanitize(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const int len = SequenceLength(p, end);
        if (len == 0) {
            out += '?';
            ++p;
        } else {
            out.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len));
            p += len;
        }
    }
    return out;
}

}  // namespace corvina::utf8
