#include "message/mime/Base64Body.h"

#include <array>

#include "message/Base64.h"

namespace corvina {

std::string DecodeBase64Body(std::string_view body) {
    static const auto kTable = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) {
            t[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
        }
        return t;
    }();
    std::string out;
    out.resize(body.size() / 4 * 3 + 3);
    std::size_t used = 0;
    std::size_t pos = 0;
    bool ended = false;  // padding seen: only blank lines may follow
    while (pos < body.size()) {
        std::size_t lf = body.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? body.size() : lf;
        std::size_t len = end - pos;
        if (len > 0 && body[end - 1] == '\r') {
            --len;
        }
        const unsigned char* p = reinterpret_cast<const unsigned char*>(body.data() + pos);
        pos = lf == std::string_view::npos ? body.size() : lf + 1;
        if (len == 0) {
            continue;
        }
        if (ended || len % 4 != 0) {
            return Base64DecodeBody(body);
        }
        for (std::size_t i = 0; i < len; i += 4) {
            int a = kTable[p[i]], b = kTable[p[i + 1]], c = kTable[p[i + 2]], d = kTable[p[i + 3]];
            if ((a | b | c | d) >= 0) {
                unsigned v =
                    (unsigned(a) << 18) | (unsigned(b) << 12) | (unsigned(c) << 6) | unsigned(d);
                out[used++] = static_cast<char>(v >> 16);
                out[used++] = static_cast<char>(v >> 8);
                out[used++] = static_cast<char>(v);
                continue;
            }
            // Padding is only allowed in the line's last group.
            if (i + 4 != len || a < 0 || b < 0) {
                return Base64DecodeBody(body);
            }
            if (c < 0 && p[i + 2] == '=' && p[i + 3] == '=') {
                out[used++] = static_cast<char>((unsigned(a) << 2) | (unsigned(b) >> 4));
            } else if (c >= 0 && p[i + 3] == '=') {
                unsigned v = (unsigned(a) << 18) | (unsigned(b) << 12) | (unsigned(c) << 6);
                out[used++] = static_cast<char>(v >> 16);
                out[used++] = static_cast<char>(v >> 8);
            } else {
                return Base64DecodeBody(body);
            }
            ended = true;
        }
    }
    out.resize(used);
    return out;
}

}  // namespace corvina
