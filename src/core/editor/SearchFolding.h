#pragma once
// How a search reads characters: each character of the text (and of the
// pattern) becomes one code, folded by the I and Z options, so that the
// matchers compare codes and never look inside a character.
//
// Codes: a single-byte character is its byte (0-255); a Shift_JIS
// double-byte character is its 16-bit code (lead * 256 + trail); a UTF-8
// multi-byte character is its code point, and a byte that starts no UTF-8
// character is kInvalidBase + the byte.
//
// I folds ASCII letters to lower case and the half-width small kana to
// their large forms (0xA7-0xAB to 0xB1-0xB5, 0xAC-0xAE to 0xD4-0xD6, 0xAF
// to 0xC2; on UTF-8 the same letters at U+FF67-U+FF6F). On UTF-8 other
// letters fold by simple Unicode case folding where the folded letter has
// as many bytes (so "É" finds "é", while the Kelvin sign stays itself and
// folding keeps every length); on the single-byte code pages every letter
// of the page folds the same way.
//
// Z folds a wide character that has a narrow form to it: full-width ASCII
// and the ideographic space to ASCII, full-width katakana and Japanese
// punctuation to half-width katakana (voiced and semi-voiced letters to
// their plain half-width letter), and drops the voiced-sound marks
// (half-width 0xDE 0xDF, U+FF9E U+FF9F, and the spacing U+309B U+309C), so
// that "ガ", "ｶﾞ" and "カ" all read as "ｶ".

#include <array>
#include <cstdint>
#include <string_view>

namespace corvina {

class CodePage;

class SearchFolding {
public:
    static constexpr std::uint32_t kInvalidBase = 0x110000;
    // The folded code of a character the Z option drops.
    static constexpr std::uint32_t kDropped = 0xFFFFFFFF;

    SearchFolding(const CodePage& codePage, bool ignoreCase, bool ignoreMbcs);

    // The code of the character at p (before end) and its length in bytes.
    std::uint32_t Read(const char* p, const char* end, int* length) const;
    // The folded form of a code; kDropped for a dropped character.
    std::uint32_t Fold(std::uint32_t code) const;
    // The folded code of a single byte read as a one-byte character.
    std::uint32_t FoldByte(unsigned char byte) const { return byteFold_[byte]; }

    // Whether the folding keeps the length of every character, so that a
    // text and its folded form line up byte for byte (true without Z).
    bool KeepsLength() const { return !ignoreMbcs_; }
    bool IgnoreCase() const { return ignoreCase_; }
    bool IgnoreMbcs() const { return ignoreMbcs_; }
    const CodePage& Page() const { return *codePage_; }

    // Whether a byte can start a character that Z folds (first bytes of
    // full-width forms in this code page).
    bool StartsWideFold(unsigned char byte) const;

private:
    std::uint32_t FoldWide(std::uint32_t code) const;

    const CodePage* codePage_;
    bool ignoreCase_;
    bool ignoreMbcs_;
    bool utf8_;
    bool dbcs_;
    std::array<std::uint32_t, 256> byteFold_{};
};

}  // namespace corvina
