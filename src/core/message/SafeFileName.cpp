#include "message/SafeFileName.h"

#include "common/CodePage.h"

namespace corvina {

std::string SafeFileName(std::string_view name) {
    constexpr std::size_t kMaxBytes = 200;
    const CodePage& cp = CodePage::Working();
    // The last separator that starts a character: in Shift_JIS a trail
    // byte may be 0x5C.
    std::size_t base = 0;
    for (std::size_t i = 0; i < name.size();) {
        if (name[i] == '/' || name[i] == '\\') {
            base = i + 1;
        }
        i += static_cast<std::size_t>(cp.CharLength(name, i));
    }
    name.remove_prefix(base);
    std::string clean;
    clean.reserve(name.size());
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            continue;
        }
        if (c == '.' && !clean.empty() && clean.back() == '.') {
            continue;
        }
        if ((c == '.' || c == ' ') && clean.empty()) {
            continue;
        }
        clean += static_cast<char>(c);
    }
    if (clean.size() > kMaxBytes) {
        std::size_t cut = 0;
        while (cut < clean.size()) {
            std::size_t len = static_cast<std::size_t>(cp.CharLength(clean, cut));
            if (cut + len > kMaxBytes) {
                break;
            }
            cut += len;
        }
        clean.resize(cut);
    }
    if (clean.empty()) {
        clean = "noname";
    }
    return clean;
}

}  // namespace corvina
