#pragma once
// The character classes of the editor's word commands: a word is a run of
// characters of one class, and a delimiter (class 2 or 8) is a word by
// itself. Word movement, "WordBS", "WordDel", "ChangeCase", "GetWord" and
// the double-click all cut text at these classes.

#include <cstddef>
#include <string_view>
#include <utility>

namespace corvina {

class CodePage;
struct KinsokuSets;

enum WordClass : int {
    kWordAscii = 0,      // printable ASCII, and letters of any script
    kWordHalfKana = 1,   // half-width katakana and punctuation
    kWordDelimiter = 2,  // blanks, controls and the ANKDelimiter characters
    kWordHighByte = 3,   // other single-byte (or narrow) characters above 0x7E
    kWordKatakana = 4,   // katakana and the long-vowel mark
    kWordHiragana = 5,
    kWordWideAlnum = 6,  // full-width digits and Latin letters
    kWordKanji = 7,
    kWordWideDelimiter = 8,  // the full-width space and the DBCSDelimiter characters
    kWordWideOther = 9,      // every other wide character
};

constexpr bool IsDelimiterClass(int wordClass) {
    return wordClass == kWordDelimiter || wordClass == kWordWideDelimiter;
}

// The class of the character at `pos` (a character start) of `line`. On
// Shift_JIS the table of double-byte codes decides; on UTF-8 and the
// single-byte pages the Unicode class of the character does, so the
// letters of "café" or "Straße" are one word and a wide character falls
// in the same class as its Shift_JIS form. The delimiter sets are in the
// code page's own bytes.
int WordClassAt(std::string_view line, std::size_t pos, const CodePage& codePage,
                const KinsokuSets& sets);

// Whether the character `ch` (its whole bytes) is one of the characters
// of `set` (the delimiter and title sets).
bool InCharacterSet(std::string_view set, std::string_view ch, const CodePage& codePage);

// [start, end) of the run of characters of the class at `pos`; a
// delimiter stands alone. `pos` at or after the line's end gives an empty
// run there.
std::pair<std::size_t, std::size_t> WordRunAt(std::string_view line, std::size_t pos,
                                              const CodePage& codePage, const KinsokuSets& sets);

}  // namespace corvina
