#pragma once
// UTF-8 sequences: validation, decoding and encoding of one character.

#include <string>
#include <string_view>

namespace corvina::utf8 {

// Length of the well-formed UTF-8 sequence at p (1-4), 0 when invalid;
// p must be before end.
inline int SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        return 1;
    }
    int len;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) {
            lo = 0xA0;
        } else if (c == 0xED) {
            hi = 0x9F;  // no surrogates
        }
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) {
            lo = 0x90;
        } else if (c == 0xF4) {
            hi = 0x8F;
        }
    } else {
        return 0;
    }
    if (end - p < len) {
        return 0;
    }
    if (p[1] < lo || p[1] > hi) {
        return 0;
    }
    for (int i = 2; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return len;
}

// The scalar value of a sequence SequenceLength() accepted.
inline char32_t Decode(const unsigned char* p, int len) {
    switch (len) {
        case 1:
            return p[0];
        case 2:
            return (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
        case 3:
            return (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        default:
            return (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                   (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    }
}

inline void Append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Valid UTF-8 kept, every invalid byte replaced by "?".
std::string Sanitize(std::string_view text);

}  // namespace corvina::utf8
