#include "editor/SearchFolding.h"

#include <string>

#include "common/CaseFold.h"
#include "common/CodePage.h"
#include "editor/CharConversions.h"

namespace corvina {
namespace {

constexpr int kNoNarrow = -1;
constexpr int kDropMark = -2;
// Half-width katakana sit at U+FF61-U+FF9F on UTF-8 and at 0xA1-0xDF in
// Shift_JIS: one offset turns one into the other.
constexpr std::uint32_t kHalfWidthOffset = 0xFEC0;

// The narrow form of a wide character as a Shift_JIS byte (ASCII or
// half-width katakana), kDropMark for the voiced-sound marks, kNoNarrow
// when it has none.
int NarrowOf(char32_t cp) {
    if (cp >= 0xFF01 && cp <= 0xFF5E) {
        return static_cast<int>(cp - 0xFEE0);
    }
    switch (cp) {
        case 0x3000:
            return ' ';
        case 0x309B:
        case 0x309C:
        case 0xFF9E:
        case 0xFF9F:
            return kDropMark;
        default:
            break;
    }
    // A voiced letter folds to its plain letter: the mark is dropped.
    char32_t mark = 0;
    const char32_t half = HalfWidthKana(cp, &mark);
    return half != 0 ? static_cast<int>(half - kHalfWidthOffset) : kNoNarrow;
}

// The large form of a half-width small kana (Shift_JIS byte), or the byte.
unsigned char LargeKana(unsigned char byte) {
    if (byte >= 0xA7 && byte <= 0xAB) {
        return static_cast<unsigned char>(byte - 0xA7 + 0xB1);
    }
    if (byte >= 0xAC && byte <= 0xAE) {
        return static_cast<unsigned char>(byte - 0xAC + 0xD4);
    }
    return byte == 0xAF ? 0xC2 : byte;
}

// Narrow forms of the Shift_JIS double-byte characters with lead bytes
// 0x81-0x83 (the only ones that have one), indexed by code - 0x8100.
struct SjisNarrowTable {
    int narrow[3 * 256];
    SjisNarrowTable() {
        const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
        for (int i = 0; i < 3 * 256; ++i) {
            const char bytes[2] = {static_cast<char>(0x81 + i / 256), static_cast<char>(i % 256)};
            int length = 0;
            const char32_t cp = sjis.Decode(bytes, bytes + 2, &length);
            narrow[i] = length == 2 ? NarrowOf(cp) : kNoNarrow;
        }
    }
};

const SjisNarrowTable& SjisNarrow() {
    static const SjisNarrowTable table;
    return table;
}

int Utf8Length(char32_t cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

}  // namespace

SearchFolding::SearchFolding(const CodePage& codePage, bool ignoreCase, bool ignoreMbcs)
    : codePage_(&codePage),
      ignoreCase_(ignoreCase),
      ignoreMbcs_(ignoreMbcs),
      utf8_(codePage.IsUtf8()),
      dbcs_(codePage.IsDbcs()) {
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t folded = byte;
        if (ignoreCase && byte >= 'A' && byte <= 'Z') {
            folded = byte - 'A' + 'a';
        } else if (utf8_ && byte >= 0x80) {
            folded = kInvalidBase + byte;
        } else if (dbcs_ && ignoreMbcs && (byte == 0xDE || byte == 0xDF)) {
            folded = kDropped;
        } else if (dbcs_ && ignoreCase) {
            folded = LargeKana(static_cast<unsigned char>(byte));
        } else if (!dbcs_ && !utf8_ && ignoreCase && byte >= 0x80) {
            // A letter of the single-byte page folds to the page's own
            // folded letter when there is one.
            const char one = static_cast<char>(byte);
            const char32_t cp = codePage.Decode(&one, &one + 1);
            const char32_t low = CaseFold::Fold(cp);
            if (low != cp) {
                std::string utf8;
                if (low < 0x800) {
                    utf8 = {static_cast<char>(0xC0 | (low >> 6)),
                            static_cast<char>(0x80 | (low & 0x3F))};
                }
                const std::string back = codePage.FromUtf8(utf8);
                if (back.size() == 1 && back != "?") {
                    folded = static_cast<unsigned char>(back[0]);
                }
            }
        }
        byteFold_[byte] = folded;
    }
}

std::uint32_t SearchFolding::Read(const char* p, const char* end, int* length) const {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x80 || (!dbcs_ && !utf8_)) {
        *length = 1;
        return byte;
    }
    if (dbcs_) {
        if (codePage_->IsLeadByte(byte) && end - p >= 2 &&
            codePage_->IsTrailByte(static_cast<unsigned char>(p[1]))) {
            *length = 2;
            return byte << 8 | static_cast<unsigned char>(p[1]);
        }
        *length = 1;
        return byte;
    }
    const char32_t cp = codePage_->Decode(p, end, length);
    if (*length <= 1) {
        *length = 1;
        return kInvalidBase + byte;
    }
    return cp;
}

std::uint32_t SearchFolding::Fold(std::uint32_t code) const {
    if (code < (utf8_ ? 0x80u : 0x100u)) {
        return byteFold_[code];
    }
    return FoldWide(code);
}

std::uint32_t SearchFolding::FoldWide(std::uint32_t code) const {
    if (dbcs_) {
        if (!ignoreMbcs_ || code < 0x8100 || code >= 0x8400) {
            return code;
        }
        const int narrow = SjisNarrow().narrow[code - 0x8100];
        if (narrow == kDropMark) {
            return kDropped;
        }
        return narrow == kNoNarrow ? code : byteFold_[narrow];
    }
    if (!utf8_ || code >= kInvalidBase) {
        return code;
    }
    if (ignoreMbcs_) {
        const int narrow = NarrowOf(code);
        if (narrow == kDropMark) {
            return kDropped;
        }
        if (narrow >= 0 && narrow < 0x80) {
            return byteFold_[narrow];
        }
        if (narrow >= 0) {
            code = narrow + kHalfWidthOffset;
        }
    }
    if (!ignoreCase_) {
        return code;
    }
    if (code >= 0xFF67 && code <= 0xFF6F) {
        return LargeKana(static_cast<unsigned char>(code - kHalfWidthOffset)) + kHalfWidthOffset;
    }
    const char32_t folded = CaseFold::Fold(code);
    return Utf8Length(folded) == Utf8Length(code) ? folded : code;
}

bool SearchFolding::StartsWideFold(unsigned char byte) const {
    if (!ignoreMbcs_) {
        return false;
    }
    if (dbcs_) {
        return byte >= 0x81 && byte <= 0x83;
    }
    if (utf8_) {
        return byte == 0xE3 || byte == 0xEF;
    }
    return false;
}

}  // namespace corvina
