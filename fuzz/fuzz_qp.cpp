// Quoted-printable lines and texts; encoding then decoding gives the line back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "message/QuotedPrintable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    QpDecodedLine line = QpDecodeLine(text);
    if (line.bytes.size() > text.size()) {
        __builtin_trap();
    }
    for (const std::string& l : QpDecodeText(text)) {
        if (l.size() > kQpMaxLogicalLine + 1) {
            __builtin_trap();
        }
    }
    std::string plain(text.substr(0, 4096));
    std::erase(plain, '\n');
    auto back = QpDecodeText(QpEncodeLine(plain) + "\n");
    if (back.size() != 1 || back[0] != plain + "\n") {
        __builtin_trap();
    }
    return 0;
}
