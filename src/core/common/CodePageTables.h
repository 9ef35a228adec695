#pragma once
// Internal to CodePage: the character tables of a code page.

#include <memory>
#include <string>
#include <string_view>
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

// A multi-byte charset (up to three bytes a character) into UTF-8 through
// tables read from iconv: the same text iconv gives, one "?" for each byte
// it refuses and one for a sequence cut short at the end.
class MultiByteDecoder {
public:
    // The decoder of "CP932" or "EUC-JP-MS" (iconv names); nullptr for any
    // other charset or when iconv lacks it.
    static const MultiByteDecoder* For(std::string_view iconvName);

    std::string ToUtf8(std::string_view bytes) const;

    ~MultiByteDecoder();
    MultiByteDecoder(const MultiByteDecoder&) = delete;
    MultiByteDecoder& operator=(const MultiByteDecoder&) = delete;

private:
    explicit MultiByteDecoder(const char* iconvName);
    struct Tables;
    std::unique_ptr<Tables> tables_;
};

}  // namespace corvina
