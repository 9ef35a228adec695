// Base64 decoding of words and bodies; what decodes re-encodes to itself.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "message/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto bytes = Base64DecodeText(text)) {
        if (bytes->size() > text.size()) {
            __builtin_trap();
        }
        auto again = Base64DecodeText(Base64EncodeText(*bytes));
        if (!again || *again != *bytes) {
            __builtin_trap();
        }
    }
    // Skipping what is outside the alphabet never makes more bytes than
    // the characters can carry; what decodes whole re-encodes to itself.
    Base64Decoded body = Base64DecodeBody(text);
    if (body.bytes.size() > text.size() / 4 * 3 + 2) {
        __builtin_trap();
    }
    if (body.complete) {
        Base64Decoded again = Base64DecodeBody(Base64EncodeText(body.bytes));
        if (!again.complete || again.bytes != body.bytes) {
            __builtin_trap();
        }
    }
    return 0;
}
