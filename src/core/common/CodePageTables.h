#pragma once
// Internal to CodePage: the character tables of a code page.

#include <memory>
#include <unordered_map>

#include "common/CodePage.h"

namespace corvina {

constexpr char32_t kReplacementChar = 0xFFFD;

// Unicode of every byte of a single-byte page, and of every double-byte
// character of 932, built once from iconv.
struct CodePage::SingleByteTables {
    char32_t decode[256] = {};
    // 932: index (lead - 0x81 or lead - 0xE0 + 31) * 256 + trail.
    std::unique_ptr<char16_t[]> dbcs;
    std::unordered_map<char32_t, unsigned char> encode;  // single-byte pages
};

}  // namespace corvina
