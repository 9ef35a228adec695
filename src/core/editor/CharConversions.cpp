#include "editor/CharConversions.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "common/CodePage.h"
#include "common/Utf8.h"

namespace corvina {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kIdeographicSpace = 0x3000;
constexpr char32_t kWideFirst = 0xFF01;  // full-width "!"
constexpr char32_t kWideLast = 0xFF5E;   // full-width "~"
constexpr char32_t kHalfKanaFirst = 0xFF61;
constexpr char32_t kHalfKanaLast = 0xFF9F;
constexpr char32_t kHalfVoiced = 0xFF9E;
constexpr char32_t kHalfSemiVoiced = 0xFF9F;

// The full-width form of each half-width katakana U+FF61-U+FF9F.
constexpr char16_t kFullOfHalfKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};
static_assert(std::size(kFullOfHalfKana) == kHalfKanaLast - kHalfKanaFirst + 1);

constexpr char32_t kKatakanaU = 0x30A6;
constexpr char32_t kKatakanaVu = 0x30F4;

// Katakana whose voiced form is the next code point (the K, S, T and H
// rows) and whose semi-voiced form is the one after (the H row).
bool TakesSemiVoicedMark(char32_t cp) {
    return cp >= 0x30CF && cp <= 0x30DB && (cp - 0x30CF) % 3 == 0;
}
bool TakesVoicedMark(char32_t cp) {
    return (cp >= 0x30AB && cp <= 0x30C1 && (cp - 0x30AB) % 2 == 0) || cp == 0x30C4 ||
           cp == 0x30C6 || cp == 0x30C8 || TakesSemiVoicedMark(cp);
}

// Half-width kana (0 when none) of a full-width katakana or kana mark:
// the inverse of kFullOfHalfKana, whose full-width forms all lie in
// U+3000-U+30FF, kept as a flat table because search folding asks it for
// every wide character.
char32_t HalfOfFullKana(char32_t cp) {
    static const auto table = [] {
        std::array<char32_t, 0x100> halves{};
        for (char32_t half = kHalfKanaFirst; half <= kHalfKanaLast; ++half) {
            halves[kFullOfHalfKana[half - kHalfKanaFirst] - 0x3000] = half;
        }
        return halves;
    }();
    return cp >= 0x3000 && cp <= 0x30FF ? table[cp - 0x3000] : 0;
}

}  // namespace

char32_t HalfWidthKana(char32_t full, char32_t* mark) {
    *mark = 0;
    if (const char32_t half = HalfOfFullKana(full)) {
        return half;
    }
    if (full == kKatakanaVu) {
        *mark = kHalfVoiced;
        return HalfOfFullKana(kKatakanaU);
    }
    if (TakesVoicedMark(full - 1)) {
        *mark = kHalfVoiced;
        return HalfOfFullKana(full - 1);
    }
    if (TakesSemiVoicedMark(full - 2)) {
        *mark = kHalfSemiVoiced;
        return HalfOfFullKana(full - 2);
    }
    return 0;
}

namespace {

// The bytes of `cp` in the page, or "" when the page cannot hold it.
std::string EncodeChar(char32_t cp, const CodePage& page) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return out;
    }
    if (page.IsUtf8()) {
        utf8::Append(out, cp);
        return out;
    }
    if (page.IsDbcs()) {
        if (cp >= kHalfKanaFirst && cp <= kHalfKanaLast) {
            out += static_cast<char>(0xA1 + (cp - kHalfKanaFirst));
            return out;
        }
        // Only the ideographic space, kana and full-width forms are ever
        // written back here; their codes are looked up once.
        static std::once_flag once;
        static std::unordered_map<char32_t, std::string> codes;
        std::call_once(once, [&page] {
            auto add = [&page](char32_t from, char32_t to) {
                for (char32_t c = from; c <= to; ++c) {
                    std::string utf;
                    utf8::Append(utf, c);
                    std::string bytes = page.FromUtf8(utf);
                    if (bytes.size() == 2) {
                        codes[c] = std::move(bytes);
                    }
                }
            };
            add(0x3000, 0x30FF);
            add(kWideFirst, kWideLast);
        });
        const auto it = codes.find(cp);
        return it == codes.end() ? std::string() : it->second;
    }
    std::string utf;
    utf8::Append(utf, cp);
    out = page.FromUtf8(utf);
    return out == "?" ? std::string() : out;
}

// The C library's Unicode case tables, or null when its C.UTF-8 locale
// is missing (case conversion then keeps to ASCII).
locale_t UnicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

// Letters and digits of the scripts written with spaces, full-width Latin
// included: they make up the words whose first letter "Upper Top Of Word"
// raises. Kana and kanji are no such words.
bool IsWordChar(std::string_view bytes, char32_t cp, const CodePage& page) {
    if ((cp >= 0xFF10 && cp <= 0xFF19) || (cp >= 0xFF21 && cp <= 0xFF3A) ||
        (cp >= 0xFF41 && cp <= 0xFF5A)) {
        return true;
    }
    return cp != '_' && page.ClassOf(bytes.data(), bytes.data() + bytes.size()) == CharClass::Word;
}

char32_t MapCase(char32_t cp, bool upper, const CodePage& page) {
    if (cp < 0x80) {
        if (upper && cp >= 'a' && cp <= 'z') {
            return cp - 0x20;
        }
        if (!upper && cp >= 'A' && cp <= 'Z') {
            return cp + 0x20;
        }
        return cp;
    }
    if (page.IsDbcs()) {
        // Shift_JIS holds only the full-width Latin letters of interest.
        if (upper && cp >= 0xFF41 && cp <= 0xFF5A) {
            return cp - 0x20;
        }
        if (!upper && cp >= 0xFF21 && cp <= 0xFF3A) {
            return cp + 0x20;
        }
        return cp;
    }
    const locale_t locale = UnicodeLocale();
    if (locale == locale_t{} || cp == kReplacement) {
        return cp;
    }
    const wint_t mapped = upper ? towupper_l(static_cast<wint_t>(cp), locale)
                                : towlower_l(static_cast<wint_t>(cp), locale);
    return static_cast<char32_t>(mapped);
}

// Walks the characters of a line: the bytes of each and its scalar value.
template <typename Visit>
void ForEachChar(std::string_view line, const CodePage& page, Visit visit) {
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end) {
        int length = 1;
        const char32_t cp = page.Decode(p, end, &length);
        length = length > 0 ? length : 1;
        visit(std::string_view(p, static_cast<std::size_t>(length)), cp);
        p += length;
    }
}

}  // namespace

std::string ConvertCase(std::string_view line, CaseConversion conversion,
                        const CodePage& codePage) {
    if (conversion == CaseConversion::kNone) {
        return std::string(line);
    }
    std::string out;
    out.reserve(line.size());
    bool topSeen = false;  // "Upper top of line": the line's first letter or digit passed
    bool inWord = false;   // "Upper Top Of Word": inside a run of letters and digits
    ForEachChar(line, codePage, [&](std::string_view bytes, char32_t cp) {
        bool upper = conversion == CaseConversion::kUpperAll;
        if (conversion == CaseConversion::kUpperTopOfLine) {
            const bool word = IsWordChar(bytes, cp, codePage);
            upper = !topSeen && word;
            topSeen = topSeen || word;
        } else if (conversion == CaseConversion::kUpperTopOfWord) {
            const bool word = IsWordChar(bytes, cp, codePage) || (inWord && cp == '\'');
            upper = word && !inWord;
            inWord = word;
        }
        const char32_t mapped = MapCase(cp, upper, codePage);
        const std::string encoded = mapped == cp ? std::string() : EncodeChar(mapped, codePage);
        out += encoded.empty() ? bytes : std::string_view(encoded);
    });
    return out;
}

std::string ConvertWidth(std::string_view line, WidthConversion conversion,
                         const CodePage& codePage) {
    if (conversion == WidthConversion::kNone || codePage.IsSingleByte()) {
        return std::string(line);
    }
    struct Char {
        std::string_view bytes;
        char32_t cp;
    };
    std::vector<Char> chars;
    ForEachChar(line, codePage, [&chars](std::string_view bytes, char32_t cp) {
        chars.push_back({bytes, cp});
    });

    std::string out;
    out.reserve(line.size() * 2);
    // Writes the mapped characters, or the original bytes when the page
    // cannot hold one of them.
    auto put = [&out, &codePage](std::string_view original, std::initializer_list<char32_t> cps) {
        std::string encoded;
        for (char32_t cp : cps) {
            const std::string one = EncodeChar(cp, codePage);
            if (one.empty()) {
                out += original;
                return;
            }
            encoded += one;
        }
        out += encoded;
    };
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const auto [bytes, cp] = chars[i];
        if (conversion == WidthConversion::kMbcsToSbcs) {
            if (cp == kIdeographicSpace) {
                put(bytes, {' '});
            } else if (cp >= kWideFirst && cp <= kWideLast) {
                put(bytes, {cp - kWideFirst + '!'});
            } else if (char32_t mark = 0; const char32_t half = HalfWidthKana(cp, &mark)) {
                if (mark != 0) {
                    put(bytes, {half, mark});
                } else {
                    put(bytes, {half});
                }
            } else {
                out += bytes;
            }
            continue;
        }
        if (cp == ' ') {
            put(bytes, {kIdeographicSpace});
        } else if (cp > ' ' && cp <= '~') {
            put(bytes, {cp - '!' + kWideFirst});
        } else if (cp >= kHalfKanaFirst && cp <= kHalfKanaLast) {
            char32_t full = kFullOfHalfKana[cp - kHalfKanaFirst];
            const char32_t mark = i + 1 < chars.size() ? chars[i + 1].cp : 0;
            std::string_view original = bytes;
            char32_t joined = 0;
            if (mark == kHalfVoiced && full == kKatakanaU) {
                joined = kKatakanaVu;
            } else if (mark == kHalfVoiced && TakesVoicedMark(full)) {
                joined = full + 1;
            } else if (mark == kHalfSemiVoiced && TakesSemiVoicedMark(full)) {
                joined = full + 2;
            }
            if (joined != 0) {
                full = joined;
                original = std::string_view(bytes.data(), bytes.size() + chars[i + 1].bytes.size());
                ++i;
            }
            put(original, {full});
        } else {
            out += bytes;
        }
    }
    return out;
}

}  // namespace corvina
